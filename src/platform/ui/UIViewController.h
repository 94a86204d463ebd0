#pragma once

// A screen's controller (UIViewController): owns a root view that it creates lazily, its navigation
// item (title, prompt, bar buttons), and its place in the modal presentation chain.
//
// Presentation follows UIKit. A controller inside a container (a navigation controller) presents
// from the container, its presentation context; that context holds the presented controller
// strongly and the presented one knows its presenter weakly. A context that already presents
// something refuses a second presentation with a warning in the log. Dismissal called on the
// presenter dismisses what it presents (and everything above); called on a presented controller
// with nothing above it, it dismisses that controller itself.
//
// The state changes at once; the end of the transition (viewDidAppear/viewDidDisappear and the
// completion) runs as a task on the main run loop, as it does after an animation on a device, so
// code sees the same order as it would there.
//
//     auto alert = UIAlertController::alertControllerWithTitle("Alert", "Sure?",
//     UIAlertControllerStyleAlert); controller->presentViewController(alert, true, nullptr);

#include "platform/foundation/NSObject.h"

#include <functional>
#include <memory>
#include <string>

class UIView;
class UINavigationItem;
class UINavigationController;

class UIViewController : public NSObject {
public:
    static std::shared_ptr<UIViewController> create();

    std::string className() const override { return "UIViewController"; }

    // The root view, created by loadView and then viewDidLoad on first access.
    std::shared_ptr<UIView> view();
    bool isViewLoaded() const { return view_ != nullptr; }
    void loadViewIfNeeded() { (void)view(); }
    void setView(std::shared_ptr<UIView> view);

    // Life cycle, called by the host and by containers and presentations.
    virtual void loadView();
    virtual void viewDidLoad() {}
    virtual void viewWillAppear(bool /*animated*/) {}
    virtual void viewDidAppear(bool /*animated*/) {}
    virtual void viewWillDisappear(bool /*animated*/) {}
    virtual void viewDidDisappear(bool /*animated*/) {}

    // The title; setting it also titles the navigation item, as UIKit does.
    const std::string& title() const { return title_; }
    void setTitle(std::string title);
    const std::shared_ptr<UINavigationItem>& navigationItem();

    // Containment.
    std::shared_ptr<UIViewController> parentViewController() const { return parent_.lock(); }
    // The nearest navigation controller among this controller and its ancestors.
    std::shared_ptr<UINavigationController> navigationController() const;

    // Modal presentation.
    std::shared_ptr<UIViewController> presentedViewController() const;
    std::shared_ptr<UIViewController> presentingViewController() const;
    void presentViewController(const std::shared_ptr<UIViewController>& viewController, bool animated,
                               std::function<void()> completion);
    void dismissViewControllerAnimated(bool animated, std::function<void()> completion);
    // The pre-iOS 6 spelling, kept because the mail composer delegate still uses it.
    void dismissModalViewControllerAnimated(bool animated) {
        dismissViewControllerAnimated(animated, nullptr);
    }

    // Runs `task` as the end of a transition: on the main run loop when one is installed, at once
    // otherwise (a controller driven without a run loop, as in a plain unit test).
    static void runAfterTransition(std::function<void()> task);

protected:
    UIViewController() = default;
    void setParentViewController(const std::shared_ptr<UIViewController>& parent) { parent_ = parent; }
    friend class UINavigationController;

private:
    // The controller that presents on behalf of this one: its outermost container.
    std::shared_ptr<UIViewController> presentationContext();

    std::shared_ptr<UIView> view_;
    std::string title_;
    std::shared_ptr<UINavigationItem> navigationItem_;
    std::weak_ptr<UIViewController> parent_;
    std::shared_ptr<UIViewController> presented_;
    std::weak_ptr<UIViewController> presenting_;
};
