#pragma once

// A transparent view that throws confetti (OCConfettiArea): a burst upward from a point, or a
// blast in a direction with a force, and lets the pieces fall under gravity, swaying and
// fluttering, until each drops below the area's bottom edge and removes itself.
//
//     auto area = OCConfettiArea::create(UIScreen::mainScreen()->bounds());
//     area->setUserInteractionEnabled(false);   // touches pass through to what is below
//     area->setDelegate(controller);
//     area->burstAt(area->center(), 10.0, 60);
//
// An emit refreshes the colours (the delegate's answer, or the seven default colours) on the
// caller's thread and returns at once. A generation job on the global concurrent queue draws
// each piece's values in a fixed order, builds its view and model, adds the model to the live
// set and posts the piece's attach step to the main queue; attach steps run in creation order
// and put the view into the area, its falling behaviour into the animator and the view into the
// shared gravity. A piece that has fallen below the area tells the area, which drops it.
//
// Threads. The job holds the area only weakly: it reads the properties it needs (bounds,
// animator, gravity, sway length, blast spread) for each piece from a mirror kept under a lock,
// and stops at the next piece once the area is gone; an attach step whose area is gone does
// nothing. Each job draws its colours from the list that was current when its emit was made, so
// a later emit replacing `colors` never changes an earlier job's pieces. The live set takes a
// lock, since workers insert while the main thread removes. Views are built on the worker but
// get their colour, superview and behaviours on the main thread.
//
// Colours. No list (a delegate answering none) leaves every piece without a fill colour; so does
// a present but empty list: the colour index would point past its end, and the piece stays
// transparent rather than reading outside the list.

#include "confetti/OCConfettiAreaDelegate.h"
#include "confetti/OCConfettiObject.h"
#include "confetti/OCConfettiObjectDelegate.h"
#include "platform/dynamics/UIDynamicAnimator.h"
#include "platform/dynamics/UIGravityBehavior.h"
#include "platform/ui/UIView.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class OCConfettiArea : public UIView, public OCConfettiObjectDelegate {
public:
    // initWithFrame:
    static std::shared_ptr<OCConfettiArea> create(CGRect frame);
    // initWithCoder: the archived view (UIViewCoder.h: frame, colours, alpha and the like), then
    // the same commonInit as from a frame.
    static std::shared_ptr<OCConfettiArea> createWithCoder(const UIViewCoder& coder);
    ~OCConfettiArea() override;

    std::string className() const override { return "OCConfettiArea"; }

    std::shared_ptr<OCConfettiAreaDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<OCConfettiAreaDelegate>& delegate) { delegate_ = delegate; }
    double swayLength() const;
    void setSwayLength(double length);
    double blastSpread() const;
    void setBlastSpread(double spread);
    const std::shared_ptr<UIDynamicAnimator>& animator() const { return animator_; }
    void setAnimator(std::shared_ptr<UIDynamicAnimator> animator);
    const std::shared_ptr<UIGravityBehavior>& gravityBehavior() const { return gravityBehavior_; }
    void setGravityBehavior(std::shared_ptr<UIGravityBehavior> gravity);
    const std::optional<std::vector<UIColor>>& colors() const { return colors_; }
    void setColors(std::optional<std::vector<UIColor>> colors) { colors_ = std::move(colors); }

    // The live pieces (confettiObjectsCache), oldest first. Safe from any thread.
    std::vector<std::shared_ptr<OCConfettiObject>> confettiObjects() const;
    std::size_t confettiObjectsCacheCount() const;

    // burstAt:confettiWidth:numberOfConfetti:
    void burstAt(CGPoint point, double confettiWidth, std::int64_t numberOfConfetti);
    // blastFrom:towards:withForce:confettiWidth:numberOfConfetti:
    void blastFrom(CGPoint point, double towards, double withForce, double confettiWidth,
                   std::int64_t numberOfConfetti);
    // blastConfettiType:fromPoint:towards:withForce:numberOfConfetti:, with the piece view type
    // named as registered in OCConfettiPieceTypes. A name nobody registered is a caller's error:
    // like a type whose instance is not a view, it ends the emit before its first piece.
    void blastConfettiType(const std::string& confettiType, CGPoint fromPoint, double towards,
                           double withForce, std::int64_t numberOfConfetti);

    // OCConfettiObjectDelegate: drops the piece from the live set.
    void needToDeallocateConfettiObject(const std::shared_ptr<OCConfettiObject>& object) override;

    // Refreshes `colors`: the delegate's answer when it implements colorsForConfettiArea:,
    // otherwise the default list.
    void setupDataFromDelegates();
    static std::vector<UIColor> defaultColors();

    // randomFloatBetween:and: and randomIntegerFrom:to:, drawing from the device's arc4random.
    static double randomFloatBetween(double a, double b);
    static std::int64_t randomIntegerFrom(std::int64_t a, std::int64_t b);

    void setFrame(CGRect frame) override;
    void setBounds(CGRect bounds) override;

private:
    struct Emit;
    struct Shared;

    explicit OCConfettiArea(CGRect frame);
    explicit OCConfettiArea(const UIViewCoder& coder);
    void commonInit() override;
    void start(const Emit& emit);
    static void generate(const std::shared_ptr<Shared>& shared, const Emit& emit);
    void attach(const std::shared_ptr<OCConfettiObject>& object, const std::shared_ptr<UIView>& view,
                const std::optional<UIColor>& color);

    std::weak_ptr<OCConfettiAreaDelegate> delegate_;
    std::shared_ptr<UIDynamicAnimator> animator_;
    std::shared_ptr<UIGravityBehavior> gravityBehavior_;
    std::optional<std::vector<UIColor>> colors_;
    // What the generation jobs share with the area: the mirror of its properties and the live set.
    std::shared_ptr<Shared> shared_;
};
