// The HUD's layout: the content stack, its conditional paddings and the constraint system that
// centres a shrink-wrapped bezel. The constraints are stated in the platform's terms (priorities
// 1000, 999, 998, 997 and the 250 pull of a view towards its own size) and solved with the
// platform's strictly prioritised solver, then the frames are set from the solution.

#include "hud/TQIntrinsicSize.h"
#include "hud/TQProgressHUD.h"
#include "platform/foundation/NSLog.h"
#include "platform/layout/Solver.h"

namespace {

constexpr double kRequired = layout::kRequiredPriority;
constexpr double kEdgeMarginPriority = 999;
constexpr double kCentringPriority = 998;
constexpr double kCompressionResistance = 998;
constexpr double kSizePriority = 997;
constexpr double kHugging = 250;

bool isVisibleForSpacing(const UIView& view) {
    return !view.isHidden() && TQIntrinsicContentSize(view) != CGSizeZero;
}

} // namespace

void TQProgressHUD::setNeedsUpdateConstraints() {
    needsUpdateConstraints_ = true;
    UIView::setNeedsUpdateConstraints();
    setNeedsLayout();
}

std::vector<std::shared_ptr<UIView>> TQProgressHUD::contentStack() const {
    std::vector<std::shared_ptr<UIView>> stack{topSpacer_};
    if (indicator_)
        stack.push_back(indicator_);
    stack.insert(stack.end(), {label_, detailsLabel_, button_, bottomSpacer_});
    return stack;
}

void TQProgressHUD::updateConstraints() {
    stack_ = contentStack();
    paddings_.assign(stack_.size() > 1 ? stack_.size() - 1 : 0, 0);
    updatePaddingConstraints();
    needsUpdateConstraints_ = false;
    UIView::updateConstraints();
}

void TQProgressHUD::updatePaddingConstraints() {
    // A visible view sits 4 points below the nearest visible view above it; invisible views take
    // no room and add no gap.
    bool someViewAboveIsVisible = false;
    for (std::size_t i = 1; i < stack_.size(); ++i) {
        bool lower = isVisibleForSpacing(*stack_[i]);
        bool upper = isVisibleForSpacing(*stack_[i - 1]);
        paddings_[i - 1] = lower && (upper || someViewAboveIsVisible) ? 4 : 0;
        someViewAboveIsVisible = someViewAboveIsVisible || upper;
    }
}

std::vector<double> TQProgressHUD::paddingConstants() const {
    return paddings_;
}

void TQProgressHUD::layoutSubviews() {
    if (needsUpdateConstraints_)
        updateConstraints();
    else
        updatePaddingConstraints();
    backgroundView_->setFrame(bounds());
    solveLayout();
    UIView::layoutSubviews();
}

void TQProgressHUD::solveLayout() {
    using layout::Expression;
    using layout::Relation;
    layout::Solver solver;
    std::vector<int> failed;
    auto add = [&](Expression e, Relation r, double priority) {
        auto status = solver.addConstraint(e, r, priority);
        if (!status.ok())
            failed.push_back(status.id);
    };
    struct Box {
        layout::Variable x, y, w, h;
    };
    auto box = [&] {
        Box b{solver.addVariable(), solver.addVariable(), solver.addVariable(), solver.addVariable()};
        add({{{b.w, 1}}, 0}, Relation::GreaterThanOrEqual, kRequired);
        add({{{b.h, 1}}, 0}, Relation::GreaterThanOrEqual, kRequired);
        return b;
    };
    const double m = margin_;
    const CGSize hudSize = bounds().size;

    // The bezel, in the HUD's coordinates: centred (displaced by the offset), kept m inside the
    // edges, at least the minimum size, square when asked, and otherwise as small as it can be.
    Box bezel = box();
    add({{{bezel.x, 1}, {bezel.w, 0.5}}, -(hudSize.width / 2 + offset_.x)}, Relation::Equal,
        kCentringPriority);
    add({{{bezel.y, 1}, {bezel.h, 0.5}}, -(hudSize.height / 2 + offset_.y)}, Relation::Equal,
        kCentringPriority);
    add({{{bezel.x, 1}}, -m}, Relation::GreaterThanOrEqual, kEdgeMarginPriority);
    add({{{bezel.x, 1}, {bezel.w, 1}}, -(hudSize.width - m)}, Relation::LessThanOrEqual, kEdgeMarginPriority);
    add({{{bezel.y, 1}}, -m}, Relation::GreaterThanOrEqual, kEdgeMarginPriority);
    add({{{bezel.y, 1}, {bezel.h, 1}}, -(hudSize.height - m)}, Relation::LessThanOrEqual,
        kEdgeMarginPriority);
    if (minSize_ != CGSizeZero) {
        add({{{bezel.w, 1}}, -minSize_.width}, Relation::GreaterThanOrEqual, kSizePriority);
        add({{{bezel.h, 1}}, -minSize_.height}, Relation::GreaterThanOrEqual, kSizePriority);
    }
    if (square_)
        add({{{bezel.h, 1}, {bezel.w, -1}}, 0}, Relation::Equal, kSizePriority);
    add({{{bezel.w, 1}}, 0}, Relation::LessThanOrEqual, kHugging);
    add({{{bezel.h, 1}}, 0}, Relation::LessThanOrEqual, kHugging);

    // The stack, in the bezel's coordinates.
    std::vector<Box> boxes;
    for (std::size_t i = 0; i < stack_.size(); ++i) {
        const UIView& v = *stack_[i];
        Box b = box();
        add({{{b.x, 1}, {b.w, 0.5}, {bezel.w, -0.5}}, 0}, Relation::Equal, kRequired);
        add({{{b.x, 1}}, -m}, Relation::GreaterThanOrEqual, kRequired);
        add({{{b.x, 1}, {b.w, 1}, {bezel.w, -1}}, m}, Relation::LessThanOrEqual, kRequired);
        if (i == 0)
            add({{{b.y, 1}}, 0}, Relation::Equal, kRequired);
        else if (i == stack_.size() - 1)
            add({{{b.y, 1}, {b.h, 1}, {bezel.h, -1}}, 0}, Relation::Equal, kRequired);
        if (i > 0) {
            const Box& above = boxes.back();
            add({{{b.y, 1}, {above.y, -1}, {above.h, -1}}, -paddings_[i - 1]}, Relation::Equal, kRequired);
        }
        CGSize natural = TQIntrinsicContentSize(v);
        if (natural.width != TQNoIntrinsicMetric) {
            add({{{b.w, 1}}, -natural.width}, Relation::LessThanOrEqual, kHugging);
            add({{{b.w, 1}}, -natural.width}, Relation::GreaterThanOrEqual, kCompressionResistance);
        }
        if (natural.height != TQNoIntrinsicMetric) {
            add({{{b.h, 1}}, -natural.height}, Relation::LessThanOrEqual, kHugging);
            add({{{b.h, 1}}, -natural.height}, Relation::GreaterThanOrEqual, kCompressionResistance);
        }
        boxes.push_back(b);
    }
    // The spacers: equal, each at least the margin, so the content sits in the vertical middle.
    if (boxes.size() >= 2) {
        const Box& top = boxes.front();
        const Box& bottom = boxes.back();
        add({{{top.h, 1}}, -m}, Relation::GreaterThanOrEqual, kRequired);
        add({{{bottom.h, 1}}, -m}, Relation::GreaterThanOrEqual, kRequired);
        add({{{top.h, 1}, {bottom.h, -1}}, 0}, Relation::Equal, kRequired);
    }
    if (!failed.empty()) {
        // Required constraints that contradict each other come only from a caller's settings (a
        // negative margin, say); the solver kept the others, so the layout below is still sound.
        NSLog("TQProgressHUD: unsatisfiable layout constraints skipped (%@ of them)",
              {PlistValue(static_cast<std::int64_t>(failed.size()))});
    }
    solver.solve();

    auto place = [&](UIView& view, const Box& b) {
        double w = solver.value(b.w), h = solver.value(b.h);
        view.setBounds(CGRectMake(0, 0, w, h));
        view.setCenter(CGPointMake(solver.value(b.x) + w / 2, solver.value(b.y) + h / 2));
    };
    place(*bezelView_, bezel);
    for (std::size_t i = 0; i < stack_.size(); ++i)
        place(*stack_[i], boxes[i]);
}
