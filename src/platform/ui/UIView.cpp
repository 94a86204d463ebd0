#include "platform/ui/UIView.h"

#include "platform/dispatch/Dispatch.h"
#include "platform/foundation/DeviceEnvironment.h"
#include "platform/foundation/NSAssertionHandler.h"
#include "platform/ui/UIViewAnimationState.h"
#include "platform/ui/UIViewCoder.h"
#include "platform/ui/layers/CALayer.h"

#include <algorithm>
#include <atomic>

namespace {
// What the views of one device share: the engine that solves their constraints, the depth of the
// layout pass under way (main thread only), and the counter of visible changes, which a window
// back end reads to draw only after a change.
struct ViewTreeState : DeviceEnvironment::Part {
    std::shared_ptr<UILayoutEngine> layoutEngine;
    int layoutDepth = 0;
    std::atomic<std::uint64_t> displayGeneration{1};

    // Work handed to the global queue builds views and reads the device's parts (confetti pieces
    // made on generation workers, a HUD's task): it finishes before any part of the device goes.
    void shutDown() override { dispatch_global_queue_drain_for_testing(); }
};

ViewTreeState& viewTree() {
    return DeviceEnvironment::current().part<ViewTreeState>();
}
} // namespace

std::uint64_t UIView::displayGeneration() {
    return viewTree().displayGeneration.load(std::memory_order_relaxed);
}
void UIView::markDisplayChanged() {
    viewTree().displayGeneration.fetch_add(1, std::memory_order_relaxed);
}

std::shared_ptr<UIView> UIView::create(CGRect frame) {
    auto v = std::shared_ptr<UIView>(new UIView(frame));
    v->commonInit();
    return v;
}

UIView::UIView(CGRect frame) : layer_(std::make_shared<CALayer>()) {
    bounds_ = CGRectMake(0, 0, frame.size.width, frame.size.height);
    center_ = CGPointMake(frame.midX(), frame.midY());
}

std::shared_ptr<UIView> UIView::createWithCoder(const UIViewCoder& coder) {
    auto v = std::shared_ptr<UIView>(new UIView(coder));
    v->commonInit();
    return v;
}

namespace {
// The archived frame; one of negative size is not a frame and leaves the empty one.
CGRect archivedFrame(const UIViewCoder& coder) {
    auto frame = coder.decodeRectForKey("frame");
    if (!frame || frame->size.width < 0 || frame->size.height < 0)
        return CGRectZero;
    return *frame;
}
} // namespace

UIView::UIView(const UIViewCoder& coder) : UIView(archivedFrame(coder)) {
    alpha_ = std::clamp(coder.decodeDoubleForKey("alpha").value_or(alpha_), 0.0, 1.0);
    hidden_ = coder.decodeBoolForKey("hidden").value_or(hidden_);
    opaque_ = coder.decodeBoolForKey("opaque").value_or(opaque_);
    clipsToBounds_ = coder.decodeBoolForKey("clipsToBounds").value_or(clipsToBounds_);
    layer_->setMasksToBounds(clipsToBounds_);
    userInteractionEnabled_ =
        coder.decodeBoolForKey("userInteractionEnabled").value_or(userInteractionEnabled_);
    tag_ = coder.decodeIntegerForKey("tag").value_or(tag_);
    if (auto mask = coder.decodeIntegerForKey("autoresizingMask"); mask && *mask >= 0)
        autoresizingMask_ = static_cast<std::uint64_t>(*mask);
    if (auto color = coder.decodeColorForKey("backgroundColor"))
        backgroundColor_ = color;
    if (auto color = coder.decodeColorForKey("tintColor"))
        tintColor_ = color;
}

UIView::~UIView() {
    UIViewAnimationState::forget(*this);
    for (auto& s : subviews_)
        s->superview_.reset();
}

const std::shared_ptr<CALayer>& UIView::layer() const {
    // The layer learns its view the first time it is handed out after the view has an owner (not
    // yet while the view is being made), so a change made through it animates the view.
    if (!layerBound_) {
        if (auto self = weak_from_this().lock()) {
            layer_->view_ = std::static_pointer_cast<UIView>(std::const_pointer_cast<NSObject>(self));
            layerBound_ = true;
        }
    }
    return layer_;
}

CGRect UIView::frame() const {
    CGRect local = CGRectMake(-bounds_.size.width / 2, -bounds_.size.height / 2, bounds_.size.width,
                              bounds_.size.height);
    CGAffineTransform t = CATransform3DGetAffineTransform(layer_->transform());
    CGRect r = CGRectApplyAffineTransform(local, t);
    r.origin.x += center_.x;
    r.origin.y += center_.y;
    return r;
}

void UIView::setFrame(CGRect frame) {
    // As UIKit: with a non-identity transform the frame is undefined; keep the size from bounds.
    CGSize oldSize = bounds_.size;
    UIViewAnimationState::willChange(*this, UIViewAnimationState::Property::Center);
    if (CATransform3DIsIdentity(layer_->transform())) {
        UIViewAnimationState::willChange(*this, UIViewAnimationState::Property::Bounds);
        bounds_.size = CGSizeMake(frame.size.width, frame.size.height);
    }
    center_ = CGPointMake(frame.midX(), frame.midY());
    if (bounds_.size != oldSize) {
        setNeedsLayout();
        resizeSubviews(oldSize);
    }
    markDisplayChanged();
}

void UIView::setBounds(CGRect bounds) {
    CGSize oldSize = bounds_.size;
    UIViewAnimationState::willChange(*this, UIViewAnimationState::Property::Bounds);
    bounds_ = bounds;
    if (bounds_.size != oldSize) {
        setNeedsLayout();
        resizeSubviews(oldSize);
    }
    markDisplayChanged();
}

void UIView::resizeSubviews(CGSize oldSize) {
    if (!autoresizesSubviews_)
        return;
    auto children = subviews_; // a resize may change the tree
    for (auto& s : children) {
        if (s->autoresizingMask_ != UIViewAutoresizingNone && s->translatesAutoresizingMaskIntoConstraints())
            s->autoresize(oldSize, bounds_.size);
    }
}

namespace {
// One axis of autoresizing: the margin before, the size and the margin after share `delta`
// among the flexible ones, in proportion to their sizes (equally when those are all zero).
void resizeAxis(double& origin, double& size, double superSize, double delta, bool flexBefore, bool flexSize,
                bool flexAfter) {
    const double parts[3] = {origin, size, superSize - origin - size};
    const bool flexible[3] = {flexBefore, flexSize, flexAfter};
    double total = 0;
    int count = 0;
    for (int i = 0; i < 3; ++i) {
        if (flexible[i]) {
            total += std::max(0.0, parts[i]);
            ++count;
        }
    }
    if (count == 0 || delta == 0)
        return;
    auto share = [&](int i) {
        if (!flexible[i])
            return 0.0;
        return total > 0 ? delta * std::max(0.0, parts[i]) / total : delta / count;
    };
    origin += share(0);
    size = std::max(0.0, size + share(1));
}
} // namespace

void UIView::autoresize(CGSize oldSuperSize, CGSize newSuperSize) {
    CGRect f = frame();
    const auto m = autoresizingMask_;
    resizeAxis(f.origin.x, f.size.width, oldSuperSize.width, newSuperSize.width - oldSuperSize.width,
               m & UIViewAutoresizingFlexibleLeftMargin, m & UIViewAutoresizingFlexibleWidth,
               m & UIViewAutoresizingFlexibleRightMargin);
    resizeAxis(f.origin.y, f.size.height, oldSuperSize.height, newSuperSize.height - oldSuperSize.height,
               m & UIViewAutoresizingFlexibleTopMargin, m & UIViewAutoresizingFlexibleHeight,
               m & UIViewAutoresizingFlexibleBottomMargin);
    if (f != frame())
        setFrame(f);
}

void UIView::setCenter(CGPoint center) {
    UIViewAnimationState::willChange(*this, UIViewAnimationState::Property::Center);
    center_ = center;
    markDisplayChanged();
}

void UIView::setTransform(CGAffineTransform t) {
    transform_ = t;
    layer()->setTransform(CATransform3DMakeAffineTransform(t));
}

void UIView::setAlpha(CGFloat alpha) {
    UIViewAnimationState::willChange(*this, UIViewAnimationState::Property::Alpha);
    alpha_ = std::clamp(alpha, 0.0, 1.0);
    markDisplayChanged();
}

void UIView::setHidden(bool hidden) {
    hidden_ = hidden;
    markDisplayChanged();
}

void UIView::setBackgroundColor(std::optional<UIColor> color) {
    UIViewAnimationState::willChange(*this, UIViewAnimationState::Property::BackgroundColor);
    backgroundColor_ = color;
    markDisplayChanged();
}

void UIView::setClipsToBounds(bool clips) {
    clipsToBounds_ = clips;
    layer_->setMasksToBounds(clips);
}

std::optional<UIColor> UIView::tintColor() const {
    for (const UIView* v = this; v; v = v->superviewPointer()) {
        if (v->tintColor_)
            return v->tintColor_;
    }
    return UIColor::systemBlueColor();
}

void UIView::setTintColor(std::optional<UIColor> color) {
    tintColor_ = color;
    markDisplayChanged();
}

void UIView::attach(const std::shared_ptr<UIView>& view, std::size_t index) {
    if (!view || view.get() == this)
        return;
    auto self = std::static_pointer_cast<UIView>(shared_from_this());
    auto oldSuper = view->superview();
    bool moving = oldSuper.get() != this;
    auto oldWindow = moving ? view->window() : nullptr;
    if (moving)
        view->willMoveToSuperview(self);
    if (oldSuper) {
        auto& siblings = oldSuper->subviews_;
        auto it = std::find(siblings.begin(), siblings.end(), view);
        if (it != siblings.end()) {
            if (oldSuper.get() == this && static_cast<std::size_t>(it - siblings.begin()) < index)
                --index;
            auto keep = view;
            if (moving)
                oldSuper->willRemoveSubview(view);
            siblings.erase(it);
        }
    }
    index = std::min(index, subviews_.size());
    subviews_.insert(subviews_.begin() + static_cast<std::ptrdiff_t>(index), view);
    view->superview_ = self;
    view->superviewPointer_ = this;
    if (moving) {
        view->didMoveToSuperview();
        didAddSubview(view);
        if (auto newWindow = window(); newWindow != oldWindow)
            view->moveToWindow(newWindow != nullptr);
    }
    setNeedsLayout();
    markDisplayChanged();
}

std::shared_ptr<UIView> UIView::window() {
    auto root = rootView();
    return root->isWindow() ? root : nullptr;
}

void UIView::moveToWindow(bool inWindow) {
    if (inWindow)
        applyAppearance();
    didMoveToWindow();
    auto children = subviews_;
    for (auto& s : children)
        s->moveToWindow(inWindow);
}

void UIView::addSubview(const std::shared_ptr<UIView>& view) {
    attach(view, subviews_.size());
}
void UIView::insertSubview(const std::shared_ptr<UIView>& view, std::size_t index) {
    attach(view, index);
}

void UIView::insertSubviewAboveSubview(const std::shared_ptr<UIView>& view,
                                       const std::shared_ptr<UIView>& sibling) {
    auto it = std::find(subviews_.begin(), subviews_.end(), sibling);
    attach(view,
           it == subviews_.end() ? subviews_.size() : static_cast<std::size_t>(it - subviews_.begin()) + 1);
}

void UIView::insertSubviewBelowSubview(const std::shared_ptr<UIView>& view,
                                       const std::shared_ptr<UIView>& sibling) {
    auto it = std::find(subviews_.begin(), subviews_.end(), sibling);
    attach(view, it == subviews_.end() ? subviews_.size() : static_cast<std::size_t>(it - subviews_.begin()));
}

void UIView::bringSubviewToFront(const std::shared_ptr<UIView>& view) {
    if (view && view->superview().get() == this)
        attach(view, subviews_.size());
}

void UIView::removeFromSuperview() {
    auto parent = superview();
    if (!parent)
        return;
    auto self = std::static_pointer_cast<UIView>(shared_from_this());
    bool wasInWindow = window() != nullptr;
    willMoveToSuperview(nullptr);
    parent->willRemoveSubview(self);
    auto& siblings = parent->subviews_;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), self), siblings.end());
    superview_.reset();
    didMoveToSuperview();
    if (wasInWindow)
        moveToWindow(false);
    parent->setNeedsLayout();
    markDisplayChanged();
}

bool UIView::isDescendantOfView(const UIView* view) const {
    for (const UIView* v = this; v; v = v->superviewPointer()) {
        if (v == view)
            return true;
    }
    return false;
}

std::shared_ptr<UIView> UIView::viewWithTag(std::int64_t tag) {
    if (tag_ == tag)
        return std::static_pointer_cast<UIView>(shared_from_this());
    for (auto& s : subviews_) {
        if (auto found = s->viewWithTag(tag))
            return found;
    }
    return nullptr;
}

std::shared_ptr<UIView> UIView::rootView() {
    auto v = std::static_pointer_cast<UIView>(shared_from_this());
    while (auto s = v->superview())
        v = s;
    return v;
}

namespace {
// The transform from a view's own coordinates to its superview's.
CGAffineTransform toSuperview(const UIView& v) {
    CGAffineTransform t = CGAffineTransformMakeTranslation(-v.bounds().origin.x - v.bounds().size.width / 2,
                                                           -v.bounds().origin.y - v.bounds().size.height / 2);
    t = CGAffineTransformConcat(t, CATransform3DGetAffineTransform(v.layer()->transform()));
    return CGAffineTransformConcat(t, CGAffineTransformMakeTranslation(v.center().x, v.center().y));
}

CGAffineTransform toRoot(const UIView* v) {
    CGAffineTransform t = CGAffineTransformIdentity;
    for (; v && v->superview(); v = v->superview().get())
        t = CGAffineTransformConcat(t, toSuperview(*v));
    return t;
}
} // namespace

CGPoint UIView::convertPointToView(CGPoint p, const UIView* view) const {
    CGPoint root = CGPointApplyAffineTransform(p, toRoot(this));
    if (!view)
        return root;
    return CGPointApplyAffineTransform(root, CGAffineTransformInvert(toRoot(view)));
}

CGPoint UIView::convertPointFromView(CGPoint p, const UIView* view) const {
    CGPoint root = view ? CGPointApplyAffineTransform(p, toRoot(view)) : p;
    return CGPointApplyAffineTransform(root, CGAffineTransformInvert(toRoot(this)));
}

CGRect UIView::convertRectToView(CGRect r, const UIView* view) const {
    CGAffineTransform t = toRoot(this);
    if (view)
        t = CGAffineTransformConcat(t, CGAffineTransformInvert(toRoot(view)));
    return CGRectApplyAffineTransform(r, t);
}

bool UIView::pointInside(CGPoint p) const {
    return bounds_.contains(p);
}

std::shared_ptr<UIView> UIView::hitTest(CGPoint p) {
    if (hidden_ || !userInteractionEnabled_ || alpha_ < 0.01)
        return nullptr;
    if (!pointInside(p))
        return nullptr;
    for (auto it = subviews_.rbegin(); it != subviews_.rend(); ++it) {
        UIView& s = **it;
        CGPoint local = CGPointApplyAffineTransform(p, CGAffineTransformInvert(toSuperview(s)));
        if (auto hit = s.hitTest(local))
            return hit;
    }
    return std::static_pointer_cast<UIView>(shared_from_this());
}

void UIView::setNeedsLayout() {
    needsLayout_ = true;
}

void UIView::layoutIfNeeded() {
    ViewTreeState& tree = viewTree();
    // The outermost call runs the constraint-update pass and lets the engine solve first.
    if (tree.layoutDepth == 0) {
        updateConstraintsIfNeeded();
        if (auto engine = tree.layoutEngine)
            engine->willLayout(*this);
    }
    struct Depth {
        explicit Depth(int& depth) : depth_(depth) { ++depth_; }
        ~Depth() { --depth_; }
        int& depth_;
    } depth(tree.layoutDepth);
    if (needsLayout_) {
        needsLayout_ = false;
        layoutSubviews();
    }
    // Copy: layout may add or remove subviews.
    auto children = subviews_;
    for (auto& s : children)
        s->layoutIfNeeded();
}

void UIView::sizeToFit() {
    CGSize s = sizeThatFits(bounds_.size);
    CGRect f = frame();
    f.size = s;
    setFrame(f);
}

void UIView::setNeedsDisplay() {
    needsDisplay_ = true;
    markDisplayChanged();
}

// --- Auto Layout ------------------------------------------------------------------------------

void UIView::setLayoutEngine(std::shared_ptr<UILayoutEngine> engine) {
    viewTree().layoutEngine = std::move(engine);
}
std::shared_ptr<UILayoutEngine> UIView::layoutEngine() {
    return viewTree().layoutEngine;
}

UIViewAutoLayoutState& UIView::autoLayout() {
    if (!autoLayout_)
        autoLayout_ = std::make_unique<UIViewAutoLayoutState>();
    return *autoLayout_;
}

void UIView::layoutSubviews() {
    if (auto engine = layoutEngine())
        engine->layoutSubviews(*this);
}

void UIView::addConstraint(const std::shared_ptr<NSLayoutConstraint>& constraint) {
    if (!constraint)
        return;
    auto engine = layoutEngine();
    if (!engine) {
        NSAssertionHandler::fail("No layout engine is installed: the host installs one before views get "
                                 "constraints.");
        return;
    }
    auto& list = autoLayout().constraints;
    if (std::find(list.begin(), list.end(), constraint) != list.end())
        return;
    list.push_back(constraint);
    engine->didAddConstraint(*this, constraint);
}

void UIView::addConstraints(const std::vector<std::shared_ptr<NSLayoutConstraint>>& constraints) {
    for (auto& c : constraints)
        addConstraint(c);
}

void UIView::removeConstraint(const std::shared_ptr<NSLayoutConstraint>& constraint) {
    if (!autoLayout_ || !constraint)
        return;
    auto& list = autoLayout_->constraints;
    auto it = std::find(list.begin(), list.end(), constraint);
    if (it == list.end())
        return;
    auto keep = constraint;
    list.erase(it);
    if (auto engine = layoutEngine())
        engine->didRemoveConstraint(*this, keep);
}

void UIView::removeConstraints(const std::vector<std::shared_ptr<NSLayoutConstraint>>& constraints) {
    auto copy = constraints; // the argument may be this view's own list
    for (auto& c : copy)
        removeConstraint(c);
}

std::vector<std::shared_ptr<NSLayoutConstraint>> UIView::constraints() const {
    return autoLayout_ ? autoLayout_->constraints : std::vector<std::shared_ptr<NSLayoutConstraint>>{};
}

bool UIView::translatesAutoresizingMaskIntoConstraints() const {
    return !autoLayout_ || autoLayout_->translatesAutoresizingMaskIntoConstraints;
}

void UIView::setTranslatesAutoresizingMaskIntoConstraints(bool translates) {
    if (translatesAutoresizingMaskIntoConstraints() == translates)
        return;
    autoLayout().translatesAutoresizingMaskIntoConstraints = translates;
    invalidateIntrinsicContentSize();
}

void UIView::invalidateIntrinsicContentSize() {
    if (auto engine = layoutEngine())
        engine->viewInputsChanged(*this);
}

UILayoutPriority UIView::contentHuggingPriorityForAxis(UILayoutConstraintAxis axis) const {
    return autoLayout_ ? autoLayout_->hugging[axis == UILayoutConstraintAxisVertical]
                       : UILayoutPriorityDefaultLow;
}

void UIView::setContentHuggingPriority(UILayoutPriority priority, UILayoutConstraintAxis axis) {
    autoLayout().hugging[axis == UILayoutConstraintAxisVertical] = priority;
    invalidateIntrinsicContentSize();
}

UILayoutPriority UIView::contentCompressionResistancePriorityForAxis(UILayoutConstraintAxis axis) const {
    return autoLayout_ ? autoLayout_->compressionResistance[axis == UILayoutConstraintAxisVertical]
                       : UILayoutPriorityDefaultHigh;
}

void UIView::setContentCompressionResistancePriority(UILayoutPriority priority, UILayoutConstraintAxis axis) {
    autoLayout().compressionResistance[axis == UILayoutConstraintAxisVertical] = priority;
    invalidateIntrinsicContentSize();
}

void UIView::setNeedsUpdateConstraints() {
    autoLayout().needsUpdateConstraints = true;
    setNeedsLayout();
}

bool UIView::needsUpdateConstraints() const {
    return autoLayout_ && autoLayout_->needsUpdateConstraints;
}

void UIView::updateConstraintsIfNeeded() {
    auto children = subviews_; // an update may change the tree
    for (auto& s : children)
        s->updateConstraintsIfNeeded();
    if (needsUpdateConstraints()) {
        autoLayout_->needsUpdateConstraints = false;
        updateConstraints();
    }
}

void UIView::updateConstraints() {}
