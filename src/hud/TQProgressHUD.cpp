// The HUD's life: creation, the show and hide state machine with its grace, minimum-show and
// hide-delay timers, progress, and following the superview. Beside it: the content
// (TQProgressHUDContent.cpp), its layout (TQProgressHUDLayout.cpp), show-while-executing
// (TQProgressHUDTasks.cpp) and the older property interface (TQProgressHUDOlderProperties.cpp).

#include "hud/TQProgressHUD.h"

#include "hud/TQSystemGeneration.h"
#include "platform/dispatch/NSRunLoop.h"
#include "platform/foundation/NSAssertionHandler.h"
#include "platform/foundation/NSKeyValueCoding.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "platform/ui/UIStatusBarOrientation.h"
#include "platform/ui/layers/CALayer.h"

#include <cmath>

namespace {

constexpr const char* kMainThreadMessage = "TQProgressHUD needs to be accessed on the main thread.";

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

std::shared_ptr<TQProgressHUD> TQProgressHUD::createWithCoder(const UIViewCoder& coder) {
    auto hud = std::shared_ptr<TQProgressHUD>(new TQProgressHUD(coder));
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
            // A second hide while held replaces the pending timer: the hide is carried out,
            // and reported, once.
            if (auto t = minShowTimer_.lock())
                t->invalidate();
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
    ++showings_;
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
        hidingShowing_ = showings_;
        std::weak_ptr<TQProgressHUD> weak = self();
        animateIn(false, animationType_, [weak, showing = showings_](bool) {
            auto hud = weak.lock();
            if (!hud)
                return;
            if (hud->hidingShowing_ == showing)
                hud->hidingShowing_.reset();
            if (hud->finishedEarly_ == showing) {
                hud->finishedEarly_.reset();
                return;
            }
            hud->done(showing);
        });
        return;
    }
    // A hide that ends an animated hide of this showing at once carries out its finish step;
    // the animation's end must not repeat it.
    if (hidingShowing_ == showings_) {
        finishedEarly_ = showings_;
        hidingShowing_.reset();
    }
    showStarted_.reset();
    bezelView_->setAlpha(0);
    backgroundView_->setAlpha(1);
    done(showings_);
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

void TQProgressHUD::done(std::uint64_t showing) {
    // Keep the HUD alive through the notifications even when removing it drops the last owner.
    auto keep = self();
    // A show that interrupted this hide's animation has begun a showing of its own, with its own
    // display link and perhaps a delayed hide, and a hide begun since has its own finish step to
    // come: only the notifications below are this hide's.
    const bool current = showing == showings_;
    if (current) {
        if (auto t = hideDelayTimer_.lock())
            t->invalidate();
        setNSProgressDisplayLinkEnabled(false);
    }
    if (current && finished_) {
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
