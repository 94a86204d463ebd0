#include "platform/dispatch/Dispatch.h"
#include "platform/dispatch/NSRunLoop.h"
#include "platform/foundation/DeviceEnvironment.h"
#include "platform/ui/UIViewAnimationState.h"
#include "platform/ui/layers/CALayer.h"

#include <algorithm>
#include <cmath>

// A set of animations started by one animation block; its completion runs when the last ends.
struct UIViewAnimationGroup {
    UIView::Completion completion;
    int remaining = 0;
    bool interrupted = false;
};

namespace {

using Property = UIViewAnimationState::Property;
using Value = UIViewAnimationState::Value;

struct Change {
    std::weak_ptr<UIView> view;
    Property property;
    Value from;
};

// The block being recorded, if any (main thread only, like all of UIKit).
struct Recording {
    UIViewAnimationState::Timing timing;
    std::uint64_t options = 0;
    std::vector<Change> changes;
};

struct DeviceViewAnimations;
DeviceViewAnimations& deviceAnimations();

// Sets the recording state of the current device for a block and puts the outer state back when
// the block ends, also when it throws (an assertion handler may), so no pointer to a finished
// frame stays behind.
class RecordingScope {
public:
    RecordingScope(Recording* recording, bool suppressed);
    ~RecordingScope();
    RecordingScope(const RecordingScope&) = delete;
    RecordingScope& operator=(const RecordingScope&) = delete;

private:
    DeviceViewAnimations& device_;
    Recording* outer_;
    bool outerSuppressed_;
};

Value fromPoint(CGPoint p) {
    return {p.x, p.y};
}
Value fromRect(CGRect r) {
    return {r.origin.x, r.origin.y, r.size.width, r.size.height};
}
Value fromTransform(const CATransform3D& t) {
    return {t.m11, t.m12, t.m13, t.m14, t.m21, t.m22, t.m23, t.m24,
            t.m31, t.m32, t.m33, t.m34, t.m41, t.m42, t.m43, t.m44};
}
CATransform3D toTransform(const Value& v) {
    return {v[0], v[1], v[2],  v[3],  v[4],  v[5],  v[6],  v[7],
            v[8], v[9], v[10], v[11], v[12], v[13], v[14], v[15]};
}
Value fromColor(const std::optional<UIColor>& c) {
    UIColor color = c.value_or(UIColor::clearColor());
    // An absent colour fades as a transparent one.
    return {color.rgba.r, color.rgba.g, color.rgba.b, c ? color.rgba.a : 0.0};
}

int width(Property p) {
    switch (p) {
    case Property::Center:
        return 2;
    case Property::Bounds:
        return 4;
    case Property::Alpha:
        return 1;
    case Property::Transform:
        return 16;
    case Property::BackgroundColor:
        return 4;
    }
    return 0;
}

// Cubic timing curve through (0,0), (x1,y1), (x2,y2), (1,1): y for a given x.
double bezier(double x1, double y1, double x2, double y2, double x) {
    auto coord = [](double a, double b, double t) {
        double u = 1 - t;
        return 3 * u * u * t * a + 3 * u * t * t * b + t * t * t;
    };
    double lo = 0, hi = 1, t = x;
    for (int i = 0; i < 40; ++i) {
        double cx = coord(x1, x2, t);
        if (std::abs(cx - x) < 1e-7)
            break;
        if (cx < x)
            lo = t;
        else
            hi = t;
        t = (lo + hi) / 2;
    }
    return coord(y1, y2, t);
}

class Engine {
public:
    static Engine& shared();

    void add(const std::shared_ptr<UIView>& view) {
        views_.push_back(view);
        ensureTicking();
    }

    void ensureTicking() {
        auto loop = NSRunLoop::main();
        // A new main run loop (a test's, or the simulator's after a respring) takes over the
        // stepping; a subscription on the old loop would never fire again.
        if (subscription_ && loop_.lock() != loop)
            subscription_.reset();
        if (subscription_ || views_.empty() || !loop)
            return;
        loop_ = loop;
        subscription_ = loop->addFrameObserver([this](double now) { step(now); });
    }

    void step(double now) {
        std::vector<std::shared_ptr<UIViewAnimationGroup>> ended;
        auto views = views_;
        for (auto& weak : views) {
            auto view = weak.lock();
            if (!view || !UIViewAnimationState::of(*view))
                continue;
            auto& running = UIViewAnimationState::of(*view)->running;
            for (auto it = running.begin(); it != running.end();) {
                if (now >= it->timing.start + it->timing.duration) {
                    if (--it->group->remaining == 0)
                        ended.push_back(it->group);
                    it = running.erase(it);
                } else {
                    ++it;
                }
            }
        }
        std::erase_if(views_, [](const std::weak_ptr<UIView>& w) {
            auto v = w.lock();
            return !v || !UIViewAnimationState::of(*v) || UIViewAnimationState::of(*v)->running.empty();
        });
        UIView::markDisplayChanged();
        if (views_.empty())
            subscription_.reset();
        for (auto& group : ended) {
            if (group->completion)
                group->completion(!group->interrupted);
        }
    }

    void stop() { subscription_.reset(); }

private:
    std::vector<std::weak_ptr<UIView>> views_;
    std::weak_ptr<NSRunLoop> loop_;
    FrameSubscription subscription_;
};

// The view animations of one device environment: the block being recorded, whether recording is
// switched off, and the engine that steps what runs (main thread only, like all of UIKit). A
// block recorded on one device never takes changes made on another.
struct DeviceViewAnimations : DeviceEnvironment::Part {
    Recording* recording = nullptr;
    bool suppressed = false;
    Engine engine;
    void shutDown() override { engine.stop(); }
};

DeviceViewAnimations& deviceAnimations() {
    return DeviceEnvironment::current().part<DeviceViewAnimations>();
}

Engine& Engine::shared() {
    return deviceAnimations().engine;
}

RecordingScope::RecordingScope(Recording* recording, bool suppressed)
    : device_(deviceAnimations()), outer_(device_.recording), outerSuppressed_(device_.suppressed) {
    device_.recording = recording;
    device_.suppressed = suppressed;
}

RecordingScope::~RecordingScope() {
    device_.recording = outer_;
    device_.suppressed = outerSuppressed_;
}

void finishLater(const std::shared_ptr<UIViewAnimationGroup>& group, bool finished) {
    if (!group->completion)
        return;
    auto completion = group->completion;
    dispatch_async(dispatch_get_main_queue(), [completion, finished] { completion(finished); });
}

// Removes the running animation of `property` on `view`, if any; answers its value on screen.
void interrupt(UIView& /*view*/, UIViewAnimationState& state, Property property) {
    auto it = std::find_if(state.running.begin(), state.running.end(),
                           [&](const auto& r) { return r.property == property; });
    if (it == state.running.end())
        return;
    auto group = it->group;
    group->interrupted = true;
    state.running.erase(it);
    if (--group->remaining == 0)
        finishLater(group, false);
}

void animate(UIViewAnimationState::Timing timing, std::uint64_t options, const UIView::Animations& animations,
             const UIView::Completion& completion) {
    Recording recording;
    auto loop = NSRunLoop::main();
    double now = loop ? loop->now() : 0;
    timing.start += now;
    recording.timing = timing;
    recording.options = options;

    if (animations) {
        RecordingScope scope(timing.duration > 0 ? &recording : nullptr, deviceAnimations().suppressed);
        animations();
    }

    auto group = std::make_shared<UIViewAnimationGroup>();
    group->completion = completion;
    for (auto& change : recording.changes) {
        auto view = change.view.lock();
        if (!view)
            continue;
        if (UIViewAnimationState::read(*view, change.property) == change.from)
            continue;
        if (!UIViewAnimationState::of(*view))
            UIViewAnimationState::of(*view) = std::make_shared<UIViewAnimationState>();
        UIViewAnimationState::of(*view)->running.push_back({change.property, change.from, timing, group});
        ++group->remaining;
        Engine::shared().add(view);
    }
    if (group->remaining == 0)
        finishLater(group, true);
    UIView::markDisplayChanged();
}

} // namespace

Value UIViewAnimationState::read(const UIView& view, Property property) {
    switch (property) {
    case Property::Center:
        return fromPoint(view.center());
    case Property::Bounds:
        return fromRect(view.bounds());
    case Property::Alpha:
        return {view.alpha()};
    case Property::Transform:
        return fromTransform(view.layer()->transform());
    case Property::BackgroundColor:
        return fromColor(view.backgroundColor());
    }
    return {};
}

Value UIViewAnimationState::presentation(const UIView& view, Property property) {
    Value to = read(view, property);
    if (!UIViewAnimationState::of(view))
        return to;
    for (const auto& r : UIViewAnimationState::of(view)->running) {
        if (r.property != property)
            continue;
        auto loop = NSRunLoop::main();
        double p = progress(r.timing, loop ? loop->now() : r.timing.start);
        Value out{};
        for (int i = 0; i < width(property); ++i)
            out[i] = r.from[i] + (to[i] - r.from[i]) * p;
        return out;
    }
    return to;
}

double UIViewAnimationState::progress(const Timing& timing, double now) {
    if (now <= timing.start)
        return 0;
    if (timing.duration <= 0 || now >= timing.start + timing.duration)
        return 1;
    double t = (now - timing.start) / timing.duration;
    if (timing.spring) {
        // A damped spring settling (to within 0.1% of the change) at the end of the duration.
        double zeta = std::clamp(timing.dampingRatio, 0.01, 1.0);
        double v0 = timing.velocity * timing.duration; // per unit of normalised time
        if (zeta >= 1.0) {
            double w = 9.23;
            return 1 - std::exp(-w * t) * (1 + (w - v0) * t);
        }
        double w = 6.9 / zeta;
        double wd = w * std::sqrt(1 - zeta * zeta);
        return 1 - std::exp(-zeta * w * t) * (std::cos(wd * t) + (zeta * w - v0) / wd * std::sin(wd * t));
    }
    switch (timing.curve & (3u << 16)) {
    case UIViewAnimationOptionCurveEaseIn:
        return bezier(0.42, 0, 1, 1, t);
    case UIViewAnimationOptionCurveEaseOut:
        return bezier(0, 0, 0.58, 1, t);
    case UIViewAnimationOptionCurveLinear:
        return t;
    default:
        return bezier(0.42, 0, 0.58, 1, t);
    }
}

void UIViewAnimationState::willChange(UIView& view, Property property) {
    DeviceViewAnimations& device = deviceAnimations();
    if (device.suppressed) {
        if (UIViewAnimationState::of(view))
            interrupt(view, *UIViewAnimationState::of(view), property);
        return;
    }
    Recording* recording = device.recording;
    if (!recording)
        return;
    for (const auto& c : recording->changes) {
        if (c.property == property && c.view.lock().get() == &view)
            return;
    }
    // Start from what is on screen, so a new animation continues a running one smoothly.
    Value from = presentation(view, property);
    if (UIViewAnimationState::of(view))
        interrupt(view, *UIViewAnimationState::of(view), property);
    std::weak_ptr<UIView> weak;
    try {
        weak = std::static_pointer_cast<UIView>(view.shared_from_this());
    } catch (const std::bad_weak_ptr&) {
        return; // a view still being constructed is not animated
    }
    recording->changes.push_back({weak, property, from});
}

void UIViewAnimationState::forget(UIView& view) {
    if (!UIViewAnimationState::of(view))
        return;
    for (auto& r : UIViewAnimationState::of(view)->running) {
        r.group->interrupted = true;
        if (--r.group->remaining == 0)
            finishLater(r.group, false);
    }
    UIViewAnimationState::of(view).reset();
}

void UIView::animateWithDuration(double duration, Animations animations, Completion completion) {
    animateWithDuration(duration, 0, 0, std::move(animations), std::move(completion));
}

void UIView::animateWithDuration(double duration, double delay, std::uint64_t options, Animations animations,
                                 Completion completion) {
    UIViewAnimationState::Timing timing;
    timing.start = std::max(0.0, delay);
    timing.duration = duration;
    timing.curve = options & (3u << 16);
    animate(timing, options, animations, completion);
}

void UIView::animateWithDuration(double duration, double delay, double dampingRatio, double velocity,
                                 std::uint64_t options, Animations animations, Completion completion) {
    UIViewAnimationState::Timing timing;
    timing.start = std::max(0.0, delay);
    timing.duration = duration;
    timing.spring = true;
    timing.dampingRatio = dampingRatio;
    timing.velocity = velocity;
    animate(timing, options, animations, completion);
}

void UIView::performWithoutAnimation(const std::function<void()>& actions) {
    RecordingScope scope(nullptr, true);
    actions();
}

void UIView::removeAllAnimations() {
    if (!animations_)
        return;
    auto state = animations_;
    while (!state->running.empty())
        interrupt(*this, *state, state->running.front().property);
    markDisplayChanged();
}

bool UIView::hasAnimations() const {
    return animations_ && !animations_->running.empty();
}

CGPoint UIView::presentationCenter() const {
    auto v = UIViewAnimationState::presentation(*this, UIViewAnimationState::Property::Center);
    return {v[0], v[1]};
}

CGRect UIView::presentationBounds() const {
    auto v = UIViewAnimationState::presentation(*this, UIViewAnimationState::Property::Bounds);
    return CGRectMake(v[0], v[1], v[2], v[3]);
}

CGFloat UIView::presentationAlpha() const {
    return std::clamp(UIViewAnimationState::presentation(*this, UIViewAnimationState::Property::Alpha)[0],
                      0.0, 1.0);
}

CATransform3D UIView::presentationTransform() const {
    // Layer animations (a piece's flutter) show over what the view animations show.
    return layer_->presentationTransform(
        toTransform(UIViewAnimationState::presentation(*this, UIViewAnimationState::Property::Transform)));
}

std::optional<UIColor> UIView::presentationBackgroundColor() const {
    if (!hasAnimations())
        return backgroundColor();
    auto v = UIViewAnimationState::presentation(*this, UIViewAnimationState::Property::BackgroundColor);
    return UIColor::colorWithRed(v[0], v[1], v[2], std::clamp(v[3], 0.0, 1.0));
}

CGRect UIView::presentationFrame() const {
    CGRect b = presentationBounds();
    CGPoint c = presentationCenter();
    CGRect local = CGRectMake(-b.size.width / 2, -b.size.height / 2, b.size.width, b.size.height);
    CGRect r = CGRectApplyAffineTransform(local, CATransform3DGetAffineTransform(presentationTransform()));
    r.origin.x += c.x;
    r.origin.y += c.y;
    return r;
}
