#pragma once

// One row of a table (UITableViewCell) as a model: its style, reuse identifier, main text, detail
// text, image and accessory. Drawing the row comes with the table's drawing; here the cell holds
// what the row shows.

#include "platform/ui/UIView.h"

#include <cstdint>
#include <memory>
#include <string>

class UIImage;

enum UITableViewCellStyle : std::int64_t {
    UITableViewCellStyleDefault = 0,
    UITableViewCellStyleValue1 = 1,
    UITableViewCellStyleValue2 = 2,
    UITableViewCellStyleSubtitle = 3,
};

enum UITableViewCellAccessoryType : std::int64_t {
    UITableViewCellAccessoryNone = 0,
    UITableViewCellAccessoryDisclosureIndicator = 1,
    UITableViewCellAccessoryDetailDisclosureButton = 2,
    UITableViewCellAccessoryCheckmark = 3,
};

class UITableViewCell : public UIView {
public:
    // initWithStyle:reuseIdentifier:
    static std::shared_ptr<UITableViewCell> create(UITableViewCellStyle style, std::string reuseIdentifier);

    std::string className() const override { return "UITableViewCell"; }
    std::string accessibilityText() const override { return text_; }

    UITableViewCellStyle style() const { return style_; }
    const std::string& reuseIdentifier() const { return reuseIdentifier_; }

    // textLabel.text, detailTextLabel.text, imageView.image.
    const std::string& text() const { return text_; }
    void setText(std::string text);
    const std::string& detailText() const { return detailText_; }
    void setDetailText(std::string text);
    const std::shared_ptr<UIImage>& image() const { return image_; }
    void setImage(std::shared_ptr<UIImage> image);

    UITableViewCellAccessoryType accessoryType() const { return accessoryType_; }
    void setAccessoryType(UITableViewCellAccessoryType type) { accessoryType_ = type; }
    bool isSelected() const { return selected_; }
    void setSelected(bool selected) { selected_ = selected; }

protected:
    UITableViewCell(UITableViewCellStyle style, std::string reuseIdentifier);

private:
    UITableViewCellStyle style_;
    std::string reuseIdentifier_;
    std::string text_;
    std::string detailText_;
    std::shared_ptr<UIImage> image_;
    UITableViewCellAccessoryType accessoryType_ = UITableViewCellAccessoryNone;
    bool selected_ = false;
};
