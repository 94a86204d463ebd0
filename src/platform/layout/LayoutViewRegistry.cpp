#include "platform/layout/LayoutViewRegistry.h"

void LayoutViewRegistry::constraintAdded(UIView& view, const std::shared_ptr<UIView>& strong) {
    auto& host = hosts_[&view];
    if (host.lock().get() != &view) {
        installed_.erase(&view); // a released view's count, left at a reused address
        host = strong;
    }
    ++installed_[&view];
}

void LayoutViewRegistry::constraintRemoved(UIView& view) {
    if (auto it = installed_.find(&view); it != installed_.end() && --it->second <= 0)
        installed_.erase(it);
}

bool LayoutViewRegistry::hasConstraints(const UIView* view) const {
    // Counted here rather than asked of each view, which would copy its list.
    auto host = hosts_.find(view);
    // A host that still lives is the view at its address: a released view's entry has expired.
    return host != hosts_.end() && installed_.count(view) && !host->second.expired();
}

UIView* LayoutViewRegistry::layoutRoot(UIView& view) const {
    UIView* root = hasConstraints(&view) ? &view : nullptr;
    for (UIView* v = view.superviewPointer(); v; v = v->superviewPointer()) {
        if (hasConstraints(v))
            root = v;
    }
    return root;
}

std::vector<std::shared_ptr<UIView>> LayoutViewRegistry::liveHosts() {
    std::vector<std::shared_ptr<UIView>> live;
    for (auto it = hosts_.begin(); it != hosts_.end();) {
        auto host = it->second.lock();
        if (!host || !installed_.count(host.get())) {
            installed_.erase(it->first);
            it = hosts_.erase(it);
            continue;
        }
        live.push_back(std::move(host));
        ++it;
    }
    return live;
}
