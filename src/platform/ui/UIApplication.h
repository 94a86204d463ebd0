#pragma once

// The running app (UIApplication): opening URLs through the device and sending target/action
// messages. Which URLs the device can open is answered by a handler that the host installs (the
// simulator answers from the schemes its app bundles declare and its browser); with no handler
// nothing opens. Every URL that did open is recorded, in order, and told to the host's handler, so
// that the host can show it.
//
//     Subscription device = UIApplication::sharedApplication()->setURLHandler(
//         [](const NSURL& url) { return url.scheme() == "https"; },
//         [](const std::string& opened) { showBrowser(opened); });
//     UIApplication::sharedApplication()->openURL(NSURL::URLWithString("https://example.com"));
//
// The app is the current device environment's; it is used on the main thread.

#include "platform/foundation/NSObject.h"
#include "platform/foundation/NSURL.h"
#include "platform/foundation/Subscription.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class UIApplication : public NSObject {
public:
    // Answers whether the device has something that opens the URL.
    using URLHandler = std::function<bool(const NSURL& url)>;
    // Told of a URL that opened, with its absolute text, after it was recorded.
    using OpenedHandler = std::function<void(const std::string& url)>;

    static const std::shared_ptr<UIApplication>& sharedApplication();

    std::string className() const override { return "UIApplication"; }

    bool canOpenURL(const std::shared_ptr<NSURL>& url) const;
    // Opens the URL when the device can; answers whether it did.
    bool openURL(const std::shared_ptr<NSURL>& url);
    // openURL:options:completionHandler:. The completion runs on the main run loop, as it does
    // on a device, with whether the URL opened.
    void openURL(const std::shared_ptr<NSURL>& url, const PlistValue& options,
                 std::function<void(bool success)> completion);

    // sendAction:to:from:forEvent:. Calls `action` on `target` with the sender as its argument;
    // answers whether the target handled it.
    bool sendAction(const SEL& action, const std::shared_ptr<NSObject>& target,
                    const std::shared_ptr<NSObject>& sender);

    // Host side. The handlers serve until the handle goes; a newer pair replaces the one before,
    // whose handle then cancels nothing.
    Subscription setURLHandler(URLHandler canOpen, OpenedHandler opened = {});
    const std::vector<std::string>& openedURLs() const { return openedURLs_; }
    void clearOpenedURLs() { openedURLs_.clear(); }

protected:
    UIApplication() = default;

private:
    struct Shared;

    URLHandler urlHandler_;
    OpenedHandler openedHandler_;
    std::uint64_t handlerId_ = 0;
    std::vector<std::string> openedURLs_;
};
