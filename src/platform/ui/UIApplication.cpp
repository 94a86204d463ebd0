#include "platform/ui/UIApplication.h"

#include "platform/foundation/DeviceEnvironment.h"
#include "platform/ui/UIViewController.h"

#include <utility>

// The device environment's app.
struct UIApplication::Shared : DeviceEnvironment::Part {
    std::shared_ptr<UIApplication> app{new UIApplication()};
};

const std::shared_ptr<UIApplication>& UIApplication::sharedApplication() {
    return DeviceEnvironment::current().part<Shared>().app;
}

bool UIApplication::canOpenURL(const std::shared_ptr<NSURL>& url) const {
    return url && urlHandler_ && urlHandler_(*url);
}

bool UIApplication::openURL(const std::shared_ptr<NSURL>& url) {
    if (!canOpenURL(url))
        return false;
    openedURLs_.push_back(url->absoluteString());
    // A copy: the handler may replace itself or drop its handle while it runs.
    if (OpenedHandler opened = openedHandler_)
        opened(openedURLs_.back());
    return true;
}

void UIApplication::openURL(const std::shared_ptr<NSURL>& url, const PlistValue& /*options*/,
                            std::function<void(bool success)> completion) {
    bool opened = openURL(url);
    if (completion)
        UIViewController::runAfterTransition(
            [completion = std::move(completion), opened] { completion(opened); });
}

bool UIApplication::sendAction(const SEL& action, const std::shared_ptr<NSObject>& target,
                               const std::shared_ptr<NSObject>& sender) {
    if (!target || action.empty() || !target->respondsToSelector(action))
        return false;
    target->performSelector(action, {PlistValue(sender)});
    return true;
}

Subscription UIApplication::setURLHandler(URLHandler canOpen, OpenedHandler opened) {
    urlHandler_ = std::move(canOpen);
    openedHandler_ = std::move(opened);
    const std::uint64_t id = ++handlerId_;
    auto self = std::static_pointer_cast<UIApplication>(shared_from_this());
    return Subscription([weak = std::weak_ptr<UIApplication>(self), id] {
        auto app = weak.lock();
        if (!app || app->handlerId_ != id)
            return;
        app->urlHandler_ = nullptr;
        app->openedHandler_ = nullptr;
    });
}
