#include "platform/ui/UIAppearance.h"

#include "platform/ui/UIView.h"

#include <memory>
#include <mutex>

namespace {
std::mutex gMutex;
std::map<std::pair<std::string, std::string>, std::unique_ptr<UIAppearance>>& proxies() {
    static std::map<std::pair<std::string, std::string>, std::unique_ptr<UIAppearance>> all;
    return all;
}
} // namespace

UIAppearance& UIAppearance::whenContainedIn(const std::string& viewClass, const std::string& containerClass) {
    std::lock_guard lock(gMutex);
    auto& slot = proxies()[{viewClass, containerClass}];
    if (!slot)
        slot = std::make_unique<UIAppearance>();
    return *slot;
}

void UIAppearance::resetAll() {
    std::lock_guard lock(gMutex);
    for (auto& [key, proxy] : proxies())
        proxy->colors_.clear();
}

std::optional<UIColor> UIAppearance::color(const std::string& property) const {
    std::lock_guard lock(gMutex);
    auto it = colors_.find(property);
    return it == colors_.end() ? std::nullopt : std::optional<UIColor>(it->second);
}

void UIAppearance::setColor(const std::string& property, std::optional<UIColor> color) {
    std::lock_guard lock(gMutex);
    if (color)
        colors_[property] = *color;
    else
        colors_.erase(property);
}

std::optional<UIColor> UIAppearance::colorFor(const UIView& view, const std::string& viewClass,
                                              const std::string& property) {
    auto lookup = [&](const std::string& container) -> std::optional<UIColor> {
        std::lock_guard lock(gMutex);
        auto proxy = proxies().find({viewClass, container});
        if (proxy == proxies().end())
            return std::nullopt;
        auto it = proxy->second->colors_.find(property);
        return it == proxy->second->colors_.end() ? std::nullopt : std::optional<UIColor>(it->second);
    };
    for (auto v = view.superview(); v; v = v->superview()) {
        if (auto color = lookup(v->className()))
            return color;
    }
    return lookup("");
}
