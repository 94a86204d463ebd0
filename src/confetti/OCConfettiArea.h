#pragma once

// A transparent view that throws confetti (OCConfettiArea): a burst upward from a point, or a
// blast in a direction with a force. Each emit first refreshes the colours from the delegate
// (or the seven default colours) and then builds its pieces off the main thread.
//
//     auto area = OCConfettiArea::create(UIScreen::mainScreen()->bounds());
//     area->setDelegate(controller);
//     area->burstAt(area->center(), 10.0, 60);
//
// FIXME: The pieces themselves, the dynamic animator and the shared gravity behaviour come with
// the confetti piece (OCConfettiObject, OCConfettiView) and UIDynamicAnimator. Until then an
// emit refreshes the colours and records the call (`emits`), which is what the pane relies on.

#include "confetti/OCConfettiAreaDelegate.h"
#include "platform/ui/UIView.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class OCConfettiArea : public UIView {
public:
    // One emit as it was requested.
    struct Emit {
        enum class Kind { Burst, Blast, TypedBlast } kind;
        CGPoint point;
        double angle = 0;         // blasts
        double force = 0;         // blasts
        double confettiWidth = 0; // bursts and untyped blasts
        std::int64_t numberOfConfetti = 0;
        std::string confettiType; // typed blasts: the piece view's class name
    };

    // initWithFrame:
    static std::shared_ptr<OCConfettiArea> create(CGRect frame);

    std::string className() const override { return "OCConfettiArea"; }

    std::shared_ptr<OCConfettiAreaDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<OCConfettiAreaDelegate>& delegate) { delegate_ = delegate; }
    double swayLength() const { return swayLength_; }
    void setSwayLength(double length) { swayLength_ = length; }
    double blastSpread() const { return blastSpread_; }
    void setBlastSpread(double spread) { blastSpread_ = spread; }
    const std::optional<std::vector<UIColor>>& colors() const { return colors_; }
    void setColors(std::optional<std::vector<UIColor>> colors) { colors_ = std::move(colors); }
    // The live pieces. FIXME: holds OCConfettiObject once pieces exist; empty until then.
    std::size_t confettiObjectsCacheCount() const;

    // burstAt:confettiWidth:numberOfConfetti:
    void burstAt(CGPoint point, double confettiWidth, std::int64_t numberOfConfetti);
    // blastFrom:towards:withForce:confettiWidth:numberOfConfetti:
    void blastFrom(CGPoint point, double towards, double withForce, double confettiWidth,
                   std::int64_t numberOfConfetti);
    // blastConfettiType:fromPoint:towards:withForce:numberOfConfetti:
    void blastConfettiType(const std::string& confettiType, CGPoint fromPoint, double towards,
                           double withForce, std::int64_t numberOfConfetti);

    // Refreshes `colors`: the delegate's answer when it implements colorsForConfettiArea:,
    // otherwise the default list.
    void setupDataFromDelegates();
    static std::vector<UIColor> defaultColors();

    // randomFloatBetween:and: and randomIntegerFrom:to:, drawing from arc4random().
    static double randomFloatBetween(double a, double b);
    static std::int64_t randomIntegerFrom(std::int64_t a, std::int64_t b);

    // Every emit so far, oldest first.
    std::vector<Emit> emits() const;

protected:
    explicit OCConfettiArea(CGRect frame) : UIView(frame) {}
    void commonInit() override;

private:
    void record(Emit emit);

    std::weak_ptr<OCConfettiAreaDelegate> delegate_;
    double swayLength_ = 0;
    double blastSpread_ = 0;
    std::optional<std::vector<UIColor>> colors_;
    mutable std::mutex mutex_;
    std::vector<Emit> emits_;
};
