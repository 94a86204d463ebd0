#pragma once

// Shared by the HUD tests: a manual-clock main run loop per test, a system generation that is
// restored afterwards, and drawing one view's own content into an image to look at its pixels.

#include "platform/dispatch/NSRunLoop.h"
#include "platform/foundation/CFVersion.h"
#include "platform/foundation/NSAssertionHandler.h"
#include "platform/graphics/CGContext.h"
#include "platform/graphics/CGImage.h"
#include "platform/layout/NSLayoutEngine.h"
#include "platform/ui/UIView.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <string>

// Sets the system generation for a block of a test and puts the current one back at its end (the
// test's device environment ends the test in the current one anyway).
class ScopedSystemVersion {
public:
    explicit ScopedSystemVersion(double version) { CFSetCoreFoundationVersionNumber(version); }
    ~ScopedSystemVersion() { CFSetCoreFoundationVersionNumber(kCFCoreFoundationVersionNumberCurrent); }
};

// Draws `view`'s drawRect (not its subviews) into a transparent image at `scale` pixels per point.
inline std::shared_ptr<CGImage> drawViewContent(UIView& view, double scale = 1) {
    CGRect b = view.bounds();
    auto image = CGImage::create(static_cast<std::size_t>(std::ceil(b.size.width * scale)),
                                 static_cast<std::size_t>(std::ceil(b.size.height * scale)));
    cairo_t* cr = cairo_create(image->surface());
    auto ctx = CGContext::create(cr);
    cairo_destroy(cr);
    CGContextScaleCTM(ctx, scale, scale);
    CGContext::pushCurrent(ctx);
    ctx->beginCleanState();
    view.drawRect(b);
    CGContext::popCurrent();
    ctx.reset();
    cairo_surface_flush(image->surface());
    return image;
}

// The pixel at a point of the view (scale 1), by its straight components.
inline CGImage::Pixel pixelAtPoint(const CGImage& image, double x, double y, double scale = 1) {
    return image.pixelAt(static_cast<std::size_t>(x * scale), static_cast<std::size_t>(y * scale));
}

inline bool isColor(CGImage::Pixel p, int r, int g, int b, int minAlpha = 200) {
    return std::abs(p.r - r) <= 8 && std::abs(p.g - g) <= 8 && std::abs(p.b - b) <= 8 && p.a >= minAlpha;
}
inline bool isClear(CGImage::Pixel p) {
    return p.a == 0;
}

// Expects `fn` to report an assertion failure with exactly `message`.
inline void expectAssertion(const std::function<void()>& fn, const std::string& message) {
    try {
        fn();
        ADD_FAILURE() << "no assertion failure; expected \"" << message << "\"";
    } catch (const AssertionFailure& e) {
        EXPECT_EQ(std::string(e.what()), message);
    }
}

// Every test of the HUD runs with its own main run loop on a manual clock.
class HudTest : public testing::Test {
protected:
    void SetUp() override {
        NSLayoutEngine::install();
        loop = NSRunLoop::installMain(ManualClock::create(100));
    }
    std::shared_ptr<NSRunLoop> loop;
};
