#include "pane/ExtensionsTableViewController.h"

#include "hud/TQProgressHUD.h"
#include "pane/QueryParameters.h"
#include "platform/applist/ALApplicationList.h"
#include "platform/dispatch/Dispatch.h"
#include "platform/foundation/NSCharacterSet.h"
#include "platform/foundation/NSJSONSerialization.h"
#include "platform/foundation/NSLog.h"
#include "platform/ui/UIApplication.h"
#include "platform/ui/UIBarButtonItem.h"
#include "platform/ui/UIImage.h"
#include "platform/ui/UINavigationItem.h"

#include <algorithm>

namespace {

// A field of a catalogue item as text: missing and non-string values read as "".
std::string field(const PlistValue& item, std::string_view key) {
    PlistValue value = item.get(key);
    return value.isString() ? value.stringValue() : std::string();
}

// Whether a catalogue item names a field that a row shows or opens; one that names none ({}) has
// nothing to show. A field of another kind still makes its row, which reads it as missing.
bool namesARowField(const PlistDictionary& item) {
    for (std::string_view key : {"title", "repo", "app", "extension"})
        if (item.find(key) != item.end())
            return true;
    return false;
}

} // namespace

std::shared_ptr<ExtensionsTableViewController>
ExtensionsTableViewController::create(std::string catalogueHost) {
    return std::shared_ptr<ExtensionsTableViewController>(
        new ExtensionsTableViewController(std::move(catalogueHost)));
}

const SelectorTable* ExtensionsTableViewController::selectorTable() const {
    static const SelectorTable table({
        {"close:", SelectorTable::bind(&ExtensionsTableViewController::close)},
        {"refresh", SelectorTable::bind(&ExtensionsTableViewController::refresh)},
        {"sendRequest:", SelectorTable::bind(&ExtensionsTableViewController::sendRequest)},
    });
    return &table;
}

void ExtensionsTableViewController::viewDidLoad() {
    UITableViewController::viewDidLoad();
    setTitle("Available Extensions");
    navigationItem()->setPrompt("Tap an Extension to View it in Cydia");
    navigationItem()->setRightBarButtonItem(UIBarButtonItem::create(
        "Close", UIBarButtonItemStyleDone, std::static_pointer_cast<NSObject>(shared_from_this()), "close:"));
    refresh();
}

void ExtensionsTableViewController::refresh() {
    availableItems_ = PlistValue::array();
    sendRequest(nullptr);
}

void ExtensionsTableViewController::sendRequest(const std::shared_ptr<NSObject>&) {
    TQProgressHUD::showHUDAddedTo(view(), true);

    auto configuration = NSURLSessionConfiguration::defaultSessionConfiguration();
    configuration->setRequestCachePolicy(NSURLRequestReloadIgnoringLocalCacheData);
    auto session = NSURLSession::sessionWithConfiguration(configuration, nullptr, nullptr);

    auto request = NSMutableURLRequest::requestWithURL(
        NSURL::URLWithString("https://" + catalogueHost_ + "/chatheadsextensions.json"));
    request->setHTTPMethod("GET");
    std::string body = NSStringFromQueryParameters(PlistValue::dictionary());
    request->setHTTPBody(PlistData(body.begin(), body.end()));

    // The screen stays alive until its completion has run, even when it was closed meanwhile.
    auto self = std::static_pointer_cast<ExtensionsTableViewController>(shared_from_this());
    auto task = session->dataTaskWithRequest(
        request, [self](std::shared_ptr<const PlistData> data, std::shared_ptr<NSHTTPURLResponse>,
                        std::shared_ptr<NSError> error) { self->handleResponse(data, error); });
    if (task)
        task->resume();
    session->finishTasksAndInvalidate();
}

void ExtensionsTableViewController::handleResponse(const std::shared_ptr<const PlistData>& data,
                                                   const std::shared_ptr<NSError>& error) {
    auto self = std::static_pointer_cast<ExtensionsTableViewController>(shared_from_this());
    dispatch_async(dispatch_get_main_queue(), [self] { TQProgressHUD::hideHUDForView(self->view(), true); });
    if (error) {
        NSLog("URL Session Task Failed: %@", {error->localizedDescription()});
        return;
    }
    // The reader builds the elements the screen takes and only counts the others.
    NSJSONSerialization::Limits limits;
    limits.maximumTopLevelElements = kMaximumItems;
    std::size_t leftOut = 0;
    PlistValue parsed = data
                            ? NSJSONSerialization::JSONObjectWithData(
                                  std::string_view(reinterpret_cast<const char*>(data->data()), data->size()),
                                  0, nullptr, limits, &leftOut)
                            : PlistValue();
    NSLog("Got items: %@", {parsed});
    if (leftOut > 0)
        NSLog("The catalogue lists %@ more items than the %@ taken; they were left out",
              {PlistValue(static_cast<std::int64_t>(leftOut)),
               PlistValue(static_cast<std::int64_t>(kMaximumItems))});
    PlistValue items = displayableItems(parsed);
    dispatch_async(dispatch_get_main_queue(),
                   [self, items = std::move(items)]() mutable { self->replaceItems(std::move(items)); });
}

void ExtensionsTableViewController::replaceItems(PlistValue items) {
    availableItems_ = std::move(items);
    tableView()->reloadData();
}

PlistValue ExtensionsTableViewController::displayableItems(const PlistValue& parsed) {
    auto elements = parsed.arrayValue();
    if (!elements)
        return {};
    const std::size_t taken = std::min(elements->size(), kMaximumItems);
    auto shows = [&](std::size_t i) {
        auto item = (*elements)[i].dictionaryValue();
        return item && namesARowField(*item);
    };
    // A catalogue whose every element makes a row is its own list of rows (it is not changed).
    std::size_t first = 0;
    while (first < taken && shows(first))
        ++first;
    if (first == elements->size())
        return parsed;
    PlistArray items;
    items.reserve(taken);
    items.assign(elements->begin(), elements->begin() + static_cast<std::ptrdiff_t>(first));
    for (std::size_t i = first; i < taken; ++i)
        if (shows(i))
            items.push_back((*elements)[i]);
    return PlistValue::array(std::move(items));
}

void ExtensionsTableViewController::close(const std::shared_ptr<NSObject>&) {
    dismissViewControllerAnimated(true, nullptr);
}

bool ExtensionsTableViewController::schemeAvailable(const std::string& scheme) {
    return UIApplication::sharedApplication()->canOpenURL(NSURL::URLWithString(scheme));
}

std::int64_t ExtensionsTableViewController::numberOfRowsInSection(const std::shared_ptr<UITableView>&,
                                                                  std::int64_t) {
    return availableItems_.isArray() ? static_cast<std::int64_t>(availableItems_.count()) : 0;
}

std::shared_ptr<UITableViewCell>
ExtensionsTableViewController::cellForRowAtIndexPath(const std::shared_ptr<UITableView>&,
                                                     NSIndexPath indexPath) {
    auto cell = UITableViewCell::create(UITableViewCellStyleSubtitle, "Cell");
    PlistValue item =
        indexPath.row >= 0 ? availableItems_.at(static_cast<std::size_t>(indexPath.row)) : PlistValue();
    cell->setText(field(item, "title"));
    cell->setDetailText(field(item, "repo"));
    if (std::string app = field(item, "app"); !app.empty())
        cell->setImage(
            ALApplicationList::sharedApplicationList()->iconOfSize(ALApplicationIconSizeSmall, app));
    return cell;
}

std::string ExtensionsTableViewController::packageURLString(const PlistValue& item, bool sileo) {
    std::string package = field(item, "extension");
    if (package.empty())
        return {};
    std::string url = (sileo ? "sileo://package/" : "cydia://package/") + package;
    return NSStringByAddingPercentEncoding(url, NSCharacterSet::URLQueryAllowedCharacterSet());
}

void ExtensionsTableViewController::didSelectRowAtIndexPath(const std::shared_ptr<UITableView>& tableView,
                                                            NSIndexPath indexPath) {
    tableView->deselectRowAtIndexPath(indexPath, true);
    PlistValue item =
        indexPath.row >= 0 ? availableItems_.at(static_cast<std::size_t>(indexPath.row)) : PlistValue();
    std::string url = packageURLString(item, schemeAvailable("sileo://"));
    if (url.empty())
        return;
    UIApplication::sharedApplication()->openURL(NSURL::URLWithString(url), PlistValue::dictionary(), nullptr);
}
