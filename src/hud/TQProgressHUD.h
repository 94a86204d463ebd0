#pragma once

// A heads-up view laid over a caller's view while work runs: a dimming background and a rounded
// bezel holding an activity or progress indicator, a label, a details label and an optional
// button, shown and hidden with grace, minimum-show and delay timing.
//
//     auto hud = TQProgressHUD::showHUDAddedTo(view, true);
//     hud->label()->setText("Loading");
//     ...work finishes, on the main queue:
//     TQProgressHUD::hideHUDForView(view, true);   // fades out, then removes itself
//
// The HUD fills its superview and is transparent except for its subviews. It is made of
//     backgroundView   full size, flat, clear until a colour is set
//     bezelView        centred, rounded, shrink-wrapped around its content stack:
//                      top spacer, indicator, label, details label, button, bottom spacer
// and lays them out with layout constraints that it rebuilds in its constraint pass (see
// updateConstraints) and installs on its views; the platform's layout pass solves them and sets
// the frames. Everything runs on the main thread; showAnimated, hideAnimated and the older
// property setters check that they do.

#include "hud/TQBackgroundView.h"
#include "hud/TQProgressHUDDelegate.h"
#include "hud/TQProgressHUDRoundedButton.h"
#include "platform/dispatch/CADisplayLink.h"
#include "platform/dispatch/Dispatch.h"
#include "platform/dispatch/NSTimer.h"
#include "platform/foundation/NSNotification.h"
#include "platform/foundation/NSProgress.h"
#include "platform/graphics/UIFont.h"
#include "platform/layout/NSLayoutConstraint.h"
#include "platform/ui/UILabel.h"
#include "platform/ui/UIView.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

enum TQProgressHUDMode : std::int64_t {
    TQModeSpinner = 0,
    TQModePie = 1,
    TQModeBar = 2,
    TQModeRing = 3,
    TQModeCustom = 4,
    TQModeTextOnly = 5,
};

enum TQProgressHUDAnimation : std::int64_t {
    TQAnimationOpacityOnly = 0,
    TQAnimationGrowThenShrink = 1,
    TQAnimationShrinking = 2,
    TQAnimationGrowing = 3,
};

class TQProgressHUD : public UIView {
public:
    using CompletionBlock = std::function<void()>;

    // initWithFrame: / initWithView: / initWithWindow:. A null view is a caller error ("View must
    // not be nil."). The view is not added to.
    static std::shared_ptr<TQProgressHUD> create(CGRect frame);
    // initWithCoder: the archived view (UIViewCoder.h), then the same set-up as from a frame, so
    // the HUD's own defaults (invisible, clear, resizing with its superview) replace what the
    // archive says of them.
    static std::shared_ptr<TQProgressHUD> createWithCoder(const UIViewCoder& coder);
    static std::shared_ptr<TQProgressHUD> createWithView(const std::shared_ptr<UIView>& view);
    static std::shared_ptr<TQProgressHUD> createWithWindow(const std::shared_ptr<UIView>& window) {
        return createWithView(window);
    }
    ~TQProgressHUD() override;

    std::string className() const override { return "TQProgressHUD"; }

    // Class operations. `T` is the receiving class: HUDs of that class (or subclasses) are found.
    template <class T = TQProgressHUD>
    static std::shared_ptr<T> showHUDAddedTo(const std::shared_ptr<UIView>& view, bool animated);
    template <class T = TQProgressHUD>
    static std::shared_ptr<T> HUDForView(const std::shared_ptr<UIView>& view);
    template <class T = TQProgressHUD>
    static bool hideHUDForView(const std::shared_ptr<UIView>& view, bool animated);
    template <class T = TQProgressHUD>
    static std::vector<std::shared_ptr<T>> allHUDsForView(const std::shared_ptr<UIView>& view);
    static std::size_t hideAllHUDsForView(const std::shared_ptr<UIView>& view, bool animated);

    // Showing and hiding.
    void showAnimated(bool animated);
    void hideAnimated(bool animated);
    void hideAnimated(bool animated, double afterDelay);
    void show(bool animated) { showAnimated(animated); }
    void hide(bool animated) { hideAnimated(animated); }
    void hide(bool animated, double afterDelay) { hideAnimated(animated, afterDelay); }

    // Show-while-executing (older interface): the task runs on the queue; the hide follows on the
    // main queue.
    void showAnimated(bool animated, std::function<void()> whileExecutingBlock);
    void showAnimated(bool animated, std::function<void()> whileExecutingBlock,
                      CompletionBlock completionBlock);
    void showAnimated(bool animated, std::function<void()> whileExecutingBlock, dispatch_queue_t onQueue);
    void showAnimated(bool animated, std::function<void()> whileExecutingBlock, dispatch_queue_t onQueue,
                      CompletionBlock completionBlock);
    void showWhileExecuting(SEL selector, std::shared_ptr<NSObject> onTarget, PlistValue withObject,
                            bool animated);
    bool taskInProgress() const { return taskInProgress_.load(); }

    // Lifecycle properties.
    std::shared_ptr<TQProgressHUDDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<TQProgressHUDDelegate>& d) { delegate_ = d; }
    CompletionBlock completionBlock() const;
    void setCompletionBlock(CompletionBlock block);
    double graceTime() const { return graceTime_; }
    void setGraceTime(double t) { graceTime_ = t; }
    double minShowTime() const { return minShowTime_; }
    void setMinShowTime(double t) { minShowTime_ = t; }
    bool removeFromSuperViewOnHide() const { return removeFromSuperViewOnHide_; }
    void setRemoveFromSuperViewOnHide(bool r) { removeFromSuperViewOnHide_ = r; }
    std::int64_t animationType() const { return animationType_; }
    void setAnimationType(std::int64_t t) { animationType_ = t; }
    bool hasFinished() const { return finished_; }

    // Progress.
    float progress() const { return progress_; }
    void setProgress(float progress);
    const std::shared_ptr<NSProgress>& progressObject() const { return progressObject_; }
    void setProgressObject(std::shared_ptr<NSProgress> progress);

    // Composition.
    std::int64_t mode() const { return mode_; }
    void setMode(std::int64_t mode);
    const std::shared_ptr<UIView>& customView() const { return customView_; }
    void setCustomView(std::shared_ptr<UIView> view);
    const std::optional<UIColor>& contentColor() const { return contentColor_; }
    void setContentColor(std::optional<UIColor> color);
    CGPoint offset() const { return offset_; }
    void setOffset(CGPoint offset);
    double margin() const { return margin_; }
    void setMargin(double margin);
    CGSize minSize() const { return minSize_; }
    void setMinSize(CGSize size);
    bool isSquare() const { return square_; }
    void setSquare(bool square);
    bool areDefaultMotionEffectsEnabled() const { return defaultMotionEffectsEnabled_; }
    void setDefaultMotionEffectsEnabled(bool enabled);

    const std::shared_ptr<TQBackgroundView>& bezelView() const { return bezelView_; }
    const std::shared_ptr<TQBackgroundView>& backgroundView() const { return backgroundView_; }
    const std::shared_ptr<UILabel>& label() const { return label_; }
    const std::shared_ptr<UILabel>& detailsLabel() const { return detailsLabel_; }
    const std::shared_ptr<TQProgressHUDRoundedButton>& button() const { return button_; }
    // The indicator in the bezel now, if any.
    const std::shared_ptr<UIView>& indicator() const { return indicator_; }

    // Older property interface.
    std::string labelText() const;
    void setLabelText(const std::string& text);
    UIFont labelFont() const;
    void setLabelFont(const UIFont& font);
    UIColor labelColor() const;
    void setLabelColor(std::optional<UIColor> color);
    std::string detailsLabelText() const;
    void setDetailsLabelText(const std::string& text);
    UIFont detailsLabelFont() const;
    void setDetailsLabelFont(const UIFont& font);
    UIColor detailsLabelColor() const;
    void setDetailsLabelColor(std::optional<UIColor> color);
    double opacity() const { return opacity_; }
    void setOpacity(double opacity);
    UIColor color() const;
    void setColor(std::optional<UIColor> color);
    double xOffset() const { return offset_.x; }
    void setXOffset(double x);
    double yOffset() const { return offset_.y; }
    void setYOffset(double y);
    double cornerRadius() const;
    void setCornerRadius(double radius);
    bool dimBackground() const;
    void setDimBackground(bool dim);
    const std::optional<UIColor>& activityIndicatorColor() const { return activityIndicatorColor_; }
    void setActivityIndicatorColor(std::optional<UIColor> color);
    CGSize size() const { return bezelView_->frame().size; }

    // Layout. Changes that move the content request a rebuild, carried out once at the next
    // layout pass however many properties changed.
    void setNeedsUpdateConstraints();
    bool needsUpdateConstraints() const { return needsUpdateConstraints_; }
    void updateConstraints() override;
    void layoutSubviews() override;
    void didMoveToSuperview() override;
    // The padding above each stacked view after the first, in stack order: the constants of the
    // padding constraints of the last rebuild (tests, dump).
    std::vector<double> paddingConstants() const;

    // Timer, display-link and notification entry points (also reachable by selector).
    void handleGraceTimer(const std::shared_ptr<NSTimer>& timer);
    void handleMinShowTimer(const std::shared_ptr<NSTimer>& timer);
    void handleHideTimer(const std::shared_ptr<NSTimer>& timer);
    void updateProgressFromProgressObject();
    void statusBarOrientationDidChange(const std::shared_ptr<NSNotification>& notification);
    const SelectorTable* selectorTable() const override;

    // Internal steps, public for tests.
    std::shared_ptr<NSTimer> graceTimer() const { return graceTimer_.lock(); }
    std::shared_ptr<NSTimer> minShowTimer() const { return minShowTimer_.lock(); }
    std::shared_ptr<NSTimer> hideDelayTimer() const { return hideDelayTimer_.lock(); }
    std::shared_ptr<CADisplayLink> progressObjectDisplayLink() const {
        return progressObjectDisplayLink_.lock();
    }

protected:
    explicit TQProgressHUD(CGRect frame) : UIView(frame) {}
    explicit TQProgressHUD(const UIViewCoder& coder) : UIView(coder) {}
    void commonInit() override;

private:
    bool checkMainThread() const;
    std::shared_ptr<TQProgressHUD> self() {
        return std::static_pointer_cast<TQProgressHUD>(shared_from_this());
    }
    std::shared_ptr<NSTimer> scheduleTimer(double interval, SEL selector, PlistValue userInfo);

    void showUsingAnimation(bool animated);
    void hideUsingAnimation(bool animated);
    void animateIn(bool animatingIn, std::int64_t type, std::function<void(bool)> completion);
    // The finish step of a hide that began while the HUD was in its appear step number
    // `showing` (see showings_).
    void done(std::uint64_t showing);
    void cleanUp();
    void setNSProgressDisplayLinkEnabled(bool enabled);
    void setProgressObjectDisplayLink(const std::shared_ptr<CADisplayLink>& link);

    void setupViews();
    void updateIndicators();
    void updateViewsForColor(const std::optional<UIColor>& color);
    void updateBezelMotionEffects();
    void updatePaddingConstraints();
    void registerForNotifications();
    void unregisterFromNotifications();
    void updateForCurrentOrientationAnimated(bool animated);
    std::vector<std::shared_ptr<UIView>> contentStack() const;
    bool keepsItsShape(const std::vector<std::shared_ptr<UIView>>& stack) const;
    void applyPriority(UILayoutPriority priority,
                       const std::vector<std::shared_ptr<NSLayoutConstraint>>& constraints);

    // Lifecycle state.
    std::weak_ptr<TQProgressHUDDelegate> delegate_;
    mutable std::mutex completionMutex_;
    CompletionBlock completionBlock_;
    double graceTime_ = 0;
    double minShowTime_ = 0;
    bool removeFromSuperViewOnHide_ = false;
    std::int64_t animationType_ = TQAnimationOpacityOnly;
    bool useAnimation_ = false;
    bool finished_ = false;
    std::optional<double> showStarted_;
    // Counts appear steps. A hide's finish step that arrives after a newer appear step (the show
    // interrupted its animation) belongs to a showing that is over: it still reports the hide,
    // but leaves the new showing's display link, delayed hide and visibility alone.
    std::uint64_t showings_ = 0;
    // The showing whose animated hide is running, and one whose finish step a later hide without
    // animation has already run, so that the animation's end does not run it a second time.
    std::optional<std::uint64_t> hidingShowing_, finishedEarly_;
    std::weak_ptr<NSTimer> graceTimer_, minShowTimer_, hideDelayTimer_;
    std::weak_ptr<CADisplayLink> progressObjectDisplayLink_;
    std::atomic<bool> taskInProgress_{false};
    float progress_ = 0;
    std::shared_ptr<NSProgress> progressObject_;
    double opacity_ = 1;
    std::optional<UIColor> activityIndicatorColor_;

    // Composition state.
    std::int64_t mode_ = TQModeSpinner;
    std::shared_ptr<UIView> customView_;
    std::optional<UIColor> contentColor_;
    CGPoint offset_{};
    double margin_ = 20;
    CGSize minSize_{};
    bool square_ = false;
    bool defaultMotionEffectsEnabled_ = true;
    std::shared_ptr<TQBackgroundView> backgroundView_, bezelView_;
    std::shared_ptr<UILabel> label_, detailsLabel_;
    std::shared_ptr<TQProgressHUDRoundedButton> button_;
    std::shared_ptr<UIView> indicator_, topSpacer_, bottomSpacer_;

    // Layout state from the last rebuild: the constraints installed on the bezel (removed again
    // by the next rebuild) and the padding constraints, first item below second, in stack order.
    bool needsUpdateConstraints_ = true;
    std::vector<std::shared_ptr<NSLayoutConstraint>> bezelConstraints_;
    std::vector<std::shared_ptr<NSLayoutConstraint>> paddingConstraints_;
    // What the last rebuild was made for, and the constraints whose constants follow the offset
    // and the minimum size: a rebuild of the same shape (the same stacked views, margin, square
    // and presence of a minimum size) only moves those constants instead of making every
    // constraint anew, which the layout engine would have to take in and solve again.
    std::vector<std::weak_ptr<UIView>> builtStack_;
    double builtMargin_ = 0;
    bool builtSquare_ = false;
    bool builtMinSize_ = false;
    std::vector<std::shared_ptr<NSLayoutConstraint>> hudConstraints_;
    std::shared_ptr<NSLayoutConstraint> centringX_, centringY_, minimumWidth_, minimumHeight_;
};

template <class T>
std::shared_ptr<T> TQProgressHUD::showHUDAddedTo(const std::shared_ptr<UIView>& view, bool animated) {
    auto hud = std::dynamic_pointer_cast<T>(T::createWithView(view));
    if (!hud)
        return nullptr;
    hud->setRemoveFromSuperViewOnHide(true);
    if (view)
        view->addSubview(hud);
    hud->showAnimated(animated);
    return hud;
}

template <class T> std::shared_ptr<T> TQProgressHUD::HUDForView(const std::shared_ptr<UIView>& view) {
    if (!view)
        return nullptr;
    const auto& subviews = view->subviews();
    for (auto it = subviews.rbegin(); it != subviews.rend(); ++it) {
        auto hud = std::dynamic_pointer_cast<T>(*it);
        if (hud && !hud->hasFinished())
            return hud;
    }
    return nullptr;
}

template <class T> bool TQProgressHUD::hideHUDForView(const std::shared_ptr<UIView>& view, bool animated) {
    auto hud = HUDForView<T>(view);
    if (!hud)
        return false;
    hud->setRemoveFromSuperViewOnHide(true);
    hud->hideAnimated(animated);
    return true;
}

template <class T>
std::vector<std::shared_ptr<T>> TQProgressHUD::allHUDsForView(const std::shared_ptr<UIView>& view) {
    std::vector<std::shared_ptr<T>> huds;
    if (!view)
        return huds;
    for (const auto& subview : view->subviews()) {
        if (auto hud = std::dynamic_pointer_cast<T>(subview))
            huds.push_back(hud);
    }
    return huds;
}
