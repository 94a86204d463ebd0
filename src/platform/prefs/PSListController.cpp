#include "platform/prefs/PSListController.h"

#include "platform/foundation/HostFileRead.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/PropertyList.h"
#include "platform/ui/UIScreen.h"

#include <fstream>
#include <iterator>
#include <mutex>

namespace {

std::mutex gBundleMutex;
std::string& bundlePathStorage() {
#ifdef ORBITCHAT_SOURCE_DIR
    static std::string path = ORBITCHAT_SOURCE_DIR "/resources";
#else
    static std::string path = "resources";
#endif
    return path;
}

// Reads a bundle file, refusing files larger than a property list may be, so a huge file is not
// pulled into memory only to be refused by the parser.
bool readBundleFile(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& reason) {
    std::string text;
    if (!readHostFile(path, PlistLimits{}.maxBytes, text, reason))
        return false;
    bytes.assign(text.begin(), text.end());
    return true;
}

std::string stringOrEmpty(const PlistValue& v) {
    return v.isString() ? v.stringValue() : std::string();
}

std::shared_ptr<PSSpecifier> specifierFromItem(const PlistValue& item,
                                               const std::shared_ptr<NSObject>& target) {
    PlistValue cell = item.get("cell");
    PSCellType type =
        cell.isString() ? PSTableCell::cellTypeFromString(cell.stringValue()) : PSStaticTextCell;
    auto s = PSSpecifier::preferenceSpecifierNamed(
        stringOrEmpty(item.get("label")), target, stringOrEmpty(item.get("set")),
        stringOrEmpty(item.get("get")), stringOrEmpty(item.get("detail")), type, {});
    s->setButtonAction(stringOrEmpty(item.get("action")));
    for (const auto& [key, value] : *item.dictionaryValue())
        s->setProperty(value.deepCopy(), key);
    return s;
}

} // namespace

std::shared_ptr<PSListController> PSListController::create() {
    return std::shared_ptr<PSListController>(new PSListController());
}

void PSListController::setBundlePath(std::string path) {
    std::lock_guard lock(gBundleMutex);
    bundlePathStorage() = std::move(path);
}

std::string PSListController::bundlePath() {
    std::lock_guard lock(gBundleMutex);
    return bundlePathStorage();
}

void PSListController::reloadSpecifiers() {
    _specifiers.reset();
    (void)specifiers();
    if (table_)
        table_->reloadData();
}

void PSListController::reloadSpecifier(const std::shared_ptr<PSSpecifier>& specifier, bool /*animated*/) {
    // The rows are rebuilt from the getters at the next look; the others come out the same.
    if (specifier && table_)
        table_->reloadData();
}

std::shared_ptr<PSSpecifierList>
PSListController::loadSpecifiersFromPlistName(const std::string& name,
                                              const std::shared_ptr<NSObject>& target) {
    std::vector<std::uint8_t> bytes;
    std::string reason;
    if (!readBundleFile(bundlePath() + "/" + name + ".plist", bytes, reason)) {
        NSLog("Couldn't load specifier plist %@: %@", {PlistValue(name), PlistValue(reason)});
        return nullptr;
    }
    PlistReadResult read = readPropertyList(bytes);
    PlistValue items = read.value.get("items");
    if (!read.ok() || !items.isArray()) {
        NSLog("Couldn't load specifier plist %@: %@",
              {PlistValue(name),
               PlistValue(read.ok() ? "no \"items\" array" : read.error->localizedDescription())});
        return nullptr;
    }
    auto list = std::make_shared<PSSpecifierList>();
    for (const PlistValue& item : *items.arrayValue()) {
        // A row that is not a dictionary cannot describe anything; it is left out.
        if (item.isDictionary())
            list->push_back(specifierFromItem(item, target));
    }
    return list;
}

std::shared_ptr<UITableView> PSListController::table() {
    loadViewIfNeeded();
    return table_;
}

void PSListController::loadView() {
    CGRect bounds = UIScreen::mainScreen()->bounds();
    auto container = UIView::create(bounds);
    table_ = UITableView::create(bounds, UITableViewStyleGrouped);
    auto self = std::static_pointer_cast<PSListController>(shared_from_this());
    table_->setDataSource(self);
    table_->setDelegate(self);
    container->addSubview(table_);
    setView(container);
}

PlistValue PSListController::valueForSpecifier(const std::shared_ptr<PSSpecifier>& specifier) {
    if (!specifier || specifier->getter().empty())
        return {};
    auto target = specifier->target();
    if (!target)
        return {};
    return target->performSelector(specifier->getter(),
                                   {PlistValue(std::static_pointer_cast<NSObject>(specifier))});
}

void PSListController::setValueForSpecifier(const PlistValue& value,
                                            const std::shared_ptr<PSSpecifier>& specifier) {
    if (!specifier || specifier->setter().empty())
        return;
    if (auto target = specifier->target())
        target->performSelector(specifier->setter(),
                                {value, PlistValue(std::static_pointer_cast<NSObject>(specifier))});
}

void PSListController::performButtonAction(const std::shared_ptr<PSSpecifier>& specifier) {
    if (!specifier || specifier->action().empty())
        return;
    if (auto target = specifier->target())
        target->performSelector(specifier->action(),
                                {PlistValue(std::static_pointer_cast<NSObject>(specifier))});
}

std::shared_ptr<PSSpecifier> PSListController::specifierForName(std::string_view name) {
    auto list = specifiers();
    if (!list)
        return nullptr;
    for (const auto& s : *list) {
        if (s->name() == name)
            return s;
    }
    return nullptr;
}

std::vector<std::vector<std::shared_ptr<PSSpecifier>>> PSListController::sections() {
    std::vector<std::vector<std::shared_ptr<PSSpecifier>>> result;
    auto list = specifiers();
    if (!list)
        return result;
    bool open = false;
    for (const auto& s : *list) {
        if (s->cellType() == PSGroupCell) {
            result.emplace_back();
            open = true;
            continue;
        }
        if (!open) {
            result.emplace_back();
            open = true;
        }
        result.back().push_back(s);
    }
    return result;
}

std::int64_t PSListController::numberOfSectionsInTableView(const std::shared_ptr<UITableView>&) {
    return static_cast<std::int64_t>(sections().size());
}

std::int64_t PSListController::numberOfRowsInSection(const std::shared_ptr<UITableView>&,
                                                     std::int64_t section) {
    auto all = sections();
    if (section < 0 || section >= static_cast<std::int64_t>(all.size()))
        return 0;
    return static_cast<std::int64_t>(all[static_cast<std::size_t>(section)].size());
}

std::shared_ptr<PSSpecifier> PSListController::specifierAtIndexPath(NSIndexPath indexPath) {
    auto all = sections();
    if (indexPath.section < 0 || indexPath.section >= static_cast<std::int64_t>(all.size()))
        return nullptr;
    const auto& rows = all[static_cast<std::size_t>(indexPath.section)];
    if (indexPath.row < 0 || indexPath.row >= static_cast<std::int64_t>(rows.size()))
        return nullptr;
    return rows[static_cast<std::size_t>(indexPath.row)];
}

std::shared_ptr<UITableViewCell> PSListController::cellForRowAtIndexPath(const std::shared_ptr<UITableView>&,
                                                                         NSIndexPath indexPath) {
    auto s = specifierAtIndexPath(indexPath);
    if (!s)
        return nullptr;
    auto cell =
        UITableViewCell::create(UITableViewCellStyleValue1, PSTableCell::stringFromCellType(s->cellType()));
    cell->setText(s->name());
    PlistValue value = valueForSpecifier(s);
    if (value.isString())
        cell->setDetailText(value.stringValue());
    return cell;
}

void PSListController::didSelectRowAtIndexPath(const std::shared_ptr<UITableView>& tableView,
                                               NSIndexPath indexPath) {
    if (auto s = specifierAtIndexPath(indexPath))
        performButtonAction(s);
    tableView->deselectRowAtIndexPath(indexPath, true);
}
