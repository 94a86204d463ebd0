#include "platform/layout/NSLayoutEngine.h"

#include "platform/foundation/DeviceEnvironment.h"
#include "platform/foundation/NSLog.h"

#include <algorithm>

namespace {

layout::Expression& append(layout::Expression& e, layout::Variable v, double c) {
    e.terms.push_back({v, c});
    return e;
}

// Views are reached through their shared owners; a view that has none yet (still being made)
// gives null rather than throwing.
std::shared_ptr<UIView> strongView(UIView& view) {
    return std::static_pointer_cast<UIView>(view.weak_from_this().lock());
}

// The engine of one device environment: its systems and the views they place are that device's.
// The views' side holds it too once it is installed.
struct DeviceLayoutEngine : DeviceEnvironment::Part {
    const std::shared_ptr<NSLayoutEngine> engine = std::make_shared<NSLayoutEngine>();
};

} // namespace

NSLayoutEngine& NSLayoutEngine::shared() {
    return *DeviceEnvironment::current().part<DeviceLayoutEngine>().engine;
}

void NSLayoutEngine::install() {
    UIView::setLayoutEngine(DeviceEnvironment::current().part<DeviceLayoutEngine>().engine);
}

// --- What views tell the engine ----------------------------------------------------------------

void NSLayoutEngine::didAddConstraint(UIView& view, const std::shared_ptr<NSLayoutConstraint>& constraint) {
    auto previous = constraint->installedOn_.lock();
    if (previous && previous.get() != &view)
        previous->removeConstraint(constraint);
    auto self = strongView(view);
    constraint->installedOn_ = self;
    views_.constraintAdded(view, self);
    ++structure_;
    if (UIView* root = layoutRoot(view))
        root->setNeedsLayout();
}

void NSLayoutEngine::didRemoveConstraint(UIView& view,
                                         const std::shared_ptr<NSLayoutConstraint>& constraint) {
    if (constraint->installedOn_.lock().get() == &view)
        constraint->installedOn_.reset();
    views_.constraintRemoved(view);
    ++structure_;
    if (UIView* root = layoutRoot(view))
        root->setNeedsLayout();
}

void NSLayoutEngine::viewInputsChanged(UIView& view) {
    ++inputs_;
    if (UIView* root = layoutRoot(view))
        root->setNeedsLayout();
}

UIView* NSLayoutEngine::layoutRoot(UIView& view) {
    return shared().views_.layoutRoot(view);
}

// --- Passes --------------------------------------------------------------------------------------

void NSLayoutEngine::willLayout(UIView& top) {
    ++pass_;
    std::vector<UIView*> roots;
    for (const auto& host : views_.liveHosts()) {
        UIView* root = views_.layoutRoot(*host);
        if (!root || std::find(roots.begin(), roots.end(), root) != roots.end())
            continue;
        if (root->isDescendantOfView(&top) || top.isDescendantOfView(root))
            roots.push_back(root);
    }
    for (auto it = systems_.begin(); it != systems_.end();) {
        auto root = it->second->root.lock();
        if (!root || !views_.hasConstraints(root.get()))
            it = systems_.erase(it);
        else
            ++it;
    }
    for (UIView* root : roots) {
        System& s = systemFor(*root);
        if (s.pass == pass_)
            continue;
        syncSettlingWidths(s, *root);
        s.pass = pass_;
    }
}

bool NSLayoutEngine::inputsMoved(const System& s, UIView& root) const {
    if (s.structure != structure_ || s.inputs != inputs_)
        return true;
    for (const Item& item : s.items) {
        if (!item.pinned)
            continue;
        double values[4];
        pinValues(root, item, values);
        if (!std::equal(values, values + 4, item.pinConstant))
            return true;
    }
    return false;
}

void NSLayoutEngine::syncSettlingWidths(System& s, UIView& root) {
    // A layout depends only on the current texts and sizes: when something that feeds the system
    // moved, wrapping views first forget the widths an earlier pass gave them, and measure again
    // at the widths this solution gives.
    const bool moved = inputsMoved(s, root);
    sync(s, root, true);
    if (moved && !s.failed) {
        bool forgot = false;
        for (Item& item : s.items) {
            if (item.pinned)
                continue;
            if (auto view = item.view.lock())
                forgot = view->adoptLayoutWidth(0) || forgot;
        }
        if (forgot)
            sync(s, root, true);
    }
    // Views whose height follows their width (wrapping labels) learn the width they were given
    // and measure again; a few rounds settle any text.
    for (int round = 0; round < 3 && !s.failed; ++round) {
        bool remeasured = false;
        for (Item& item : s.items) {
            if (item.pinned || !item.hasSolution)
                continue;
            if (auto view = item.view.lock())
                remeasured = view->adoptLayoutWidth(item.solved.width()) || remeasured;
        }
        if (!remeasured)
            break;
        sync(s, root, true);
    }
}

void NSLayoutEngine::layoutSubviews(UIView& view) {
    UIView* root = layoutRoot(view);
    if (!root)
        return;
    System& s = systemFor(*root);
    if (s.pass != pass_ || s.structure != structure_ || s.inputs != inputs_) {
        syncSettlingWidths(s, *root);
        s.pass = pass_;
    } else if (s.changes != changeCount_) {
        sync(s, *root, false);
    }
    if (s.failed)
        return; // the last good layout stays
    CGPoint origin{};
    if (&view != root) {
        auto it = s.index.find(&view);
        if (it != s.index.end() && !s.items[it->second].pinned && s.items[it->second].hasSolution)
            origin = s.items[it->second].solved.origin;
        else
            origin = view.convertPointToView(CGPointZero, root);
    }
    for (const auto& sub : view.subviews()) {
        auto it = s.index.find(sub.get());
        if (it == s.index.end())
            continue;
        const Item& item = s.items[it->second];
        if (item.pinned || !item.hasSolution)
            continue;
        CGRect frame = item.solved;
        frame.origin.x -= origin.x;
        frame.origin.y -= origin.y;
        if (sub->frame() != frame)
            sub->setFrame(frame);
    }
}

// --- Systems -------------------------------------------------------------------------------------

NSLayoutEngine::System& NSLayoutEngine::systemFor(UIView& root) {
    auto it = systems_.find(&root);
    if (it != systems_.end() && it->second->root.lock().get() == &root)
        return *it->second;
    auto s = std::make_unique<System>();
    s->root = strongView(root);
    System& ref = *s;
    systems_[&root] = std::move(s);
    build(ref, root);
    return ref;
}

void NSLayoutEngine::collectConstraints(UIView& view,
                                        std::vector<std::shared_ptr<NSLayoutConstraint>>& out) const {
    auto own = view.constraints();
    out.insert(out.end(), own.begin(), own.end());
    for (const auto& sub : view.subviews())
        collectConstraints(*sub, out);
}

void NSLayoutEngine::pinValues(UIView& root, const Item& item, double out[4]) const {
    auto view = item.view.lock();
    CGRect r{};
    if (view.get() == &root) {
        r = CGRectMake(0, 0, root.bounds().size.width, root.bounds().size.height);
    } else if (view) {
        auto super = view->superview();
        r = super ? super->convertRectToView(view->frame(), &root) : view->frame();
    }
    out[0] = r.origin.x;
    out[1] = r.origin.y;
    out[2] = r.size.width;
    out[3] = r.size.height;
}

int NSLayoutEngine::itemFor(System& s, UIView& root, const std::shared_ptr<UIView>& view) {
    auto it = s.index.find(view.get());
    if (it != s.index.end())
        return it->second;
    Item item;
    item.view = view;
    item.raw = view.get();
    item.x = s.solver->addVariable();
    item.y = s.solver->addVariable();
    item.w = s.solver->addVariable();
    item.h = s.solver->addVariable();
    item.superview = view->superview().get();
    item.translates = view->translatesAutoresizingMaskIntoConstraints();
    bool inside = view.get() == &root || view->isDescendantOfView(&root);
    item.pinned = view.get() == &root || !inside || item.translates;
    int index = static_cast<int>(s.items.size());
    s.items.push_back(item);
    s.index[view.get()] = index;
    addItemConstraints(s, root, index);
    return index;
}

void NSLayoutEngine::addItemConstraints(System& s, UIView& root, int index) {
    auto add = [&](layout::Expression e, layout::Relation r, double priority, ItemConstraint what) {
        auto status = s.solver->addConstraint(e, r, priority);
        noteOwner(s, status.id, {Owner::Type::Item, static_cast<std::size_t>(index), what});
        return status.ok() ? status.id : -1;
    };
    Item& item = s.items[index];
    auto view = item.view.lock();
    if (item.pinned) {
        double values[4];
        pinValues(root, item, values);
        layout::Variable vars[4] = {item.x, item.y, item.w, item.h};
        for (int k = 0; k < 4; ++k) {
            item.pinConstant[k] = values[k];
            item.pin[k] =
                add({{{vars[k], 1}}, -values[k]}, layout::Relation::Equal, layout::kRequiredPriority,
                    static_cast<ItemConstraint>(static_cast<int>(ItemConstraint::PinX) + k));
        }
        return;
    }
    add({{{item.w, 1}}, 0}, layout::Relation::GreaterThanOrEqual, layout::kRequiredPriority,
        ItemConstraint::WidthNotNegative);
    add({{{item.h, 1}}, 0}, layout::Relation::GreaterThanOrEqual, layout::kRequiredPriority,
        ItemConstraint::HeightNotNegative);
    item.intrinsic = view->intrinsicContentSize();
    double sizes[2] = {item.intrinsic.width, item.intrinsic.height};
    layout::Variable vars[2] = {item.w, item.h};
    for (int a = 0; a < 2; ++a) {
        auto axis = static_cast<UILayoutConstraintAxis>(a);
        item.hugging[a] = view->contentHuggingPriorityForAxis(axis);
        item.compression[a] = view->contentCompressionResistancePriorityForAxis(axis);
        if (sizes[a] == UIViewNoIntrinsicMetric)
            continue;
        item.hug[a] = add({{{vars[a], 1}}, -sizes[a]}, layout::Relation::LessThanOrEqual, item.hugging[a],
                          ItemConstraint::Hug);
        item.resist[a] = add({{{vars[a], 1}}, -sizes[a]}, layout::Relation::GreaterThanOrEqual,
                             item.compression[a], ItemConstraint::Resist);
    }
}

layout::Expression NSLayoutEngine::attributeExpression(System& s, UIView& root,
                                                       const std::shared_ptr<UIView>& view,
                                                       NSLayoutAttribute attribute, double scale) {
    layout::Expression e;
    if (!view || attribute == NSLayoutAttributeNotAnAttribute)
        return e;
    const Item& item = s.items[itemFor(s, root, view)];
    switch (attribute) {
    case NSLayoutAttributeLeft:
    case NSLayoutAttributeLeading:
        return append(e, item.x, scale);
    case NSLayoutAttributeRight:
    case NSLayoutAttributeTrailing:
        return append(append(e, item.x, scale), item.w, scale);
    case NSLayoutAttributeTop:
    case NSLayoutAttributeFirstBaseline:
        return append(e, item.y, scale);
    case NSLayoutAttributeBottom:
    case NSLayoutAttributeLastBaseline:
        return append(append(e, item.y, scale), item.h, scale);
    case NSLayoutAttributeWidth:
        return append(e, item.w, scale);
    case NSLayoutAttributeHeight:
        return append(e, item.h, scale);
    case NSLayoutAttributeCenterX:
        return append(append(e, item.x, scale), item.w, scale / 2);
    case NSLayoutAttributeCenterY:
        return append(append(e, item.y, scale), item.h, scale / 2);
    default:
        return e;
    }
}

void NSLayoutEngine::build(System& s, UIView& root) {
    // A system built afresh keeps its solver's storage: reset leaves it as a new one would be.
    if (s.solver)
        s.solver->reset();
    else
        s.solver = std::make_unique<layout::Solver>();
    s.items.clear();
    s.index.clear();
    s.entries.clear();
    s.owners.clear();
    s.failed = false;
    auto rootView = strongView(root);
    if (!rootView)
        return; // a view still being made has nothing laid out yet
    std::vector<std::shared_ptr<NSLayoutConstraint>> constraints;
    collectConstraints(root, constraints);
    itemFor(s, root, rootView);
    std::vector<int> conflicting;
    for (auto& c : constraints) {
        Entry e;
        e.constraint = c;
        e.constant = c->constant();
        e.priority = c->priority();
        if (c->firstItem()) {
            auto status =
                s.solver->addConstraint(entryExpression(s, root, *c, c->constant()),
                                        static_cast<layout::Relation>(c->relation()), c->priority());
            noteOwner(s, status.id, {Owner::Type::Entry, s.entries.size()});
            if (status.ok()) {
                e.id = status.id;
            } else {
                e.refused = true;
                if (conflicting.empty())
                    conflicting = status.conflicting;
            }
        }
        s.entries.push_back(std::move(e));
    }
    s.failed = !conflicting.empty();
    if (s.failed)
        report(s, conflicting);
    s.structure = structure_;
    s.changes = changeCount_;
    s.inputs = inputs_;
    solveAndMark(s, root);
}

bool NSLayoutEngine::sameShape(const NSLayoutConstraint& a, const NSLayoutConstraint& b) {
    // Items are compared by owner, which needs no locking: a view has one owner block.
    auto sameView = [](const std::weak_ptr<UIView>& x, const std::weak_ptr<UIView>& y) {
        return !x.owner_before(y) && !y.owner_before(x);
    };
    return a.firstAttribute_ == b.firstAttribute_ && a.secondAttribute_ == b.secondAttribute_ &&
           a.relation_ == b.relation_ && a.multiplier_ == b.multiplier_ &&
           sameView(a.firstItem_, b.firstItem_) && sameView(a.secondItem_, b.secondItem_);
}

bool NSLayoutEngine::sameStructure(System& s, UIView& root) {
    std::vector<std::shared_ptr<NSLayoutConstraint>> constraints;
    constraints.reserve(s.entries.size());
    collectConstraints(root, constraints);
    if (constraints.size() != s.entries.size())
        return false;
    bool identical = true;
    for (std::size_t i = 0; i < constraints.size(); ++i) {
        if (constraints[i] == s.entries[i].constraint)
            continue;
        identical = false;
        if (!sameShape(*constraints[i], *s.entries[i].constraint))
            return false;
    }
    s.intrinsicNow.assign(s.items.size(), CGSize{UIViewNoIntrinsicMetric, UIViewNoIntrinsicMetric});
    for (std::size_t k = 0; k < s.items.size(); ++k) {
        const Item& item = s.items[k];
        auto view = item.view.lock();
        if (!view || view->superview().get() != item.superview ||
            view->translatesAutoresizingMaskIntoConstraints() != item.translates)
            return false;
        if (item.pinned)
            continue;
        CGSize intrinsic = view->intrinsicContentSize();
        s.intrinsicNow[k] = intrinsic;
        double now[2] = {intrinsic.width, intrinsic.height};
        double then[2] = {item.intrinsic.width, item.intrinsic.height};
        for (int a = 0; a < 2; ++a) {
            auto axis = static_cast<UILayoutConstraintAxis>(a);
            if ((now[a] == UIViewNoIntrinsicMetric) != (then[a] == UIViewNoIntrinsicMetric) ||
                view->contentHuggingPriorityForAxis(axis) != item.hugging[a] ||
                view->contentCompressionResistancePriorityForAxis(axis) != item.compression[a])
                return false;
        }
    }
    if (!identical) {
        // The same system under new constraint objects: the entries follow the new objects, and
        // the sync that follows feeds in whatever constants and priorities differ.
        for (std::size_t i = 0; i < constraints.size(); ++i)
            s.entries[i].constraint = std::move(constraints[i]);
    }
    return true;
}

bool NSLayoutEngine::SyncPass::setConstant(int id, double constant) {
    if (id < 0)
        return true;
    auto status = s.solver->setConstant(id, constant);
    changed = true;
    if (!status.ok())
        conflict(status.conflicting);
    return status.ok();
}

void NSLayoutEngine::SyncPass::conflict(const std::vector<int>& ids) {
    if (conflicting.empty())
        conflicting = ids;
}

layout::Expression NSLayoutEngine::entryExpression(System& s, UIView& root, const NSLayoutConstraint& c,
                                                   double constant) {
    layout::Expression expression = attributeExpression(s, root, c.firstItem(), c.firstAttribute(), 1);
    layout::Expression second =
        attributeExpression(s, root, c.secondItem(), c.secondAttribute(), -c.multiplier());
    expression.terms.insert(expression.terms.end(), second.terms.begin(), second.terms.end());
    expression.constant = -constant;
    return expression;
}

void NSLayoutEngine::syncHeldFramesAndIntrinsicSizes(SyncPass& pass, UIView& root) {
    System& s = pass.s;
    for (Item& item : s.items) {
        if (item.pinned) {
            double values[4];
            pinValues(root, item, values);
            for (int k = 0; k < 4; ++k) {
                if (values[k] != item.pinConstant[k] && pass.setConstant(item.pin[k], -values[k]))
                    item.pinConstant[k] = values[k];
            }
            continue;
        }
        std::size_t k = static_cast<std::size_t>(&item - s.items.data());
        CGSize intrinsic = s.intrinsicNow[k];
        double now[2] = {intrinsic.width, intrinsic.height};
        double then[2] = {item.intrinsic.width, item.intrinsic.height};
        for (int a = 0; a < 2; ++a) {
            if (now[a] == then[a] || now[a] == UIViewNoIntrinsicMetric)
                continue;
            bool ok = pass.setConstant(item.hug[a], -now[a]);
            ok = pass.setConstant(item.resist[a], -now[a]) && ok;
            if (ok)
                (a == 0 ? item.intrinsic.width : item.intrinsic.height) = now[a];
        }
    }
}

bool NSLayoutEngine::syncEntries(SyncPass& pass) {
    bool anyRefused = false;
    for (Entry& e : pass.s.entries) {
        const auto& c = e.constraint;
        if (!c->firstItem())
            continue;
        if (c->priority() != e.priority) {
            // A priority moves the constraint to another level: take it out and put it back.
            if (e.id >= 0)
                pass.s.solver->removeConstraint(e.id);
            e.id = -1;
            e.refused = true;
            e.priority = c->priority();
            pass.changed = true;
        }
        if (c->constant() != e.constant) {
            e.constant = c->constant();
            pass.changed = true;
            if (e.id >= 0)
                e.refused = !pass.setConstant(e.id, -e.constant);
        }
        anyRefused = anyRefused || e.refused;
    }
    return anyRefused;
}

void NSLayoutEngine::retryRefused(SyncPass& pass, UIView& root) {
    System& s = pass.s;
    for (std::size_t i = 0; i < s.entries.size(); ++i) {
        Entry& e = s.entries[i];
        if (!e.refused)
            continue;
        if (e.id >= 0) {
            e.refused = !pass.setConstant(e.id, -e.constant);
            continue;
        }
        const auto& c = *e.constraint;
        auto status = s.solver->addConstraint(entryExpression(s, root, c, e.constant),
                                              static_cast<layout::Relation>(c.relation()), e.priority);
        noteOwner(s, status.id, {Owner::Type::Entry, i});
        e.refused = !status.ok();
        if (status.ok())
            e.id = status.id;
        else
            pass.conflict(status.conflicting);
    }
}

void NSLayoutEngine::sync(System& s, UIView& root, bool full) {
    if (full && !sameStructure(s, root)) {
        build(s, root);
        return;
    }
    SyncPass pass{s, false, {}};
    if (full)
        syncHeldFramesAndIntrinsicSizes(pass, root);
    // Refused constraints get another chance once something moved.
    if (syncEntries(pass) && pass.changed)
        retryRefused(pass, root);
    s.changes = changeCount_;
    s.structure = structure_;
    s.inputs = inputs_;
    bool failed = std::any_of(s.entries.begin(), s.entries.end(), [](const Entry& e) { return e.refused; });
    if (!pass.conflicting.empty())
        report(s, pass.conflicting);
    s.failed = failed || !pass.conflicting.empty();
    if (!s.failed)
        s.conflicts.clear();
    if (pass.changed)
        solveAndMark(s, root);
}

void NSLayoutEngine::solveAndMark(System& s, UIView& root) {
    if (s.failed)
        return;
    s.solver->solve();
    bool any = false;
    for (Item& item : s.items) {
        if (item.pinned)
            continue;
        CGRect r = CGRectMake(s.solver->value(item.x), s.solver->value(item.y), s.solver->value(item.w),
                              s.solver->value(item.h));
        if (item.hasSolution && r == item.solved)
            continue;
        item.solved = r;
        item.hasSolution = true;
        any = true;
        // The superview places this view in its layoutSubviews.
        if (auto view = item.view.lock()) {
            if (auto super = view->superview())
                super->setNeedsLayout();
        }
    }
    if (any)
        root.setNeedsLayout();
}

void NSLayoutEngine::noteOwner(System& s, int id, Owner owner) {
    if (id < 0)
        return;
    if (s.owners.size() <= static_cast<std::size_t>(id))
        s.owners.resize(static_cast<std::size_t>(id) + 1);
    s.owners[static_cast<std::size_t>(id)] = owner;
}

LayoutConflictMember NSLayoutEngine::conflictMember(const System& s, int id) const {
    const Owner owner = id >= 0 && static_cast<std::size_t>(id) < s.owners.size()
                            ? s.owners[static_cast<std::size_t>(id)]
                            : Owner{};
    if (owner.type == Owner::Type::Entry) {
        const NSLayoutConstraint& c = *s.entries[owner.index].constraint;
        return {c.description(),
                {c.firstItem().get(), c.firstAttribute(), c.relation(), c.secondItem().get(),
                 c.secondAttribute(), c.multiplier(), c.constant(), c.priority()}};
    }
    if (owner.type == Owner::Type::Unknown)
        return {"an unknown constraint", {nullptr, -1, 0, nullptr, 0, 0, 0, 0}};
    auto view = s.items[owner.index].view.lock();
    std::string who = view ? view->description() : "a released view";
    static constexpr const char* kWhat[] = {" left held at its frame",
                                            " top held at its frame",
                                            " width held at its frame",
                                            " height held at its frame",
                                            " width >= 0",
                                            " height >= 0",
                                            " content hugging",
                                            " compression resistance"};
    const int what = static_cast<int>(owner.what);
    return {who + kWhat[what], {view.get(), -2 - what, 0, nullptr, 0, 0, 0, 0}};
}

void NSLayoutEngine::report(System& s, const std::vector<int>& conflicting) {
    std::vector<LayoutConflictMember> members;
    members.reserve(conflicting.size());
    for (int id : conflicting)
        members.push_back(conflictMember(s, id));
    s.conflicts.tell(std::move(members));
}
