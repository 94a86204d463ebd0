#include "platform/prefs/PSListController.h"

#include "platform/foundation/DarwinNotifyCenter.h"
#include "platform/foundation/DeviceEnvironment.h"
#include "platform/foundation/NSDictionary.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/plist/PropertyList.h"
#include "platform/graphics/CGImage.h"
#include "platform/prefs/PSBundleFile.h"
#include "platform/prefs/PSCellClass.h"
#include "platform/prefs/PSCellTypes.h"
#include "platform/prefs/PSControlValue.h"
#include "platform/prefs/PSControllerClasses.h"
#include "platform/prefs/PSListItemsController.h"
#include "platform/prefs/PSMissingCodeController.h"
#include "platform/prefs/PSPreferenceFile.h"
#include "platform/prefs/PSTableCellViews.h"
#include "platform/ui/UIAlertController.h"
#include "platform/ui/UIDevice.h"
#include "platform/ui/UIImage.h"
#include "platform/ui/UINavigationController.h"
#include "platform/ui/UIScreen.h"
#include "platform/ui/UITextField.h"

#include <algorithm>
#include <cmath>
#include <mutex>

namespace {

// The host folder of the resources of lists without a bundle of their own, the current device
// environment's; none until the host gives one.
struct DefaultBundlePath : DeviceEnvironment::Part {
    std::mutex mutex;
    std::string path;
};

DefaultBundlePath& defaultBundlePath() {
    return DeviceEnvironment::current().part<DefaultBundlePath>();
}

constexpr const char* kStockGetter = "readPreferenceValue:";
constexpr const char* kStockSetter = "setPreferenceValue:specifier:";

std::string stringOrEmpty(const PlistValue& v) {
    return v.isString() ? v.stringValue() : std::string();
}

// The texts of a row that a user reads, localised through the plist's strings table.
constexpr const char* kLocalisedKeys[] = {"label", "footerText", "staticTextMessage", "placeholder"};
constexpr const char* kLocalisedLists[] = {"validTitles", "shortTitles"};
constexpr const char* kConfirmationKeys[] = {"prompt", "title", "okTitle", "cancelTitle"};

PlistValue localised(const NSBundle& bundle, const std::string& table, const PlistValue& v) {
    if (!v.isString())
        return v;
    return PlistValue(bundle.localizedStringForKey(v.stringValue(), v.stringValue(), table));
}

PlistValue localisedList(const NSBundle& bundle, const std::string& table, const PlistValue& v) {
    if (!v.isArray())
        return v;
    PlistValue out = PlistValue::array();
    for (std::size_t i = 0; i < v.count(); ++i)
        out.append(localised(bundle, table, v.at(i)));
    return out;
}

// Whether the device meets a row's "requiredCapabilities": names it must have (an array), or
// names with whether it must have them (a dictionary).
bool meetsRequirements(const PlistValue& required) {
    if (required.isArray()) {
        for (std::size_t i = 0; i < required.count(); ++i)
            if (PlistValue name = required.at(i);
                name.isString() && !UIDevice::hasCapability(name.stringValue()))
                return false;
    } else if (required.isDictionary()) {
        for (const auto& [name, wanted] : *required.dictionaryValue())
            if (UIDevice::hasCapability(name) != PSControlValue::boolFromValue(wanted))
                return false;
    }
    return true;
}

} // namespace

namespace {

// The variants of an image file a bundle is searched for, largest scale first: name and
// extension ("icon@2x", "png") with their scale.
struct ImageVariant {
    std::string name;
    std::string ext;
    int scale;
};
std::vector<ImageVariant> imageVariants(const std::string& file) {
    std::string name = file, ext = "png";
    if (auto dot = file.rfind('.'); dot != std::string::npos && dot > 0) {
        name = file.substr(0, dot);
        ext = file.substr(dot + 1);
    }
    std::vector<ImageVariant> variants;
    int scale = static_cast<int>(UIScreen::mainScreen()->scale());
    for (int s = std::max(1, std::min(scale, 3)); s >= 1; --s)
        variants.push_back({s == 1 ? name : name + "@" + std::to_string(s) + "x", ext, s});
    return variants;
}

} // namespace

std::optional<std::string> PSListController::imagePathInBundle(const NSBundle& bundle,
                                                               const std::string& file) {
    for (const ImageVariant& variant : imageVariants(file))
        if (auto path = bundle.pathForResource(variant.name, variant.ext))
            return path;
    return std::nullopt;
}

std::shared_ptr<UIImage> PSListController::imageFromBundle(const NSBundle& bundle, const std::string& file,
                                                           const PSPreferenceBundles* folders) {
    for (const ImageVariant& variant : imageVariants(file)) {
        const int s = variant.scale;
        auto path = bundle.pathForResource(variant.name, variant.ext);
        if (!path)
            continue;
        // Only the file's header is read here: a list of hundreds of rows reads the pixels of the
        // few icons it draws, when it draws them. Below an open bundle folder it is read there.
        const std::string paths[] = {*path};
        const auto heads = folders
                               ? folders->headsOf(paths, CGImage::kPNGHeaderBytes, NSBundle::kLargestResource)
                               : PSPreferenceBundles::Heads();
        std::shared_ptr<UIImage> image;
        if (auto head = heads.find(*path); head != heads.end())
            image = UIImage::imageWithHeadOfDeviceFile(bundle.fileManager(), *path, head->second, s,
                                                       NSBundle::kLargestResource);
        else
            image = UIImage::imageWithContentsOfDeviceFile(bundle.fileManager(), *path, s,
                                                           NSBundle::kLargestResource);
        if (image)
            return image;
    }
    return nullptr;
}

std::shared_ptr<PSListController> PSListController::create() {
    return std::shared_ptr<PSListController>(new PSListController());
}

std::shared_ptr<PSListController> PSListController::createWithPlist(std::shared_ptr<NSBundle> bundle,
                                                                    std::string plistName) {
    auto list = create();
    list->bundle_ = std::move(bundle);
    list->plistName_ = std::move(plistName);
    return list;
}

const SelectorTable* PSListController::selectorTable() const {
    using C = PSListController;
    static const SelectorTable table({
        {kStockGetter, SelectorTable::bind(&C::readPreferenceValue)},
        {kStockSetter, SelectorTable::bind(&C::setPreferenceValue)},
    });
    return &table;
}

void PSListController::setBundlePath(std::string path) {
    DefaultBundlePath& device = defaultBundlePath();
    std::lock_guard lock(device.mutex);
    device.path = std::move(path);
}

std::string PSListController::bundlePath() {
    DefaultBundlePath& device = defaultBundlePath();
    std::lock_guard lock(device.mutex);
    return device.path;
}

std::shared_ptr<NSBundle> PSListController::bundle() const {
    if (bundle_)
        return bundle_;
    // Not kept: the default folder may change between lists (a test, another --bundle).
    std::string path = bundlePath();
    if (path.empty())
        return nullptr;
    return NSBundle::bundleWithHostFolder(path);
}

std::shared_ptr<const PSSpecifierList> PSListController::specifiers() {
    if (!_specifiers && !plistName_.empty()) {
        auto list = loadSpecifiersFromPlistName(plistName_, shared_from_this());
        _specifiers = list ? std::shared_ptr<const PSSpecifierList>(std::move(list))
                           : std::make_shared<const PSSpecifierList>();
    }
    return _specifiers;
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

void PSListController::prepareSpecifier(PSSpecifier& s, const std::string& table) {
    auto b = bundle();
    if (b) {
        s.setName(localised(*b, table, PlistValue(s.name())).stringValue());
        for (const char* key : kLocalisedKeys)
            if (PlistValue v = s.propertyForKey(key); v.isString())
                s.setProperty(localised(*b, table, v), key);
        for (const char* key : kLocalisedLists)
            if (PlistValue v = s.propertyForKey(key); v.isArray())
                s.setProperty(localisedList(*b, table, v), key);
        if (PlistValue confirmation = s.propertyForKey("confirmation"); confirmation.isDictionary()) {
            PlistValue copy = confirmation.mutableCopy();
            for (const char* key : kConfirmationKeys)
                if (PlistValue v = copy.get(key); v.isString())
                    copy.set(key, localised(*b, table, v));
            s.setProperty(copy, "confirmation");
        }
        if (PlistValue icon = s.propertyForKey("icon");
            icon.isString() && !s.propertyForKey("iconImage").isObject())
            if (auto image = imageFromBundle(*b, icon.stringValue()))
                s.setProperty(PlistValue(std::static_pointer_cast<NSObject>(image)), "iconImage");
    }

    // A cell class of a library the device has gets its class; one of the bundle's own is drawn as
    // the stock cell of the row's type in its place, marked; only a row with nothing stock to draw
    // (neither "cell" nor "label") stays a placeholder.
    std::string cellClass = stringOrEmpty(s.propertyForKey("cellClass"));
    if (!cellClass.empty() && !PSControllerClasses::isStockCellClass(cellClass)) {
        if (auto cls = PSCellClasses::named(cellClass)) {
            s.setCellClass(std::move(cls));
        } else if (s.propertyForKey("cell").isString() || !s.name().empty()) {
            s.setApproximatedClassName(cellClass);
        } else {
            s.setMissingClassName(cellClass);
            return;
        }
    }
    if (const auto& cls = s.cellClass())
        cls->prepareSpecifier(s, *this);
    // A page the device cannot open: the row is a stock link still, and its tap shows which class
    // would have opened.
    if (auto needed = unopenedClass(s); !needed.empty() && s.approximatedClassName().empty())
        s.setApproximatedClassName(needed);
}

std::string PSListController::unopenedClass(const PSSpecifier& s) const {
    if (!PSCellTypes::of(s.cellType()).opensPage())
        return {};
    std::string bundleName = stringOrEmpty(s.propertyForKey("bundle"));
    if (!bundleName.empty())
        return PSControllerClasses::missingForBundleNamed(bundleName);
    const std::string& detail = s.detailControllerClass();
    if (detail.empty() || PSControllerClasses::hasClass(detail))
        return {};
    auto b = bundle();
    if (b && b->pathForResource(detail, "plist"))
        return {};
    return detail;
}

std::shared_ptr<PSSpecifierList>
PSListController::loadSpecifiersFromPlistName(const std::string& name,
                                              const std::shared_ptr<NSObject>& target) {
    auto b = bundle();
    if (!b) {
        NSLog("Couldn't load specifier plist %@: %@", {PlistValue(name), PlistValue("no bundle")});
        return nullptr;
    }
    // Without a readable file of that name the reader says what stands there instead.
    std::string path = b->pathForResource(name, "plist")
                           .value_or((b->bundlePath() == "/" ? "" : b->bundlePath()) + "/" + name + ".plist");
    if (auto target = PSBundleFile::linkOutOfBundle(*b->fileManager(), b->bundlePath(), path)) {
        NSLog("Couldn't load specifier plist %@: %@",
              {PlistValue(name), PlistValue(PSBundleFile::linkOutReason(path, *target))});
        return nullptr;
    }
    PlistReadResult read = b->fileManager()->propertyListAtPath(path);
    PlistValue items = read.value.get("items");
    if (!read.ok() || !items.isArray()) {
        NSLog("Couldn't load specifier plist %@: %@",
              {PlistValue(name),
               PlistValue(read.ok() ? "no \"items\" array" : read.error->localizedDescription())});
        return nullptr;
    }
    if (PlistValue title = read.value.get("title"); title.isString())
        setTitle(b->localizedStringForKey(title.stringValue(), title.stringValue(), name));

    auto list = std::make_shared<PSSpecifierList>();
    for (const PlistValue& item : *items.arrayValue()) {
        // A row that is not a dictionary cannot describe anything; it is left out, as is a row for
        // hardware this device does not have.
        if (!item.isDictionary() || !meetsRequirements(item.get("requiredCapabilities")))
            continue;
        PlistValue cell = item.get("cell");
        PSCellType type =
            cell.isString() ? PSTableCell::cellTypeFromString(cell.stringValue()) : PSStaticTextCell;
        // Rows that name no accessor of their own get the framework's, as on the device.
        std::string get = stringOrEmpty(item.get("get")), set = stringOrEmpty(item.get("set"));
        if (type != PSGroupCell) {
            get = get.empty() ? kStockGetter : get;
            set = set.empty() ? kStockSetter : set;
        }
        std::string detail = stringOrEmpty(item.get("detail"));
        // A choice row opens the framework's choice page unless it names a page of its own.
        if (PSCellTypes::of(type).control == PSCellControl::ChoiceLink && detail.empty())
            detail = "PSListItemsController";
        auto s =
            PSSpecifier::preferenceSpecifierNamed(stringOrEmpty(item.get("label")), target, std::move(set),
                                                  std::move(get), std::move(detail), type, {});
        s->setButtonAction(stringOrEmpty(item.get("action")));
        for (const auto& [key, value] : *item.dictionaryValue())
            s->setProperty(value.deepCopy(), key);
        prepareSpecifier(*s, name);
        list->push_back(std::move(s));
    }
    PSCellClasses::applyListConventions(*list, *this);
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

void PSListController::viewWillAppear(bool /*animated*/) {
    // The rows (and a plist's title) are there before the list shows; coming back from a child
    // page shows what was changed there.
    (void)specifiers();
    if (table_)
        table_->reloadData();
}

void PSListController::viewWillDisappear(bool /*animated*/) {
    endEditing();
}

void PSListController::endEditing() {
    auto field = UITextField::focusedTextField();
    if (field && isViewLoaded() && field->isDescendantOfView(view().get()))
        field->resignFirstResponder();
}

// MARK: Values

Result<PSPreferenceFile::Entry> PSListController::preferenceEntry(const PSSpecifier& specifier) {
    return PSPreferenceFile::entryOf(specifier, PSPreferencePathRules::Strict);
}

PlistValue PSListController::readPreferenceValue(const std::shared_ptr<PSSpecifier>& specifier) const {
    if (!specifier)
        return {};
    // A file that is not there, cannot be read or lacks the key: the row shows its "default". A
    // file that cannot be read would otherwise look missing, so the log says why, once a list.
    if (auto entry = preferenceEntry(*specifier)) {
        Result<PlistValue> stored = PSPreferenceFile::valueOf(entry.value());
        if (stored && !stored.value().isNone())
            return stored.value();
        if (!stored && unreadableReported_.insert(entry.value().path + "\n" + stored.reason()).second)
            NSLog("Couldn't read %@: %@; its rows show their defaults",
                  {PlistValue(entry.value().path), PlistValue(stored.reason())});
    }
    return specifier->propertyForKey("default");
}

void PSListController::setPreferenceValue(const PlistValue& value,
                                          const std::shared_ptr<PSSpecifier>& specifier) {
    if (!specifier)
        return;
    // Nothing is stored for a row without a file (no "key", no "defaults", or a name the strict
    // rules refuse), nor anything the file cannot hold; the row shows again what the file holds.
    auto entry = preferenceEntry(*specifier);
    if (!entry) {
        NSLog("Couldn't save %@: %@", {PlistValue(specifier->identifier()), PlistValue(entry.reason())});
        noteStoreFailure(entry.failure());
        reloadSpecifier(specifier, false);
        return;
    }
    if (Result<> saved = PSPreferenceFile::store(entry.value(), value); !saved) {
        NSLog("Couldn't save key '%@' to %@: %@",
              {PlistValue(entry.value().key), PlistValue(entry.value().path), PlistValue(saved.reason())});
        noteStoreFailure(saved.failure());
        reloadSpecifier(specifier, false);
        return;
    }
    if (PlistValue note = specifier->propertyForKey("PostNotification"); note.isString())
        DarwinNotifyCenter::post(note.stringValue());
}

PlistValue PSListController::valueForSpecifier(const std::shared_ptr<PSSpecifier>& specifier) {
    if (!specifier || specifier->getter().empty())
        return {};
    auto target = specifier->target();
    if (!target)
        return {};
    if (const auto& cls = specifier->cellClass())
        if (auto value = cls->read(*this, specifier))
            return *value;
    PlistValue row(std::static_pointer_cast<NSObject>(specifier));
    // A getter of code the device does not have: the framework's own reads what it would have.
    if (!target->respondsToSelector(specifier->getter()))
        return readPreferenceValue(specifier);
    return target->performSelector(specifier->getter(), {row});
}

void PSListController::setValueForSpecifier(const PlistValue& value,
                                            const std::shared_ptr<PSSpecifier>& specifier) {
    lastStore_ = Result<>::success();
    if (!specifier || specifier->setter().empty())
        return;
    auto target = specifier->target();
    if (!target)
        return;
    if (const auto& cls = specifier->cellClass(); cls && cls->store(*this, value, specifier))
        return;
    PlistValue row(std::static_pointer_cast<NSObject>(specifier));
    if (!target->respondsToSelector(specifier->setter())) {
        setPreferenceValue(value, specifier);
        return;
    }
    target->performSelector(specifier->setter(), {value, row});
}

void PSListController::performButtonAction(const std::shared_ptr<PSSpecifier>& specifier) {
    if (!specifier || specifier->action().empty())
        return;
    auto target = specifier->target();
    if (!target)
        return;
    if (!target->respondsToSelector(specifier->action())) {
        NSLog(
            "%@ is code of the bundle that this device does not have: the tap on %@ shows where it would run",
            {PlistValue(specifier->action()), PlistValue(specifier->name())});
        showMissingCode(specifier, specifier->action());
        return;
    }
    target->performSelector(specifier->action(), {PlistValue(std::static_pointer_cast<NSObject>(specifier))});
}

void PSListController::presentConfirmation(const std::shared_ptr<PSSpecifier>& specifier,
                                           Confirmed confirmed) {
    PlistValue c = specifier->propertyForKey("confirmation");
    auto text = [&](const char* key, std::string fallback) {
        PlistValue v = c.get(key);
        return v.isString() ? v.stringValue() : fallback;
    };
    std::optional<std::string> prompt;
    if (PlistValue p = c.get("prompt"); p.isString())
        prompt = p.stringValue();
    auto sheet =
        UIAlertController::alertControllerWithTitle(std::nullopt, prompt, UIAlertControllerStyleActionSheet);
    bool destructive = PSControlValue::boolFromValue(c.get("isDestructive"));
    std::weak_ptr<PSListController> weakSelf = std::static_pointer_cast<PSListController>(shared_from_this());
    std::weak_ptr<PSSpecifier> weakRow = specifier;
    sheet->addAction(UIAlertAction::actionWithTitle(
        text("okTitle", text("title", "OK")),
        destructive ? UIAlertActionStyleDestructive : UIAlertActionStyleDefault,
        [weakSelf, weakRow, confirmed = std::move(confirmed)](const std::shared_ptr<UIAlertAction>&) {
            auto self = weakSelf.lock();
            auto row = weakRow.lock();
            if (!self || !row)
                return;
            if (confirmed)
                confirmed(*self, row);
            else
                self->performButtonAction(row);
        }));
    sheet->addAction(
        UIAlertAction::actionWithTitle(text("cancelTitle", "Cancel"), UIAlertActionStyleCancel, nullptr));
    presentViewController(sheet, true, nullptr);
}

void PSListController::tapSpecifier(const std::shared_ptr<PSSpecifier>& specifier) {
    if (!specifier || specifier->cellType() == PSGroupCell)
        return;
    // A tap on a row takes the keyboard from the field being edited, which stores its text first.
    endEditing();
    if (!specifier->missingClassName().empty()) {
        NSLog("%@ needs %@, which this device does not have",
              {PlistValue(specifier->name()), PlistValue(specifier->missingClassName())});
        return;
    }
    if (PlistValue enabled = specifier->propertyForKey("enabled");
        !enabled.isNone() && !PSControlValue::boolFromValue(enabled))
        return;
    if (const auto& cls = specifier->cellClass(); cls && cls->tap(*this, specifier))
        return;
    const PSCellTypeInfo& type = PSCellTypes::of(specifier->cellType());
    if (type.opensPage()) {
        auto child = controllerForSpecifier(specifier);
        auto navigation = navigationController();
        if (child && navigation)
            navigation->pushViewController(child, true);
        // A link row with nothing to open but an action runs it, as a button row does: bundles
        // use the link cell's look for rows that open a web page or a sheet.
        else if (!child && !specifier->action().empty())
            performButtonAction(specifier);
        else if (!child && !specifier->approximatedClassName().empty())
            showMissingCode(specifier, specifier->approximatedClassName());
        return;
    }
    // A row of the bundle's own class whose tap would be that class's code: a page says so.
    if (!specifier->approximatedClassName().empty() && specifier->action().empty() &&
        (type.control == PSCellControl::Button || type.control == PSCellControl::Title)) {
        showMissingCode(specifier, specifier->approximatedClassName());
        return;
    }
    if (specifier->propertyForKey("confirmation").isDictionary()) {
        presentConfirmation(specifier, nullptr);
        return;
    }
    performButtonAction(specifier);
}

void PSListController::showMissingCode(const std::shared_ptr<PSSpecifier>& specifier,
                                       const std::string& className) {
    auto navigation = navigationController();
    if (!navigation)
        return;
    auto page = PSMissingCodeController::create(className);
    page->setSpecifier(specifier);
    page->setTitle(specifier->name());
    page->parentList_ = std::static_pointer_cast<PSListController>(shared_from_this());
    navigation->pushViewController(page, true);
}

std::shared_ptr<UIViewController>
PSListController::controllerForSpecifier(const std::shared_ptr<PSSpecifier>& specifier) {
    if (!specifier || !specifier->missingClassName().empty() ||
        !PSCellTypes::of(specifier->cellType()).opensPage())
        return nullptr;
    std::shared_ptr<PSListController> child;
    std::string bundleName = stringOrEmpty(specifier->propertyForKey("bundle"));
    const std::string& detail = specifier->detailControllerClass();
    auto b = bundle();
    if (!bundleName.empty()) {
        child = PSControllerClasses::instantiateBundle(bundleName);
        if (!child)
            child = PSControllerClasses::controllerForBundle(
                PSControllerClasses::deviceBundleNamed(bundleName), nullptr);
        if (!child)
            child = PSMissingCodeController::create(PSControllerClasses::missingForBundleNamed(bundleName));
    } else if (!detail.empty() && b && b->pathForResource(detail, "plist")) {
        child = createWithPlist(b, detail);
    } else if (!detail.empty()) {
        child = PSControllerClasses::instantiate(detail);
        // A choice page of the bundle's own shows the framework's choices; another page of the
        // bundle's own says which class it is.
        if (!child && PSCellTypes::of(specifier->cellType()).control == PSCellControl::ChoiceLink)
            child = PSListItemsController::create();
        if (!child)
            child = PSMissingCodeController::create(detail);
        if (!child->bundle_)
            child->setBundle(b);
    }
    if (!child)
        return nullptr;
    child->setSpecifier(specifier);
    child->setTitle(specifier->name());
    child->parentList_ = std::static_pointer_cast<PSListController>(shared_from_this());
    return child;
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

// MARK: Table

const std::vector<PSListController::Section>& PSListController::sections() {
    auto list = specifiers();
    if (list == groupedList_ && list)
        return sections_;
    groupedList_ = list;
    sections_.clear();
    if (!list)
        return sections_;
    bool open = false;
    for (const auto& s : *list) {
        if (s->cellType() == PSGroupCell) {
            sections_.push_back({s, {}});
            open = true;
            continue;
        }
        if (!open) {
            sections_.push_back({nullptr, {}});
            open = true;
        }
        sections_.back().rows.push_back(s);
    }
    return sections_;
}

std::int64_t PSListController::numberOfSectionsInTableView(const std::shared_ptr<UITableView>&) {
    return static_cast<std::int64_t>(sections().size());
}

std::int64_t PSListController::numberOfRowsInSection(const std::shared_ptr<UITableView>&,
                                                     std::int64_t section) {
    const auto& all = sections();
    if (section < 0 || section >= static_cast<std::int64_t>(all.size()))
        return 0;
    return static_cast<std::int64_t>(all[static_cast<std::size_t>(section)].rows.size());
}

std::optional<std::string> PSListController::titleForHeaderInSection(const std::shared_ptr<UITableView>&,
                                                                     std::int64_t section) {
    const auto& all = sections();
    if (section < 0 || section >= static_cast<std::int64_t>(all.size()))
        return std::nullopt;
    const auto& group = all[static_cast<std::size_t>(section)].group;
    if (!group || group->name().empty())
        return std::nullopt;
    return group->name();
}

std::optional<std::string> PSListController::titleForFooterInSection(const std::shared_ptr<UITableView>&,
                                                                     std::int64_t section) {
    const auto& all = sections();
    if (section < 0 || section >= static_cast<std::int64_t>(all.size()))
        return std::nullopt;
    const auto& group = all[static_cast<std::size_t>(section)].group;
    if (!group)
        return std::nullopt;
    PlistValue footer = group->propertyForKey("footerText");
    return footer.isString() ? std::optional<std::string>(footer.stringValue()) : std::nullopt;
}

NSTextAlignment PSListController::alignmentForFooterInSection(const std::shared_ptr<UITableView>&,
                                                              std::int64_t section) {
    const auto& all = sections();
    if (section < 0 || section >= static_cast<std::int64_t>(all.size()) ||
        !all[static_cast<std::size_t>(section)].group)
        return NSTextAlignmentNatural;
    // "footerAlignment": 0 left, 1 centred, 2 right, as NSTextAlignment numbers them on the device.
    auto alignment = PSControlValue::doubleFromValue(
        all[static_cast<std::size_t>(section)].group->propertyForKey("footerAlignment"));
    if (!alignment)
        return NSTextAlignmentNatural;
    switch (static_cast<int>(*alignment)) {
    case 1:
        return NSTextAlignmentCenter;
    case 2:
        return NSTextAlignmentRight;
    default:
        return NSTextAlignmentLeft;
    }
}

std::shared_ptr<PSSpecifier> PSListController::specifierAtIndexPath(NSIndexPath indexPath) {
    const auto& all = sections();
    if (indexPath.section < 0 || indexPath.section >= static_cast<std::int64_t>(all.size()))
        return nullptr;
    const auto& rows = all[static_cast<std::size_t>(indexPath.section)].rows;
    if (indexPath.row < 0 || indexPath.row >= static_cast<std::int64_t>(rows.size()))
        return nullptr;
    return rows[static_cast<std::size_t>(indexPath.row)];
}

std::shared_ptr<UITableViewCell> PSListController::cellForRowAtIndexPath(const std::shared_ptr<UITableView>&,
                                                                         NSIndexPath indexPath) {
    auto s = specifierAtIndexPath(indexPath);
    if (!s)
        return nullptr;
    // One read of the value makes the whole cell.
    return PSTableCellViews::cellForSpecifier(
        *this, s, s->missingClassName().empty() ? valueForSpecifier(s) : PlistValue());
}

std::shared_ptr<UIView> PSListController::viewForHeaderInSection(const std::shared_ptr<UITableView>&,
                                                                 std::int64_t section, CGFloat width) {
    const auto& all = sections();
    if (section < 0 || section >= static_cast<std::int64_t>(all.size()))
        return nullptr;
    const auto& group = all[static_cast<std::size_t>(section)].group;
    if (!group)
        return nullptr;
    PlistValue name = group->propertyForKey("headerCellClass");
    auto cls = name.isString() ? PSCellClasses::named(name.stringValue()) : nullptr;
    return cls ? cls->headerView(*this, group, width) : nullptr;
}

std::optional<CGFloat>
PSListController::heightForRowAtIndexPath(const std::shared_ptr<UITableView>& /*tableView*/,
                                          NSIndexPath indexPath) {
    auto s = specifierAtIndexPath(indexPath);
    if (!s)
        return std::nullopt;
    if (const auto& cls = s->cellClass())
        if (auto own = cls->height(*s))
            return own;
    auto height = PSControlValue::doubleFromValue(s->propertyForKey("height"));
    // Past a few screens a row is a mistake, not a design: it is held to 2000 points.
    if (!height || !std::isfinite(*height) || *height <= 0)
        return std::nullopt;
    return std::min<CGFloat>(*height, 2000);
}

void PSListController::didSelectRowAtIndexPath(const std::shared_ptr<UITableView>& tableView,
                                               NSIndexPath indexPath) {
    if (auto s = specifierAtIndexPath(indexPath))
        tapSpecifier(s);
    tableView->deselectRowAtIndexPath(indexPath, true);
}
