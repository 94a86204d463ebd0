#include "platform/prefslibs/ColourStrings.h"

#include "platform/foundation/StringHelpers.h"
#include "platform/prefslibs/ColourHSB.h"
#include "platform/prefslibs/HBColor.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

bool allHex(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return hexDigitValue(c).has_value(); });
}

// Two hex digits as a component; the caller has checked they are hex.
double pair(char high, char low) {
    return (*hexDigitValue(high) * 16 + *hexDigitValue(low)) / 255.0;
}

// A whole decimal number, or nothing (also for trailing text, as "1.0x").
std::optional<double> number(std::string_view text) {
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    if (text.empty())
        return std::nullopt;
    double value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

int byteOf(double component) {
    return static_cast<int>(std::lround(clamp01(component) * 255));
}

std::string hexRGB(const UIColor& c) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "#%02X%02X%02X", byteOf(c.rgba.r), byteOf(c.rgba.g),
                  byteOf(c.rgba.b));
    return buffer;
}

// "#RRGGBB" with an optional ":alpha" after it; the hex part is left in `hex`.
struct HashForm {
    std::string_view hex;
    std::optional<std::string_view> alpha;
};
std::optional<HashForm> splitHashForm(std::string_view text) {
    if (text.empty() || text.front() != '#')
        return std::nullopt;
    text.remove_prefix(1);
    HashForm form;
    if (auto colon = text.find(':'); colon != std::string_view::npos) {
        form.hex = text.substr(0, colon);
        form.alpha = text.substr(colon + 1);
    } else {
        form.hex = text;
    }
    if (!allHex(form.hex))
        return std::nullopt;
    return form;
}

// The alpha after the colon, or 1 without one; nothing when it is not a number.
std::optional<double> alphaOf(const HashForm& form) {
    if (!form.alpha)
        return 1.0;
    auto a = number(*form.alpha);
    return a ? std::optional<double>(clamp01(*a)) : std::nullopt;
}

// "r, g, b" (or with a fourth value when `withAlpha`) inside "rgb(...)" / "rgba(...)".
std::optional<UIColor> functionForm(std::string_view args, bool withAlpha) {
    std::vector<double> values;
    while (true) {
        auto comma = args.find(',');
        auto v = number(args.substr(0, comma));
        if (!v)
            return std::nullopt;
        values.push_back(*v);
        if (comma == std::string_view::npos)
            break;
        args.remove_prefix(comma + 1);
    }
    if (values.size() != (withAlpha ? 4u : 3u))
        return std::nullopt;
    return UIColor::colorWithRed(clamp01(values[0] / 255), clamp01(values[1] / 255), clamp01(values[2] / 255),
                                 withAlpha ? clamp01(values[3]) : 1.0);
}

} // namespace

std::optional<UIColor> ColourStrings::fromHexText(std::string_view text) {
    auto form = splitHashForm(text);
    if (!form)
        return std::nullopt;
    const std::string_view h = form->hex;
    if (h.size() == 8 && !form->alpha)
        return UIColor::colorWithRed(pair(h[0], h[1]), pair(h[2], h[3]), pair(h[4], h[5]), pair(h[6], h[7]));
    if (h.size() != 6)
        return std::nullopt;
    auto alpha = alphaOf(*form);
    if (!alpha)
        return std::nullopt;
    return UIColor::colorWithRed(pair(h[0], h[1]), pair(h[2], h[3]), pair(h[4], h[5]), *alpha);
}

std::string ColourStrings::hexText(const UIColor& colour) {
    std::string text = hexRGB(colour);
    if (int a = byteOf(colour.rgba.a); a < 255) {
        char buffer[3];
        std::snprintf(buffer, sizeof buffer, "%02X", a);
        text += buffer;
    }
    return text;
}

std::optional<UIColor> ColourStrings::readHB(const PlistValue& value) {
    // One reader of the framework's colours serves its cells and its picker alike.
    return HBColor::fromPlistValue(value);
}

std::string ColourStrings::writeHB(const UIColor& colour) {
    std::string text = hexRGB(colour);
    const double alpha = clamp01(colour.rgba.a);
    if (alpha < 1) {
        char buffer[16];
        std::snprintf(buffer, sizeof buffer, ":%.5g", alpha);
        text += buffer;
    }
    return text;
}

std::optional<UIColor> ColourStrings::readLibcolorpicker(std::string_view text) {
    auto form = splitHashForm(text);
    if (!form || form->hex.size() < 3)
        return std::nullopt;
    auto alpha = alphaOf(*form);
    if (!alpha)
        return std::nullopt;
    const std::string_view h = form->hex;
    if (h.size() == 6)
        return UIColor::colorWithRed(pair(h[0], h[1]), pair(h[2], h[3]), pair(h[4], h[5]), *alpha);
    return UIColor::colorWithRed(pair(h[0], h[0]), pair(h[1], h[1]), pair(h[2], h[2]), *alpha);
}

std::string ColourStrings::writeLibcolorpicker(const UIColor& colour) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, ":%.6f", clamp01(colour.rgba.a));
    return hexRGB(colour) + buffer;
}

std::optional<UIColor> ColourStrings::readSpark(std::string_view text) {
    if (!text.empty() && text.front() == '#') {
        auto form = splitHashForm(text);
        if (!form || form->hex.size() != 6)
            return std::nullopt;
        auto alpha = alphaOf(*form);
        if (!alpha)
            return std::nullopt;
        const std::string_view h = form->hex;
        return UIColor::colorWithRed(pair(h[0], h[1]), pair(h[2], h[3]), pair(h[4], h[5]), *alpha);
    }
    if (text.empty() || text.back() != ')')
        return std::nullopt;
    text.remove_suffix(1);
    if (text.starts_with("rgba("))
        return functionForm(text.substr(5), true);
    if (text.starts_with("rgb("))
        return functionForm(text.substr(4), false);
    return std::nullopt;
}

std::string ColourStrings::writeSpark(const UIColor& colour) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, ":%.2f", clamp01(colour.rgba.a));
    return hexRGB(colour) + buffer;
}
