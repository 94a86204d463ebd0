#pragma once

// The views that have constraints installed on them, and how many each has: what the layout
// engine asks to find the view whose system places a view (its layout root) and which systems a
// layout pass must solve. Views are held weakly; an address reused by a new view starts afresh.

#include "platform/ui/UIView.h"

#include <memory>
#include <unordered_map>
#include <vector>

class LayoutViewRegistry {
public:
    void constraintAdded(UIView& view, const std::shared_ptr<UIView>& strong);
    void constraintRemoved(UIView& view);
    bool hasConstraints(const UIView* view) const;
    // The highest ancestor of `view` (or itself) with installed constraints; null when none has.
    UIView* layoutRoot(UIView& view) const;
    // The live views with constraints; forgets the released ones and those left with none.
    std::vector<std::shared_ptr<UIView>> liveHosts();

private:
    std::unordered_map<const UIView*, std::weak_ptr<UIView>> hosts_;
    std::unordered_map<const UIView*, int> installed_;
};
