// The HUD's content: the views it is made of, the indicator that the mode calls for, and the
// content colour spread over labels, button and indicator (where the caller has not set one on the
// appearance proxy).

#include "hud/TQBarProgressView.h"
#include "hud/TQProgressHUD.h"
#include "hud/TQRoundProgressView.h"
#include "platform/foundation/NSKeyValueCoding.h"
#include "platform/ui/UIActivityIndicatorView.h"
#include "platform/ui/UIAppearance.h"
#include "platform/ui/UIMotionEffect.h"
#include "platform/ui/layers/CALayer.h"

namespace {
// The content resists compression at this priority, just below the bezel's edge margins.
constexpr float kCompressionPriority = 998;
} // namespace

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
