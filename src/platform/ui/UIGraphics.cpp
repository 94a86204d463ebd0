#include "platform/ui/UIGraphics.h"

#include "platform/foundation/DeviceEnvironment.h"
#include "platform/foundation/NSLog.h"

#include <cairo.h>

#include <atomic>
#include <cmath>
#include <vector>

namespace {
struct ImageContext {
    CGContextRef context; // null for a context that could not be made
    CGImageRef image;
    CGFloat scale = 1;
};

// Image contexts are drawing state of the thread that began them, like the context stack.
thread_local std::vector<ImageContext> tImageContexts;

// The scale that a scale of 0 stands for is the device's, so each device environment keeps one.
// Drawing on any thread reads it.
struct GraphicsScreenScale : DeviceEnvironment::Part {
    std::atomic<double> scale{2.0};
};

std::atomic<double>& screenScale() {
    return DeviceEnvironment::current().part<GraphicsScreenScale>().scale;
}
} // namespace

CGContextRef UIGraphicsGetCurrentContext() {
    return CGContext::current();
}
void UIGraphicsPushContext(CGContextRef context) {
    CGContext::pushCurrent(std::move(context));
}
void UIGraphicsPopContext() {
    CGContext::popCurrent();
}

CGFloat UIGraphicsScreenScale() {
    return screenScale().load(std::memory_order_relaxed);
}
void UIGraphicsSetScreenScale(CGFloat scale) {
    if (std::isfinite(scale) && scale > 0)
        screenScale().store(scale, std::memory_order_relaxed);
}

void UIGraphicsBeginImageContextWithOptions(CGSize size, bool opaque, CGFloat scale) {
    if (!(scale > 0) || !std::isfinite(scale))
        scale = UIGraphicsScreenScale();
    ImageContext entry;
    entry.scale = scale;
    CGFloat w = std::ceil(size.width * scale), h = std::ceil(size.height * scale);
    if (w >= 1 && h >= 1 && w <= 32767 && h <= 32767)
        entry.image = CGImage::create(static_cast<std::size_t>(w), static_cast<std::size_t>(h), opaque);
    if (entry.image) {
        cairo_t* cr = cairo_create(entry.image->surface());
        cairo_scale(cr, scale, scale);
        entry.context = CGContext::create(cr);
        cairo_destroy(cr);
    } else {
        NSLog("UIGraphicsBeginImageContext: no image context for size {%@, %@} at scale %@",
              {size.width, size.height, scale});
    }
    CGContext::pushCurrent(entry.context);
    tImageContexts.push_back(std::move(entry));
}

void UIGraphicsBeginImageContext(CGSize size) {
    UIGraphicsBeginImageContextWithOptions(size, false, 1);
}

std::shared_ptr<UIImage> UIGraphicsGetImageFromCurrentImageContext() {
    if (tImageContexts.empty() || !tImageContexts.back().image)
        return nullptr;
    const ImageContext& top = tImageContexts.back();
    return UIImage::imageWithCGImage(top.image->copy(), top.scale);
}

void UIGraphicsEndImageContext() {
    if (tImageContexts.empty()) {
        NSLog("UIGraphicsEndImageContext() called without a current image context");
        return;
    }
    CGContext::removeCurrent(tImageContexts.back().context);
    tImageContexts.pop_back();
}

void UIRectFill(CGRect rect) {
    CGContextFillRect(UIGraphicsGetCurrentContext(), rect);
}

void UIColorSet(const UIColor& color) {
    CGContextRef c = UIGraphicsGetCurrentContext();
    CGContextSetFillColorWithColor(c, color.rgba);
    CGContextSetStrokeColorWithColor(c, color.rgba);
}
void UIColorSetFill(const UIColor& color) {
    CGContextSetFillColorWithColor(UIGraphicsGetCurrentContext(), color.rgba);
}
void UIColorSetStroke(const UIColor& color) {
    CGContextSetStrokeColorWithColor(UIGraphicsGetCurrentContext(), color.rgba);
}
