#pragma once

// A stack of controllers with a navigation bar (UINavigationController). The controllers on the
// stack are its children: they find it through navigationController(), and a presentation from
// any of them is made by the navigation controller. Its view holds the top controller's view.
//
//     auto nav = UINavigationController::create(ExtensionsTableViewController::create(host));
//     presenter->presentViewController(nav, true, nullptr);

#include "platform/ui/UIViewController.h"

#include <memory>
#include <vector>

class UINavigationController : public UIViewController {
public:
    // initWithRootViewController:
    static std::shared_ptr<UINavigationController> create(const std::shared_ptr<UIViewController>& root);

    std::string className() const override { return "UINavigationController"; }

    const std::vector<std::shared_ptr<UIViewController>>& viewControllers() const { return stack_; }
    std::shared_ptr<UIViewController> topViewController() const;
    // The top controller, or what is presented above the navigation controller.
    std::shared_ptr<UIViewController> visibleViewController() const;

    void pushViewController(const std::shared_ptr<UIViewController>& viewController, bool animated);
    // Pops the top controller unless it is the root; answers the popped one.
    std::shared_ptr<UIViewController> popViewControllerAnimated(bool animated);

    void loadView() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;
    void viewDidDisappear(bool animated) override;

protected:
    UINavigationController() = default;

private:
    void showTop();

    std::vector<std::shared_ptr<UIViewController>> stack_;
};
