#include "platform/ui/UIAppearance.h"

#include "platform/foundation/DeviceEnvironment.h"
#include "platform/ui/UIView.h"

#include <memory>

namespace {

// The proxies of the current device environment, made on first use and kept until it ends, so a
// reference that whenContainedIn answers stays good as long as the device.
struct AppearanceProxies : DeviceEnvironment::Part {
    std::mutex mutex;
    std::map<std::pair<std::string, std::string>, std::unique_ptr<UIAppearance>> all;
};

AppearanceProxies& proxies() {
    return DeviceEnvironment::current().part<AppearanceProxies>();
}

} // namespace

UIAppearance& UIAppearance::whenContainedIn(const std::string& viewClass, const std::string& containerClass) {
    AppearanceProxies& device = proxies();
    std::lock_guard lock(device.mutex);
    auto& slot = device.all[{viewClass, containerClass}];
    if (!slot)
        slot = std::make_unique<UIAppearance>();
    return *slot;
}

std::optional<UIColor> UIAppearance::color(const std::string& property) const {
    std::lock_guard lock(mutex_);
    auto it = colors_.find(property);
    return it == colors_.end() ? std::nullopt : std::optional<UIColor>(it->second);
}

void UIAppearance::setColor(const std::string& property, std::optional<UIColor> color) {
    std::lock_guard lock(mutex_);
    if (color)
        colors_[property] = *color;
    else
        colors_.erase(property);
}

std::optional<UIColor> UIAppearance::colorFor(const UIView& view, const std::string& viewClass,
                                              const std::string& property) {
    AppearanceProxies& device = proxies();
    auto lookup = [&](const std::string& container) -> std::optional<UIColor> {
        const UIAppearance* proxy = nullptr;
        {
            std::lock_guard lock(device.mutex);
            auto found = device.all.find({viewClass, container});
            if (found == device.all.end())
                return std::nullopt;
            proxy = found->second.get();
        }
        return proxy->color(property);
    };
    for (auto v = view.superview(); v; v = v->superview()) {
        if (auto color = lookup(v->className()))
            return color;
    }
    return lookup("");
}
