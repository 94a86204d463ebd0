#pragma once

// The bar at the top of a navigation controller's screen (UIKit's UINavigationBar), in the iOS
// Settings look: a light translucent grey band under the status bar with a hairline at its
// bottom; the top item's title in bold at the centre, its prompt (when it has one) on a line
// of its own above, and its bar buttons at the sides as tinted text (the done style in bold).
// The bar's frame includes the 20-point status bar, which shows the time.
//
// The bar shows a UINavigationItem, which carries no change notices: `syncWithItem` (called by
// the window before each frame) rebuilds what changed since the last look.
//
//     auto bar = UINavigationBar::create(CGRectMake(0, 0, 375, 64));
//     bar->setItem(controller->navigationItem());

#include "platform/ui/UIButton.h"
#include "platform/ui/UINavigationItem.h"
#include "platform/ui/UIView.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

class UINavigationBar : public UIView {
public:
    static constexpr CGFloat kStatusBarHeight = 20;
    static constexpr CGFloat kBarHeight = 44;
    static constexpr CGFloat kPromptHeight = 30;

    static std::shared_ptr<UINavigationBar> create(CGRect frame = CGRectZero);

    std::string className() const override { return "UINavigationBar"; }

    const std::shared_ptr<UINavigationItem>& topItem() const { return item_; }
    void setItem(std::shared_ptr<UINavigationItem> item);
    // Compares the item with what the bar shows and rebuilds the difference; answers whether
    // anything changed (the bar's height may have, with a prompt that came or went).
    bool syncWithItem();
    // The height of the whole bar, status bar included, for an item.
    static CGFloat heightForItem(const UINavigationItem* item);

    // The back button, shown at the left when the item has no left button of its own: "‹" and the
    // title of the screen underneath (none: no back button). A tap runs `onBack`.
    void setBackTitle(std::optional<std::string> title, std::function<void()> onBack);
    const std::optional<std::string>& backTitle() const { return backTitle_; }

    // The button views of the bar buttons (null where the item has none).
    const std::shared_ptr<UIButton>& leftButton() const { return left_; }
    const std::shared_ptr<UIButton>& rightButton() const { return right_; }

    void layoutSubviews() override;
    void drawRect(CGRect rect) override;
    bool drawsContent() const override { return true; }
    std::string accessibilityText() const override { return shownTitle_; }

protected:
    explicit UINavigationBar(CGRect frame) : UIView(frame) {}
    void commonInit() override;

private:
    std::shared_ptr<UIButton> makeButton(const std::shared_ptr<UIBarButtonItem>& item);
    struct Shown {
        std::string title;
        std::string prompt;
        std::string leftTitle, rightTitle;
        UIBarButtonItemStyle leftStyle = UIBarButtonItemStylePlain, rightStyle = UIBarButtonItemStylePlain;
        const UIBarButtonItem* leftItem = nullptr;
        const UIBarButtonItem* rightItem = nullptr;
        std::optional<std::string> backTitle;
        bool operator==(const Shown&) const = default;
    };
    static Shown describe(const UINavigationItem* item);

    std::shared_ptr<UINavigationItem> item_;
    Shown shown_;
    bool stale_ = true; // a new item: rebuild whatever it shows
    std::string shownTitle_;
    std::shared_ptr<UILabel> titleLabel_;
    std::shared_ptr<UILabel> promptLabel_;
    std::shared_ptr<UIButton> left_;
    std::shared_ptr<UIButton> right_;
    std::optional<std::string> backTitle_;
    std::function<void()> onBack_;
};
