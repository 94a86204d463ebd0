#include "platform/ui/UIWindow.h"

#include "platform/ui/UIAlertControllerView.h"
#include "platform/ui/UIControl.h"
#include "platform/ui/UINavigationController.h"
#include "platform/ui/UIScrollView.h"
#include "platform/ui/UITableViewContentView.h"
#include "platform/ui/UITextField.h"
#include "platform/ui/UIViewAnimationState.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <utility>

namespace {
constexpr std::int64_t kBarTag = 0xBA7;
constexpr CGFloat kDragSlop = 8;

void forEachView(const std::shared_ptr<UIView>& v,
                 const std::function<void(const std::shared_ptr<UIView>&)>& fn) {
    fn(v);
    for (const auto& s : std::vector<std::shared_ptr<UIView>>(v->subviews()))
        forEachView(s, fn);
}

bool anyAnimating(const UIView& v) {
    if (v.hasAnimations())
        return true;
    for (const auto& s : v.subviews())
        if (anyAnimating(*s))
            return true;
    return false;
}

UITouchResponder* responderOf(const std::shared_ptr<UIView>& v) {
    return dynamic_cast<UITouchResponder*>(v.get());
}

std::shared_ptr<UINavigationBar> barOf(UIView& container) {
    for (const auto& s : container.subviews())
        if (s->tag() == kBarTag)
            return std::dynamic_pointer_cast<UINavigationBar>(s);
    return nullptr;
}

// Bars and rows of one controller's view, kept in line with its state.
bool syncControllerView(const std::shared_ptr<UIViewController>& controller) {
    if (!controller || !controller->isViewLoaded())
        return false;
    bool changed = false;
    auto view = controller->view();
    CGFloat top = 0;
    if (auto nav = std::dynamic_pointer_cast<UINavigationController>(controller)) {
        auto bar = barOf(*view);
        if (!bar) {
            bar = UINavigationBar::create(CGRectMake(0, 0, view->bounds().width(), 64));
            bar->setTag(kBarTag);
            changed = true;
        }
        auto topVC = nav->topViewController();
        const auto& stack = nav->viewControllers();
        std::optional<std::string> back;
        if (stack.size() > 1) {
            const auto& under = stack[stack.size() - 2];
            back = under->title().empty() ? std::string("Back") : under->title();
        }
        if (back != bar->backTitle()) {
            std::weak_ptr<UINavigationController> weakNav = nav;
            bar->setBackTitle(back, [weakNav] {
                if (auto n = weakNav.lock())
                    n->popViewControllerAnimated(true);
            });
            changed = true;
        }
        if (topVC && bar->topItem() != topVC->navigationItem()) {
            bar->setItem(topVC->navigationItem());
            changed = true;
        }
        changed = bar->syncWithItem() || changed;
        top = UINavigationBar::heightForItem(bar->topItem().get());
        if (bar->bounds().height() != top || bar->superview() != view) {
            UIView::performWithoutAnimation(
                [&] { bar->setFrame(CGRectMake(0, 0, view->bounds().width(), top)); });
            changed = true;
        }
        if (view->subviews().empty() || view->subviews().back() != bar)
            view->addSubview(bar);
        if (topVC)
            changed = syncControllerView(topVC) || changed;
    }
    // Lists scroll under the bar: their content starts below it.
    forEachView(view, [&](const std::shared_ptr<UIView>& v) {
        auto table = std::dynamic_pointer_cast<UITableView>(v);
        if (!table)
            return;
        auto face = UITableViewContentView::attach(table);
        changed = face->syncWithTable() || changed;
        if (top > 0 && face->contentInset().top != top) {
            face->setContentInset(UIEdgeInsetsMake(top, 0, 0, 0));
            UIView::performWithoutAnimation([&] { face->setContentOffset(CGPointMake(0, -top)); });
            changed = true;
        }
    });
    return changed;
}
} // namespace

std::shared_ptr<UIWindow> UIWindow::create(CGRect frame) {
    auto w = std::shared_ptr<UIWindow>(new UIWindow(frame));
    w->commonInit();
    w->setBackgroundColor(UIColor::blackColor());
    return w;
}

void UIWindow::dressControllerView(const std::shared_ptr<UIViewController>& controller, CGRect frame) {
    auto view = controller->view();
    UIView::performWithoutAnimation([&] { view->setFrame(frame); });
    syncControllerView(controller);
}

void UIWindow::setRootViewController(const std::shared_ptr<UIViewController>& controller) {
    for (auto& s : shown_)
        s.container->removeFromSuperview();
    shown_.clear();
    if (rootContainer_)
        rootContainer_->removeFromSuperview();
    rootContainer_.reset();
    cancelTouch();
    root_ = controller;
    if (!root_)
        return;
    dressControllerView(root_, bounds());
    rootContainer_ = root_->view();
    insertSubview(rootContainer_, 0);
    syncWithControllers();
}

void UIWindow::present(const std::shared_ptr<UIViewController>& controller) {
    Shown shown;
    shown.controller = controller;
    CGRect b = bounds();
    if (auto alert = std::dynamic_pointer_cast<UIAlertController>(controller)) {
        shown.alert = true;
        auto dim = UIView::create(b);
        dim->setBackgroundColor(UIColor::colorWithWhite(0, 0.4));
        auto face = UIAlertControllerView::create(alert);
        face->setCenter(CGPointMake(b.midX(), b.midY()));
        dim->addSubview(face);
        UIView::performWithoutAnimation([&] {
            dim->setAlpha(0);
            face->setTransform(CGAffineTransformMakeScale(1.2, 1.2));
        });
        addSubview(dim);
        UIView::animateWithDuration(kAlertDuration, 0, UIViewAnimationOptionCurveEaseOut,
                                    [&] {
                                        dim->setAlpha(1);
                                        face->setTransform(CGAffineTransformIdentity);
                                    },
                                    {});
        shown.container = dim;
    } else {
        dressControllerView(controller, b);
        auto view = controller->view();
        UIView::performWithoutAnimation(
            [&] { view->setCenter(CGPointMake(b.midX(), b.midY() + b.height())); });
        addSubview(view);
        UIView::animateWithDuration(kPresentDuration, 0, 1, 0, 0,
                                    [&] { view->setCenter(CGPointMake(b.midX(), b.midY())); }, {});
        shown.container = view;
    }
    shown_.push_back(std::move(shown));
}

void UIWindow::dismiss(Shown& shown) {
    shown.leaving = true;
    auto container = shown.container;
    std::weak_ptr<UIView> weak = container;
    auto done = [weak](bool) {
        if (auto c = weak.lock())
            c->removeFromSuperview();
    };
    container->setUserInteractionEnabled(false);
    CGRect b = bounds();
    if (shown.alert)
        UIView::animateWithDuration(
            0.2, 0, UIViewAnimationOptionCurveEaseIn, [&] { container->setAlpha(0); }, done);
    else
        UIView::animateWithDuration(
            kDismissDuration, 0, UIViewAnimationOptionCurveEaseIn,
            [&] { container->setCenter(CGPointMake(b.midX(), b.midY() + b.height())); }, done);
}

bool UIWindow::syncWithControllers() {
    bool changed = false;
    if (!root_)
        return false;
    // What is presented now, bottom first.
    std::vector<std::shared_ptr<UIViewController>> chain;
    for (auto vc = root_->presentedViewController(); vc; vc = vc->presentedViewController())
        chain.push_back(vc);

    // Containers whose transition out has ended are gone from the window: forget them.
    std::erase_if(shown_, [](const Shown& s) { return s.leaving && !s.container->superview(); });
    // Everything shown from the first controller that is no longer in the chain goes.
    std::size_t keep = 0;
    for (; keep < shown_.size() && !shown_[keep].leaving; ++keep) {
        auto vc = shown_[keep].controller.lock();
        if (keep >= chain.size() || vc != chain[keep])
            break;
    }
    for (std::size_t i = keep; i < shown_.size(); ++i) {
        if (!shown_[i].leaving) {
            dismiss(shown_[i]);
            changed = true;
        }
    }
    for (std::size_t i = keep; i < chain.size(); ++i) {
        present(chain[i]);
        changed = true;
    }
    // A leaving container that shares a view with a newly shown one must not take it away.
    changed = syncControllerView(root_) || changed;
    for (auto& s : shown_)
        if (!s.leaving)
            if (auto vc = s.controller.lock())
                changed = syncControllerView(vc) || changed;
    return changed;
}

bool UIWindow::isAnimating() const {
    return anyAnimating(*this);
}

void UIWindow::cancelTouch() {
    auto view = std::exchange(touchView_, nullptr);
    touchScroller_.reset();
    const bool plainControl = std::exchange(plainControl_, false);
    handedToScroller_ = false;
    if (!view)
        return;
    if (plainControl)
        std::static_pointer_cast<UIControl>(view)->setHighlighted(false);
    else if (auto r = responderOf(view))
        r->touchCancelled();
}

bool UIWindow::shows(const std::shared_ptr<UIView>& view) {
    return view && view->window().get() == this;
}

void UIWindow::touchBegan(CGPoint p) {
    // A touch still in flight lost its end (the pointer was released outside the window): it is
    // cancelled, so that nothing stays highlighted or half-dragged.
    cancelTouch();
    touchStart_ = p;
    auto hit = hitTest(p);
    // Offer the touch up the chain; remember the nearest scroll view for a drag.
    for (auto v = hit; v; v = v->superview()) {
        if (!touchScroller_)
            if (auto scroller = std::dynamic_pointer_cast<UIScrollView>(v); scroller && v != hit)
                touchScroller_ = scroller;
        if (touchView_)
            continue;
        if (auto r = responderOf(v)) {
            if (r->touchBegan(v->convertPointFromView(p, nullptr)))
                touchView_ = v;
        } else if (auto control = std::dynamic_pointer_cast<UIControl>(v); control && control->isEnabled()) {
            touchView_ = v;
            plainControl_ = true;
            control->setHighlighted(true);
            control->sendActionsForControlEvents(UIControlEventTouchDown);
        }
    }
    // A scroll view that took the touch itself (its own empty area, an inner list) drags; the
    // list around it does not take the drag over.
    if (auto scroller = std::dynamic_pointer_cast<UIScrollView>(touchView_)) {
        touchScroller_ = scroller;
        handedToScroller_ = true;
    }
}

void UIWindow::touchMoved(CGPoint p) {
    if (!touchView_)
        return;
    // A view taken off the window during the touch has lost it, as on the platform.
    if (!shows(touchView_)) {
        cancelTouch();
        return;
    }
    if (!shows(touchScroller_))
        touchScroller_.reset();
    if (!handedToScroller_ && touchScroller_ && std::abs(p.y - touchStart_.y) > kDragSlop) {
        auto r = responderOf(touchView_);
        if (!(r && r->keepsDrags())) {
            // The list takes the drag over: the control lets go, the list starts from where the
            // finger first came down.
            if (r)
                r->touchCancelled();
            else if (auto control = std::dynamic_pointer_cast<UIControl>(touchView_))
                control->setHighlighted(false);
            touchView_ = touchScroller_;
            handedToScroller_ = true;
            plainControl_ = false;
            responderOf(touchScroller_)
                ->touchBegan(touchScroller_->convertPointFromView(touchStart_, nullptr));
        }
    }
    if (plainControl_) {
        auto control = std::static_pointer_cast<UIControl>(touchView_);
        control->setHighlighted(control->pointInside(control->convertPointFromView(p, nullptr)));
        return;
    }
    if (auto r = responderOf(touchView_))
        r->touchMoved(touchView_->convertPointFromView(p, nullptr));
}

void UIWindow::touchEnded(CGPoint p) {
    if (touchView_ && !shows(touchView_)) {
        cancelTouch();
        return;
    }
    auto view = std::move(touchView_);
    touchView_.reset();
    touchScroller_.reset();
    if (!view)
        return;
    CGPoint local = view->convertPointFromView(p, nullptr);
    if (plainControl_) {
        auto control = std::static_pointer_cast<UIControl>(view);
        control->setHighlighted(false);
        if (control->pointInside(local))
            control->sendActionsForControlEvents(UIControlEventTouchUpInside);
        return;
    }
    if (auto r = responderOf(view))
        r->touchEnded(local);
}

void UIWindow::tapAt(CGPoint p) {
    touchBegan(p);
    touchEnded(p);
}

void UIWindow::scrollWheel(CGPoint p, CGFloat dy) {
    for (auto v = hitTest(p); v; v = v->superview()) {
        if (auto scroller = std::dynamic_pointer_cast<UIScrollView>(v)) {
            scroller->scrollBy(CGPointMake(0, dy));
            return;
        }
    }
}

void UIWindow::typeText(const std::string& text) {
    if (auto field = UITextField::focusedTextField())
        field->insertText(text);
}

void UIWindow::deleteBackward() {
    if (auto field = UITextField::focusedTextField())
        field->deleteBackward();
}

void UIWindow::returnKey() {
    if (auto field = UITextField::focusedTextField())
        field->returnKey();
}
