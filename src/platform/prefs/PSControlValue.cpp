#include "platform/prefs/PSControlValue.h"

#include "platform/prefs/PSCellClass.h"
#include "platform/prefs/PSCellTypes.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>

namespace {

// The number at the start of a text, as NSString's doubleValue reads it (leading blanks skipped,
// trailing text ignored), without depending on the process's locale.
std::optional<double> leadingNumber(const std::string& text) {
    std::size_t i = text.find_first_not_of(" \t\n");
    if (i == std::string::npos)
        return std::nullopt;
    if (text[i] == '+')
        ++i;
    double value = 0;
    auto [end, ec] = std::from_chars(text.data() + i, text.data() + text.size(), value);
    if (ec != std::errc() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::string stringOf(const PlistValue& v) {
    return v.isString() ? v.stringValue() : v.description();
}

} // namespace

bool PSControlValue::boolFromValue(const PlistValue& v) {
    if (v.isBoolean() || v.isNumber())
        return v.boolValue();
    if (!v.isString())
        return false;
    // boolValue: "YES", "true" or a non-zero number, after blanks, signs and leading zeros.
    for (char c : v.stringValue()) {
        if (c == ' ' || c == '\t' || c == '+' || c == '-' || c == '0')
            continue;
        return (c >= '1' && c <= '9') || c == 'Y' || c == 'y' || c == 'T' || c == 't';
    }
    return false;
}

std::optional<double> PSControlValue::doubleFromValue(const PlistValue& v) {
    if (v.isBoolean())
        return v.boolValue() ? 1.0 : 0.0;
    if (v.isNumber()) {
        double d = v.doubleValue();
        return std::isfinite(d) ? std::optional<double>(d) : std::nullopt;
    }
    if (v.isString())
        return leadingNumber(v.stringValue());
    return std::nullopt;
}

bool PSControlValue::switchIsOn(const PSSpecifier& row, const PlistValue& stored) {
    bool on = boolFromValue(stored);
    return boolFromValue(row.propertyForKey("negate")) ? !on : on;
}

PlistValue PSControlValue::fromSwitch(const PSSpecifier& row, bool on) {
    return PlistValue(boolFromValue(row.propertyForKey("negate")) ? !on : on);
}

double PSControlValue::sliderMinimum(const PSSpecifier& row) {
    return doubleFromValue(row.propertyForKey("min")).value_or(0);
}

double PSControlValue::sliderMaximum(const PSSpecifier& row) {
    return std::max(sliderMinimum(row), doubleFromValue(row.propertyForKey("max")).value_or(1));
}

double PSControlValue::sliderPosition(const PSSpecifier& row, const PlistValue& stored) {
    double low = sliderMinimum(row), high = sliderMaximum(row);
    return std::clamp(doubleFromValue(stored).value_or(low), low, high);
}

PlistValue PSControlValue::fromSlider(const PSSpecifier& row, double position) {
    double low = sliderMinimum(row), high = sliderMaximum(row);
    double value = std::clamp(std::isfinite(position) ? position : low, low, high);
    if (boolFromValue(row.propertyForKey("isSegmented"))) {
        double steps = std::floor(doubleFromValue(row.propertyForKey("segmentCount")).value_or(0));
        if (steps >= 1 && steps <= 1e6 && high > low) {
            double step = (high - low) / steps;
            value = low + std::round((value - low) / step) * step;
        }
    }
    return PlistValue(value);
}

std::vector<std::string> PSControlValue::choiceTitles(const PSSpecifier& row) {
    std::vector<std::string> titles;
    PlistValue t = row.propertyForKey("validTitles");
    for (std::size_t i = 0; i < t.count(); ++i)
        titles.push_back(stringOf(t.at(i)));
    return titles;
}

std::optional<std::size_t> PSControlValue::choiceIndex(const PSSpecifier& row, const PlistValue& stored) {
    if (stored.isNone())
        return std::nullopt;
    PlistValue values = row.propertyForKey("validValues");
    for (std::size_t i = 0; i < values.count(); ++i) {
        const PlistValue choice = values.at(i);
        if (choice == stored || (stored.isString() && choice.description() == stored.stringValue()) ||
            (choice.isString() && !stored.isString() && choice.stringValue() == stored.description()))
            return i;
    }
    return std::nullopt;
}

PlistValue PSControlValue::fromChoice(const PSSpecifier& row, std::size_t index) {
    PlistValue values = row.propertyForKey("validValues");
    return index < values.count() ? values.at(index) : PlistValue();
}

std::optional<std::string> PSControlValue::shownText(const PSSpecifier& row, const PlistValue& stored) {
    if (const auto& cls = row.cellClass())
        if (auto own = cls->shownText(row, stored))
            return own;
    const PSCellControl control = PSCellTypes::of(row.cellType()).control;
    switch (control) {
    case PSCellControl::Switch:
        return switchIsOn(row, stored) ? "on" : "off";
    case PSCellControl::Slider:
        return numberText(sliderPosition(row, stored));
    case PSCellControl::Segments:
    case PSCellControl::ChoiceLink: {
        auto index = choiceIndex(row, stored);
        if (!index)
            return std::nullopt;
        // A link list shows its short title beside the row, when it has one.
        PlistValue shortTitles = row.propertyForKey("shortTitles");
        if (control == PSCellControl::ChoiceLink && *index < shortTitles.count())
            return stringOf(shortTitles.at(*index));
        auto titles = choiceTitles(row);
        return *index < titles.size() ? std::optional<std::string>(titles[*index]) : std::nullopt;
    }
    case PSCellControl::SecureTextField: {
        // A secure field shows a dot for each character, never the text.
        if (!stored.isString())
            return std::nullopt;
        std::string dots;
        for (unsigned char c : stored.stringValue())
            if ((c & 0xC0) != 0x80)
                dots += "\u2022";
        return dots;
    }
    case PSCellControl::TextField:
    case PSCellControl::TitleValue:
        if (stored.isNone() || stored.isObject())
            return std::nullopt;
        return stringOf(stored);
    case PSCellControl::Title:
        // A getter that answers text (the pane's own rows) has it shown at the right.
        return stored.isString() ? std::optional<std::string>(stored.stringValue()) : std::nullopt;
    case PSCellControl::Group:
    case PSCellControl::Button:
    case PSCellControl::Link:
        return std::nullopt;
    }
    return std::nullopt;
}

std::string PSControlValue::numberText(double value) {
    if (value == 0)
        return "0";
    char buffer[32];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return ec == std::errc() ? std::string(buffer, end) : std::string("0");
}
