#include "platform/ui/UIApplication.h"

#include "platform/ui/UIViewController.h"

const std::shared_ptr<UIApplication>& UIApplication::sharedApplication() {
    static const std::shared_ptr<UIApplication> app(new UIApplication());
    return app;
}

bool UIApplication::canOpenURL(const std::shared_ptr<NSURL>& url) const {
    return url && urlHandler_ && urlHandler_(*url);
}

bool UIApplication::openURL(const std::shared_ptr<NSURL>& url) {
    if (!canOpenURL(url))
        return false;
    openedURLs_.push_back(url->absoluteString());
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
