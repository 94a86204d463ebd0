#include "platform/ui/UIViewController.h"

#include "platform/dispatch/NSRunLoop.h"
#include "platform/foundation/NSLog.h"
#include "platform/ui/UINavigationController.h"
#include "platform/ui/UINavigationItem.h"
#include "platform/ui/UIScreen.h"
#include "platform/ui/UIView.h"

#include <vector>

std::shared_ptr<UIViewController> UIViewController::create() {
    return std::shared_ptr<UIViewController>(new UIViewController());
}

std::shared_ptr<UIView> UIViewController::view() {
    if (!view_) {
        loadView();
        if (!view_)
            view_ = UIView::create(UIScreen::mainScreen()->bounds());
        view_->setViewController(std::static_pointer_cast<UIViewController>(shared_from_this()));
        viewDidLoad();
    }
    return view_;
}

void UIViewController::setView(std::shared_ptr<UIView> view) {
    view_ = std::move(view);
}

void UIViewController::loadView() {
    view_ = UIView::create(UIScreen::mainScreen()->bounds());
}

void UIViewController::setTitle(std::string title) {
    title_ = std::move(title);
    navigationItem()->setTitle(title_);
}

const std::shared_ptr<UINavigationItem>& UIViewController::navigationItem() {
    if (!navigationItem_)
        navigationItem_ = UINavigationItem::create(title_);
    return navigationItem_;
}

std::shared_ptr<UINavigationController> UIViewController::navigationController() const {
    for (auto vc = std::const_pointer_cast<UIViewController>(
             std::static_pointer_cast<const UIViewController>(shared_from_this()));
         vc; vc = vc->parentViewController()) {
        if (auto nav = std::dynamic_pointer_cast<UINavigationController>(vc))
            return nav;
    }
    return nullptr;
}

std::shared_ptr<UIViewController> UIViewController::presentationContext() {
    auto vc = std::static_pointer_cast<UIViewController>(shared_from_this());
    while (auto parent = vc->parentViewController())
        vc = parent;
    return vc;
}

std::shared_ptr<UIViewController> UIViewController::presentedViewController() const {
    auto self = std::const_pointer_cast<UIViewController>(
        std::static_pointer_cast<const UIViewController>(shared_from_this()));
    return self->presentationContext()->presented_;
}

std::shared_ptr<UIViewController> UIViewController::presentingViewController() const {
    auto self = std::const_pointer_cast<UIViewController>(
        std::static_pointer_cast<const UIViewController>(shared_from_this()));
    return self->presentationContext()->presenting_.lock();
}

void UIViewController::runAfterTransition(std::function<void()> task) {
    if (auto loop = NSRunLoop::main())
        loop->enqueue(std::move(task));
    else
        task();
}

void UIViewController::presentViewController(const std::shared_ptr<UIViewController>& viewController,
                                             bool animated, std::function<void()> completion) {
    if (!viewController)
        return;
    auto context = presentationContext();
    if (context->presented_) {
        NSLog("Warning: Attempt to present %@ on %@ which is already presenting %@",
              {PlistValue(std::static_pointer_cast<NSObject>(viewController)),
               PlistValue(std::static_pointer_cast<NSObject>(context)),
               PlistValue(std::static_pointer_cast<NSObject>(context->presented_))});
        return;
    }
    auto presented = viewController->presentationContext();
    if (presented->presenting_.lock() || presented == context) {
        NSLog("Application tried to present modally an active controller %@.",
              {PlistValue(std::static_pointer_cast<NSObject>(viewController))});
        return;
    }
    context->presented_ = presented;
    presented->presenting_ = context;
    presented->loadViewIfNeeded();
    presented->viewWillAppear(animated);
    runAfterTransition([presented, animated, completion = std::move(completion)] {
        presented->viewDidAppear(animated);
        if (completion)
            completion();
    });
}

void UIViewController::dismissViewControllerAnimated(bool animated, std::function<void()> completion) {
    auto context = presentationContext();
    if (!context->presented_) {
        // Nothing presented by this controller: a presented controller dismisses itself.
        if (auto presenter = context->presenting_.lock())
            presenter->dismissViewControllerAnimated(animated, std::move(completion));
        return;
    }
    // Everything above this context goes, topmost first.
    std::vector<std::shared_ptr<UIViewController>> chain;
    for (auto vc = context->presented_; vc; vc = vc->presented_)
        chain.push_back(vc);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it)
        (*it)->viewWillDisappear(animated);
    for (auto& vc : chain) {
        vc->presenting_.reset();
    }
    for (std::size_t i = 0; i + 1 < chain.size(); ++i)
        chain[i]->presented_.reset();
    context->presented_.reset();
    runAfterTransition([chain = std::move(chain), animated, completion = std::move(completion)] {
        for (auto it = chain.rbegin(); it != chain.rend(); ++it)
            (*it)->viewDidDisappear(animated);
        if (completion)
            completion();
    });
}
