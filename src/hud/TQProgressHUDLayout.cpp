// The HUD's layout: the content stack, its conditional paddings and the constraint set that
// centres a shrink-wrapped bezel. The constraints are made as the platform's NSLayoutConstraint
// objects and installed on the HUD, the bezel and the spacers; the platform's layout pass solves
// them (strict priorities: edge margins 999 over centring 998 over size 997) and sets the frames.
// A rebuild happens once per constraint pass however many properties asked for it; a change of
// the labels' text only moves the padding constants, which the engine folds into its solution in
// place.

#include "hud/TQIntrinsicSize.h"
#include "hud/TQProgressHUD.h"

#include <algorithm>

namespace {

constexpr UILayoutPriority kEdgeMarginPriority = 999;
constexpr UILayoutPriority kCentringPriority = 998;
constexpr UILayoutPriority kSizePriority = 997;
constexpr double kPadding = 4;

using Constraints = std::vector<std::shared_ptr<NSLayoutConstraint>>;

bool isVisibleForSpacing(const UIView& view) {
    return !view.isHidden() && TQIntrinsicContentSize(view) != CGSizeZero;
}

std::shared_ptr<NSLayoutConstraint> constraint(const std::shared_ptr<UIView>& item1,
                                               NSLayoutAttribute attribute1, NSLayoutRelation relation,
                                               const std::shared_ptr<UIView>& item2,
                                               NSLayoutAttribute attribute2, double constant = 0) {
    return NSLayoutConstraint::constraintWithItem(item1, attribute1, relation, item2, attribute2, 1,
                                                  constant);
}

void append(Constraints& to, const Constraints& more) {
    to.insert(to.end(), more.begin(), more.end());
}

} // namespace

void TQProgressHUD::setNeedsUpdateConstraints() {
    needsUpdateConstraints_ = true;
    UIView::setNeedsUpdateConstraints();
}

std::vector<std::shared_ptr<UIView>> TQProgressHUD::contentStack() const {
    std::vector<std::shared_ptr<UIView>> stack{topSpacer_};
    if (indicator_)
        stack.push_back(indicator_);
    stack.insert(stack.end(), {label_, detailsLabel_, button_, bottomSpacer_});
    return stack;
}

void TQProgressHUD::applyPriority(UILayoutPriority priority, const Constraints& constraints) {
    for (const auto& c : constraints)
        c->setPriority(priority);
}

bool TQProgressHUD::keepsItsShape(const std::vector<std::shared_ptr<UIView>>& stack) const {
    if (stack.size() != builtStack_.size() || margin_ != builtMargin_ || square_ != builtSquare_ ||
        (minSize_ != CGSizeZero) != builtMinSize_)
        return false;
    for (std::size_t i = 0; i < stack.size(); ++i) {
        if (builtStack_[i].lock() != stack[i])
            return false;
    }
    // The constraints must still be where the last rebuild put them, and the HUD and its spacers
    // hold no others (a rebuild would remove those).
    auto installedOn = [](const Constraints& constraints, const UIView* view) {
        return std::all_of(constraints.begin(), constraints.end(),
                           [view](const auto& c) { return c->installedOn().get() == view; });
    };
    return installedOn(hudConstraints_, this) && installedOn(bezelConstraints_, bezelView_.get()) &&
           constraints().size() == hudConstraints_.size() && topSpacer_->constraints().size() == 1 &&
           bottomSpacer_->constraints().size() == 1;
}

void TQProgressHUD::updateConstraints() {
    auto hud = self();
    const std::shared_ptr<UIView> bezel = bezelView_;
    const double m = margin_;
    const NSLayoutMetrics metrics{{"margin", m}};
    const auto stack = contentStack();
    if (keepsItsShape(stack)) {
        // Setting an unchanged constant costs nothing; a moved one reaches the engine in place.
        centringX_->setConstant(offset_.x);
        centringY_->setConstant(offset_.y);
        if (minimumWidth_ && minimumHeight_) {
            minimumWidth_->setConstant(minSize_.width);
            minimumHeight_->setConstant(minSize_.height);
        }
        updatePaddingConstraints();
        needsUpdateConstraints_ = false;
        UIView::updateConstraints();
        return;
    }
    Constraints bezelConstraints;
    Constraints paddingConstraints;

    // Everything the last rebuild installed goes; the views themselves stay.
    removeConstraints(constraints());
    topSpacer_->removeConstraints(topSpacer_->constraints());
    bottomSpacer_->removeConstraints(bottomSpacer_->constraints());
    if (!bezelConstraints_.empty()) {
        bezel->removeConstraints(bezelConstraints_);
        bezelConstraints_.clear();
    }

    // The bezel is centred, displaced by the offset, but the edge margins win over the centring,
    // so an offset or a large bezel never brings it closer than `margin` to an edge.
    Constraints centring{constraint(bezel, NSLayoutAttributeCenterX, NSLayoutRelationEqual, hud,
                                    NSLayoutAttributeCenterX, offset_.x),
                         constraint(bezel, NSLayoutAttributeCenterY, NSLayoutRelationEqual, hud,
                                    NSLayoutAttributeCenterY, offset_.y)};
    applyPriority(kCentringPriority, centring);
    addConstraints(centring);
    centringX_ = centring[0];
    centringY_ = centring[1];

    Constraints edges;
    for (const char* format : {"|-(>=margin)-[bezel]-(>=margin)-|", "V:|-(>=margin)-[bezel]-(>=margin)-|"})
        append(edges,
               NSLayoutConstraint::constraintsWithVisualFormat(format, 0, metrics, {{"bezel", bezel}}));
    applyPriority(kEdgeMarginPriority, edges);
    addConstraints(edges);
    hudConstraints_ = centring;
    append(hudConstraints_, edges);

    minimumWidth_.reset();
    minimumHeight_.reset();

    if (minSize_ != CGSizeZero) {
        Constraints minimum{constraint(bezel, NSLayoutAttributeWidth, NSLayoutRelationGreaterThanOrEqual,
                                       nullptr, NSLayoutAttributeNotAnAttribute, minSize_.width),
                            constraint(bezel, NSLayoutAttributeHeight, NSLayoutRelationGreaterThanOrEqual,
                                       nullptr, NSLayoutAttributeNotAnAttribute, minSize_.height)};
        applyPriority(kSizePriority, minimum);
        append(bezelConstraints, minimum);
        minimumWidth_ = minimum[0];
        minimumHeight_ = minimum[1];
    }
    if (square_) {
        auto square =
            constraint(bezel, NSLayoutAttributeHeight, NSLayoutRelationEqual, bezel, NSLayoutAttributeWidth);
        square->setPriority(kSizePriority);
        bezelConstraints.push_back(square);
    }

    // Two equal spacers, each at least the margin, keep the content in the vertical middle.
    topSpacer_->addConstraint(constraint(topSpacer_, NSLayoutAttributeHeight,
                                         NSLayoutRelationGreaterThanOrEqual, nullptr,
                                         NSLayoutAttributeNotAnAttribute, m));
    bottomSpacer_->addConstraint(constraint(bottomSpacer_, NSLayoutAttributeHeight,
                                            NSLayoutRelationGreaterThanOrEqual, nullptr,
                                            NSLayoutAttributeNotAnAttribute, m));
    bezelConstraints.push_back(constraint(topSpacer_, NSLayoutAttributeHeight, NSLayoutRelationEqual,
                                          bottomSpacer_, NSLayoutAttributeHeight));

    // The stack: each view centred and kept `margin` inside the bezel's sides, the first at the
    // bezel's top, the last at its bottom, and each below the one above it by a padding that
    // updatePaddingConstraints sets.
    for (std::size_t i = 0; i < stack.size(); ++i) {
        const auto& view = stack[i];
        bezelConstraints.push_back(constraint(view, NSLayoutAttributeCenterX, NSLayoutRelationEqual, bezel,
                                              NSLayoutAttributeCenterX));
        append(bezelConstraints, NSLayoutConstraint::constraintsWithVisualFormat(
                                     "|-(>=margin)-[view]-(>=margin)-|", 0, metrics, {{"view", view}}));
        if (i == 0)
            bezelConstraints.push_back(
                constraint(view, NSLayoutAttributeTop, NSLayoutRelationEqual, bezel, NSLayoutAttributeTop));
        else if (i == stack.size() - 1)
            bezelConstraints.push_back(constraint(view, NSLayoutAttributeBottom, NSLayoutRelationEqual, bezel,
                                                  NSLayoutAttributeBottom));
        if (i > 0) {
            auto padding = constraint(view, NSLayoutAttributeTop, NSLayoutRelationEqual, stack[i - 1],
                                      NSLayoutAttributeBottom);
            bezelConstraints.push_back(padding);
            paddingConstraints.push_back(padding);
        }
    }

    bezel->addConstraints(bezelConstraints);
    bezelConstraints_ = std::move(bezelConstraints);
    paddingConstraints_ = std::move(paddingConstraints);
    builtStack_.assign(stack.begin(), stack.end());
    builtMargin_ = m;
    builtSquare_ = square_;
    builtMinSize_ = minSize_ != CGSizeZero;

    updatePaddingConstraints();
    needsUpdateConstraints_ = false;
    UIView::updateConstraints();
}

void TQProgressHUD::updatePaddingConstraints() {
    // A visible view sits 4 points below the nearest visible view above it; invisible views take
    // no room and add no gap. Setting an unchanged constant costs nothing, so only the paddings
    // that really move reach the layout engine.
    // Measuring a label's text is the costly part, so each view is asked once: the upper item
    // of a padding is the lower item of the padding before it.
    bool someViewAboveIsVisible = false;
    std::shared_ptr<UIView> previousLower;
    bool previousLowerVisible = false;
    for (const auto& padding : paddingConstraints_) {
        auto lower = padding->firstItem();
        auto upper = padding->secondItem();
        bool upperVisible =
            upper == previousLower && upper ? previousLowerVisible : upper && isVisibleForSpacing(*upper);
        bool lowerVisible = lower && isVisibleForSpacing(*lower);
        padding->setConstant(lowerVisible && (upperVisible || someViewAboveIsVisible) ? kPadding : 0);
        someViewAboveIsVisible = someViewAboveIsVisible || upperVisible;
        previousLower = std::move(lower);
        previousLowerVisible = lowerVisible;
    }
}

std::vector<double> TQProgressHUD::paddingConstants() const {
    std::vector<double> constants;
    constants.reserve(paddingConstraints_.size());
    for (const auto& padding : paddingConstraints_)
        constants.push_back(padding->constant());
    return constants;
}

void TQProgressHUD::layoutSubviews() {
    // A layout pass reached without the constraint pass (layoutSubviews called directly) still
    // needs the constraints first; otherwise only the paddings can have moved, for instance when
    // a label's text appeared or emptied.
    if (needsUpdateConstraints_)
        updateConstraintsIfNeeded();
    else
        updatePaddingConstraints();
    backgroundView_->setFrame(bounds());
    UIView::layoutSubviews();
}
