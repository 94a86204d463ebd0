#include "platform/ui/UINavigationItem.h"

std::shared_ptr<UINavigationItem> UINavigationItem::create(std::string title) {
    auto item = std::shared_ptr<UINavigationItem>(new UINavigationItem());
    item->title_ = std::move(title);
    return item;
}
