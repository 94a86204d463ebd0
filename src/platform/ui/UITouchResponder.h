#pragma once

// What a view does with one finger's touch (the touch half of UIKit's UIResponder). The window
// hit-tests the touch, then offers it to the hit view and its ancestors, nearest first, until
// one answers touchBegan with true; that view receives the rest of the touch. Points are in the
// receiving view's own coordinates.
//
// While the finger moves, an enclosing scroll view may take a touch over (a vertical drag that
// starts on a row or a switch scrolls the list): the first receiver gets touchCancelled, unless
// it keeps drags for itself (a slider's thumb).
//
//     class Knob : public UIView, public UITouchResponder {
//         bool touchBegan(CGPoint p) override { grab(p); return true; }
//     };

#include "platform/graphics/CGGeometry.h"

class UITouchResponder {
public:
    virtual ~UITouchResponder() = default;

    // Answers whether this view takes the touch that starts at `p`.
    virtual bool touchBegan(CGPoint p) = 0;
    virtual void touchMoved(CGPoint /*p*/) {}
    virtual void touchEnded(CGPoint /*p*/) {}
    virtual void touchCancelled() {}
    // Whether a drag stays with this view rather than scrolling the enclosing list.
    virtual bool keepsDrags() const { return false; }
};
