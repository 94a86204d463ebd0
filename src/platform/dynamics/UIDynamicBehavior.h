#pragma once

// The base of the dynamics behaviours (UIGravityBehavior, UIDynamicItemBehavior). A behaviour
// belongs to at most one UIDynamicAnimator, which holds it strongly; the behaviour knows its
// animator weakly. Its `action`, when set, runs on the main thread after every simulation step
// of that animator, and may add or remove behaviours and items, this one included:
//
//     auto b = UIDynamicItemBehavior::create({view});
//     b->setAction([weak = std::weak_ptr(b)] { if (auto self = weak.lock()) ...; });
//     animator->addBehavior(b);
//
// A behaviour's items are views of the animator's reference view; the animator moves each one
// (it sets the view's `center`) while at least one of its behaviours names the item.

#include "platform/foundation/NSObject.h"
#include "platform/ui/UIView.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

class UIDynamicAnimator;

// The items of one behaviour with, while the behaviour is in an animator, the handle of each
// item's body there. Adding, finding and removing an item cost O(1) also for a shared gravity
// with many thousands of items.
class UIDynamicItemList {
public:
    static constexpr std::uint32_t kNoBody = ~0u;

    std::size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }
    const std::shared_ptr<UIView>& item(std::size_t i) const { return entries_[i].item; }
    std::uint32_t body(std::size_t i) const { return entries_[i].body; }
    void setBody(std::size_t i, std::uint32_t body) { entries_[i].body = body; }
    // Velocity added to an item while its behaviour is in no animator, handed over on joining.
    CGPoint& pendingVelocity(std::size_t i) { return entries_[i].pending; }
    CGPoint pendingVelocity(std::size_t i) const { return entries_[i].pending; }
    // The index of `item`, or size() when it is not in the list.
    std::size_t find(const UIView* item) const;
    // False when the item was already there.
    bool add(const std::shared_ptr<UIView>& item);
    // Swaps the last item into the removed one's place; the removed item and its body handle
    // are handed back so the caller can release the body.
    bool remove(const UIView* item, std::shared_ptr<UIView>& removed, std::uint32_t& body);
    std::vector<std::shared_ptr<UIView>> items() const;

private:
    // Short lists (one piece's own behaviour) are searched; long ones keep an index.
    static constexpr std::size_t kIndexFrom = 16;
    // One record per item, so a step that looks an item up touches one allocation.
    struct Entry {
        std::shared_ptr<UIView> item;
        std::uint32_t body = kNoBody;
        CGPoint pending{};
    };
    std::vector<Entry> entries_;
    std::unordered_map<const UIView*, std::size_t> index_;
};

class UIDynamicBehavior : public NSObject {
public:
    using Action = std::function<void()>;

    ~UIDynamicBehavior() override = default;
    std::string className() const override { return "UIDynamicBehavior"; }

    // The animator this behaviour is in, or null.
    std::shared_ptr<UIDynamicAnimator> dynamicAnimator() const { return animator_.lock(); }

    bool hasAction() const { return static_cast<bool>(action_); }
    // Installs (or, with an empty function, removes) the per-step action. Safe from inside the
    // action itself: the running action finishes and the new one applies from the next step.
    void setAction(Action action);

    // The items this behaviour acts on, in no particular order.
    std::vector<std::shared_ptr<UIView>> items() const { return items_.items(); }

protected:
    UIDynamicBehavior() = default;

    // Adds or removes an item, telling the animator when the behaviour is in one.
    bool addItemToList(const std::shared_ptr<UIView>& item);
    bool removeItemFromList(const std::shared_ptr<UIView>& item);
    // The body handle of `item` in the animator, or kNoBody when it has none there.
    std::uint32_t bodyOf(const UIView* item) const;
    UIDynamicAnimator* animatorForStep() const { return attached_; }

    // What a behaviour contributes to a body when the item joins or leaves the animator.
    virtual void applyTo(std::size_t /*item*/, std::uint32_t /*body*/) {}
    virtual void withdrawFrom(std::size_t /*item*/, std::uint32_t /*body*/) {}

    UIDynamicItemList items_;

private:
    friend class UIDynamicAnimator;
    void runAction();
    // Called by the animator when the behaviour is added or removed.
    void attach(const std::shared_ptr<UIDynamicAnimator>& animator);
    void detach(bool animatorAlive);

    std::weak_ptr<UIDynamicAnimator> animator_;
    // Valid exactly while the behaviour is in that animator (the animator detaches every behaviour
    // before it goes), so a step reaches its bodies without promoting the weak link.
    UIDynamicAnimator* attached_ = nullptr;
    std::size_t slot_ = 0; // index in the animator's behaviour list
    Action action_;
    Action replacement_;
    bool runningAction_ = false;
    bool actionReplaced_ = false;
};
