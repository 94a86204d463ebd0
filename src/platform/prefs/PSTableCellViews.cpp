#include "platform/prefs/PSTableCellViews.h"

#include "platform/prefs/PSCellClass.h"
#include "platform/prefs/PSCellTypes.h"
#include "platform/prefs/PSControlValue.h"
#include "platform/ui/UIGraphics.h"
#include "platform/ui/UIImage.h"
#include "platform/ui/UIImageView.h"
#include "platform/ui/UILabel.h"
#include "platform/ui/UISegmentedControl.h"
#include "platform/ui/UISlider.h"
#include "platform/ui/UISwitch.h"
#include "platform/ui/UITableViewGroupedLayout.h"
#include "platform/ui/UITextField.h"

#include <cmath>
#include <memory>
#include <string>

namespace {

// Each control calls back into the list weakly: a cell may outlive its list on screen for the
// length of a transition.
template <class F> auto weakly(PSListController& list, const std::shared_ptr<PSSpecifier>& s, F f) {
    std::weak_ptr<PSListController> weakList =
        std::static_pointer_cast<PSListController>(list.shared_from_this());
    std::weak_ptr<PSSpecifier> weakRow = s;
    return [weakList, weakRow, f](UIControl& control) {
        auto l = weakList.lock();
        auto r = weakRow.lock();
        if (l && r)
            f(*l, r, control);
    };
}

constexpr CGFloat kValueLabelWidth = 44;

// A slider with its value at the right (showValue): the label follows the slider.
std::shared_ptr<UIView> sliderWithValue(const std::shared_ptr<UISlider>& slider) {
    auto box = UIView::create(CGRectMake(0, 0, 200, 34));
    box->setAutoresizesSubviews(true);
    slider->setFrame(CGRectMake(0, 0, 200 - kValueLabelWidth - 8, 34));
    slider->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
    auto label = UILabel::create(CGRectMake(200 - kValueLabelWidth, 0, kValueLabelWidth, 34));
    label->setTextAlignment(NSTextAlignmentRight);
    label->setTextColor(UITableViewGroupedLayout::detailTextColor());
    label->setAutoresizingMask(UIViewAutoresizingFlexibleLeftMargin);
    label->setText(PSControlValue::numberText(std::round(slider->value() * 100) / 100));
    std::weak_ptr<UILabel> weakLabel = label;
    slider->addAction(
        [weakLabel](UIControl& c) {
            if (auto l = weakLabel.lock())
                l->setText(
                    PSControlValue::numberText(std::round(static_cast<UISlider&>(c).value() * 100) / 100));
        },
        UIControlEventValueChanged);
    box->addSubview(slider);
    box->addSubview(label);
    return box;
}

// The keyboard a text row asks for: "isNumeric" (with "isDecimalPad" for a decimal point),
// "isEmail", "isURL", or "keyboard" naming one ("numbers", "phone").
UIKeyboardType keyboardFor(const PSSpecifier& s) {
    auto flag = [&](const char* key) { return PSControlValue::boolFromValue(s.propertyForKey(key)); };
    if (flag("isNumeric"))
        return flag("isDecimalPad") ? UIKeyboardTypeDecimalPad : UIKeyboardTypeNumberPad;
    if (flag("isEmail"))
        return UIKeyboardTypeEmailAddress;
    if (flag("isURL"))
        return UIKeyboardTypeURL;
    PlistValue keyboard = s.propertyForKey("keyboard");
    if (keyboard.isString() && keyboard.stringValue() == "numbers")
        return UIKeyboardTypeNumbersAndPunctuation;
    if (keyboard.isString() && keyboard.stringValue() == "phone")
        return UIKeyboardTypePhonePad;
    return UIKeyboardTypeDefault;
}

// A slider between the images of its ends ("leftImage", "rightImage", images of the bundle).
std::shared_ptr<UIView> sliderBetweenImages(const std::shared_ptr<UIView>& slider,
                                            const std::shared_ptr<UIImage>& left,
                                            const std::shared_ptr<UIImage>& right) {
    constexpr CGFloat kImage = 22, kGap = 8;
    auto box = UIView::create(CGRectMake(0, 0, 200, 34));
    box->setAutoresizesSubviews(true);
    CGFloat x = 0, w = 200;
    if (left) {
        auto view = UIImageView::create(CGRectMake(0, (34 - kImage) / 2, kImage, kImage));
        view->setImage(left);
        view->setContentMode(UIViewContentModeScaleAspectFit);
        box->addSubview(view);
        x += kImage + kGap;
        w -= kImage + kGap;
    }
    if (right) {
        auto view = UIImageView::create(CGRectMake(200 - kImage, (34 - kImage) / 2, kImage, kImage));
        view->setImage(right);
        view->setContentMode(UIViewContentModeScaleAspectFit);
        view->setAutoresizingMask(UIViewAutoresizingFlexibleLeftMargin);
        box->addSubview(view);
        w -= kImage + kGap;
    }
    slider->setFrame(CGRectMake(x, 0, w, 34));
    slider->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
    box->addSubview(slider);
    return box;
}

// The mark of a row drawn as the stock cell in place of the bundle's own class: an orange triangle
// in the row's top-left corner, clear of the title and the icon.
class ApproximatedMark : public UIView {
public:
    static constexpr CGFloat kSize = 10;
    static std::shared_ptr<ApproximatedMark> create() {
        auto v = std::shared_ptr<ApproximatedMark>(new ApproximatedMark());
        v->commonInit();
        v->setUserInteractionEnabled(false);
        return v;
    }
    std::string className() const override { return "PSApproximatedCellMark"; }
    bool drawsContent() const override { return true; }
    void drawRect(CGRect) override {
        CGContextRef c = UIGraphicsGetCurrentContext();
        CGContextSetFillColorWithColor(c, PSTableCellViews::placeholderColor().rgba);
        CGContextMoveToPoint(c, 0, 0);
        CGContextAddLineToPoint(c, kSize, 0);
        CGContextAddLineToPoint(c, 0, kSize);
        CGContextClosePath(c);
        CGContextFillPath(c);
    }

private:
    ApproximatedMark() : UIView(CGRectMake(0, 0, kSize, kSize)) {}
};

} // namespace

std::shared_ptr<UITableViewCell> PSTableCellViews::cellForSpecifier(PSListController& list,
                                                                    const std::shared_ptr<PSSpecifier>& s,
                                                                    const PlistValue& value) {
    if (!s->missingClassName().empty()) {
        auto cell = UITableViewCell::create(UITableViewCellStyleSubtitle,
                                            PSTableCell::stringFromCellType(s->cellType()));
        cell->setText(s->name());
        if (auto icon = s->propertyForKey("iconImage").objectAs<UIImage>())
            cell->setImage(icon);
        cell->setDetailText(s->missingClassName() + " (not on this device)");
        cell->setDetailTextColor(placeholderColor());
        return cell;
    }
    auto cell = s->cellClass() ? s->cellClass()->cellForSpecifier(list, s, value) : stockCell(list, s, value);
    if (cell && !s->approximatedClassName().empty())
        markApproximated(*cell);
    return cell;
}

void PSTableCellViews::markApproximated(UITableViewCell& cell) {
    auto mark = ApproximatedMark::create();
    mark->setTag(kApproximatedMarkTag);
    cell.addSubview(mark);
}

std::shared_ptr<UITableViewCell> PSTableCellViews::stockCell(PSListController& list,
                                                             const std::shared_ptr<PSSpecifier>& s,
                                                             const PlistValue& value,
                                                             UITableViewCellStyle style) {
    auto cell = UITableViewCell::create(style, PSTableCell::stringFromCellType(s->cellType()));
    cell->setText(s->name());
    if (auto icon = s->propertyForKey("iconImage").objectAs<UIImage>())
        cell->setImage(icon);
    if (PlistValue enabled = s->propertyForKey("enabled"); !enabled.isNone())
        cell->setEnabled(PSControlValue::boolFromValue(enabled));

    const PSCellControl control = PSCellTypes::of(s->cellType()).control;
    switch (control) {
    case PSCellControl::Switch: {
        auto toggle = UISwitch::create();
        toggle->setOn(PSControlValue::switchIsOn(*s, value), false);
        toggle->addAction(
            weakly(list, s,
                   [](PSListController& l, const std::shared_ptr<PSSpecifier>& row, UIControl& c) {
                       l.setValueForSpecifier(
                           PSControlValue::fromSwitch(*row, static_cast<UISwitch&>(c).isOn()), row);
                   }),
            UIControlEventValueChanged);
        cell->setAccessoryView(toggle);
        break;
    }
    case PSCellControl::Slider: {
        auto slider = UISlider::create(CGRectMake(0, 0, 200, 34));
        slider->setMinimumValue(PSControlValue::sliderMinimum(*s));
        slider->setMaximumValue(PSControlValue::sliderMaximum(*s));
        slider->setValue(PSControlValue::sliderPosition(*s, value), false);
        slider->setContinuous(false);
        slider->addAction(
            weakly(list, s,
                   [](PSListController& l, const std::shared_ptr<PSSpecifier>& row, UIControl& c) {
                       auto& control = static_cast<UISlider&>(c);
                       PlistValue stored = PSControlValue::fromSlider(*row, control.value());
                       control.setValue(stored.doubleValue(), false);
                       l.setValueForSpecifier(stored, row);
                   }),
            UIControlEventValueChanged);
        std::shared_ptr<UIView> control = slider;
        if (PSControlValue::boolFromValue(s->propertyForKey("showValue")))
            control = sliderWithValue(slider);
        auto endImage = [&](const char* key) -> std::shared_ptr<UIImage> {
            PlistValue name = s->propertyForKey(key);
            auto bundle = name.isString() ? list.bundle() : nullptr;
            return bundle ? PSListController::imageFromBundle(*bundle, name.stringValue()) : nullptr;
        };
        auto left = endImage("leftImage"), right = endImage("rightImage");
        if (left || right)
            control = sliderBetweenImages(control, left, right);
        cell->setFillingControl(control);
        break;
    }
    case PSCellControl::Segments: {
        auto segments = UISegmentedControl::create(PSControlValue::choiceTitles(*s),
                                                   CGRectMake(0, 0, 200, UISegmentedControl::kHeight));
        if (auto index = PSControlValue::choiceIndex(*s, value))
            segments->setSelectedSegmentIndex(static_cast<std::int64_t>(*index));
        segments->addAction(
            weakly(list, s,
                   [](PSListController& l, const std::shared_ptr<PSSpecifier>& row, UIControl& c) {
                       auto index = static_cast<UISegmentedControl&>(c).selectedSegmentIndex();
                       if (index < 0)
                           return;
                       PlistValue stored = PSControlValue::fromChoice(*row, static_cast<std::size_t>(index));
                       if (!stored.isNone())
                           l.setValueForSpecifier(stored, row);
                   }),
            UIControlEventValueChanged);
        cell->setFillingControl(segments);
        break;
    }
    case PSCellControl::TextField:
    case PSCellControl::SecureTextField: {
        auto field = UITextField::create(CGRectMake(0, 0, 200, 30));
        field->setSecureTextEntry(control == PSCellControl::SecureTextField);
        field->setKeyboardType(keyboardFor(*s));
        field->setText(value.isString() ? value.stringValue() : value.isNumber() ? value.description() : "");
        PlistValue placeholderText = s->propertyForKey("placeholder");
        field->setPlaceholder(placeholderText.isString() ? placeholderText.stringValue() : "");
        field->setTextAlignment(NSTextAlignmentRight);
        field->setTextColor(UITableViewGroupedLayout::detailTextColor());
        // The text is committed when the editing ends, as the platform commits a field's value:
        // one store and one notification for a word typed, not one a key. A field left as it was
        // found stores nothing.
        auto shownAtBegin = std::make_shared<std::string>(field->text());
        field->addAction(
            [shownAtBegin](UIControl& c) { *shownAtBegin = static_cast<UITextField&>(c).text(); },
            UIControlEventEditingDidBegin);
        field->addAction(weakly(list, s,
                                [shownAtBegin](PSListController& l, const std::shared_ptr<PSSpecifier>& row,
                                               UIControl& c) {
                                    const std::string& text = static_cast<UITextField&>(c).text();
                                    if (text == *shownAtBegin)
                                        return;
                                    *shownAtBegin = text;
                                    l.setValueForSpecifier(PlistValue(text), row);
                                }),
                         UIControlEventEditingDidEnd);
        cell->setAccessoryView(field);
        break;
    }
    case PSCellControl::Button:
        cell->setTextColor(PSControlValue::boolFromValue(s->propertyForKey("isDestructive"))
                               ? destructiveColor()
                               : buttonColor());
        break;
    case PSCellControl::Link:
        cell->setAccessoryType(UITableViewCellAccessoryDisclosureIndicator);
        break;
    case PSCellControl::ChoiceLink:
    case PSCellControl::TitleValue:
    case PSCellControl::Title:
    case PSCellControl::Group:
        if (control == PSCellControl::ChoiceLink)
            cell->setAccessoryType(UITableViewCellAccessoryDisclosureIndicator);
        if (auto shown = PSControlValue::shownText(*s, value))
            cell->setDetailText(*shown);
        break;
    }
    return cell;
}
