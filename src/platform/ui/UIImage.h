#pragma once

// An image with a scale (UIKit's UIImage): a bitmap and how many pixels make one point, so an
// icon loaded from "icon@2x.png" measures 29 × 29 points from 58 × 58 pixels. Images draw
// into the current context at a rectangle given in points.
//
// An image made from a file or from PNG bytes reads only the PNG's header when it is made: its
// size is known at once, and its pixels are decoded the first time they are needed (a draw,
// CGImage(), UIImagePNGRepresentation), once, from whichever thread asks first, and kept. A list
// of hundreds of icons thus decodes only those that are drawn. A body that does not decode leaves
// an image that keeps its size, draws nothing and has no CGImage.
//
// A file of the simulated device is read through its file manager, so it never reaches outside
// the device root: its header when the image is made, and the whole file again when the pixels
// are first needed. No file stays open in between, so a list of hundreds of icons holds no
// descriptors; a file that has gone or changed by then draws its new pixels when they have the
// size already answered, and nothing otherwise.
//
//     auto icon = UIImage::imageWithContentsOfFile(bundle + "/icon.png");   // picks icon@2x.png
//     if (icon) icon->drawInRect(CGRectMake(0, 0, 29, 29));

#include "platform/foundation/NSObject.h"
#include "platform/graphics/CGContext.h"
#include "platform/graphics/CGImage.h"

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class NSFileManager;

class UIImage : public NSObject {
public:
    // Loads a PNG. For "name.png" the variant for the screen's scale ("name@2x.png") is
    // preferred, then the plain file, then the other variants; the "@Nx" suffix of the file
    // that loads sets the scale. The path is a path of the host; callers with device paths
    // resolve them through the file manager first. Null when nothing loads.
    static std::shared_ptr<UIImage> imageWithContentsOfFile(const std::string& path);
    // The PNG at a device path of `files`, exactly that file (no variant is looked for), at
    // `scale`. Null when the file cannot be read, is larger than `maxBytes`, or does not begin
    // with a PNG header. Its pixels are read when first needed, at most `maxBytes` of the file;
    // a file that can then no longer be read or decoded draws nothing and says so once in the log.
    static std::shared_ptr<UIImage> imageWithContentsOfDeviceFile(std::shared_ptr<NSFileManager> files,
                                                                  std::string path, CGFloat scale,
                                                                  std::size_t maxBytes);
    // The same for a file whose head the caller has read already, as `files` reads a head
    // (headOfFileAtPath, CGImage::kPNGHeaderBytes of it, refused over `maxBytes`): none when that
    // read failed. A reader of many icons reads their heads in one batch and makes them so.
    static std::shared_ptr<UIImage>
    imageWithHeadOfDeviceFile(std::shared_ptr<NSFileManager> files, std::string path,
                              const std::optional<std::vector<std::uint8_t>>& head, CGFloat scale,
                              std::size_t maxBytes);
    // A PNG held in memory (such as a downloaded icon), kept until it is decoded. Null when the
    // bytes do not begin with a PNG header.
    static std::shared_ptr<UIImage> imageWithData(const PlistData& data, CGFloat scale = 1);
    static std::shared_ptr<UIImage> imageWithCGImage(CGImageRef image, CGFloat scale = 1);

    std::string className() const override { return "UIImage"; }

    // The bitmap, decoded now if it was not yet; null when the image's PNG did not decode.
    CGImageRef CGImage() const;
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
    UIImage(std::string path, PlistData bytes, CGImage::Size pixels, CGFloat scale);

    void draw(const CGContextRef& context, CGRect rect, std::optional<CGBlendMode> mode, CGFloat alpha) const;
    void decode() const;
    CGImageRef decodeDeviceFile() const;

    // Set once by decode() under decodeOnce_ (or at construction for a given bitmap); read only
    // after the once has run, which orders the write before every read on any thread.
    mutable std::once_flag decodeOnce_;
    mutable CGImageRef image_;
    // Where the pixels come from until they are decoded: a file of the host, a file of the device
    // (path_ read through files_, at most maxBytes_ of it), or bytes in memory.
    mutable std::string path_;
    mutable std::shared_ptr<NSFileManager> files_;
    std::size_t maxBytes_ = 0;
    mutable PlistData bytes_;
    std::size_t pixelWidth_, pixelHeight_;
    CGFloat scale_;
};

// The image as PNG bytes; empty for a null image or one whose PNG did not decode.
PlistData UIImagePNGRepresentation(const std::shared_ptr<UIImage>& image);
