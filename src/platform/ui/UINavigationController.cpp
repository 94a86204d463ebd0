#include "platform/ui/UINavigationController.h"

#include "platform/ui/UIScreen.h"
#include "platform/ui/UIView.h"

std::shared_ptr<UINavigationController>
UINavigationController::create(const std::shared_ptr<UIViewController>& root) {
    auto nav = std::shared_ptr<UINavigationController>(new UINavigationController());
    if (root)
        nav->pushViewController(root, false);
    return nav;
}

std::shared_ptr<UIViewController> UINavigationController::topViewController() const {
    return stack_.empty() ? nullptr : stack_.back();
}

std::shared_ptr<UIViewController> UINavigationController::visibleViewController() const {
    if (auto presented = presentedViewController())
        return presented;
    return topViewController();
}

void UINavigationController::pushViewController(const std::shared_ptr<UIViewController>& viewController,
                                                bool /*animated*/) {
    if (!viewController || viewController->parentViewController())
        return;
    viewController->setParentViewController(std::static_pointer_cast<UIViewController>(shared_from_this()));
    auto previous = topViewController();
    stack_.push_back(viewController);
    if (!isViewLoaded())
        return;
    // On screen, the screens going and coming hear of it, as in UIKit.
    if (previous)
        previous->viewWillDisappear(true);
    viewController->loadViewIfNeeded();
    viewController->viewWillAppear(true);
    showTop();
    std::weak_ptr<UIViewController> gone = previous, came = viewController;
    runAfterTransition([gone, came] {
        if (auto g = gone.lock())
            g->viewDidDisappear(true);
        if (auto c = came.lock())
            c->viewDidAppear(true);
    });
}

std::shared_ptr<UIViewController> UINavigationController::popViewControllerAnimated(bool /*animated*/) {
    if (stack_.size() < 2)
        return nullptr;
    auto top = stack_.back();
    stack_.pop_back();
    const bool onScreen = isViewLoaded();
    if (onScreen) {
        top->viewWillDisappear(true);
        stack_.back()->viewWillAppear(true);
    }
    top->setParentViewController(nullptr);
    if (top->isViewLoaded())
        top->view()->removeFromSuperview();
    if (onScreen) {
        showTop();
        std::weak_ptr<UIViewController> gone = top, came = stack_.back();
        runAfterTransition([gone, came] {
            if (auto g = gone.lock())
                g->viewDidDisappear(true);
            if (auto c = came.lock())
                c->viewDidAppear(true);
        });
    }
    return top;
}

void UINavigationController::loadView() {
    setView(UIView::create(UIScreen::mainScreen()->bounds()));
    showTop();
}

void UINavigationController::showTop() {
    auto top = topViewController();
    if (!top)
        return;
    auto container = view();
    auto child = top->view();
    if (child->superview() != container)
        container->addSubview(child);
}

void UINavigationController::viewWillAppear(bool animated) {
    if (auto top = topViewController())
        top->viewWillAppear(animated);
}

void UINavigationController::viewDidAppear(bool animated) {
    if (auto top = topViewController())
        top->viewDidAppear(animated);
}

void UINavigationController::viewWillDisappear(bool animated) {
    if (auto top = topViewController())
        top->viewWillDisappear(animated);
}

void UINavigationController::viewDidDisappear(bool animated) {
    if (auto top = topViewController())
        top->viewDidDisappear(animated);
}
