#pragma once

// An alert or action sheet (UIAlertController): title, message and actions in the order added.
// Present it modally; when the user picks an action (`performAction`, what a tap on its button
// does), the alert dismisses itself and the action's handler runs once the dismissal has ended.
//
//     auto alert = UIAlertController::alertControllerWithTitle("Alert", "Are you sure?",
//     UIAlertControllerStyleAlert); alert->addAction(UIAlertAction::actionWithTitle("Cancel",
//     UIAlertActionStyleCancel, nullptr)); presenter->presentViewController(alert, true, nullptr);

#include "platform/ui/UIAlertAction.h"
#include "platform/ui/UIViewController.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

enum UIAlertControllerStyle : std::int64_t {
    UIAlertControllerStyleActionSheet = 0,
    UIAlertControllerStyleAlert = 1,
};

class UIAlertController : public UIViewController {
public:
    // alertControllerWithTitle:message:preferredStyle:. A missing title or message is nullopt.
    static std::shared_ptr<UIAlertController> alertControllerWithTitle(std::optional<std::string> title,
                                                                       std::optional<std::string> message,
                                                                       UIAlertControllerStyle preferredStyle);

    std::string className() const override { return "UIAlertController"; }

    const std::optional<std::string>& alertTitle() const { return title_; }
    const std::optional<std::string>& message() const { return message_; }
    UIAlertControllerStyle preferredStyle() const { return style_; }
    const std::vector<std::shared_ptr<UIAlertAction>>& actions() const { return actions_; }
    void addAction(const std::shared_ptr<UIAlertAction>& action);

    // The user picks `action`: the alert is dismissed and then the handler runs. An action that
    // is not this alert's, a disabled one, or a pick while the alert is not presented does nothing.
    void performAction(const std::shared_ptr<UIAlertAction>& action);
    // The action with this title, or null.
    std::shared_ptr<UIAlertAction> actionWithTitle(std::string_view title) const;

protected:
    UIAlertController() = default;

private:
    std::optional<std::string> title_;
    std::optional<std::string> message_;
    UIAlertControllerStyle style_ = UIAlertControllerStyleAlert;
    std::vector<std::shared_ptr<UIAlertAction>> actions_;
};
