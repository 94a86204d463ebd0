#pragma once

// An image with a scale (UIKit's UIImage): a bitmap and how many pixels make one point, so an
// icon loaded from "icon@2x.png" measures 29 × 29 points from 58 × 58 pixels. Images draw
// into the current context at a rectangle given in points.
//
//     auto icon = UIImage::imageWithContentsOfFile(bundle + "/icon.png");   // picks icon@2x.png
//     if (icon) icon->drawInRect(CGRectMake(0, 0, 29, 29));

#include "platform/foundation/NSObject.h"
#include "platform/graphics/CGContext.h"
#include "platform/graphics/CGImage.h"

#include <memory>
#include <optional>
#include <string>

class UIImage : public NSObject {
public:
    // Loads a PNG. For "name.png" the variant for the screen's scale ("name@2x.png") is
    // preferred, then the plain file, then the other variants; the "@Nx" suffix of the file
    // that loads sets the scale. The path is a path of the host; callers with device paths
    // resolve them through the file manager first. Null when nothing loads.
    static std::shared_ptr<UIImage> imageWithContentsOfFile(const std::string& path);
    // A PNG held in memory (such as a downloaded icon). Null when the bytes are not a PNG.
    static std::shared_ptr<UIImage> imageWithData(const PlistData& data, CGFloat scale = 1);
    static std::shared_ptr<UIImage> imageWithCGImage(CGImageRef image, CGFloat scale = 1);

    std::string className() const override { return "UIImage"; }

    CGImageRef CGImage() const { return image_; }
    CGFloat scale() const { return scale_; }
    // The size in points: pixels divided by the scale.
    CGSize size() const;

    // Draws into the current context with its blend mode (or the one given) and its alpha.
    void drawInRect(CGRect rect) const;
    void drawInRect(CGRect rect, CGBlendMode blendMode, CGFloat alpha) const;
    void drawAtPoint(CGPoint point) const;
    void drawInRectInContext(const CGContextRef& context, CGRect rect) const;

protected:
    UIImage(CGImageRef image, CGFloat scale);

private:
    void draw(const CGContextRef& context, CGRect rect, std::optional<CGBlendMode> mode, CGFloat alpha) const;

    CGImageRef image_;
    CGFloat scale_;
};

// The image as PNG bytes; empty for a null image.
PlistData UIImagePNGRepresentation(const std::shared_ptr<UIImage>& image);
