#include "pane/OrbitchatPreferencesController.h"

#include "pane/ExtensionsTableViewController.h"
#include "pane/PreferenceFilePath.h"
#include "platform/applist/ALApplicationList.h"
#include "platform/dispatch/Dispatch.h"
#include "platform/foundation/DeviceEnvironment.h"
#include "platform/foundation/DeviceFolder.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/NSURL.h"
#include "platform/prefs/PSPreferenceFile.h"
#include "platform/process/DeviceSpawn.h"
#include "platform/ui/UIAlertController.h"
#include "platform/ui/UIApplication.h"
#include "platform/ui/UIBarButtonItem.h"
#include "platform/ui/UIImage.h"
#include "platform/ui/UINavigationController.h"
#include "platform/ui/UINavigationItem.h"
#include "platform/ui/UIScreen.h"

#include <algorithm>
#include <cstring>
#include <mutex>

namespace {

constexpr const char* kSpecifierPlist = "OrbitchatPreferences";
constexpr const char* kDynamicLibraries = "/Library/MobileSubstrate/DynamicLibraries";

// The pages and address of the current device environment.
struct Endpoints : DeviceEnvironment::Part {
    std::mutex mutex;
    OrbitchatEndpoints endpoints;
};

bool contains(std::string_view s, std::string_view part) {
    return s.find(part) != std::string_view::npos;
}

// The tweak's extensions are the libraries whose names mention both "OC" and "Support" and that
// are enabled (".dylib") or switched off (".disabled"). The tests are plain, case-sensitive
// substring tests anywhere in the name.
bool isExtensionFileName(std::string_view name) {
    return contains(name, "OC") && contains(name, "Support") &&
           (contains(name, ".dylib") || contains(name, ".disabled"));
}

PlistValue object(const std::shared_ptr<NSObject>& o) {
    return PlistValue(o);
}

} // namespace

std::shared_ptr<OrbitchatPreferencesController> OrbitchatPreferencesController::create() {
    return std::shared_ptr<OrbitchatPreferencesController>(new OrbitchatPreferencesController());
}

std::shared_ptr<OrbitchatPreferencesController> OrbitchatPreferencesController::self() {
    return std::static_pointer_cast<OrbitchatPreferencesController>(shared_from_this());
}

const SelectorTable* OrbitchatPreferencesController::selectorTable() const {
    using C = OrbitchatPreferencesController;
    static const SelectorTable table(
        {
            {"getValueForSpecifier:", SelectorTable::bind(&C::getValueForSpecifier)},
            {"setValue:forSpecifier:", SelectorTable::bind(&C::setValue)},
            {"confirmRespring:", SelectorTable::bind(&C::confirmRespring)},
            {"viewExtensions:", SelectorTable::bind(&C::viewExtensions)},
            {"support:", SelectorTable::bind(&C::support)},
            {"followOnTwitter:", SelectorTable::bind(&C::followOnTwitter)},
            {"followTavinOnTwitter:", SelectorTable::bind(&C::followTavinOnTwitter)},
            {"makeDonation:", SelectorTable::bind(&C::makeDonation)},
            {"respring", SelectorTable::bind(&C::respring)},
            {"burst", SelectorTable::bind(&C::burst)},
            {"loadDylibs", SelectorTable::bind(&C::loadDylibs)},
        },
        PSListController::selectorTable());
    return &table;
}

void OrbitchatPreferencesController::setEndpoints(OrbitchatEndpoints endpoints) {
    Endpoints& state = DeviceEnvironment::current().part<Endpoints>();
    std::lock_guard lock(state.mutex);
    state.endpoints = std::move(endpoints);
}

OrbitchatEndpoints OrbitchatPreferencesController::endpoints() {
    Endpoints& state = DeviceEnvironment::current().part<Endpoints>();
    std::lock_guard lock(state.mutex);
    return state.endpoints;
}

// MARK: View and rows

void OrbitchatPreferencesController::viewDidLoad() {
    PSListController::viewDidLoad();

    navigationItem()->setRightBarButtonItem(
        UIBarButtonItem::create("Respring", UIBarButtonItemStylePlain, self(), "confirmRespring:"));
    table()->setKeyboardDismissMode(UIScrollViewKeyboardDismissModeOnDrag);

    // The area covers the whole screen, not just the table, so confetti falls across the bars too.
    confettiArea_ = OCConfettiArea::create(UIScreen::mainScreen()->bounds());
    confettiArea_->setUserInteractionEnabled(false);
    confettiArea_->setDelegate(self());

    dylibsArray_ = PlistValue::array();
    loadDylibs();

    if (dylibsArray_.count() == 0) {
        auto alert = UIAlertController::alertControllerWithTitle(
            "No Extensions!",
            "You'll need to install some extensions for chatheads to work! Each supported chat app has it's "
            "own "
            "extension to prevent everything from breaking if one extension becomes outdated.",
            UIAlertControllerStyleAlert);
        auto strongSelf = self();
        alert->addAction(
            UIAlertAction::actionWithTitle("Show Me!", UIAlertActionStyleDefault, [strongSelf](const auto&) {
                strongSelf->viewExtensions(nullptr);
            }));
        alert->addAction(UIAlertAction::actionWithTitle("Dismiss", UIAlertActionStyleCancel, nullptr));
        presentAlert(alert);
    }

    auto table = this->table();
    if (auto container = table->superview())
        container->insertSubviewAboveSubview(confettiArea_, table);
}

void OrbitchatPreferencesController::viewWillAppear(bool animated) {
    PSListController::viewWillAppear(animated);
}

std::shared_ptr<const PSSpecifierList> OrbitchatPreferencesController::specifiers() {
    if (_specifiers)
        return _specifiers;
    auto loaded = loadSpecifiersFromPlistName(kSpecifierPlist, self());
    if (!loaded)
        return nullptr;
    PSSpecifierList list = *loaded;

    if (dylibsArray_.isArray() && dylibsArray_.count() > 0) {
        // A plist without rows is left to the framework; the App rows then open the list.
        if (!list.empty())
            list.front()->setProperty(PlistValue(""), "footerText");
        auto apps = ALApplicationList::sharedApplicationList();
        std::size_t insertAt = std::min<std::size_t>(1, list.size());
        for (const PlistValue& record : *dylibsArray_.arrayValue()) {
            PlistValue displayName = record.get("appDisplayName");
            if (!displayName.isString())
                continue;
            PlistValue appId = record.get("appId");
            auto row = PSSpecifier::preferenceSpecifierNamed(
                displayName.stringValue(), self(), "setValue:forSpecifier:", {}, {},
                PSTableCell::cellTypeFromString("PSStaticTextCell"), {});
            row->setProperty(appId, "key");
            if (appId.isString()) {
                if (auto icon = apps->iconOfSize(ALApplicationIconSizeSmall, appId.stringValue()))
                    row->setProperty(object(icon), "iconImage");
            }
            list.insert(list.begin() + static_cast<std::ptrdiff_t>(insertAt++), row);
        }
    }
    _specifiers = std::make_shared<const PSSpecifierList>(std::move(list));
    return _specifiers;
}

// MARK: Actions

void OrbitchatPreferencesController::presentAlert(const std::shared_ptr<UIViewController>& alert) {
    presentViewController(alert, true, nullptr);
}

void OrbitchatPreferencesController::confirmRespring(const std::shared_ptr<NSObject>&) {
    auto alert = UIAlertController::alertControllerWithTitle("Alert", "Are you sure you want to respring?",
                                                             UIAlertControllerStyleAlert);
    alert->addAction(UIAlertAction::actionWithTitle("Cancel", UIAlertActionStyleCancel, nullptr));
    std::weak_ptr<OrbitchatPreferencesController> weakSelf = self();
    alert->addAction(
        UIAlertAction::actionWithTitle("Respring", UIAlertActionStyleDestructive, [weakSelf](const auto&) {
            if (auto strongSelf = weakSelf.lock())
                strongSelf->respring();
        }));
    presentAlert(alert);
}

void OrbitchatPreferencesController::respring() {
    pid_t pid = 0;
    char killall[] = "killall";
    char backboardd[] = "backboardd";
    char* const argv[] = {killall, backboardd, nullptr};
    // Killing backboardd restarts the interface; the child's pid is not needed. A spawn that
    // failed leaves the device as it was, and the log says so.
    if (int error = device::posix_spawn(&pid, "/usr/bin/killall", nullptr, nullptr, argv, nullptr))
        NSLog("[OC] could not respring: %@", {PlistValue(std::string(std::strerror(error)))});
}

void OrbitchatPreferencesController::burst() {
    auto alert = UIAlertController::alertControllerWithTitle("Please Respring!", std::nullopt,
                                                             UIAlertControllerStyleAlert);
    alert->addAction(UIAlertAction::actionWithTitle("Later", UIAlertActionStyleCancel, nullptr));
    auto strongSelf = self();
    alert->addAction(UIAlertAction::actionWithTitle("Respring", UIAlertActionStyleDestructive,
                                                    [strongSelf](const auto&) { strongSelf->respring(); }));
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, static_cast<std::int64_t>(1 * NSEC_PER_SEC)),
                   dispatch_get_main_queue(),
                   [strongSelf, alert] { strongSelf->presentViewController(alert, true, nullptr); });
    if (confettiArea_)
        confettiArea_->burstAt(confettiArea_->center(), 10.0, 60);
}

void OrbitchatPreferencesController::viewExtensions(const std::shared_ptr<NSObject>&) {
    auto catalogue = ExtensionsTableViewController::create(endpoints().catalogueHost);
    presentViewController(UINavigationController::create(catalogue), true, nullptr);
}

void OrbitchatPreferencesController::support(const std::shared_ptr<NSObject>&) {
    auto alert = UIAlertController::alertControllerWithTitle(
        endpoints().supportEmail,
        "If you're experiencing crashes, please install CrashReporter and send the crash logs.",
        UIAlertControllerStyleAlert);
    alert->addAction(UIAlertAction::actionWithTitle("Ok", UIAlertActionStyleCancel, nullptr));
    presentAlert(alert);
}

void OrbitchatPreferencesController::openPage(const std::string& url) {
    // A page the device has nothing to open with stays closed; the log says which.
    if (!UIApplication::sharedApplication()->openURL(NSURL::URLWithString(url)))
        NSLog("[OC] could not open %@", {PlistValue(url)});
}

void OrbitchatPreferencesController::followOnTwitter(const std::shared_ptr<NSObject>&) {
    openPage(endpoints().makerProfileURL);
}

void OrbitchatPreferencesController::followTavinOnTwitter(const std::shared_ptr<NSObject>&) {
    openPage(endpoints().secondProfileURL);
}

void OrbitchatPreferencesController::makeDonation(const std::shared_ptr<NSObject>&) {
    openPage(endpoints().donationURL);
}

void OrbitchatPreferencesController::mailComposeController(const std::shared_ptr<NSObject>&, std::int64_t,
                                                           const std::shared_ptr<NSObject>&) {
    dismissModalViewControllerAnimated(true);
}

// MARK: Value store

PlistValue
OrbitchatPreferencesController::getValueForSpecifier(const std::shared_ptr<PSSpecifier>& specifier) const {
    // A row that names no preference file reads nothing and says nothing.
    if (!specifier || !specifier->propertyForKey("defaults").isString())
        return {};
    auto entry = PSPreferenceFile::entryOf(*specifier, OrbitchatPreferencePathRules);
    Result<PlistValue> stored =
        entry ? PSPreferenceFile::valueOf(entry.value()) : Result<PlistValue>(entry.failure());
    if (!stored || stored.value().isNone()) {
        NSLog("[OC] no value for app spec: %@", {object(specifier)});
        return {};
    }
    PlistValue text(stored.value().description());
    NSLog("[OC] read key '%@' with value '%@' from plist '%@'",
          {PlistValue(entry.value().key), text, PlistValue(entry.value().path)});
    return text;
}

void OrbitchatPreferencesController::setValue(const PlistValue& value,
                                              const std::shared_ptr<PSSpecifier>& specifier) {
    if (!specifier)
        return;
    PlistValue key = specifier->propertyForKey("key");
    PlistValue defaults = specifier->propertyForKey("defaults");
    // A change without a value (a cell that lost its value) or for a row without a key has
    // nothing to store: writing would either drop the key's old value or file the value under no
    // key at all. Such a call leaves the file untouched and logs nothing, so the log never claims
    // a save that did not happen. An object that is not a property-list value (an image) cannot
    // be stored either, and a row without "defaults" names no file.
    if (!defaults.isString() || !key.isString() || !PSPreferenceFile::isStorable(value))
        return;
    // The saved line is logged only for a dictionary that reached the disk. A file that exists but
    // does not read as a dictionary stays as it is, byte for byte; a write that failed leaves the
    // old file whole; a name that leads out of the preferences folder is not followed. Either way
    // the log says so, and the row shows again what is stored, so a switch that could not be
    // saved flips back.
    auto entry = PSPreferenceFile::entryOf(*specifier, OrbitchatPreferencePathRules);
    Result<> saved = entry ? PSPreferenceFile::store(entry.value(), value) : Result<>(entry.failure());
    PlistValue path(OrbitchatPreferenceFilePath(defaults.stringValue()));
    if (saved) {
        NSLog("[OC] saved key '%@' with value '%@' to plist '%@'", {key, value, path});
        return;
    }
    NSLog("[OC] did not save key '%@' with value '%@' to plist '%@': %@",
          {key, value, path, PlistValue(saved.reason())});
    noteStoreFailure(saved.failure());
    reloadSpecifier(specifier, false);
}

// MARK: Discovery

void OrbitchatPreferencesController::loadDylibs() {
    std::shared_ptr<NSError> error;
    // The folder is opened once and every filter plist read relative to it: it holds every
    // tweak's files, thousands on some devices.
    auto folder = NSFileManager::defaultManager()->openDirectoryAtPath(kDynamicLibraries, &error);
    auto entries = folder ? folder->entries(&error) : std::nullopt;
    if (!entries && error) {
        NSLog("[OC] Content Reading Erroing: %@", {object(error)});
        return;
    }
    // Records are kept in the same array object, so whoever holds it sees the new contents.
    if (!dylibsArray_.isArray())
        dylibsArray_ = PlistValue::array();
    auto& records = *dylibsArray_.arrayValue();
    records.clear();

    // Each extension's app is looked up on its own: the whole list of names would be built only
    // to be searched a few times.
    auto applications = ALApplicationList::sharedApplicationList();
    const std::string directory = kDynamicLibraries;
    const std::vector<DeviceFolder::Entry> none;
    const std::vector<DeviceFolder::Entry>& listed = entries ? *entries : none;
    // The filter plists of all extensions are read at once, then matched up in listing order.
    std::vector<std::string> filterNames;
    for (const DeviceFolder::Entry& listedEntry : listed)
        if (isExtensionFileName(listedEntry.name))
            filterNames.push_back(listedEntry.name.substr(0, listedEntry.name.find('.')) + ".plist");
    std::vector<PlistReadResult> filters =
        folder ? folder->propertyListsBelow(filterNames) : std::vector<PlistReadResult>();
    std::size_t next = 0;
    for (const DeviceFolder::Entry& listedEntry : listed) {
        const std::string& entry = listedEntry.name;
        if (!isExtensionFileName(entry))
            continue;
        PlistValue record = PlistValue::dictionary();
        record.set("status", PlistValue(contains(entry, ".dylib") ? 1 : 0));
        std::string name = entry.substr(0, entry.find('.'));
        record.set("name", PlistValue(name));
        record.set("path", PlistValue(directory + "/" + entry));
        std::string plistPath = directory + "/" + name + ".plist";
        record.set("plistPath", PlistValue(plistPath));

        const PlistReadResult& filter = filters[next++];
        PlistValue bundles = filter.ok() && filter.value.isDictionary()
                                 ? filter.value.get("Filter").get("Bundles")
                                 : PlistValue();
        if (bundles.isArray() && bundles.count() > 0) {
            PlistValue appId = bundles.at(0);
            record.set("appId", appId);
            auto app = appId.isString() ? applications->applicationInfo(appId.stringValue()) : std::nullopt;
            if (app)
                record.set("appDisplayName", PlistValue(std::move(app->displayName)));
        }
        records.push_back(record);
    }

    if (records.size() >= 2) {
        // Plain byte order ("Zeta" before "beta"); records without a display name go last, as
        // they make no row.
        // Each record's name is looked up once rather than at every comparison.
        std::vector<std::pair<PlistValue, PlistValue>> named;
        named.reserve(records.size());
        for (PlistValue& record : records)
            named.emplace_back(record.get("appDisplayName"), std::move(record));
        std::stable_sort(named.begin(), named.end(), [](const auto& a, const auto& b) {
            const PlistValue& na = a.first;
            const PlistValue& nb = b.first;
            if (!na.isString() || !nb.isString())
                return na.isString() && !nb.isString();
            return na.stringValue() < nb.stringValue();
        });
        for (std::size_t i = 0; i < named.size(); ++i)
            records[i] = std::move(named[i].second);
    }
    reloadSpecifiers();
}
