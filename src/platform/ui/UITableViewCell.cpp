#include "platform/ui/UITableViewCell.h"

std::shared_ptr<UITableViewCell> UITableViewCell::create(UITableViewCellStyle style,
                                                         std::string reuseIdentifier) {
    auto cell = std::shared_ptr<UITableViewCell>(new UITableViewCell(style, std::move(reuseIdentifier)));
    cell->commonInit();
    return cell;
}

UITableViewCell::UITableViewCell(UITableViewCellStyle style, std::string reuseIdentifier)
    : UIView(CGRectMake(0, 0, 320, 44)), style_(style), reuseIdentifier_(std::move(reuseIdentifier)) {}

void UITableViewCell::setText(std::string text) {
    text_ = std::move(text);
    setNeedsDisplay();
}

void UITableViewCell::setDetailText(std::string text) {
    detailText_ = std::move(text);
    setNeedsDisplay();
}

void UITableViewCell::setImage(std::shared_ptr<UIImage> image) {
    image_ = std::move(image);
    setNeedsDisplay();
}
