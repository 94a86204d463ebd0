#include "platform/prefslibs/ColourPickerController.h"

#include "platform/prefs/PSCellClass.h"
#include "platform/prefs/PSTableCellViews.h"
#include "platform/prefslibs/ColourStrings.h"
#include "platform/prefslibs/ColourSwatchView.h"
#include "platform/ui/UIBarButtonItem.h"
#include "platform/ui/UILabel.h"
#include "platform/ui/UINavigationController.h"
#include "platform/ui/UINavigationItem.h"
#include "platform/ui/UISlider.h"
#include "platform/ui/UITableViewContentView.h"
#include "platform/ui/UITextField.h"

#include <algorithm>

namespace {

constexpr const char* kComponentGetter = "componentValue:";
constexpr const char* kComponentSetter = "setComponentValue:specifier:";
constexpr const char* kHexGetter = "hexValue:";
constexpr const char* kHexSetter = "setHexValue:specifier:";

constexpr CGFloat kSliderTitleWidth = 100;

// The preview at the top of the page: the colour across the row, over a checkerboard.
class PreviewRow : public PSCellClass {
public:
    std::shared_ptr<UITableViewCell> cellForSpecifier(PSListController& /*list*/,
                                                      const std::shared_ptr<PSSpecifier>& /*row*/,
                                                      const PlistValue& value) const override {
        auto cell = UITableViewCell::create(UITableViewCellStyleDefault, "ColourPreview");
        auto colour = ColourStrings::fromHexText(value.stringValue()).value_or(UIColor::clearColor());
        auto swatch = ColourSwatchView::create(ColourSwatchStyle::Preview, colour);
        swatch->setFrame(CGRectMake(0, 0, 200, ColourPickerController::kPreviewHeight - 20));
        cell->setFillingControl(swatch);
        return cell;
    }
    std::optional<CGFloat> height(const PSSpecifier& /*row*/) const override {
        return ColourPickerController::kPreviewHeight;
    }
};

// A slider row with its name at the left: the stock slider cell shows no title, and four
// sliders without names would be hard to tell apart.
class ComponentRow : public PSCellClass {
public:
    std::shared_ptr<UITableViewCell> cellForSpecifier(PSListController& list,
                                                      const std::shared_ptr<PSSpecifier>& row,
                                                      const PlistValue& value) const override {
        auto cell = PSTableCellViews::stockCell(list, row, value);
        auto slider = cell->fillingControl();
        if (!slider)
            return cell;
        auto box = UIView::create(CGRectMake(0, 0, 300, 34));
        box->setAutoresizesSubviews(true);
        auto title = UILabel::create(CGRectMake(0, 0, kSliderTitleWidth, 34));
        title->setText(row->name());
        box->addSubview(title);
        slider->setFrame(CGRectMake(kSliderTitleWidth, 0, 300 - kSliderTitleWidth, 34));
        slider->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
        box->addSubview(slider);
        cell->setFillingControl(box);
        return cell;
    }
};

std::shared_ptr<PSSpecifier> row(const std::string& name, const std::shared_ptr<NSObject>& target, SEL set,
                                 SEL get, PSCellType type, const std::string& key) {
    auto s =
        PSSpecifier::preferenceSpecifierNamed(name, target, std::move(set), std::move(get), "", type, "");
    s->setProperty(PlistValue(key), "key");
    s->setProperty(PlistValue(key), "id");
    return s;
}

// The slider of a component row as its cell holds it (inside the box with its title).
std::shared_ptr<UISlider> sliderIn(const UITableViewCell& cell) {
    const auto& control = cell.fillingControl();
    if (!control)
        return nullptr;
    if (auto slider = std::dynamic_pointer_cast<UISlider>(control))
        return slider;
    for (const auto& sub : control->subviews())
        if (auto slider = std::dynamic_pointer_cast<UISlider>(sub))
            return slider;
    return nullptr;
}

} // namespace

std::shared_ptr<ColourPickerController> ColourPickerController::create(Options options) {
    return std::shared_ptr<ColourPickerController>(new ColourPickerController(std::move(options)));
}

ColourPickerController::ColourPickerController(Options options)
    : options_(std::move(options)), hsb_(ColourHSB::fromColour(options_.colour)) {
    if (!options_.showsAlpha)
        hsb_.alpha = 1;
    setTitle(options_.title);
}

const SelectorTable* ColourPickerController::selectorTable() const {
    using C = ColourPickerController;
    static const SelectorTable table(
        {
            {kComponentGetter, SelectorTable::bind(&C::componentValue)},
            {kComponentSetter, SelectorTable::bind(&C::setComponentValue)},
            {kHexGetter, SelectorTable::bind(&C::hexValue)},
            {kHexSetter, SelectorTable::bind(&C::setHexValue)},
            {"done:", SelectorTable::bind(&C::done)},
            {"cancel:", SelectorTable::bind(&C::cancel)},
        },
        PSListController::selectorTable());
    return &table;
}

std::shared_ptr<const PSSpecifierList> ColourPickerController::specifiers() {
    if (_specifiers)
        return _specifiers;
    auto self = shared_from_this();
    auto list = std::make_shared<PSSpecifierList>();
    list->push_back(PSSpecifier::preferenceSpecifierNamed("", self, "", "", "", PSGroupCell, ""));
    auto preview = row("Preview", self, "", kHexGetter, PSStaticTextCell, "preview");
    preview->setCellClass(std::make_shared<PreviewRow>());
    list->push_back(preview);

    list->push_back(PSSpecifier::preferenceSpecifierNamed("", self, "", "", "", PSGroupCell, ""));
    auto slider = std::make_shared<ComponentRow>();
    auto component = [&](const std::string& name, const std::string& key) {
        auto s = row(name, self, kComponentSetter, kComponentGetter, PSSliderCell, key);
        s->setProperty(PlistValue(0.0), "min");
        s->setProperty(PlistValue(1.0), "max");
        s->setCellClass(slider);
        list->push_back(s);
    };
    component("Hue", "hue");
    component("Saturation", "saturation");
    component("Brightness", "brightness");
    if (options_.showsAlpha)
        component("Alpha", "alpha");

    list->push_back(PSSpecifier::preferenceSpecifierNamed("", self, "", "", "", PSGroupCell, ""));
    auto hex = row("Hex", self, kHexSetter, kHexGetter, PSEditTextCell, "hex");
    hex->setProperty(PlistValue(options_.showsAlpha ? "#RRGGBBAA" : "#RRGGBB"), "placeholder");
    list->push_back(hex);
    _specifiers = std::move(list);
    return _specifiers;
}

void ColourPickerController::viewDidLoad() {
    PSListController::viewDidLoad();
    if (options_.saving != ColourPickerSaving::OnDone)
        return;
    auto self = shared_from_this();
    navigationItem()->setLeftBarButtonItem(
        UIBarButtonItem::create("Cancel", UIBarButtonItemStylePlain, self, "cancel:"));
    navigationItem()->setRightBarButtonItem(
        UIBarButtonItem::create("Done", UIBarButtonItemStyleDone, self, "done:"));
}

void ColourPickerController::viewWillDisappear(bool animated) {
    PSListController::viewWillDisappear(animated);
    if (options_.saving != ColourPickerSaving::OnClose || closing_)
        return;
    // Leaving the page closes the panel, which saves; a page pushed over it (none is) would not.
    auto navigation = navigationController();
    if (navigation) {
        const auto& stack = navigation->viewControllers();
        if (std::any_of(stack.begin(), stack.end(), [this](const auto& vc) { return vc.get() == this; }))
            return;
    }
    closing_ = true;
    if (options_.save)
        options_.save(colour());
}

PlistValue ColourPickerController::componentValue(const std::shared_ptr<PSSpecifier>& row) const {
    if (!row)
        return {};
    const std::string key = row->propertyForKey("key").stringValue();
    if (key == "hue")
        return PlistValue(hsb_.hue);
    if (key == "saturation")
        return PlistValue(hsb_.saturation);
    if (key == "brightness")
        return PlistValue(hsb_.brightness);
    if (key == "alpha")
        return PlistValue(hsb_.alpha);
    return {};
}

void ColourPickerController::setComponentValue(const PlistValue& value,
                                               const std::shared_ptr<PSSpecifier>& row) {
    if (!row || !(value.isInteger() || value.isReal()))
        return;
    const double v = std::clamp(value.doubleValue(), 0.0, 1.0);
    const std::string key = row->propertyForKey("key").stringValue();
    if (key == "hue")
        hsb_.hue = v;
    else if (key == "saturation")
        hsb_.saturation = v;
    else if (key == "brightness")
        hsb_.brightness = v;
    else if (key == "alpha" && options_.showsAlpha)
        hsb_.alpha = v;
    else
        return;
    changed(row.get());
}

PlistValue ColourPickerController::hexValue(const std::shared_ptr<PSSpecifier>& /*row*/) const {
    return PlistValue(ColourStrings::hexText(colour()));
}

void ColourPickerController::setHexValue(const PlistValue& value, const std::shared_ptr<PSSpecifier>& row) {
    // Text on its way to a colour ("#FF8") changes nothing until it reads as one.
    auto parsed = ColourStrings::fromHexText(value.stringValue());
    if (!parsed)
        return;
    ColourHSB next = ColourHSB::fromColour(*parsed);
    // A grey keeps the hue the sliders had, so the hue slider does not jump to red.
    if (next.saturation == 0)
        next.hue = hsb_.hue;
    if (next.brightness == 0) {
        next.hue = hsb_.hue;
        next.saturation = hsb_.saturation;
    }
    if (!options_.showsAlpha)
        next.alpha = 1;
    hsb_ = next;
    changed(row.get());
}

void ColourPickerController::changed(const PSSpecifier* source) {
    showColour(source);
    if (options_.saving == ColourPickerSaving::OnChange && options_.save)
        options_.save(colour());
}

void ColourPickerController::done(const std::shared_ptr<NSObject>& /*sender*/) {
    saveAndClose();
}

void ColourPickerController::cancel(const std::shared_ptr<NSObject>& /*sender*/) {
    closing_ = true;
    if (auto navigation = navigationController())
        navigation->popViewControllerAnimated(true);
}

void ColourPickerController::saveAndClose() {
    if (closing_)
        return;
    closing_ = true;
    if (options_.save)
        options_.save(colour());
    if (auto navigation = navigationController())
        navigation->popViewControllerAnimated(true);
}

void ColourPickerController::showColour(const PSSpecifier* source) {
    if (!isViewLoaded())
        return;
    auto face = UITableViewContentView::of(*table());
    if (!face)
        return;
    // The cells on screen are updated in place rather than rebuilt, so the hex field being typed
    // into keeps its text and focus.
    for (const auto& [indexPath, cell] : face->visibleRows()) {
        auto s = specifierAtIndexPath(indexPath);
        if (!s || s.get() == source || !cell)
            continue;
        const std::string key = s->propertyForKey("key").stringValue();
        if (key == "preview") {
            if (auto swatch = std::dynamic_pointer_cast<ColourSwatchView>(cell->fillingControl()))
                swatch->setColour(colour());
        } else if (key == "hex") {
            if (auto field = std::dynamic_pointer_cast<UITextField>(cell->accessoryView()))
                field->setText(ColourStrings::hexText(colour()));
        } else if (auto slider = sliderIn(*cell)) {
            slider->setValue(componentValue(s).doubleValue(), false);
        }
    }
}
