#pragma once

// One button of an alert (UIAlertAction): a title, a style, and the handler run when the user
// picks it (after the alert has gone).

#include "platform/foundation/NSObject.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

enum UIAlertActionStyle : std::int64_t {
    UIAlertActionStyleDefault = 0,
    UIAlertActionStyleCancel = 1,
    UIAlertActionStyleDestructive = 2,
};

class UIAlertAction : public NSObject {
public:
    using Handler = std::function<void(const std::shared_ptr<UIAlertAction>& action)>;

    // actionWithTitle:style:handler:
    static std::shared_ptr<UIAlertAction> actionWithTitle(std::string title, UIAlertActionStyle style,
                                                          Handler handler);

    std::string className() const override { return "UIAlertAction"; }

    const std::string& title() const { return title_; }
    UIAlertActionStyle style() const { return style_; }
    const Handler& handler() const { return handler_; }
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled) { enabled_ = enabled; }

protected:
    UIAlertAction() = default;

private:
    std::string title_;
    UIAlertActionStyle style_ = UIAlertActionStyleDefault;
    Handler handler_;
    bool enabled_ = true;
};
