#include "hud/TQProgressHUD.h"

#include "hud/TQBarProgressView.h"
#include "hud/TQIntrinsicSize.h"
#include "hud/TQRoundProgressView.h"
#include "hud/TQSystemGeneration.h"
#include "platform/dispatch/NSRunLoop.h"
#include "platform/foundation/NSAssertionHandler.h"
#include "platform/foundation/NSKeyValueCoding.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "platform/ui/CALayer.h"
#include "platform/ui/UIActivityIndicatorView.h"
#include "platform/ui/UIAppearance.h"
#include "platform/ui/UIMotionEffect.h"
#include "platform/ui/UIStatusBarOrientation.h"

#include <cmath>

namespace {

constexpr const char* kMainThreadMessage = "TQProgressHUD needs to be accessed on the main thread.";
constexpr float kCompressionPriority = 998;

double now() {
    auto loop = NSRunLoop::main();
    return loop ? loop->now() : 0;
}

} // namespace

// MARK: - Creation

std::shared_ptr<TQProgressHUD> TQProgressHUD::create(CGRect frame) {
    auto hud = std::shared_ptr<TQProgressHUD>(new TQProgressHUD(frame));
    hud->commonInit();
    return hud;
}

std::shared_ptr<TQProgressHUD> TQProgressHUD::createWithView(const std::shared_ptr<UIView>& view) {
    NSAssert(view != nullptr, "View must not be nil.");
    return create(view ? view->bounds() : CGRectZero);
}

TQProgressHUD::~TQProgressHUD() {
    unregisterFromNotifications();
}

void TQProgressHUD::commonInit() {
    UIView::commonInit();
    animationType_ = TQAnimationOpacityOnly;
    mode_ = TQModeSpinner;
    margin_ = 20;
    opacity_ = 1;
    defaultMotionEffectsEnabled_ = true;
    contentColor_ =
        TQIsPre7System() ? UIColor::whiteColor() : UIColor::colorWithWhite(0, static_cast<double>(0.7f));
    setOpaque(false);
    setBackgroundColor(UIColor::clearColor());
    setAlpha(0);
    setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    layer()->setAllowsGroupOpacity(false);
    setupViews();
    updateIndicators();
    registerForNotifications();
}

const SelectorTable* TQProgressHUD::selectorTable() const {
    using Args = std::span<const PlistValue>;
    auto timerArg = [](Args args) { return args.empty() ? nullptr : args[0].objectAs<NSTimer>(); };
    static const SelectorTable table({
        {"handleGraceTimer:",
         [timerArg](NSObject& s, Args a) {
             static_cast<TQProgressHUD&>(s).handleGraceTimer(timerArg(a));
             return PlistValue();
         }},
        {"handleMinShowTimer:",
         [timerArg](NSObject& s, Args a) {
             static_cast<TQProgressHUD&>(s).handleMinShowTimer(timerArg(a));
             return PlistValue();
         }},
        {"handleHideTimer:",
         [timerArg](NSObject& s, Args a) {
             static_cast<TQProgressHUD&>(s).handleHideTimer(timerArg(a));
             return PlistValue();
         }},
        {"updateProgressFromProgressObject",
         [](NSObject& s, Args) {
             static_cast<TQProgressHUD&>(s).updateProgressFromProgressObject();
             return PlistValue();
         }},
        {"statusBarOrientationDidChange:",
         [](NSObject& s, Args a) {
             static_cast<TQProgressHUD&>(s).statusBarOrientationDidChange(
                 a.empty() ? nullptr : a[0].objectAs<NSNotification>());
             return PlistValue();
         }},
    });
    return &table;
}

bool TQProgressHUD::checkMainThread() const {
    bool main = NSRunLoop::isMainThread();
    NSAssert(main, kMainThreadMessage);
    return main;
}

std::shared_ptr<NSTimer> TQProgressHUD::scheduleTimer(double interval, SEL selector, PlistValue userInfo) {
    auto timer =
        NSTimer::timerWithTimeInterval(interval, self(), std::move(selector), std::move(userInfo), false);
    if (auto loop = NSRunLoop::currentRunLoop())
        loop->addTimer(timer, NSRunLoopCommonModes);
    return timer;
}

// MARK: - Class operations

std::size_t TQProgressHUD::hideAllHUDsForView(const std::shared_ptr<UIView>& view, bool animated) {
    auto huds = allHUDsForView<TQProgressHUD>(view);
    for (const auto& hud : huds) {
        hud->setRemoveFromSuperViewOnHide(true);
        hud->hideAnimated(animated);
    }
    return huds.size();
}

// MARK: - Show and hide

void TQProgressHUD::showAnimated(bool animated) {
    if (!checkMainThread())
        return;
    if (auto t = minShowTimer_.lock())
        t->invalidate();
    useAnimation_ = animated;
    finished_ = false;
    if (graceTime_ > 0) {
        graceTimer_ = scheduleTimer(graceTime_, "handleGraceTimer:", {});
        return;
    }
    showUsingAnimation(useAnimation_);
}

void TQProgressHUD::handleGraceTimer(const std::shared_ptr<NSTimer>&) {
    // A hide that came during the grace time means the HUD is never shown.
    if (!finished_)
        showUsingAnimation(useAnimation_);
}

void TQProgressHUD::hideAnimated(bool animated) {
    if (!checkMainThread())
        return;
    if (auto t = graceTimer_.lock())
        t->invalidate();
    useAnimation_ = animated;
    finished_ = true;
    if (minShowTime_ > 0 && showStarted_) {
        double shown = now() - *showStarted_;
        if (shown < minShowTime_) {
            minShowTimer_ = scheduleTimer(minShowTime_ - shown, "handleMinShowTimer:", {});
            return;
        }
    }
    hideUsingAnimation(useAnimation_);
}

void TQProgressHUD::handleMinShowTimer(const std::shared_ptr<NSTimer>&) {
    hideUsingAnimation(useAnimation_);
}

void TQProgressHUD::hideAnimated(bool animated, double afterDelay) {
    if (auto t = hideDelayTimer_.lock())
        t->invalidate();
    hideDelayTimer_ = scheduleTimer(afterDelay, "handleHideTimer:", PlistValue(animated));
}

void TQProgressHUD::handleHideTimer(const std::shared_ptr<NSTimer>& timer) {
    hideAnimated(timer ? timer->userInfo().boolValue() : false);
}

void TQProgressHUD::showUsingAnimation(bool animated) {
    // Removing the running animations must not make the bezel jump: what is on screen now (a hide
    // half-way through, say) becomes the model value the new animation starts from.
    const double bezelAlpha = bezelView_->presentationAlpha();
    const CGAffineTransform bezelTransform =
        CATransform3DGetAffineTransform(bezelView_->presentationTransform());
    const double backgroundAlpha = backgroundView_->presentationAlpha();
    bezelView_->removeAllAnimations();
    backgroundView_->removeAllAnimations();
    UIView::performWithoutAnimation([&] {
        bezelView_->setAlpha(bezelAlpha);
        bezelView_->setTransform(bezelTransform);
        backgroundView_->setAlpha(backgroundAlpha);
    });
    if (auto t = hideDelayTimer_.lock())
        t->invalidate();
    showStarted_ = now();
    setAlpha(1);
    setNSProgressDisplayLinkEnabled(true);
    if (animated) {
        animateIn(true, animationType_, nullptr);
    } else {
        bezelView_->setAlpha(opacity_);
        backgroundView_->setAlpha(1);
    }
}

void TQProgressHUD::hideUsingAnimation(bool animated) {
    if (animated && showStarted_) {
        showStarted_.reset();
        std::weak_ptr<TQProgressHUD> weak = self();
        animateIn(false, animationType_, [weak](bool) {
            if (auto hud = weak.lock())
                hud->done();
        });
        return;
    }
    showStarted_.reset();
    bezelView_->setAlpha(0);
    backgroundView_->setAlpha(1);
    done();
}

void TQProgressHUD::animateIn(bool animatingIn, std::int64_t type, std::function<void(bool)> completion) {
    if (type == TQAnimationGrowThenShrink)
        type = animatingIn ? TQAnimationGrowing : TQAnimationShrinking;
    const CGAffineTransform small = CGAffineTransformMakeScale(0.5, 0.5);
    const CGAffineTransform large = CGAffineTransformMakeScale(1.5, 1.5);

    // Only a bezel that is not visible at all starts from the far scale; one that is on screen
    // (half-way through a hide) continues from where it is.
    auto bezel = bezelView_;
    if (animatingIn && bezel->alpha() == 0) {
        if (type == TQAnimationGrowing)
            bezel->setTransform(small);
        else if (type == TQAnimationShrinking)
            bezel->setTransform(large);
    }
    auto background = backgroundView_;
    const double opacity = opacity_;
    auto animations = [=] {
        if (animatingIn)
            bezel->setTransform(CGAffineTransformIdentity);
        else if (type == TQAnimationGrowing)
            bezel->setTransform(large);
        else if (type == TQAnimationShrinking)
            bezel->setTransform(small);
        bezel->setAlpha(animatingIn ? opacity : 0);
        background->setAlpha(animatingIn ? 1 : 0);
    };
    if (!TQIsPre7System()) {
        UIView::animateWithDuration(0.3, 0, 1.0, 0, UIViewAnimationOptionBeginFromCurrentState, animations,
                                    std::move(completion));
    } else {
        UIView::animateWithDuration(0.3, 0, UIViewAnimationOptionBeginFromCurrentState, animations,
                                    std::move(completion));
    }
}

void TQProgressHUD::done() {
    if (auto t = hideDelayTimer_.lock())
        t->invalidate();
    setNSProgressDisplayLinkEnabled(false);
    // Keep the HUD alive through the notifications even when removing it drops the last owner.
    auto keep = self();
    if (finished_) {
        setAlpha(0);
        if (removeFromSuperViewOnHide_)
            removeFromSuperview();
    }
    if (auto block = completionBlock())
        block();
    if (auto d = delegate(); d && d->implementsHudWasHidden())
        d->hudWasHidden(keep);
}

TQProgressHUD::CompletionBlock TQProgressHUD::completionBlock() const {
    std::lock_guard lock(completionMutex_);
    return completionBlock_;
}

void TQProgressHUD::setCompletionBlock(CompletionBlock block) {
    std::lock_guard lock(completionMutex_);
    completionBlock_ = std::move(block);
}

// MARK: - Show while executing

void TQProgressHUD::showAnimated(bool animated, std::function<void()> task) {
    showAnimated(animated, std::move(task), dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0),
                 nullptr);
}

void TQProgressHUD::showAnimated(bool animated, std::function<void()> task, CompletionBlock completion) {
    showAnimated(animated, std::move(task), dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0),
                 std::move(completion));
}

void TQProgressHUD::showAnimated(bool animated, std::function<void()> task, dispatch_queue_t queue) {
    showAnimated(animated, std::move(task), std::move(queue), nullptr);
}

void TQProgressHUD::showAnimated(bool animated, std::function<void()> task, dispatch_queue_t queue,
                                 CompletionBlock completion) {
    taskInProgress_ = true;
    setCompletionBlock(std::move(completion));
    auto hud = self();
    dispatch_async(queue, [hud, task = std::move(task)] {
        if (task)
            task();
        dispatch_async(dispatch_get_main_queue(), [hud] { hud->cleanUp(); });
    });
    showAnimated(animated);
}

void TQProgressHUD::showWhileExecuting(SEL selector, std::shared_ptr<NSObject> target, PlistValue object,
                                       bool animated) {
    showAnimated(animated,
                 [selector = std::move(selector), target = std::move(target), object = std::move(object)] {
                     if (target)
                         target->performSelector(selector, {object});
                 });
}

void TQProgressHUD::cleanUp() {
    taskInProgress_ = false;
    hideAnimated(useAnimation_);
}

// MARK: - Progress

void TQProgressHUD::setProgress(float progress) {
    if (progress == progress_)
        return;
    progress_ = progress;
    if (indicator_ && indicator_->respondsToSelector("setProgress:"))
        NSKeyValueSetValue(*indicator_, PlistValue(static_cast<double>(progress)), "progress");
}

void TQProgressHUD::setProgressObject(std::shared_ptr<NSProgress> progress) {
    if (progress == progressObject_)
        return;
    progressObject_ = std::move(progress);
    setNSProgressDisplayLinkEnabled(true);
}

void TQProgressHUD::setNSProgressDisplayLinkEnabled(bool enabled) {
    if (enabled && progressObject_) {
        if (!progressObjectDisplayLink_.lock())
            setProgressObjectDisplayLink(
                CADisplayLink::displayLinkWithTarget(self(), "updateProgressFromProgressObject"));
        return;
    }
    setProgressObjectDisplayLink(nullptr);
}

void TQProgressHUD::setProgressObjectDisplayLink(const std::shared_ptr<CADisplayLink>& link) {
    auto current = progressObjectDisplayLink_.lock();
    if (current == link)
        return;
    if (current)
        current->invalidate();
    progressObjectDisplayLink_ = link;
    if (link)
        link->addToRunLoop(NSRunLoop::main(), NSDefaultRunLoopMode);
}

void TQProgressHUD::updateProgressFromProgressObject() {
    if (progressObject_)
        setProgress(static_cast<float>(progressObject_->fractionCompleted()));
}

// MARK: - Older property interface

std::string TQProgressHUD::labelText() const {
    return label_->text();
}
void TQProgressHUD::setLabelText(const std::string& text) {
    if (checkMainThread())
        label_->setText(text);
}
UIFont TQProgressHUD::labelFont() const {
    return label_->font();
}
void TQProgressHUD::setLabelFont(const UIFont& font) {
    if (checkMainThread())
        label_->setFont(font);
}
UIColor TQProgressHUD::labelColor() const {
    return label_->textColor();
}
void TQProgressHUD::setLabelColor(std::optional<UIColor> color) {
    if (checkMainThread())
        label_->setTextColor(color);
}
std::string TQProgressHUD::detailsLabelText() const {
    return detailsLabel_->text();
}
void TQProgressHUD::setDetailsLabelText(const std::string& text) {
    if (checkMainThread())
        detailsLabel_->setText(text);
}
UIFont TQProgressHUD::detailsLabelFont() const {
    return detailsLabel_->font();
}
void TQProgressHUD::setDetailsLabelFont(const UIFont& font) {
    if (checkMainThread())
        detailsLabel_->setFont(font);
}
UIColor TQProgressHUD::detailsLabelColor() const {
    return detailsLabel_->textColor();
}
void TQProgressHUD::setDetailsLabelColor(std::optional<UIColor> color) {
    if (checkMainThread())
        detailsLabel_->setTextColor(color);
}
void TQProgressHUD::setOpacity(double opacity) {
    if (checkMainThread())
        opacity_ = opacity;
}
UIColor TQProgressHUD::color() const {
    return bezelView_->color();
}
void TQProgressHUD::setColor(std::optional<UIColor> color) {
    if (checkMainThread())
        bezelView_->setColor(color);
}
void TQProgressHUD::setXOffset(double x) {
    if (checkMainThread())
        setOffset(CGPointMake(x, offset_.y));
}
void TQProgressHUD::setYOffset(double y) {
    if (checkMainThread())
        setOffset(CGPointMake(offset_.x, y));
}
double TQProgressHUD::cornerRadius() const {
    return bezelView_->layer()->cornerRadius();
}
void TQProgressHUD::setCornerRadius(double radius) {
    if (checkMainThread())
        bezelView_->layer()->setCornerRadius(radius);
}

bool TQProgressHUD::dimBackground() const {
    return backgroundView_->style() == TQBackgroundStyleFlat &&
           backgroundView_->color() == UIColor::colorWithWhite(0, static_cast<double>(0.2f));
}

void TQProgressHUD::setDimBackground(bool dim) {
    if (!checkMainThread())
        return;
    backgroundView_->setStyle(TQBackgroundStyleFlat);
    backgroundView_->setColor(dim ? UIColor::colorWithWhite(0, static_cast<double>(0.2f))
                                  : UIColor::clearColor());
}

void TQProgressHUD::setActivityIndicatorColor(std::optional<UIColor> color) {
    if (color == activityIndicatorColor_)
        return;
    activityIndicatorColor_ = color;
    if (auto spinner = std::dynamic_pointer_cast<UIActivityIndicatorView>(indicator_))
        spinner->setColor(color);
}

// MARK: - Composition

void TQProgressHUD::setupViews() {
    const auto c = contentColor_;

    backgroundView_ = TQBackgroundView::create(bounds());
    backgroundView_->setStyle(TQBackgroundStyleFlat);
    backgroundView_->setBackgroundColor(UIColor::clearColor());
    backgroundView_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    backgroundView_->setAlpha(0);
    addSubview(backgroundView_);

    bezelView_ = TQBackgroundView::create();
    bezelView_->setTranslatesAutoresizingMaskIntoConstraints(false);
    bezelView_->layer()->setCornerRadius(5);
    bezelView_->setAlpha(0);
    addSubview(bezelView_);
    updateBezelMotionEffects();

    auto makeLabel = [&](double fontSize, std::int64_t lines) {
        auto l = UILabel::create();
        l->setTextAlignment(NSTextAlignmentCenter);
        l->setTextColor(c);
        l->setFont(UIFont::boldSystemFontOfSize(fontSize));
        l->setOpaque(false);
        l->setBackgroundColor(UIColor::clearColor());
        l->setNumberOfLines(lines);
        return l;
    };
    label_ = makeLabel(16, 1);
    detailsLabel_ = makeLabel(12, 0);

    button_ = TQProgressHUDRoundedButton::buttonWithType(UIButtonTypeCustom);
    button_->titleLabel()->setTextAlignment(NSTextAlignmentCenter);
    button_->titleLabel()->setFont(UIFont::boldSystemFontOfSize(12));
    button_->setTitleColor(c, UIControlStateNormal);

    // The content resists compression just below the edge margins (999), so in a narrow parent
    // a long label is shortened rather than the bezel coming too close to the edges.
    const std::shared_ptr<UIView> content[] = {label_, detailsLabel_, button_};
    for (const auto& v : content) {
        v->setTranslatesAutoresizingMaskIntoConstraints(false);
        v->setContentCompressionResistancePriority(kCompressionPriority, UILayoutConstraintAxisHorizontal);
        v->setContentCompressionResistancePriority(kCompressionPriority, UILayoutConstraintAxisVertical);
        bezelView_->addSubview(v);
    }

    topSpacer_ = UIView::create();
    topSpacer_->setTranslatesAutoresizingMaskIntoConstraints(false);
    topSpacer_->setHidden(true);
    bezelView_->addSubview(topSpacer_);
    bottomSpacer_ = UIView::create();
    bottomSpacer_->setTranslatesAutoresizingMaskIntoConstraints(false);
    bottomSpacer_->setHidden(true);
    bezelView_->addSubview(bottomSpacer_);
}

void TQProgressHUD::updateIndicators() {
    auto old = indicator_;
    auto replace = [&](std::shared_ptr<UIView> with) {
        if (old)
            old->removeFromSuperview();
        indicator_ = std::move(with);
        if (indicator_)
            bezelView_->addSubview(indicator_);
    };
    switch (mode_) {
    case TQModeSpinner:
        if (!std::dynamic_pointer_cast<UIActivityIndicatorView>(old)) {
            auto spinner = UIActivityIndicatorView::create(UIActivityIndicatorViewStyleWhiteLarge);
            spinner->startAnimating();
            replace(spinner);
        }
        break;
    case TQModeBar:
        replace(TQBarProgressView::create());
        break;
    case TQModePie:
    case TQModeRing:
        if (!std::dynamic_pointer_cast<TQRoundProgressView>(old))
            replace(TQRoundProgressView::create());
        if (mode_ == TQModeRing)
            std::static_pointer_cast<TQRoundProgressView>(indicator_)->setAnnular(true);
        break;
    case TQModeCustom:
        if (customView_ != old)
            replace(customView_);
        break;
    case TQModeTextOnly:
        replace(nullptr);
        break;
    default:
        break; // an unknown mode keeps whatever indicator there was
    }
    if (indicator_) {
        indicator_->setTranslatesAutoresizingMaskIntoConstraints(false);
        if (indicator_->respondsToSelector("setProgress:"))
            NSKeyValueSetValue(*indicator_, PlistValue(static_cast<double>(progress_)), "progress");
        indicator_->setContentCompressionResistancePriority(kCompressionPriority,
                                                            UILayoutConstraintAxisHorizontal);
        indicator_->setContentCompressionResistancePriority(kCompressionPriority,
                                                            UILayoutConstraintAxisVertical);
    }
    updateViewsForColor(contentColor_);
    setNeedsUpdateConstraints();
}

void TQProgressHUD::updateViewsForColor(const std::optional<UIColor>& color) {
    if (!color)
        return;
    const UIColor c = *color;
    label_->setTextColor(c);
    detailsLabel_->setTextColor(c);
    button_->setTitleColor(c, UIControlStateNormal);

    const UIColor k = activityIndicatorColor_.value_or(c);
    // A colour the caller set on the appearance proxy inside a HUD wins over the HUD's own.
    auto proxy = [](const std::string& viewClass, const std::string& property) {
        return UIAppearance::whenContainedIn(viewClass, "TQProgressHUD").color(property);
    };
    if (auto spinner = std::dynamic_pointer_cast<UIActivityIndicatorView>(indicator_)) {
        if (!proxy("UIActivityIndicatorView", "color"))
            spinner->setColor(k);
    } else if (auto round = std::dynamic_pointer_cast<TQRoundProgressView>(indicator_)) {
        if (!proxy("TQRoundProgressView", "progressTintColor"))
            round->setProgressTintColor(k);
        if (!proxy("TQRoundProgressView", "backgroundTintColor"))
            round->setBackgroundTintColor(k.colorWithAlphaComponent(0.1));
    } else if (auto bar = std::dynamic_pointer_cast<TQBarProgressView>(indicator_)) {
        if (!proxy("TQBarProgressView", "progressColor"))
            bar->setProgressColor(k);
        if (!proxy("TQBarProgressView", "lineColor"))
            bar->setLineColor(k);
    } else if (indicator_) {
        indicator_->setTintColor(k);
    }
}

void TQProgressHUD::setMode(std::int64_t mode) {
    if (mode == mode_)
        return;
    mode_ = mode;
    updateIndicators();
}

void TQProgressHUD::setCustomView(std::shared_ptr<UIView> view) {
    if (view == customView_)
        return;
    customView_ = std::move(view);
    if (mode_ == TQModeCustom)
        updateIndicators();
}

void TQProgressHUD::setContentColor(std::optional<UIColor> color) {
    if (color == contentColor_)
        return;
    contentColor_ = color;
    updateViewsForColor(color);
}

void TQProgressHUD::setOffset(CGPoint offset) {
    if (offset == offset_)
        return;
    offset_ = offset;
    setNeedsUpdateConstraints();
}

void TQProgressHUD::setMargin(double margin) {
    if (margin == margin_)
        return;
    margin_ = margin;
    setNeedsUpdateConstraints();
}

void TQProgressHUD::setMinSize(CGSize size) {
    if (size == minSize_)
        return;
    minSize_ = size;
    setNeedsUpdateConstraints();
}

void TQProgressHUD::setSquare(bool square) {
    if (square == square_)
        return;
    square_ = square;
    setNeedsUpdateConstraints();
}

void TQProgressHUD::setDefaultMotionEffectsEnabled(bool enabled) {
    if (enabled == defaultMotionEffectsEnabled_)
        return;
    defaultMotionEffectsEnabled_ = enabled;
    updateBezelMotionEffects();
}

void TQProgressHUD::updateBezelMotionEffects() {
    if (defaultMotionEffectsEnabled_) {
        auto x = UIInterpolatingMotionEffect::create("center.x",
                                                     UIInterpolatingMotionEffectTypeTiltAlongHorizontalAxis);
        x->setMinimumRelativeValue(-10);
        x->setMaximumRelativeValue(10);
        auto y = UIInterpolatingMotionEffect::create("center.y",
                                                     UIInterpolatingMotionEffectTypeTiltAlongVerticalAxis);
        y->setMinimumRelativeValue(-10);
        y->setMaximumRelativeValue(10);
        auto group = UIMotionEffectGroup::create();
        group->setMotionEffects({x, y});
        bezelView_->addMotionEffect(group);
        return;
    }
    auto effects = bezelView_->motionEffects();
    for (const auto& e : effects)
        bezelView_->removeMotionEffect(e);
}

// MARK: - Superview tracking

void TQProgressHUD::registerForNotifications() {
    NSNotificationCenter::defaultCenter()->addObserver(
        self(), "statusBarOrientationDidChange:", UIApplicationDidChangeStatusBarOrientationNotification,
        nullptr);
}

void TQProgressHUD::unregisterFromNotifications() {
    NSNotificationCenter::defaultCenter()->removeObserver(this);
}

void TQProgressHUD::statusBarOrientationDidChange(const std::shared_ptr<NSNotification>&) {
    if (superview())
        updateForCurrentOrientationAnimated(true);
}

void TQProgressHUD::didMoveToSuperview() {
    updateForCurrentOrientationAnimated(false);
}

void TQProgressHUD::updateForCurrentOrientationAnimated(bool) {
    if (auto parent = superview())
        setFrame(parent->bounds());
}
