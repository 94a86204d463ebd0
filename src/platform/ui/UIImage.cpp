#include "platform/ui/UIImage.h"

#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSLog.h"
#include "platform/ui/UIGraphics.h"

#include <cairo.h>

#include <cmath>
#include <filesystem>

namespace {
// The scale a file name announces with its "@2x" or "@3x" suffix; 1 without one.
CGFloat scaleFromName(const std::filesystem::path& p) {
    std::string stem = p.stem().string();
    std::size_t n = stem.size();
    if (n >= 3 && stem[n - 3] == '@' && stem[n - 1] == 'x' && stem[n - 2] >= '1' && stem[n - 2] <= '9')
        return stem[n - 2] - '0';
    return 1;
}

std::vector<std::filesystem::path> candidates(const std::filesystem::path& p) {
    if (scaleFromName(p) != 1 || p.stem().string().ends_with("@1x"))
        return {p};
    int preferred = static_cast<int>(std::lround(UIGraphicsScreenScale()));
    auto variant = [&](int s) {
        auto v = p;
        v.replace_filename(p.stem().string() + "@" + std::to_string(s) + "x" + p.extension().string());
        return v;
    };
    std::vector<std::filesystem::path> out;
    if (preferred > 1)
        out.push_back(variant(preferred));
    out.push_back(p);
    for (int s : {2, 3})
        if (s != preferred)
            out.push_back(variant(s));
    return out;
}

CGFloat usableScale(CGFloat scale) {
    return std::isfinite(scale) && scale > 0 ? scale : 1;
}
} // namespace

UIImage::UIImage(CGImageRef image, CGFloat scale)
    : image_(std::move(image)), pixelWidth_(image_->width()), pixelHeight_(image_->height()),
      scale_(usableScale(scale)) {}

UIImage::UIImage(std::string path, PlistData bytes, CGImage::Size pixels, CGFloat scale)
    : path_(std::move(path)), bytes_(std::move(bytes)), pixelWidth_(pixels.width),
      pixelHeight_(pixels.height), scale_(usableScale(scale)) {}

std::shared_ptr<UIImage> UIImage::imageWithContentsOfFile(const std::string& path) {
    if (path.empty())
        return nullptr;
    for (const auto& candidate : candidates(path)) {
        if (auto header = CGImage::pngHeaderOfFile(candidate.string()))
            return std::shared_ptr<UIImage>(
                new UIImage(candidate.string(), {}, *header, scaleFromName(candidate)));
    }
    return nullptr;
}

std::shared_ptr<UIImage> UIImage::imageWithContentsOfDeviceFile(std::shared_ptr<NSFileManager> files,
                                                                std::string path, CGFloat scale,
                                                                std::size_t maxBytes) {
    if (!files || path.empty())
        return nullptr;
    auto head = files->headOfFileAtPath(path, CGImage::kPNGHeaderBytes, nullptr, maxBytes);
    return imageWithHeadOfDeviceFile(std::move(files), std::move(path), head, scale, maxBytes);
}

std::shared_ptr<UIImage>
UIImage::imageWithHeadOfDeviceFile(std::shared_ptr<NSFileManager> files, std::string path,
                                   const std::optional<std::vector<std::uint8_t>>& head, CGFloat scale,
                                   std::size_t maxBytes) {
    if (!files || path.empty())
        return nullptr;
    auto header = head ? CGImage::pngHeaderOfData(*head) : std::nullopt;
    if (!header)
        return nullptr;
    auto image = std::shared_ptr<UIImage>(new UIImage(std::move(path), {}, *header, scale));
    image->files_ = std::move(files);
    image->maxBytes_ = maxBytes;
    return image;
}

std::shared_ptr<UIImage> UIImage::imageWithData(const PlistData& data, CGFloat scale) {
    auto header = CGImage::pngHeaderOfData(data);
    if (!header)
        return nullptr;
    return std::shared_ptr<UIImage>(new UIImage({}, data, *header, scale));
}

std::shared_ptr<UIImage> UIImage::imageWithCGImage(CGImageRef image, CGFloat scale) {
    if (!image)
        return nullptr;
    return std::shared_ptr<UIImage>(new UIImage(std::move(image), scale));
}

CGImageRef UIImage::CGImage() const {
    std::call_once(decodeOnce_, [this] { decode(); });
    return image_;
}

void UIImage::decode() const {
    if (image_)
        return;
    if (files_) {
        image_ = decodeDeviceFile();
        files_.reset();
        return;
    }
    bool fromFile = !path_.empty();
    CGImageRef decoded = fromFile ? CGImage::createFromPNGFile(path_) : CGImage::createFromPNGData(bytes_);
    // A file rewritten since its header was read may now hold another image; only the one whose
    // size this image already answered is taken.
    if (decoded && decoded->width() == pixelWidth_ && decoded->height() == pixelHeight_)
        image_ = std::move(decoded);
    else if (fromFile)
        NSLog("UIImage: %@ does not decode as a PNG; it draws nothing", {path_});
    else
        NSLog("UIImage: PNG data of %@ bytes does not decode; it draws nothing",
              {static_cast<std::int64_t>(bytes_.size())});
    PlistData().swap(bytes_);
}

CGImageRef UIImage::decodeDeviceFile() const {
    std::shared_ptr<NSError> error;
    auto bytes = files_->contentsAtPath(path_, &error, maxBytes_);
    if (!bytes) {
        NSLog("UIImage: %@ can no longer be read (%@); it draws nothing",
              {path_, error ? error->localizedDescription() : std::string()});
        return nullptr;
    }
    // The file may have been replaced since its header was read; only an image of the size this
    // one already answered is taken, and the bounds on its pixels are checked on its own header.
    CGImageRef decoded = CGImage::createFromPNGData(*bytes);
    if (decoded && decoded->width() == pixelWidth_ && decoded->height() == pixelHeight_)
        return decoded;
    NSLog("UIImage: %@ does not decode as a PNG of the size it had; it draws nothing", {path_});
    return nullptr;
}

CGSize UIImage::size() const {
    return {static_cast<CGFloat>(pixelWidth_) / scale_, static_cast<CGFloat>(pixelHeight_) / scale_};
}

void UIImage::drawInRect(CGRect rect) const {
    draw(CGContext::current(), rect, std::nullopt, 1);
}
void UIImage::drawInRect(CGRect rect, CGBlendMode blendMode, CGFloat alpha) const {
    draw(CGContext::current(), rect, blendMode, alpha);
}
void UIImage::drawAtPoint(CGPoint point) const {
    draw(CGContext::current(), {point, size()}, std::nullopt, 1);
}
void UIImage::drawInRectInContext(const CGContextRef& context, CGRect rect) const {
    draw(context, rect, std::nullopt, 1);
}

void UIImage::draw(const CGContextRef& c, CGRect rect, std::optional<CGBlendMode> mode, CGFloat alpha) const {
    if (!c || !c->canPaint() || rect.width() <= 0 || rect.height() <= 0)
        return;
    if (!std::isfinite(rect.origin.x) || !std::isfinite(rect.origin.y) || !std::isfinite(rect.size.width) ||
        !std::isfinite(rect.size.height))
        return;
    CGImageRef image = CGImage();
    if (!image)
        return;
    c->saveGState();
    if (mode)
        CGContextSetBlendMode(c, *mode);
    cairo_t* cr = c->cairo();
    cairo_new_path(cr);
    cairo_translate(cr, rect.minX(), rect.minY());
    cairo_scale(cr, rect.width() / static_cast<CGFloat>(image->width()),
                rect.height() / static_cast<CGFloat>(image->height()));
    cairo_set_source_surface(cr, image->surface(), 0, 0);
    // Edge pixels extend instead of fading into transparent at the image's border.
    cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
    cairo_rectangle(cr, 0, 0, static_cast<CGFloat>(image->width()), static_cast<CGFloat>(image->height()));
    cairo_clip(cr);
    cairo_paint_with_alpha(cr, std::clamp(alpha * c->state().alpha, 0.0, 1.0));
    c->restoreGState();
}

PlistData UIImagePNGRepresentation(const std::shared_ptr<UIImage>& image) {
    if (!image)
        return {};
    CGImageRef pixels = image->CGImage();
    return pixels ? pixels->PNGData() : PlistData{};
}
