#pragma once

// What a navigation bar shows for one controller (UINavigationItem): the title, the prompt line
// above it, and the bar button items at either side.

#include "platform/foundation/NSObject.h"
#include "platform/ui/UIBarButtonItem.h"

#include <memory>
#include <string>

class UINavigationItem : public NSObject {
public:
    static std::shared_ptr<UINavigationItem> create(std::string title = {});

    std::string className() const override { return "UINavigationItem"; }

    const std::string& title() const { return title_; }
    void setTitle(std::string title) { title_ = std::move(title); }
    // The line above the title; empty means none.
    const std::string& prompt() const { return prompt_; }
    void setPrompt(std::string prompt) { prompt_ = std::move(prompt); }
    const std::shared_ptr<UIBarButtonItem>& rightBarButtonItem() const { return right_; }
    void setRightBarButtonItem(std::shared_ptr<UIBarButtonItem> item) { right_ = std::move(item); }
    const std::shared_ptr<UIBarButtonItem>& leftBarButtonItem() const { return left_; }
    void setLeftBarButtonItem(std::shared_ptr<UIBarButtonItem> item) { left_ = std::move(item); }

protected:
    UINavigationItem() = default;

private:
    std::string title_;
    std::string prompt_;
    std::shared_ptr<UIBarButtonItem> right_;
    std::shared_ptr<UIBarButtonItem> left_;
};
