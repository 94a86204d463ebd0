#pragma once

// The Auto Layout engine that UIView calls through UILayoutEngine. Constraints installed in the
// subtree of a view that has constraints, and no ancestor with any, form one system: that root
// view's own frame is given, every other view they mention gets four variables (left, top,
// width, height in the root's coordinates) and a solution. A view that translates its
// autoresizing mask is held at its frame; a view with an intrinsic content size hugs it and
// resists compression at its own priorities; sizes never go below zero.
//
// A system is kept between passes: changed constants, intrinsic sizes and frames are fed to the
// solver in place. A new set of installed constraints that has the same shape as the old one
// (the same items, attributes, relations and multipliers in the same order, as a view that
// rebuilds its constraints in updateConstraints usually makes) takes over the old one's place
// in the solver, so only its constants and priorities are fed in; any other change of the set
// builds the system again. When the required constraints contradict each other the engine logs
// one line naming them and leaves every frame as the last good layout placed it.
//
// The views with constraints are kept by a LayoutViewRegistry and conflicts are told by a
// LayoutConflictReport; the engine builds the solver systems and keeps them in sync.

#include "platform/layout/LayoutConflictReport.h"
#include "platform/layout/LayoutViewRegistry.h"
#include "platform/layout/NSLayoutConstraint.h"
#include "platform/layout/Solver.h"
#include "platform/ui/UILayoutEngine.h"

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class NSLayoutEngine : public UILayoutEngine {
public:
    // The current device environment's engine.
    static NSLayoutEngine& shared();
    // Makes the shared engine the one the device's views use. The host does this once per device,
    // before any view gets a constraint (the simulator when it starts; tests in their fixtures),
    // so every view lays out the same way whatever the process did before.
    static void install();

    void didAddConstraint(UIView& view, const std::shared_ptr<NSLayoutConstraint>& constraint) override;
    void didRemoveConstraint(UIView& view, const std::shared_ptr<NSLayoutConstraint>& constraint) override;
    void viewInputsChanged(UIView& view) override;
    void willLayout(UIView& view) override;
    void layoutSubviews(UIView& view) override;

    // The view whose system places `view`'s subviews: the highest ancestor (or itself) with
    // installed constraints; null when there is none.
    static UIView* layoutRoot(UIView& view);

    void noteConstraintChanged() { ++changeCount_; }
    std::uint64_t changeCount() const { return changeCount_; }

private:
    struct Item {
        std::weak_ptr<UIView> view;
        UIView* raw = nullptr;
        layout::Variable x, y, w, h;
        bool pinned = false; // root, outside the root, or translating its autoresizing mask
        UIView* superview = nullptr;
        bool translates = true;
        int pin[4] = {-1, -1, -1, -1};
        double pinConstant[4] = {0, 0, 0, 0};
        CGSize intrinsic{UIViewNoIntrinsicMetric, UIViewNoIntrinsicMetric};
        UILayoutPriority hugging[2] = {0, 0}, compression[2] = {0, 0};
        int hug[2] = {-1, -1}, resist[2] = {-1, -1};
        CGRect solved{};
        bool hasSolution = false;
    };
    // The constraints the engine adds itself, for each view it places.
    enum class ItemConstraint : std::uint8_t {
        PinX,
        PinY,
        PinWidth,
        PinHeight,
        WidthNotNegative,
        HeightNotNegative,
        Hug,
        Resist
    };
    // Whose a solver constraint is: an installed constraint (an entry) or one the engine added for
    // an item.
    struct Owner {
        enum class Type : std::uint8_t { Unknown, Entry, Item } type = Type::Unknown;
        std::size_t index = 0;
        ItemConstraint what = ItemConstraint::PinX;
    };
    struct Entry {
        std::shared_ptr<NSLayoutConstraint> constraint;
        int id = -1; // -1 while the solver refuses it
        double constant = 0;
        UILayoutPriority priority = 0;
        bool refused = false;
    };
    struct System {
        std::weak_ptr<UIView> root;
        std::unique_ptr<layout::Solver> solver;
        std::vector<Item> items;
        std::unordered_map<const UIView*, int> index;
        std::vector<Entry> entries;
        std::vector<Owner> owners; // by solver id
        std::uint64_t structure = 0, changes = 0, inputs = 0, pass = 0;
        bool failed = false;
        LayoutConflictReport conflicts;
        std::vector<CGSize> intrinsicNow; // by item, read by sameStructure for sync
    };

    System& systemFor(UIView& root);
    void build(System& s, UIView& root);
    // Whether the system still describes the views and constraints under `root`; a set of
    // constraints of the same shape is adopted into the entries. Reads each item's intrinsic
    // size once into `intrinsicNow`.
    bool sameStructure(System& s, UIView& root);
    static bool sameShape(const NSLayoutConstraint& a, const NSLayoutConstraint& b);
    int itemFor(System& s, UIView& root, const std::shared_ptr<UIView>& view);
    void addItemConstraints(System& s, UIView& root, int item);
    layout::Expression attributeExpression(System& s, UIView& root, const std::shared_ptr<UIView>& view,
                                           NSLayoutAttribute attribute, double scale);
    void pinValues(UIView& root, const Item& item, double out[4]) const;
    // Feeds what changed into the solver: with `full`, the frames of held views and intrinsic
    // sizes too (a changed structure builds the system again); then constants and priorities.
    void sync(System& s, UIView& root, bool full);
    // One sync's bookkeeping: whether the solver was fed anything, and the first conflict met.
    struct SyncPass {
        System& s;
        bool changed = false;
        std::vector<int> conflicting;
        bool setConstant(int id, double constant);
        void conflict(const std::vector<int>& ids);
    };
    void syncHeldFramesAndIntrinsicSizes(SyncPass& pass, UIView& root);
    // Answers whether any installed constraint is refused now.
    bool syncEntries(SyncPass& pass);
    void retryRefused(SyncPass& pass, UIView& root);
    layout::Expression entryExpression(System& s, UIView& root, const NSLayoutConstraint& c, double constant);
    // A full sync, then again while wrapping views re-measure at the widths they were given.
    void syncSettlingWidths(System& s, UIView& root);
    // Whether anything the system was last fed with changed: constraints, intrinsic sizes, the
    // frames of the views it holds in place.
    bool inputsMoved(const System& s, UIView& root) const;
    void solveAndMark(System& s, UIView& root);
    void report(System& s, const std::vector<int>& conflicting);
    LayoutConflictMember conflictMember(const System& s, int id) const;
    void collectConstraints(UIView& view, std::vector<std::shared_ptr<NSLayoutConstraint>>& out) const;

    std::unordered_map<const UIView*, std::unique_ptr<System>> systems_;
    void noteOwner(System& s, int id, Owner owner);
    LayoutViewRegistry views_;
    std::uint64_t structure_ = 1, changeCount_ = 1, inputs_ = 1, pass_ = 0;
};
