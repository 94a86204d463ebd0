#include "platform/prefslibs/HBActions.h"

#include "platform/applist/ALApplicationList.h"
#include "platform/foundation/CFVersion.h"
#include "platform/foundation/NSCharacterSet.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/NSURL.h"
#include "platform/prefs/PSCellClass.h"
#include "platform/prefs/PSControlValue.h"
#include "platform/prefslibs/HBFramework.h"
#include "platform/prefslibs/HBLinkTableCell.h"
#include "platform/prefslibs/HBPackageNameHeaderCell.h"
#include "platform/prefslibs/HBRowValues.h"
#include "platform/process/DeviceSpawn.h"
#include "platform/ui/UIAlertAction.h"
#include "platform/ui/UIAlertController.h"
#include "platform/ui/UIApplication.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

// Where the page's package lookup leaves what it found on a row: a dictionary of the record's
// fields, under a key no plist uses.
constexpr const char* kPackageInfoKey = "HBFramework.packageInfo";

struct PackageManager {
    const char* scheme;
    const char* title;
};
// In the order the framework lists them.
constexpr PackageManager kPackageManagers[] = {{"sileo", "Sileo"}, {"zbra", "Zebra"}, {"cydia", "Cydia"}};

// Whether a row names a class of the framework, as cell, group header or page.
bool namesFrameworkClass(const PSSpecifier& row) {
    for (const char* key : {"cellClass", "headerCellClass", "detail"})
        if (std::string name = hb::stringProperty(row, key); !name.empty() && HBFramework::hasClass(name))
            return true;
    return false;
}

// pl_filter: {CoreFoundationVersion = (min) or (min, max)}; the row stays when min <= version < max.
bool passesFilter(const PSSpecifier& row) {
    PlistValue filter = row.propertyForKey("pl_filter");
    PlistValue range = filter.isDictionary() ? filter.get("CoreFoundationVersion") : PlistValue();
    if (!range.isArray() || range.count() == 0)
        return true;
    double version = kCFCoreFoundationVersionNumber();
    if (auto min = PSControlValue::doubleFromValue(range.at(0)); min && version < *min)
        return false;
    if (range.count() > 1)
        if (auto max = PSControlValue::doubleFromValue(range.at(1)); max && version >= *max)
            return false;
    return true;
}

void localiseSubtitles(PSSpecifier& row, PSListController& list) {
    auto bundle = list.bundle();
    if (!bundle)
        return;
    const std::string table = list.plistName().empty() ? "Root" : list.plistName();
    for (const char* key : {"subtitle", "singularLabel"})
        if (std::string text = hb::stringProperty(row, key); !text.empty())
            row.setProperty(PlistValue(bundle->localizedStringForKey(text, text, table)), key);
}

// Whether the row shows a package: a group headed by the package header, or a package cell.
bool needsPackage(const PSSpecifier& row) {
    if (hb::stringProperty(row, "packageIdentifier").empty())
        return false;
    std::string header = hb::stringProperty(row, "headerCellClass");
    return dynamic_cast<const HBPackageTableCell*>(row.cellClass().get()) ||
           (!header.empty() &&
            dynamic_cast<const HBPackageNameHeaderCell*>(PSCellClasses::named(header).get()));
}

PlistValue infoOf(const PackageRecord& p) {
    PlistValue info = PlistValue::dictionary();
    info.set("Package", PlistValue(p.identifier));
    info.set("Name", PlistValue(p.name));
    info.set("Version", PlistValue(p.version));
    info.set("Author", PlistValue(p.author));
    info.set("Maintainer", PlistValue(p.maintainer));
    info.set("Icon", PlistValue(p.icon));
    return info;
}

// Looks the page's packages up in one read of the database.
void attachPackages(PSSpecifierList& rows) {
    if (std::none_of(rows.begin(), rows.end(), [](const auto& row) { return needsPackage(*row); }))
        return;
    Result<PackageDatabase> packages = PackageDatabase::readFromDevice();
    if (!packages) {
        // A device without a package database shows identifiers, as a phone without dpkg would;
        // a database that is there but unreadable is worth a line in the log.
        if (packages.failure().code != ENOENT)
            NSLog("HBFramework: no package information: %@", {PlistValue(packages.reason())});
        return;
    }
    for (const auto& row : rows)
        if (needsPackage(*row))
            if (const PackageRecord* p =
                    packages.value().packageWithIdentifier(hb::stringProperty(*row, "packageIdentifier")))
                row->setProperty(infoOf(*p), kPackageInfoKey);
}

// A row of another class (or none) whose action is one of the framework's: the framework's action
// runs on tap, everything else is the row's own class's.
class FrameworkActionRow : public PSCellClass {
public:
    explicit FrameworkActionRow(std::shared_ptr<const PSCellClass> inner) : inner_(std::move(inner)) {}

    std::shared_ptr<UITableViewCell> cellForSpecifier(PSListController& list,
                                                      const std::shared_ptr<PSSpecifier>& row,
                                                      const PlistValue& value) const override {
        return inner_ ? inner_->cellForSpecifier(list, row, value)
                      : PSCellClass::cellForSpecifier(list, row, value);
    }
    std::optional<CGFloat> height(const PSSpecifier& row) const override {
        return inner_ ? inner_->height(row) : std::nullopt;
    }
    bool tap(PSListController& list, const std::shared_ptr<PSSpecifier>& row) const override {
        return HBActions::perform(list, row) || (inner_ && inner_->tap(list, row));
    }
    std::optional<PlistValue> read(PSListController& list,
                                   const std::shared_ptr<PSSpecifier>& row) const override {
        return inner_ ? inner_->read(list, row) : std::nullopt;
    }
    bool store(PSListController& list, const PlistValue& value,
               const std::shared_ptr<PSSpecifier>& row) const override {
        return inner_ && inner_->store(list, value, row);
    }
    std::optional<Result<PlistValue>> valueFromText(const PSSpecifier& row,
                                                    const std::string& text) const override {
        return inner_ ? inner_->valueFromText(row, text) : std::nullopt;
    }
    std::optional<std::string> shownText(const PSSpecifier& row, const PlistValue& stored) const override {
        return inner_ ? inner_->shownText(row, stored) : std::nullopt;
    }
    std::string_view scriptInput() const override {
        return inner_ ? inner_->scriptInput() : std::string_view();
    }
    std::shared_ptr<UIView> headerView(PSListController& list, const std::shared_ptr<PSSpecifier>& group,
                                       CGFloat width) const override {
        return inner_ ? inner_->headerView(list, group, width) : nullptr;
    }

private:
    std::shared_ptr<const PSCellClass> inner_;
};

void applyConventions(PSSpecifierList& rows, PSListController& list) {
    if (std::none_of(rows.begin(), rows.end(), [](const auto& row) { return namesFrameworkClass(*row); }))
        return;
    std::erase_if(rows, [](const auto& row) { return !passesFilter(*row); });
    for (const auto& row : rows) {
        localiseSubtitles(*row, list);
        bool ownClass = HBFramework::hasClass(hb::stringProperty(*row, "cellClass"));
        if (HBActions::isFrameworkAction(row->action()) && !ownClass)
            row->setCellClass(std::make_shared<FrameworkActionRow>(row->cellClass()));
    }
    attachPackages(rows);
}

} // namespace

void HBActions::install() {
    PSCellClasses::addListConvention(applyConventions);
}

bool HBActions::isFrameworkAction(std::string_view action) {
    static constexpr std::string_view kActions[] = {"hb_respring",         "hb_respringAndReturn",
                                                    "hb_openURL:",         "hb_openPackage:",
                                                    "hb_sendSupportEmail", "hb_sendSupportEmail:"};
    return std::find(std::begin(kActions), std::end(kActions), action) != std::end(kActions);
}

bool HBActions::perform(PSListController& list, const std::shared_ptr<PSSpecifier>& row) {
    if (!isFrameworkAction(row->action()))
        return false;
    if (row->propertyForKey("confirmation").isDictionary())
        confirmThenRun(list, row);
    else
        run(list, row);
    return true;
}

void HBActions::confirmThenRun(PSListController& list, const std::shared_ptr<PSSpecifier>& row) {
    // The stock confirmation sheet, whose OK runs the framework's action rather than a selector
    // of the list.
    list.presentConfirmation(row,
                             [](PSListController& l, const std::shared_ptr<PSSpecifier>& r) { run(l, r); });
}

void HBActions::run(PSListController& list, const std::shared_ptr<PSSpecifier>& row) {
    const std::string& action = row->action();
    if (action == "hb_respring" || action == "hb_respringAndReturn") {
        respring();
    } else if (action == "hb_openURL:") {
        openURL(hb::stringProperty(*row, "url"));
    } else if (action == "hb_openPackage:") {
        openPackage(list, hb::stringProperty(*row, "packageIdentifier"),
                    hb::stringProperty(*row, "packageRepository"));
    } else {
        // The framework writes a support mail; a device without a mail account gets its alert.
        auto alert = UIAlertController::alertControllerWithTitle("No mail accounts are set up.", std::nullopt,
                                                                 UIAlertControllerStyleAlert);
        alert->addAction(UIAlertAction::actionWithTitle("OK", UIAlertActionStyleCancel, nullptr));
        list.presentViewController(alert, true, nullptr);
    }
}

void HBActions::respring() {
    pid_t pid = 0;
    char killall[] = "killall";
    char backboardd[] = "backboardd";
    char* const argv[] = {killall, backboardd, nullptr};
    // Killing backboardd restarts the interface. A spawn that failed leaves the device as it was,
    // and the log says so.
    if (int error = device::posix_spawn(&pid, "/usr/bin/killall", nullptr, nullptr, argv, nullptr))
        NSLog("HBFramework: could not respring: %@", {PlistValue(std::string(std::strerror(error)))});
}

void HBActions::openURL(const std::string& url) {
    auto parsed = NSURL::URLWithString(url);
    if (!parsed) {
        NSLog("HBFramework: not a URL: %@", {PlistValue(url)});
        return;
    }
    UIApplication::sharedApplication()->openURL(parsed);
}

std::string HBActions::packageURL(std::string_view scheme, const std::string& identifier,
                                  const std::string& repository) {
    std::string url =
        std::string(scheme) + "://package/" +
        NSStringByAddingPercentEncoding(identifier, NSCharacterSet::URLPathAllowedCharacterSet());
    if (scheme == "zbra" && !repository.empty())
        url += "?source=" +
               NSStringByAddingPercentEncoding(repository, NSCharacterSet::URLUnreservedCharacterSet());
    return url;
}

void HBActions::openPackage(PSListController& list, const std::string& identifier,
                            const std::string& repository) {
    if (identifier.empty())
        return;
    std::optional<std::string> message;
    if (!repository.empty())
        message = "This package will be installed from the repository " + repository + ".";
    auto sheet =
        UIAlertController::alertControllerWithTitle("Open in…", message, UIAlertControllerStyleActionSheet);
    auto apps = ALApplicationList::sharedApplicationList();
    for (const PackageManager& manager : kPackageManagers) {
        if (!apps->hasApplicationForURLScheme(manager.scheme))
            continue;
        std::string url = packageURL(manager.scheme, identifier, repository);
        sheet->addAction(
            UIAlertAction::actionWithTitle(manager.title, UIAlertActionStyleDefault,
                                           [url](const std::shared_ptr<UIAlertAction>&) { openURL(url); }));
    }
    sheet->addAction(UIAlertAction::actionWithTitle("Cancel", UIAlertActionStyleCancel, nullptr));
    list.presentViewController(sheet, true, nullptr);
}

std::optional<PackageRecord> HBActions::packageInfo(const PSSpecifier& row) {
    PlistValue info = row.propertyForKey(kPackageInfoKey);
    if (!info.isDictionary())
        return std::nullopt;
    auto text = [&](const char* key) {
        PlistValue v = info.get(key);
        return v.isString() ? v.stringValue() : std::string();
    };
    return PackageRecord{text("Package"), text("Name"),       text("Version"),
                         text("Author"),  text("Maintainer"), text("Icon")};
}
