#include "platform/prefslibs/ColourCellClass.h"

#include "platform/foundation/DarwinNotifyCenter.h"
#include "platform/foundation/DeviceRandom.h"
#include "platform/foundation/NSLog.h"
#include "platform/prefs/PSControlValue.h"
#include "platform/prefs/PSListController.h"
#include "platform/prefs/PSPreferenceFile.h"
#include "platform/prefs/PSPreferencePath.h"
#include "platform/prefs/PSTableCellViews.h"
#include "platform/prefslibs/ColourPickerController.h"
#include "platform/prefslibs/ColourStrings.h"
#include "platform/prefslibs/ColourSwatchView.h"
#include "platform/ui/UINavigationController.h"
#include "platform/ui/UITableViewCell.h"
#include "platform/ui/UITableViewGroupedLayout.h"

#include <cstdint>

namespace {

std::string stringOf(const PlistValue& v) {
    return v.isString() ? v.stringValue() : std::string();
}

bool isEmptyText(const PlistValue& v) {
    return v.isNone() || (v.isString() && v.stringValue().empty());
}

// A 64-bit mixer (splitmix64's finaliser): neighbouring inputs give unrelated outputs, so rows and
// seeds that differ by a little get colours that differ by a lot.
std::uint64_t mix(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

// libcolorpicker's colour for a row with neither a value nor a fallback: a random one. On a
// seeded device it is the seed's colour for that row, the same on every look and every run,
// without taking a number from the sequence that other draws (confetti) rely on.
UIColor randomColour(const ColourCellClass::Storage& storage) {
    if (auto seed = DeviceRandom::currentSeed()) {
        std::uint64_t h = 0xCBF29CE484222325ull;
        for (unsigned char c : storage.defaults + "\n" + storage.key)
            h = (h ^ c) * 0x100000001B3ull;
        const std::uint64_t bits = mix(*seed ^ h);
        return UIColor::colorWithRed((bits & 0xFF) / 255.0, ((bits >> 8) & 0xFF) / 255.0,
                                     ((bits >> 16) & 0xFF) / 255.0, 1);
    }
    return UIColor::colorWithRed(DeviceRandom::arc4random_uniform(256) / 255.0,
                                 DeviceRandom::arc4random_uniform(256) / 255.0,
                                 DeviceRandom::arc4random_uniform(256) / 255.0, 1);
}

// The file a library that writes its own file keeps a row's value in. The libraries put
// "defaults" after the preferences folder as a plain name; one holding "/" would name a file
// elsewhere, which is refused rather than followed.
Result<PSPreferenceFile::Entry> fileEntry(const ColourCellClass::Storage& storage) {
    if (storage.defaults.empty())
        return Failure{"the row names no \"defaults\""};
    if (storage.key.empty())
        return Failure{"the row names no \"key\""};
    if (storage.defaults.find('/') != std::string::npos)
        return Failure{"\"" + storage.defaults + "\" is not a file name of the preferences folder"};
    Result<std::string> path = PSPreferencePath::resolve(storage.defaults, PSPreferencePathRules::Strict);
    if (!path)
        return path.failure();
    return PSPreferenceFile::Entry{path.value(), storage.key};
}

std::weak_ptr<PSListController> weakListOf(PSListController& list) {
    return std::static_pointer_cast<PSListController>(list.shared_from_this());
}

} // namespace

ColourCellClass::Storage ColourCellClass::storageOf(const PSSpecifier& row) const {
    Storage s;
    switch (library_) {
    case ColourLibrary::HBPicker:
    case ColourLibrary::HBColorPicker:
        s.defaults = stringOf(row.propertyForKey("defaults"));
        s.key = stringOf(row.propertyForKey("key"));
        s.fallback = row.propertyForKey("default");
        s.alpha = PSControlValue::boolFromValue(
            row.propertyForKey(library_ == ColourLibrary::HBPicker ? "showAlphaSlider" : "alpha"));
        s.notification = stringOf(row.propertyForKey("PostNotification"));
        break;
    case ColourLibrary::Libcolorpicker: {
        // Only the nested dictionary counts; the row's own PostNotification is not the library's.
        PlistValue inner = row.propertyForKey("libcolorpicker");
        s.defaults = stringOf(inner.get("defaults"));
        s.key = stringOf(inner.get("key"));
        s.fallback = inner.get("fallback");
        s.alpha = PSControlValue::boolFromValue(inner.get("alpha"));
        s.notification = stringOf(inner.get("PostNotification"));
        if (s.notification.empty())
            s.notification = s.defaults + "_" + s.key + "_libcolorpicker_refreshn";
        break;
    }
    case ColourLibrary::Spark: {
        PlistValue inner = row.propertyForKey("libsparkcolourpicker");
        if (!inner.isDictionary())
            inner = row.propertyForKey("libcolorpicker");
        s.defaults = stringOf(inner.get("defaults"));
        s.key = stringOf(inner.get("key"));
        if (s.key.empty())
            s.key = stringOf(row.propertyForKey("key"));
        s.fallback = inner.get("fallback");
        s.alpha = PSControlValue::boolFromValue(inner.get("alpha"));
        s.notification = stringOf(inner.get("PostNotification"));
        break;
    }
    }
    return s;
}

bool ColourCellClass::writesFile() const {
    return library_ == ColourLibrary::Libcolorpicker || library_ == ColourLibrary::Spark;
}

UIColor ColourCellClass::colourOf(const PSSpecifier& row, const PlistValue& value) const {
    const Storage storage = storageOf(row);
    switch (library_) {
    case ColourLibrary::HBPicker:
        return ColourStrings::readHB(value).value_or(unreadableHBColour());
    case ColourLibrary::HBColorPicker:
    case ColourLibrary::Libcolorpicker:
        if (value.isString())
            if (auto colour = ColourStrings::readLibcolorpicker(value.stringValue()))
                return *colour;
        if (storage.fallback.isString())
            if (auto colour = ColourStrings::readLibcolorpicker(storage.fallback.stringValue()))
                return *colour;
        if (isEmptyText(value) && isEmptyText(storage.fallback))
            return randomColour(storage);
        return UIColor::blackColor();
    case ColourLibrary::Spark:
        if (value.isString())
            if (auto colour = ColourStrings::readSpark(value.stringValue()))
                return *colour;
        if (storage.fallback.isString())
            if (auto colour = ColourStrings::readSpark(storage.fallback.stringValue()))
                return *colour;
        return UIColor::blackColor();
    }
    return UIColor::blackColor();
}

std::string ColourCellClass::valueText(const UIColor& colour) const {
    switch (library_) {
    case ColourLibrary::HBPicker:
        return ColourStrings::writeHB(colour);
    case ColourLibrary::HBColorPicker:
    case ColourLibrary::Libcolorpicker:
        return ColourStrings::writeLibcolorpicker(colour);
    case ColourLibrary::Spark:
        return ColourStrings::writeSpark(colour);
    }
    return {};
}

void ColourCellClass::prepareSpecifier(PSSpecifier& row, PSListController& /*list*/) const {
    // The HB picker makes its row a button whatever the plist says: a tinted title, no chevron.
    if (library_ == ColourLibrary::HBPicker)
        row.setCellType(PSButtonCell);
}

std::shared_ptr<UITableViewCell> ColourCellClass::cellForSpecifier(PSListController& list,
                                                                   const std::shared_ptr<PSSpecifier>& row,
                                                                   const PlistValue& value) const {
    const UIColor colour = colourOf(*row, value);
    std::shared_ptr<UITableViewCell> cell;
    ColourSwatchStyle swatch = ColourSwatchStyle::Circle;
    switch (library_) {
    case ColourLibrary::HBPicker:
        cell = PSTableCellViews::stockCell(list, row, value);
        swatch = ColourSwatchStyle::Well;
        break;
    case ColourLibrary::HBColorPicker:
        cell = PSTableCellViews::stockCell(list, row, value);
        cell->setDetailText(ColourStrings::hexText(colour.colorWithAlphaComponent(1)));
        cell->setDetailTextColor(UITableViewGroupedLayout::detailTextColor());
        break;
    case ColourLibrary::Libcolorpicker:
        cell = PSTableCellViews::stockCell(list, row, value, UITableViewCellStyleSubtitle);
        cell->setDetailText(ColourStrings::hexText(colour.colorWithAlphaComponent(1)));
        cell->setDetailTextColor(UIColor::labelColor().colorWithAlphaComponent(0.65));
        break;
    case ColourLibrary::Spark:
        cell = PSTableCellViews::stockCell(list, row, value);
        swatch = ColourSwatchStyle::Box;
        break;
    }
    // The swatch stands where the chevron would be.
    cell->setAccessoryType(UITableViewCellAccessoryNone);
    cell->setAccessoryView(ColourSwatchView::create(swatch, colour));
    return cell;
}

bool ColourCellClass::tap(PSListController& list, const std::shared_ptr<PSSpecifier>& row) const {
    auto navigation = list.navigationController();
    if (!navigation)
        return false;
    const Storage storage = storageOf(*row);
    ColourPickerController::Options options;
    options.title = row->name();
    options.colour = colourOf(*row, list.valueForSpecifier(row));
    options.showsAlpha = storage.alpha;
    switch (library_) {
    case ColourLibrary::HBPicker:
        options.saving = ColourPickerSaving::OnDone;
        break;
    case ColourLibrary::HBColorPicker:
    case ColourLibrary::Libcolorpicker:
        options.saving = ColourPickerSaving::OnClose;
        break;
    case ColourLibrary::Spark:
        options.saving = ColourPickerSaving::OnChange;
        break;
    }
    // The page may outlive the list for a transition, and the list the row.
    std::weak_ptr<PSListController> weakList = weakListOf(list);
    std::weak_ptr<PSSpecifier> weakRow = row;
    options.save = [weakList, weakRow](const UIColor& colour) {
        auto l = weakList.lock();
        auto r = weakRow.lock();
        auto cls = r ? std::dynamic_pointer_cast<const ColourCellClass>(r->cellClass()) : nullptr;
        if (!l || !cls)
            return;
        // The class's store (or the stock setter) writes it, and the row shows it afterwards.
        l->setValueForSpecifier(PlistValue(cls->valueText(colour)), r);
    };
    auto page = ColourPickerController::create(std::move(options));
    page->setBundle(list.bundle());
    navigation->pushViewController(page, true);
    return true;
}

std::optional<PlistValue> ColourCellClass::read(PSListController& /*list*/,
                                                const std::shared_ptr<PSSpecifier>& row) const {
    if (!writesFile())
        return std::nullopt;
    const Storage storage = storageOf(*row);
    // A file that is not there, does not read or lacks the key: the row shows its fallback.
    if (auto entry = fileEntry(storage)) {
        Result<PlistValue> stored = PSPreferenceFile::valueOf(entry.value());
        if (stored && !stored.value().isNone())
            return stored.value();
    }
    return storage.fallback;
}

bool ColourCellClass::store(PSListController& list, const PlistValue& value,
                            const std::shared_ptr<PSSpecifier>& row) const {
    if (!writesFile()) {
        // The stock setter stores the value once this answers; the table rebuilds its rows at its
        // next look, by then showing the stored colour.
        list.reloadSpecifier(row, false);
        return false;
    }
    const Storage storage = storageOf(*row);
    auto entry = fileEntry(storage);
    if (!entry) {
        NSLog("Couldn't save %@: %@", {PlistValue(row->identifier()), PlistValue(entry.reason())});
        return true;
    }
    if (!value.isString()) {
        NSLog("Couldn't save %@: a colour is text, not %@", {PlistValue(row->identifier()), value});
        return true;
    }
    if (Result<> saved = PSPreferenceFile::store(entry.value(), value); !saved) {
        NSLog("Couldn't save key '%@' to %@: %@",
              {PlistValue(entry.value().key), PlistValue(entry.value().path), PlistValue(saved.reason())});
        return true;
    }
    if (!storage.notification.empty())
        DarwinNotifyCenter::post(storage.notification);
    list.reloadSpecifier(row, false);
    return true;
}

std::optional<Result<PlistValue>> ColourCellClass::valueFromText(const PSSpecifier& row,
                                                                 const std::string& text) const {
    auto colour = ColourStrings::fromHexText(text);
    if (!colour)
        return Result<PlistValue>(Failure{"the colour \"" + row.name() + "\" takes " +
                                          std::string(scriptInput()) + ", not \"" + text + "\""});
    if (colour->alpha() < 1 && !storageOf(row).alpha)
        return Result<PlistValue>(Failure{"the colour \"" + row.name() +
                                          "\" has no alpha: it takes #RRGGBB, not \"" + text + "\""});
    return Result<PlistValue>(PlistValue(valueText(*colour)));
}

std::optional<std::string> ColourCellClass::shownText(const PSSpecifier& row,
                                                      const PlistValue& stored) const {
    return ColourStrings::hexText(colourOf(row, stored));
}
