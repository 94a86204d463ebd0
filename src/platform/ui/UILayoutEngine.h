#pragma once

// The seam between views and Auto Layout. Views keep their constraints, their content hugging
// and compression resistance and their constraint-update flag; the solving lives in
// platform/layout, which sits above ui; the host installs it (NSLayoutEngine::install) before
// views get constraints. Without an engine views lay out as plain frames, and adding a
// constraint is a caller error, reported as an assertion.

#include "platform/graphics/CGGeometry.h"

#include <cstdint>
#include <memory>
#include <vector>

class NSLayoutConstraint;
class UIView;

using UILayoutPriority = float;
inline constexpr UILayoutPriority UILayoutPriorityRequired = 1000;
inline constexpr UILayoutPriority UILayoutPriorityDefaultHigh = 750;
inline constexpr UILayoutPriority UILayoutPriorityDefaultLow = 250;
inline constexpr UILayoutPriority UILayoutPriorityFittingSizeLevel = 50;

enum UILayoutConstraintAxis : std::int64_t {
    UILayoutConstraintAxisHorizontal = 0,
    UILayoutConstraintAxisVertical = 1,
};

// A dimension of `intrinsicContentSize` that the view does not prefer.
inline constexpr CGFloat UIViewNoIntrinsicMetric = -1;

// What a view keeps for Auto Layout; made on first use, so views that never meet a constraint
// carry one null pointer.
struct UIViewAutoLayoutState {
    std::vector<std::shared_ptr<NSLayoutConstraint>> constraints; // installed on this view
    bool translatesAutoresizingMaskIntoConstraints = true;
    bool needsUpdateConstraints = false;
    UILayoutPriority hugging[2] = {UILayoutPriorityDefaultLow, UILayoutPriorityDefaultLow};
    UILayoutPriority compressionResistance[2] = {UILayoutPriorityDefaultHigh, UILayoutPriorityDefaultHigh};
};

class UILayoutEngine {
public:
    virtual ~UILayoutEngine() = default;
    // The view has just gained or lost an installed constraint.
    virtual void didAddConstraint(UIView& view, const std::shared_ptr<NSLayoutConstraint>& constraint) = 0;
    virtual void didRemoveConstraint(UIView& view, const std::shared_ptr<NSLayoutConstraint>& constraint) = 0;
    // Something that feeds the solution changed (intrinsic size, hugging, translation flag).
    virtual void viewInputsChanged(UIView& view) = 0;
    // A layout pass starts at `view` (after its constraint-update pass): solve what changed.
    virtual void willLayout(UIView& view) = 0;
    // UIView's own layoutSubviews: place the view's subviews from the solution.
    virtual void layoutSubviews(UIView& view) = 0;
};
