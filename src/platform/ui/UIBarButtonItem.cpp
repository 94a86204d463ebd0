#include "platform/ui/UIBarButtonItem.h"

std::shared_ptr<UIBarButtonItem> UIBarButtonItem::create(std::string title, UIBarButtonItemStyle style,
                                                         const std::shared_ptr<NSObject>& target,
                                                         SEL action) {
    auto item = std::shared_ptr<UIBarButtonItem>(new UIBarButtonItem());
    item->title_ = std::move(title);
    item->style_ = style;
    item->target_ = target;
    item->action_ = std::move(action);
    return item;
}
