#include "confetti/OCConfettiArea.h"

#include "confetti/OCConfettiPieceTypes.h"
#include "confetti/OCConfettiRandom.h"
#include "confetti/OCConfettiView.h"
#include "platform/dispatch/Dispatch.h"
#include "platform/foundation/DeviceRandom.h"

#include <cmath>
#include <list>
#include <mutex>
#include <unordered_map>

// One emit as it was requested, handed to its job by value.
struct OCConfettiArea::Emit {
    enum class Kind { Burst, Blast, TypedBlast } kind;
    CGPoint point;
    double angle = 0;         // blasts
    double force = 0;         // blasts
    double confettiWidth = 0; // bursts and untyped blasts
    std::int64_t numberOfConfetti = 0;
    std::string confettiType; // typed blasts
    // The colour list current when the emit was made.
    std::shared_ptr<const std::optional<std::vector<UIColor>>> colors;
};

struct OCConfettiArea::Shared {
    // What a job reads for one piece.
    struct Properties {
        CGRect bounds;
        std::weak_ptr<UIDynamicAnimator> animator;
        std::weak_ptr<UIGravityBehavior> gravity;
        double swayLength = 0;
        double blastSpread = 0;
        std::weak_ptr<OCConfettiArea> area;
    };

    mutable std::mutex mutex;
    bool alive = true;
    Properties properties;
    // The live set, in the order pieces were made, with an index for removal by identity.
    std::list<std::shared_ptr<OCConfettiObject>> live;
    std::unordered_map<const OCConfettiObject*, std::list<std::shared_ptr<OCConfettiObject>>::iterator> index;

    std::optional<Properties> read() const {
        std::lock_guard lock(mutex);
        if (!alive)
            return std::nullopt;
        return properties;
    }
    bool insert(const std::shared_ptr<OCConfettiObject>& object) {
        std::lock_guard lock(mutex);
        if (!alive)
            return false;
        live.push_back(object);
        index.emplace(object.get(), std::prev(live.end()));
        return true;
    }
};

OCConfettiArea::OCConfettiArea(CGRect frame) : UIView(frame), shared_(std::make_shared<Shared>()) {}

OCConfettiArea::OCConfettiArea(const UIViewCoder& coder)
    : UIView(coder), shared_(std::make_shared<Shared>()) {}

std::shared_ptr<OCConfettiArea> OCConfettiArea::create(CGRect frame) {
    auto area = std::shared_ptr<OCConfettiArea>(new OCConfettiArea(frame));
    area->commonInit();
    return area;
}

std::shared_ptr<OCConfettiArea> OCConfettiArea::createWithCoder(const UIViewCoder& coder) {
    auto area = std::shared_ptr<OCConfettiArea>(new OCConfettiArea(coder));
    area->commonInit();
    return area;
}

void OCConfettiArea::commonInit() {
    UIView::commonInit();
    auto self = std::static_pointer_cast<OCConfettiArea>(shared_from_this());
    {
        std::lock_guard lock(shared_->mutex);
        shared_->properties.area = self;
        shared_->properties.bounds = bounds();
    }
    setSwayLength(50.0);
    setBlastSpread(0.1);
    setAnimator(UIDynamicAnimator::create(self));
    setGravityBehavior(UIGravityBehavior::create());
    gravityBehavior_->setMagnitude(0.5);
    animator_->addBehavior(gravityBehavior_);
}

OCConfettiArea::~OCConfettiArea() {
    // Running jobs stop at their next piece. The live pieces go here, on the main thread, not
    // with the last job that still shares the set.
    std::list<std::shared_ptr<OCConfettiObject>> live;
    {
        std::lock_guard lock(shared_->mutex);
        shared_->alive = false;
        live.swap(shared_->live);
        shared_->index.clear();
    }
}

double OCConfettiArea::swayLength() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->properties.swayLength;
}
void OCConfettiArea::setSwayLength(double length) {
    std::lock_guard lock(shared_->mutex);
    shared_->properties.swayLength = length;
}
double OCConfettiArea::blastSpread() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->properties.blastSpread;
}
void OCConfettiArea::setBlastSpread(double spread) {
    std::lock_guard lock(shared_->mutex);
    shared_->properties.blastSpread = spread;
}
void OCConfettiArea::setAnimator(std::shared_ptr<UIDynamicAnimator> animator) {
    animator_ = std::move(animator);
    std::lock_guard lock(shared_->mutex);
    shared_->properties.animator = animator_;
}
void OCConfettiArea::setGravityBehavior(std::shared_ptr<UIGravityBehavior> gravity) {
    gravityBehavior_ = std::move(gravity);
    std::lock_guard lock(shared_->mutex);
    shared_->properties.gravity = gravityBehavior_;
}
void OCConfettiArea::setFrame(CGRect frame) {
    UIView::setFrame(frame);
    std::lock_guard lock(shared_->mutex);
    shared_->properties.bounds = bounds();
}
void OCConfettiArea::setBounds(CGRect b) {
    UIView::setBounds(b);
    std::lock_guard lock(shared_->mutex);
    shared_->properties.bounds = bounds();
}

std::vector<std::shared_ptr<OCConfettiObject>> OCConfettiArea::confettiObjects() const {
    std::lock_guard lock(shared_->mutex);
    return {shared_->live.begin(), shared_->live.end()};
}

std::size_t OCConfettiArea::confettiObjectsCacheCount() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->live.size();
}

std::vector<UIColor> OCConfettiArea::defaultColors() {
    return {UIColor::redColor(),    UIColor::blueColor(),    UIColor::greenColor(), UIColor::orangeColor(),
            UIColor::purpleColor(), UIColor::magentaColor(), UIColor::cyanColor()};
}

void OCConfettiArea::setupDataFromDelegates() {
    auto d = delegate();
    if (d && d->implementsColorsForConfettiArea())
        colors_ = d->colorsForConfettiArea(std::static_pointer_cast<OCConfettiArea>(shared_from_this()));
    else
        colors_ = defaultColors();
}

double OCConfettiArea::randomFloatBetween(double a, double b) {
    return OCRandomFloatBetween(a, b, DeviceRandom::arc4random());
}

std::int64_t OCConfettiArea::randomIntegerFrom(std::int64_t a, std::int64_t b) {
    if (a == b)
        return b;
    return OCRandomIntegerFrom(a, b, DeviceRandom::arc4random());
}

void OCConfettiArea::burstAt(CGPoint point, double confettiWidth, std::int64_t numberOfConfetti) {
    setupDataFromDelegates();
    start({Emit::Kind::Burst, point, 0, 0, confettiWidth, numberOfConfetti, {}, {}});
}

void OCConfettiArea::blastFrom(CGPoint point, double towards, double withForce, double confettiWidth,
                               std::int64_t numberOfConfetti) {
    setupDataFromDelegates();
    start({Emit::Kind::Blast, point, towards, withForce, confettiWidth, numberOfConfetti, {}, {}});
}

void OCConfettiArea::blastConfettiType(const std::string& confettiType, CGPoint fromPoint, double towards,
                                       double withForce, std::int64_t numberOfConfetti) {
    setupDataFromDelegates();
    start({Emit::Kind::TypedBlast, fromPoint, towards, withForce, 0, numberOfConfetti, confettiType, {}});
}

void OCConfettiArea::start(const Emit& request) {
    Emit emit = request;
    emit.colors = std::make_shared<const std::optional<std::vector<UIColor>>>(colors_);
    dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0),
                   [shared = shared_, emit = std::move(emit)] { generate(shared, emit); });
}

void OCConfettiArea::generate(const std::shared_ptr<Shared>& shared, const Emit& emit) {
    if (emit.numberOfConfetti < 1)
        return;
    OCConfettiPieceTypes::Factory factory;
    if (emit.kind == Emit::Kind::TypedBlast) {
        factory = OCConfettiPieceTypes::factoryFor(emit.confettiType);
        if (!factory)
            return;
    }
    const std::optional<std::vector<UIColor>>& colors = *emit.colors;
    const auto colorCount = static_cast<std::int64_t>(colors ? colors->size() : 0);

    for (std::int64_t i = 0; i < emit.numberOfConfetti; ++i) {
        auto area = shared->read();
        if (!area)
            return;

        std::shared_ptr<UIView> view;
        std::optional<UIColor> color;
        if (emit.kind == Emit::Kind::TypedBlast) {
            double flutterSpeed = randomFloatBetween(1.0, 5.0);
            std::int64_t flutterType = randomIntegerFrom(0, 4);
            view = std::dynamic_pointer_cast<UIView>(
                factory(emit.point, std::nullopt, flutterSpeed, flutterType));
            if (!view)
                return; // not a view: this emit ends here, pieces already made stay
        } else {
            double width = emit.confettiWidth;
            double side = width + randomFloatBetween(-0.5 * width, 2.0);
            double flutterSpeed = randomFloatBetween(1.0, 5.0);
            std::int64_t flutterType = randomIntegerFrom(0, 4);
            view = OCConfettiView::create(CGRectMake(emit.point.x, emit.point.y, side, side), flutterSpeed,
                                          flutterType);
            std::int64_t index = randomIntegerFrom(0, colorCount);
            if (index >= 0 && index < colorCount)
                color = (*colors)[static_cast<std::size_t>(index)];
        }

        auto object = OCConfettiObject::create(view, area->bounds, area->animator, area->gravity);
        if (emit.kind == Emit::Kind::Burst) {
            double x = randomFloatBetween(-200.0, 200.0);
            double y = randomFloatBetween(-100.0, -400.0);
            object->setLinearVelocity({x, y});
        } else {
            double force = emit.force, theta = emit.angle, spread = area->blastSpread;
            double v = randomFloatBetween(force + force * -0.3, force);
            double x = randomFloatBetween(v * std::cos(theta - spread), v * std::cos(theta + spread));
            double y = randomFloatBetween(-v * std::sin(theta - spread), -v * std::sin(theta + spread));
            object->setLinearVelocity({x, y});
        }
        object->setDensity(randomFloatBetween(0.2, 1.0));
        object->setSwayLength(randomFloatBetween(0.0, area->swayLength));
        object->setDelegate(std::weak_ptr<OCConfettiObjectDelegate>(area->area));

        if (!shared->insert(object))
            return;
        dispatch_async(dispatch_get_main_queue(), [weakArea = area->area, object, view, color] {
            if (auto self = weakArea.lock())
                self->attach(object, view, color);
        });
    }
}

void OCConfettiArea::attach(const std::shared_ptr<OCConfettiObject>& object,
                            const std::shared_ptr<UIView>& view, const std::optional<UIColor>& color) {
    // Only pieces of the live set are put on screen.
    {
        std::lock_guard lock(shared_->mutex);
        if (!shared_->index.contains(object.get()))
            return;
    }
    if (color)
        view->setBackgroundColor(color);
    addSubview(view);
    if (auto behavior = object->fallingBehavior(); behavior && animator_)
        animator_->addBehavior(behavior);
    if (gravityBehavior_)
        gravityBehavior_->addItem(view);
}

void OCConfettiArea::needToDeallocateConfettiObject(const std::shared_ptr<OCConfettiObject>& object) {
    std::shared_ptr<OCConfettiObject> released; // dropped after the lock, not under it
    std::lock_guard lock(shared_->mutex);
    auto it = shared_->index.find(object.get());
    if (it == shared_->index.end())
        return;
    released = std::move(*it->second);
    shared_->live.erase(it->second);
    shared_->index.erase(it);
}
