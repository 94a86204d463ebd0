#pragma once

// A view that shows an image (UIKit's UIImageView), placed in its bounds by its content mode:
// stretched to fill them by default, or scaled to fit or fill with its aspect ratio kept, or
// set unscaled at a side or corner. Like the platform's, it does not clip unless asked to
// (clipsToBounds), so an aspect-filled image may reach beyond its bounds.
//
//     auto icon = UIImageView::createWithImage(UIImage::imageWithContentsOfFile(path));
//     icon->setContentMode(UIViewContentModeScaleAspectFit);

#include "platform/ui/UIImage.h"
#include "platform/ui/UIView.h"

#include <cstdint>
#include <memory>

enum UIViewContentMode : int64_t {
    UIViewContentModeScaleToFill = 0,
    UIViewContentModeScaleAspectFit = 1,
    UIViewContentModeScaleAspectFill = 2,
    UIViewContentModeRedraw = 3,
    UIViewContentModeCenter = 4,
    UIViewContentModeTop = 5,
    UIViewContentModeBottom = 6,
    UIViewContentModeLeft = 7,
    UIViewContentModeRight = 8,
    UIViewContentModeTopLeft = 9,
    UIViewContentModeTopRight = 10,
    UIViewContentModeBottomLeft = 11,
    UIViewContentModeBottomRight = 12,
};

// Where content of `size` goes inside `bounds` for `mode`: a pure function the image view and
// any other view that places content by mode can share.
CGRect UIViewContentModeRect(UIViewContentMode mode, CGSize size, CGRect bounds);

class UIImageView : public UIView {
public:
    static std::shared_ptr<UIImageView> create(CGRect frame = CGRectZero);
    // A view exactly the image's size (in points), at the origin.
    static std::shared_ptr<UIImageView> createWithImage(std::shared_ptr<UIImage> image);

    std::string className() const override { return "UIImageView"; }

    const std::shared_ptr<UIImage>& image() const { return image_; }
    void setImage(std::shared_ptr<UIImage> image);
    UIViewContentMode contentMode() const { return contentMode_; }
    void setContentMode(UIViewContentMode mode);

    // The image's size in points; without an image, UIViewNoIntrinsicMetric in both dimensions.
    CGSize intrinsicContentSize() const override;
    CGSize sizeThatFits(CGSize size) const override;

    void drawRect(CGRect rect) override;
    bool drawsContent() const override { return image_ != nullptr; }

protected:
    explicit UIImageView(CGRect frame);
    void commonInit() override;

private:
    std::shared_ptr<UIImage> image_;
    UIViewContentMode contentMode_ = UIViewContentModeScaleToFill;
};
