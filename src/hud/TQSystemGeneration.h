#pragma once

// The two older system generations the HUD and its views still draw and animate for. Both are
// read from the platform's CoreFoundation version number at the moment of use, never cached, so a
// device that changes its configured generation sees the matching variant on the next draw.

#include "platform/foundation/CFVersion.h"

// Before iOS 7: flat chrome, thicker rings, no blur.
inline bool TQIsPre7System() {
    return kCFCoreFoundationVersionNumber() < kCFCoreFoundationVersionNumber_iOS_7_0;
}
// Before iOS 8: no blur view; a translucent toolbar stands in for it. Every pre-7 system is one.
inline bool TQIsPre8System() {
    return kCFCoreFoundationVersionNumber() < kCFCoreFoundationVersionNumber_iOS_8_0;
}
