#pragma once

// A segmented control (UIKit's UISegmentedControl) in the iOS 7 look: a row of titled segments in
// a rounded frame drawn in the tint colour; the selected segment is filled with the tint and
// its title turns white. A tap on a segment selects it and sends UIControlEventValueChanged.
//
//     auto side = UISegmentedControl::create({"Left", "Right"});
//     side->setSelectedSegmentIndex(1);

#include "platform/ui/UIControl.h"
#include "platform/ui/UITouchResponder.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

inline constexpr std::int64_t UISegmentedControlNoSegment = -1;

class UISegmentedControl : public UIControl, public UITouchResponder {
public:
    static constexpr CGFloat kHeight = 28;

    // initWithItems:
    static std::shared_ptr<UISegmentedControl> create(std::vector<std::string> items,
                                                      CGRect frame = CGRectZero);

    std::string className() const override { return "UISegmentedControl"; }

    std::int64_t numberOfSegments() const { return static_cast<std::int64_t>(titles_.size()); }
    std::string titleForSegmentAtIndex(std::int64_t index) const;
    void setTitle(std::string title, std::int64_t forSegmentAtIndex);
    void insertSegmentWithTitle(std::string title, std::int64_t atIndex);
    void removeAllSegments();

    std::int64_t selectedSegmentIndex() const { return selected_; }
    // An index outside the segments selects none.
    void setSelectedSegmentIndex(std::int64_t index);

    // The segment's rectangle in the control's bounds (segments share the width equally).
    CGRect rectForSegmentAtIndex(std::int64_t index) const;
    std::int64_t segmentIndexAtPoint(CGPoint p) const;

    void drawRect(CGRect rect) override;
    bool drawsContent() const override { return true; }
    CGSize sizeThatFits(CGSize size) const override;
    std::string accessibilityText() const override;

    bool touchBegan(CGPoint p) override;
    void touchEnded(CGPoint p) override;
    void touchCancelled() override { touched_ = UISegmentedControlNoSegment; }

protected:
    explicit UISegmentedControl(CGRect frame) : UIControl(frame) {}

private:
    std::vector<std::string> titles_;
    std::int64_t selected_ = UISegmentedControlNoSegment;
    std::int64_t touched_ = UISegmentedControlNoSegment;
};
