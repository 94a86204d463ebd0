#pragma once

// A colour as the colour page's sliders hold it: hue, saturation and brightness (HSB, also called
// HSV), each 0...1, and alpha. Hue and saturation are kept by the page even where the colour
// alone would lose them (a grey has no hue; black has no saturation), so a slider never jumps.
//
//     ColourHSB hsb = ColourHSB::fromColour(UIColor::orangeColor());
//     hsb.brightness = 0.5;
//     UIColor darker = hsb.colour();

#include "platform/ui/UIColor.h"

struct ColourHSB {
    double hue = 0;
    double saturation = 0;
    double brightness = 0;
    double alpha = 1;

    static ColourHSB fromColour(const UIColor& colour);
    UIColor colour() const;
};

// A colour component held to 0...1, as the colour libraries keep every component they read or
// show; one that is not a finite number counts as 0.
double clamp01(double component);
