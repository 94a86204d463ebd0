// Show-while-executing, the older interface: the task runs on a queue, and the HUD hides on the
// main queue once it has returned.

#include "hud/TQProgressHUD.h"

// MARK: - Show while executing

void TQProgressHUD::showAnimated(bool animated, std::function<void()> task) {
    showAnimated(animated, std::move(task), dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0),
                 nullptr);
}

void TQProgressHUD::showAnimated(bool animated, std::function<void()> task, CompletionBlock completion) {
    showAnimated(animated, std::move(task), dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0),
                 std::move(completion));
}

void TQProgressHUD::showAnimated(bool animated, std::function<void()> task, dispatch_queue_t queue) {
    showAnimated(animated, std::move(task), std::move(queue), nullptr);
}

void TQProgressHUD::showAnimated(bool animated, std::function<void()> task, dispatch_queue_t queue,
                                 CompletionBlock completion) {
    taskInProgress_ = true;
    setCompletionBlock(std::move(completion));
    auto hud = self();
    dispatch_async(queue, [hud, task = std::move(task)] {
        if (task)
            task();
        dispatch_async(dispatch_get_main_queue(), [hud] { hud->cleanUp(); });
    });
    showAnimated(animated);
}

void TQProgressHUD::showWhileExecuting(SEL selector, std::shared_ptr<NSObject> target, PlistValue object,
                                       bool animated) {
    showAnimated(animated,
                 [selector = std::move(selector), target = std::move(target), object = std::move(object)] {
                     if (target)
                         target->performSelector(selector, {object});
                 });
}

void TQProgressHUD::cleanUp() {
    taskInProgress_ = false;
    hideAnimated(useAnimation_);
}
