#pragma once

// The face of an alert (what UIAlertController shows in the alert style), in the iOS look: a
// 270-point wide rounded panel of light translucent white, centred on the screen, holding the
// title in bold and the message below it, both centred, then the action buttons under a
// hairline: side by side when there are exactly two (the cancel action on the left), stacked
// one per row otherwise (the cancel action at the bottom). Default actions are in the tint
// colour, the cancel action in bold, destructive ones in red.
//
// A tap on a button picks its action (UIAlertController::performAction), which dismisses the
// alert and then runs the handler.
//
//     auto face = UIAlertControllerView::create(alert);
//     face->setCenter(screenCentre);

#include "platform/ui/UIAlertController.h"
#include "platform/ui/UIButton.h"
#include "platform/ui/UILabel.h"
#include "platform/ui/UIView.h"
#include "platform/ui/UIVisualEffectView.h"

#include <memory>
#include <vector>

class UIAlertControllerView : public UIView {
public:
    static constexpr CGFloat kWidth = 270;
    static constexpr CGFloat kButtonHeight = 44;
    static constexpr CGFloat kCornerRadius = 13;
    static UIColor destructiveColor() { return UIColor::systemRedColor(); }

    // Sized to its content; position it by its centre.
    static std::shared_ptr<UIAlertControllerView> create(const std::shared_ptr<UIAlertController>& alert);

    std::string className() const override { return "UIAlertControllerView"; }

    std::shared_ptr<UIAlertController> alert() const { return alert_.lock(); }
    // The buttons in the order they are shown, and the action each stands for.
    struct ActionButton {
        std::shared_ptr<UIButton> button;
        std::shared_ptr<UIAlertAction> action;
    };
    const std::vector<ActionButton>& buttons() const { return buttons_; }
    // The order iOS shows the actions in (see the top of this file).
    static std::vector<std::shared_ptr<UIAlertAction>>
    displayOrder(const std::vector<std::shared_ptr<UIAlertAction>>& actions);

    void drawRect(CGRect rect) override;
    bool drawsContent() const override { return true; }
    std::string accessibilityText() const override;

protected:
    explicit UIAlertControllerView(CGRect frame) : UIView(frame) {}

private:
    void build(const std::shared_ptr<UIAlertController>& alert);

    std::weak_ptr<UIAlertController> alert_;
    std::shared_ptr<UILabel> titleLabel_;
    std::shared_ptr<UILabel> messageLabel_;
    std::vector<ActionButton> buttons_;
    CGFloat buttonsTop_ = 0;
    bool sideBySide_ = false;
    // The last blur of what lies under the alert, reused while that does not change.
    UIBackdropBlurCache blurCache_;
};
