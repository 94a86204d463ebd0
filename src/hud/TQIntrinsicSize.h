#pragma once

// The natural size of the views the HUD stacks, as its layout reads it: a size, or none for a
// view that has no size of its own (a plain view), which the platform reports as
// UIViewNoIntrinsicMetric (-1) on both axes.

#include "platform/ui/UIView.h"

inline constexpr double TQNoIntrinsicMetric = -1;

CGSize TQIntrinsicContentSize(const UIView& view);
