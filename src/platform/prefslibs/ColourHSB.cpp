#include "platform/prefslibs/ColourHSB.h"

#include <algorithm>
#include <cmath>

double clamp01(double component) {
    return std::isfinite(component) ? std::clamp(component, 0.0, 1.0) : 0.0;
}

ColourHSB ColourHSB::fromColour(const UIColor& colour) {
    const double r = clamp01(colour.rgba.r), g = clamp01(colour.rgba.g), b = clamp01(colour.rgba.b);
    const double high = std::max({r, g, b}), low = std::min({r, g, b}), range = high - low;
    ColourHSB hsb;
    hsb.brightness = high;
    hsb.saturation = high > 0 ? range / high : 0;
    hsb.alpha = clamp01(colour.rgba.a);
    if (range <= 0)
        return hsb;
    double sixths = 0;
    if (high == r)
        sixths = std::fmod((g - b) / range + 6, 6);
    else if (high == g)
        sixths = (b - r) / range + 2;
    else
        sixths = (r - g) / range + 4;
    hsb.hue = sixths / 6;
    return hsb;
}

UIColor ColourHSB::colour() const {
    const double h = clamp01(hue), s = clamp01(saturation), v = clamp01(brightness);
    // Hue 1 is the red of hue 0 again.
    const double sixths = h >= 1 ? 0 : h * 6;
    const int sector = static_cast<int>(std::floor(sixths));
    const double f = sixths - sector;
    const double p = v * (1 - s), q = v * (1 - s * f), t = v * (1 - s * (1 - f));
    const double a = clamp01(alpha);
    switch (sector) {
    case 0:
        return UIColor::colorWithRed(v, t, p, a);
    case 1:
        return UIColor::colorWithRed(q, v, p, a);
    case 2:
        return UIColor::colorWithRed(p, v, t, a);
    case 3:
        return UIColor::colorWithRed(p, q, v, a);
    case 4:
        return UIColor::colorWithRed(t, p, v, a);
    default:
        return UIColor::colorWithRed(v, p, q, a);
    }
}
