#include "platform/ui/UIAlertController.h"

#include <algorithm>

std::shared_ptr<UIAlertController>
UIAlertController::alertControllerWithTitle(std::optional<std::string> title,
                                            std::optional<std::string> message,
                                            UIAlertControllerStyle preferredStyle) {
    auto alert = std::shared_ptr<UIAlertController>(new UIAlertController());
    alert->title_ = std::move(title);
    alert->message_ = std::move(message);
    alert->style_ = preferredStyle;
    if (alert->title_)
        alert->setTitle(*alert->title_);
    return alert;
}

void UIAlertController::addAction(const std::shared_ptr<UIAlertAction>& action) {
    if (action)
        actions_.push_back(action);
}

std::shared_ptr<UIAlertAction> UIAlertController::actionWithTitle(std::string_view title) const {
    for (const auto& action : actions_) {
        if (action->title() == title)
            return action;
    }
    return nullptr;
}

void UIAlertController::performAction(const std::shared_ptr<UIAlertAction>& action) {
    if (!action || !action->isEnabled() || !presentingViewController())
        return;
    if (std::find(actions_.begin(), actions_.end(), action) == actions_.end())
        return;
    // The alert stays alive until its handler has run, as it would while animating away.
    auto self = std::static_pointer_cast<UIAlertController>(shared_from_this());
    dismissViewControllerAnimated(true, [self, action] {
        if (action->handler())
            action->handler()(action);
    });
}
