#include "platform/prefslibs/HBColor.h"

#include "platform/foundation/StringHelpers.h"
#include "platform/prefs/PSControlValue.h"

#include <charconv>
#include <cmath>
#include <string>
#include <vector>

namespace {

// The bytes of a run of hex digit pairs, or nothing when any character is not a digit.
std::optional<std::vector<double>> hexBytes(std::string_view digits) {
    std::vector<double> bytes;
    for (std::size_t i = 0; i + 1 < digits.size(); i += 2) {
        auto high = hexDigitValue(digits[i]), low = hexDigitValue(digits[i + 1]);
        if (!high || !low)
            return std::nullopt;
        bytes.push_back((*high * 16 + *low) / 255.0);
    }
    return bytes;
}

// The blanks a colour's text may carry around its numbers.
constexpr std::string_view kColourBlanks = " \t\n";

std::optional<double> number(std::string_view text) {
    text = trimmedView(text, kColourBlanks);
    double value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

// Three or four components from 0 to 255.
std::optional<UIColor> fromComponents(const std::vector<double>& c) {
    if (c.size() != 3 && c.size() != 4)
        return std::nullopt;
    for (double v : c)
        if (v < 0 || v > 255)
            return std::nullopt;
    return UIColor::colorWithRed(c[0] / 255, c[1] / 255, c[2] / 255, c.size() == 4 ? c[3] / 255 : 1);
}

std::optional<UIColor> fromHex(std::string_view text) {
    std::optional<double> alpha;
    if (auto colon = text.find(':'); colon != std::string_view::npos) {
        alpha = number(text.substr(colon + 1));
        if (!alpha || *alpha < 0 || *alpha > 1)
            return std::nullopt;
        text = text.substr(0, colon);
        if (text.size() != 6)
            return std::nullopt;
    }
    if (text.size() != 6 && text.size() != 8)
        return std::nullopt;
    auto bytes = hexBytes(text);
    if (!bytes)
        return std::nullopt;
    double a = alpha.value_or(bytes->size() == 4 ? (*bytes)[3] : 1);
    return UIColor::colorWithRed((*bytes)[0], (*bytes)[1], (*bytes)[2], a);
}

} // namespace

std::optional<UIColor> HBColor::fromString(std::string_view text) {
    text = trimmedView(text, kColourBlanks);
    if (text.size() >= 2 && text.front() == '[' && text.back() == ']') {
        std::vector<double> components;
        std::string_view rest = text.substr(1, text.size() - 2);
        while (true) {
            auto comma = rest.find(',');
            auto v = number(rest.substr(0, comma));
            if (!v)
                return std::nullopt;
            components.push_back(*v);
            if (comma == std::string_view::npos)
                break;
            rest.remove_prefix(comma + 1);
        }
        return fromComponents(components);
    }
    if (!text.empty() && text.front() == '#')
        return fromHex(text.substr(1));
    return std::nullopt;
}

std::optional<UIColor> HBColor::fromPlistValue(const PlistValue& value) {
    if (value.isString())
        return fromString(value.stringValue());
    if (!value.isArray())
        return std::nullopt;
    std::vector<double> components;
    for (std::size_t i = 0; i < value.count(); ++i) {
        auto v = PSControlValue::doubleFromValue(value.at(i));
        if (!v)
            return std::nullopt;
        components.push_back(*v);
    }
    return fromComponents(components);
}
