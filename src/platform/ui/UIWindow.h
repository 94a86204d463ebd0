#pragma once

// The screen's root view (UIKit's UIWindow) and the part of UIKit that turns controller state
// into views on it: the root view controller's view fills the window; a navigation controller
// gets its navigation bar; tables get their scrolling rows; and every controller presented
// modally gets its place above, with the iOS transitions: an alert fades in over a dimmed
// screen while it shrinks to its size, other screens slide up from the bottom; dismissal runs
// the way back. Controllers change their state at once (UIViewController); the window follows
// at the next `syncWithControllers`, which the host calls before every frame.
//
// It also routes the user's input: touches are hit-tested and given to the nearest view that
// takes them (UITouchResponder), a drag over a list scrolls it, plain controls are tapped, the
// wheel scrolls the list under the pointer, and keys type into the focused text field.
//
//     auto window = UIWindow::create(UIScreen::mainScreen()->bounds());
//     window->setRootViewController(navigation);
//     window->syncWithControllers();             // each frame, then render the window

#include "platform/ui/UINavigationBar.h"
#include "platform/ui/UITouchResponder.h"
#include "platform/ui/UIView.h"
#include "platform/ui/UIViewController.h"

#include <memory>
#include <string>
#include <vector>

class UIScrollView;

class UIWindow : public UIView {
public:
    static constexpr double kPresentDuration = 0.4;
    static constexpr double kDismissDuration = 0.3;
    static constexpr double kAlertDuration = 0.25;

    static std::shared_ptr<UIWindow> create(CGRect frame);

    std::string className() const override { return "UIWindow"; }
    bool isWindow() const override { return true; }

    std::shared_ptr<UIViewController> rootViewController() const { return root_; }
    // Replaces what the window shows, without transitions.
    void setRootViewController(const std::shared_ptr<UIViewController>& controller);

    // Brings the views in line with the controllers: bars, rows, presentations. Answers whether
    // anything changed.
    bool syncWithControllers();
    // Whether something on the window is still moving (an animation running).
    bool isAnimating() const;

    // The controllers shown above the root, bottom first, as the window has them (a dismissed
    // one stays until its transition ends).
    std::size_t shownPresentationCount() const { return shown_.size(); }

    // Input, in window points.
    void touchBegan(CGPoint p);
    void touchMoved(CGPoint p);
    void touchEnded(CGPoint p);
    bool isTracking() const { return static_cast<bool>(touchView_); }
    // The wheel: `dy` points, positive to show what lies further down.
    void scrollWheel(CGPoint p, CGFloat dy);
    void typeText(const std::string& text);
    void deleteBackward();
    void returnKey();
    // A tap: down and up at one point.
    void tapAt(CGPoint p);

    // A controller's view with the window's dressing: a navigation controller's bar, table rows.
    static void dressControllerView(const std::shared_ptr<UIViewController>& controller, CGRect frame);

protected:
    explicit UIWindow(CGRect frame) : UIView(frame) {}

private:
    struct Shown {
        std::weak_ptr<UIViewController> controller;
        std::shared_ptr<UIView> container;
        bool alert = false;
        bool leaving = false;
    };
    void present(const std::shared_ptr<UIViewController>& controller);
    void dismiss(Shown& shown);
    // Ends the touch in flight without its action: the control lets go of its highlight, a
    // responder hears touchCancelled.
    void cancelTouch();
    // Whether `view` is on this window now.
    bool shows(const std::shared_ptr<UIView>& view);

    std::shared_ptr<UIViewController> root_;
    std::shared_ptr<UIView> rootContainer_;
    std::vector<Shown> shown_;

    // The touch in flight: who has it, and the scroll view that may take it over.
    std::shared_ptr<UIView> touchView_;
    std::shared_ptr<UIScrollView> touchScroller_;
    CGPoint touchStart_{};
    bool handedToScroller_ = false;
    bool plainControl_ = false;
};
