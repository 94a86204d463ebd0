#include "platform/prefs/PSTableCellViews.h"

#include "platform/ui/UIImage.h"
#include "platform/ui/UISegmentedControl.h"
#include "platform/ui/UISlider.h"
#include "platform/ui/UISwitch.h"
#include "platform/ui/UITableViewContentView.h"
#include "platform/ui/UITextField.h"

#include <cmath>
#include <cstdlib>

namespace {

std::optional<std::string> stringProperty(const PSSpecifier& s, std::string_view key) {
    PlistValue v = s.propertyForKey(key);
    if (v.isString())
        return v.stringValue();
    return std::nullopt;
}

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

// Getters may answer the value itself or its text (as the pane's does: "1", "56", "Left"); the
// cells read either, the way the framework's cells read an NSString (boolValue, floatValue).
bool boolFromValue(const PlistValue& v) {
    if (v.isNumber())
        return v.boolValue();
    if (!v.isString())
        return false;
    for (char c : v.stringValue()) {
        if (c == ' ' || c == '\t' || c == '+' || c == '-' || c == '0')
            continue;
        return (c >= '1' && c <= '9') || c == 'Y' || c == 'y' || c == 'T' || c == 't';
    }
    return false;
}

std::optional<double> doubleFromValue(const PlistValue& v) {
    if (v.isNumber())
        return v.doubleValue();
    if (!v.isString() || v.stringValue().empty())
        return std::nullopt;
    char* end = nullptr;
    double d = std::strtod(v.stringValue().c_str(), &end);
    if (end == v.stringValue().c_str() || !std::isfinite(d))
        return std::nullopt;
    return d;
}

bool sameChoice(const PlistValue& choice, const PlistValue& value) {
    return choice == value || (value.isString() && choice.description() == value.stringValue());
}

} // namespace

UITableViewGroupedLayout::Extras PSTableCellViews::extrasForSpecifier(PSListController& list,
                                                                      const std::shared_ptr<PSSpecifier>& s,
                                                                      UITableViewCell& cell) {
    UITableViewGroupedLayout::Extras extras;
    if (auto icon = s->propertyForKey("iconImage").objectAs<UIImage>())
        cell.setImage(icon);
    PlistValue value = list.valueForSpecifier(s);
    switch (s->cellType()) {
    case PSSwitchCell: {
        auto toggle = UISwitch::create();
        toggle->setOn(boolFromValue(value), false);
        toggle->addAction(
            weakly(list, s,
                   [](PSListController& l, const std::shared_ptr<PSSpecifier>& row, UIControl& c) {
                       l.setValueForSpecifier(PlistValue(static_cast<UISwitch&>(c).isOn()), row);
                   }),
            UIControlEventValueChanged);
        extras.accessoryView = toggle;
        cell.setDetailText("");
        break;
    }
    case PSSliderCell: {
        auto slider = UISlider::create(CGRectMake(0, 0, 200, 34));
        // Bounds may be numbers or, in the old text form of property lists, numeric strings.
        slider->setMinimumValue(doubleFromValue(s->propertyForKey("min")).value_or(0));
        slider->setMaximumValue(doubleFromValue(s->propertyForKey("max")).value_or(1));
        slider->setValue(doubleFromValue(value).value_or(slider->minimumValue()), false);
        slider->setContinuous(false);
        slider->addAction(
            weakly(list, s,
                   [](PSListController& l, const std::shared_ptr<PSSpecifier>& row, UIControl& c) {
                       l.setValueForSpecifier(PlistValue(static_cast<UISlider&>(c).value()), row);
                   }),
            UIControlEventValueChanged);
        extras.fullWidthView = slider;
        extras.hidesTitle = true;
        cell.setDetailText("");
        break;
    }
    case PSSegmentCell: {
        std::vector<std::string> titles;
        PlistValue t = s->propertyForKey("validTitles"), values = s->propertyForKey("validValues");
        for (std::size_t i = 0; i < t.count(); ++i)
            titles.push_back(t.at(i).description());
        auto segments =
            UISegmentedControl::create(titles, CGRectMake(0, 0, 200, UISegmentedControl::kHeight));
        for (std::size_t i = 0; i < values.count(); ++i)
            if (sameChoice(values.at(i), value))
                segments->setSelectedSegmentIndex(static_cast<std::int64_t>(i));
        segments->addAction(
            weakly(list, s,
                   [](PSListController& l, const std::shared_ptr<PSSpecifier>& row, UIControl& c) {
                       auto index = static_cast<UISegmentedControl&>(c).selectedSegmentIndex();
                       PlistValue choices = row->propertyForKey("validValues");
                       if (index >= 0 && static_cast<std::size_t>(index) < choices.count())
                           l.setValueForSpecifier(choices.at(static_cast<std::size_t>(index)), row);
                   }),
            UIControlEventValueChanged);
        extras.fullWidthView = segments;
        extras.hidesTitle = true;
        cell.setDetailText("");
        break;
    }
    case PSEditTextCell:
    case PSSecureEditTextCell: {
        auto field = UITextField::create(CGRectMake(0, 0, 200, 30));
        field->setText(value.isString() ? value.stringValue() : std::string());
        field->setPlaceholder(stringProperty(*s, "placeholder").value_or(""));
        field->setTextAlignment(NSTextAlignmentRight);
        field->setTextColor(UITableViewGroupedLayout::detailTextColor());
        field->addAction(
            weakly(list, s,
                   [](PSListController& l, const std::shared_ptr<PSSpecifier>& row, UIControl& c) {
                       l.setValueForSpecifier(PlistValue(static_cast<UITextField&>(c).text()), row);
                   }),
            UIControlEventEditingChanged);
        extras.accessoryView = field;
        cell.setDetailText("");
        break;
    }
    case PSButtonCell:
        extras.titleColor = UIColor::colorWithRed(0, 122.0 / 255, 1, 1);
        break;
    case PSLinkCell:
    case PSLinkListCell:
        cell.setAccessoryType(UITableViewCellAccessoryDisclosureIndicator);
        break;
    default:
        break;
    }
    return extras;
}

bool PSTableCellViews::sectionTitles(PSListController& list, std::int64_t section,
                                     std::optional<std::string>& header, std::optional<std::string>& footer) {
    auto rows = list.specifiers();
    if (!rows)
        return false;
    // Sections start at each group row; rows before the first group form a section without one.
    std::int64_t index = -1;
    bool open = false;
    for (const auto& s : *rows) {
        if (s->cellType() == PSGroupCell) {
            ++index;
            open = true;
            if (index == section) {
                if (!s->name().empty())
                    header = s->name();
                footer = stringProperty(*s, "footerText");
                return true;
            }
            continue;
        }
        if (!open) {
            ++index;
            open = true;
            if (index == section)
                return true;
        }
    }
    return false;
}

void PSTableCellViews::install() {
    UITableViewContentView::setSectionTitlesProvider([](UITableView& table, std::int64_t section,
                                                        std::optional<std::string>& header,
                                                        std::optional<std::string>& footer) {
        auto list = std::dynamic_pointer_cast<PSListController>(table.dataSource());
        return list && sectionTitles(*list, section, header, footer);
    });
    UITableViewContentView::setCellDecorator([](UITableView& table, NSIndexPath path, UITableViewCell& cell) {
        auto list = std::dynamic_pointer_cast<PSListController>(table.dataSource());
        if (!list)
            return;
        if (auto s = list->specifierAtIndexPath(path))
            UITableViewGroupedLayout::setExtras(cell, extrasForSpecifier(*list, s, cell));
    });
}
