#pragma once

// The colour page that a colour row of the colour-picker libraries opens: a list built in code, so
// a script drives it as any other list (`set "Hue" 0.5`, `set "Hex" "#FF8800"`, `tap "Done"`).
// From the top: a preview of the colour, the sliders Hue, Saturation and Brightness (0...1), Alpha
// when the row allows alpha, and a "Hex" field that takes "#RRGGBB" or "#RRGGBBAA". The page is
// titled with the row's label.
//
// When the colour is saved is each library's own:
// - OnDone: the HB picker's Cancel and Done bar buttons; only Done saves, and either closes.
// - OnClose: libcolorpicker's panel saves when it closes, however it closes (leaving the page).
// - OnChange: libsparkcolourpicker saves on every change.
//
//     ColourPickerController::Options options;
//     options.title = row->name();
//     options.colour = current;
//     options.saving = ColourPickerSaving::OnDone;
//     options.save = [weakList, weakRow](const UIColor& colour) { ... };
//     navigation->pushViewController(ColourPickerController::create(std::move(options)), true);

#include "platform/prefs/PSListController.h"
#include "platform/prefslibs/ColourHSB.h"

#include <functional>
#include <memory>
#include <string>

enum class ColourPickerSaving { OnDone, OnClose, OnChange };

class ColourPickerController : public PSListController {
public:
    struct Options {
        std::string title;
        UIColor colour = UIColor::whiteColor();
        bool showsAlpha = false;
        ColourPickerSaving saving = ColourPickerSaving::OnDone;
        // Called with the colour each time the page saves it.
        std::function<void(const UIColor&)> save;
    };
    static std::shared_ptr<ColourPickerController> create(Options options);

    std::string className() const override { return "ColourPickerController"; }
    const SelectorTable* selectorTable() const override;
    std::shared_ptr<const PSSpecifierList> specifiers() override;

    void viewDidLoad() override;
    void viewWillDisappear(bool animated) override;

    // The colour the page shows now (saved or not).
    UIColor colour() const { return hsb_.colour(); }

    // The rows' accessors, by the row's "key": "hue", "saturation", "brightness", "alpha", "hex",
    // and the preview's.
    PlistValue componentValue(const std::shared_ptr<PSSpecifier>& row) const;
    void setComponentValue(const PlistValue& value, const std::shared_ptr<PSSpecifier>& row);
    PlistValue hexValue(const std::shared_ptr<PSSpecifier>& row) const;
    void setHexValue(const PlistValue& value, const std::shared_ptr<PSSpecifier>& row);
    // The bar buttons of an OnDone page.
    void done(const std::shared_ptr<NSObject>& sender);
    void cancel(const std::shared_ptr<NSObject>& sender);

    // The preview row's height.
    static constexpr CGFloat kPreviewHeight = 96;

private:
    explicit ColourPickerController(Options options);
    // Saves the colour once, and then closes the page.
    void saveAndClose();
    // Brings the rows already on screen up to date, except the one the user is changing.
    void showColour(const PSSpecifier* source);
    void changed(const PSSpecifier* source);

    Options options_;
    ColourHSB hsb_;
    bool closing_ = false;
};
