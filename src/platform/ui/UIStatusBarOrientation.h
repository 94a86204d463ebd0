#pragma once

// The status bar's orientation and the notification posted when it changes. The application
// object of the simulator rotates through here (its `rotate` command); views that must refit
// themselves to a rotated superview observe the notification on the default centre. Each device
// environment has its own orientation.

#include "platform/foundation/NSNotification.h"

#include <cstdint>

enum UIInterfaceOrientation : std::int64_t {
    UIInterfaceOrientationUnknown = 0,
    UIInterfaceOrientationPortrait = 1,
    UIInterfaceOrientationPortraitUpsideDown = 2,
    UIInterfaceOrientationLandscapeLeft = 4,
    UIInterfaceOrientationLandscapeRight = 3,
};

inline const NSNotificationName UIApplicationDidChangeStatusBarOrientationNotification =
    "UIApplicationDidChangeStatusBarOrientationNotification";

std::int64_t UIStatusBarOrientation();
// Stores the orientation and, when it changed, posts the notification on the default centre
// (main thread).
void UISetStatusBarOrientation(std::int64_t orientation);
