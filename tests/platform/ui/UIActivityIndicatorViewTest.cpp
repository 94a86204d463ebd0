// The spinner's spokes show the time alone, so on a manual clock it follows only the latest frame
// before anyone looks. What it draws after a long advance must not depend on that.

#include "platform/ui/UIActivityIndicatorView.h"

#include "platform/ui/UIRenderer.h"

#include "support/PixelTesting.h"

#include <gtest/gtest.h>

namespace {

// The spinner after `seconds` of a manual clock, drawn at 2x; with `everyFrame` another observer
// keeps the loop stepping on every frame meanwhile, as an animation would.
CGImageRef spinnerAfter(double seconds, bool everyFrame) {
    auto loop = NSRunLoop::installMain(ManualClock::create());
    FrameSubscription keepsStepping;
    if (everyFrame)
        keepsStepping = loop->addFrameObserver([](double) {});
    auto spinner = UIActivityIndicatorView::create(UIActivityIndicatorViewStyleWhiteLarge);
    spinner->setColor(UIColor::blackColor());
    spinner->startAnimating();
    loop->advanceBy(seconds);
    CGImageRef image = pixels::draw(
        37, 37, [&](const CGContextRef& ctx) { UIRenderer::renderInContext(*spinner, ctx); }, 2);
    keepsStepping.reset();
    spinner->stopAnimating();
    NSRunLoop::installMain(nullptr);
    return image;
}

bool samePixels(const CGImageRef& a, const CGImageRef& b) {
    if (a->width() != b->width() || a->height() != b->height())
        return false;
    for (std::size_t y = 0; y < a->height(); ++y)
        for (std::size_t x = 0; x < a->width(); ++x) {
            CGImage::Pixel p = a->pixelAt(x, y), q = b->pixelAt(x, y);
            if (p.r != q.r || p.g != q.g || p.b != q.b || p.a != q.a)
                return false;
        }
    return true;
}

TEST(UIActivityIndicatorViewTest, ALongAdvanceDrawsTheSpokesOfItsLastFrame) {
    const double seconds = 100.3;
    CGImageRef caughtUp = spinnerAfter(seconds, false);
    EXPECT_TRUE(samePixels(caughtUp, spinnerAfter(seconds, true)));
    // A twelfth of a second later the lit spoke has moved on: the comparison can tell.
    EXPECT_FALSE(samePixels(caughtUp, spinnerAfter(seconds + 1.0 / 12, false)));
}

} // namespace
