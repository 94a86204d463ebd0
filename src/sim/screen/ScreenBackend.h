#pragma once

// Where the simulator's frames go: a window on the host's display (SDLWindowBackend) or files
// (HeadlessBackend: PNG screenshots and an animated image). Both show the frames SimScreen
// renders, in device pixels, stamped with the simulated clock's time.

#include "platform/graphics/CGImage.h"

class ScreenBackend {
public:
    virtual ~ScreenBackend() = default;
    // Shows one rendered frame, taken at `time` seconds of the device's clock.
    virtual void showFrame(const CGImage& frame, double time) = 0;
};
