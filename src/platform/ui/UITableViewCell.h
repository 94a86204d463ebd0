#pragma once

// One row of a table (UITableViewCell) as a model: its style, reuse identifier, main text, detail
// text, image and accessory. Drawing the row comes with the table's drawing; here the cell holds
// what the row shows: besides UIKit's properties, a control that fills the row in place of the
// title (a slider, a segmented control), and whether the row takes touches.

#include "platform/ui/UIView.h"

#include <cstdint>
#include <memory>
#include <optional>
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
    // accessoryView: a view at the right of the row (a switch, a text field), shown in place of
    // the accessory type.
    const std::shared_ptr<UIView>& accessoryView() const { return accessoryView_; }
    void setAccessoryView(std::shared_ptr<UIView> view) { accessoryView_ = std::move(view); }
    // A control across the row from the icon to the right margin; the title is not drawn.
    const std::shared_ptr<UIView>& fillingControl() const { return fillingControl_; }
    void setFillingControl(std::shared_ptr<UIView> view) { fillingControl_ = std::move(view); }
    // textLabel.textColor and detailTextLabel.textColor; none: the table's colours.
    const std::optional<UIColor>& textColor() const { return textColor_; }
    void setTextColor(std::optional<UIColor> color) { textColor_ = color; }
    const std::optional<UIColor>& detailTextColor() const { return detailTextColor_; }
    void setDetailTextColor(std::optional<UIColor> color) { detailTextColor_ = color; }
    // A disabled row draws its title dimmed and its controls take no touches.
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled) { enabled_ = enabled; }
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
    std::shared_ptr<UIView> accessoryView_;
    std::shared_ptr<UIView> fillingControl_;
    std::optional<UIColor> textColor_;
    std::optional<UIColor> detailTextColor_;
    bool enabled_ = true;
    bool selected_ = false;
};
