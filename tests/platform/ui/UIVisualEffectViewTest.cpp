#include "platform/ui/UIVisualEffectView.h"

#include "platform/ui/UIRenderer.h"

#include "support/PixelTesting.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

namespace {

std::uint32_t grey(std::uint32_t v) {
    return 0xff000000u | v << 16 | v << 8 | v;
}
std::uint32_t red(std::uint32_t p) {
    return (p >> 16) & 0xff;
}

TEST(UIBoxBlurPixelsTest, KeepsFlatAreasExactAndSpreadsAPointEvenly) {
    // Fixed-point division must not drift: flat images of any value come back unchanged.
    for (std::uint32_t v : {0u, 1u, 127u, 254u, 255u}) {
        std::vector<std::uint32_t> flat(40 * 30, grey(v));
        UIBoxBlurPixels(flat, 40, 30, 40, 6);
        for (auto p : flat)
            ASSERT_EQ(p, grey(v)) << "value " << v;
    }

    // One bright pixel in a dark image spreads symmetrically and keeps (nearly) its weight.
    const int w = 41, h = 41;
    std::vector<std::uint32_t> dot(w * h, grey(0));
    dot[20 * w + 20] = grey(255);
    for (auto& p : dot)
        p = (p & 0x00ffffffu) | 0xff000000u;
    UIBoxBlurPixels(dot, w, h, w, 2, 1);
    EXPECT_EQ(red(dot[20 * w + 18]), red(dot[20 * w + 22]));
    EXPECT_EQ(red(dot[18 * w + 20]), red(dot[22 * w + 20]));
    EXPECT_GT(red(dot[20 * w + 20]), 0u);
    EXPECT_EQ(red(dot[20 * w + 23]), 0u) << "a radius-2 box reaches two pixels, no further";
    int total =
        std::accumulate(dot.begin(), dot.end(), 0, [](int s, std::uint32_t p) { return s + int(red(p)); });
    EXPECT_NEAR(total, 255, 25);

    // Lines shorter than the radius, and a single pixel, repeat their ends.
    std::vector<std::uint32_t> tiny{grey(10), grey(30)};
    UIBoxBlurPixels(tiny, 2, 1, 2, 50);
    EXPECT_NEAR(red(tiny[0]), 20, 1);
    EXPECT_NEAR(red(tiny[1]), 20, 1);
    std::vector<std::uint32_t> one{grey(77)};
    UIBoxBlurPixels(one, 1, 1, 1, 3);
    EXPECT_EQ(one[0], grey(77));
    // Bad sizes are refused without touching memory.
    UIBoxBlurPixels(one, 2, 2, 2, 3);
    EXPECT_EQ(one[0], grey(77));
}

TEST(UIVisualEffectViewTest, BlursWhatLiesBehindItOnlyInsideItsBounds) {
    // Black on the left half, white on the right; the effect view covers the middle band.
    auto root = UIView::create(CGRectMake(0, 0, 200, 100));
    root->setBackgroundColor(UIColor::whiteColor());
    auto black = UIView::create(CGRectMake(0, 0, 100, 100));
    black->setBackgroundColor(UIColor::blackColor());
    root->addSubview(black);
    auto effect = UIBlurEffect::effectWithStyle(UIBlurEffectStyleLight);
    auto blur = UIVisualEffectView::create(effect);
    blur->setFrame(CGRectMake(40, 30, 120, 40));
    root->addSubview(blur);
    for (double scale : {1.0, 2.0}) {
        UIRenderer renderer(scale);
        CGImageRef image = renderer.renderFrame(*root);
        auto at = [&](double x, double y) { return pixels::at(image, x, y, scale); };
        // Outside the view the edge stays sharp.
        EXPECT_LT(at(98, 10).r, 5) << scale;
        EXPECT_GT(at(102, 10).r, 250) << scale;
        // Inside, the edge becomes a ramp from dark to light...
        int left = at(92, 50).r, middle = at(100, 50).r, right = at(108, 50).r;
        EXPECT_LT(left, middle) << scale;
        EXPECT_LT(middle, right) << scale;
        EXPECT_GT(middle, 60) << scale;
        EXPECT_LT(middle, 200) << scale;
        // ...while far from it the colours keep their shade under the light tint.
        EXPECT_LT(at(45, 50).r, 100) << scale;
        EXPECT_GT(at(155, 50).r, 240) << scale;
    }

    // A view hanging off the surface's edges reads only what exists.
    blur->setFrame(CGRectMake(-50, -50, 300, 120));
    CGImageRef image = UIRenderer(2).renderFrame(*root);
    EXPECT_GT(pixels::at(image, 150, 20, 2).r, 200);
    EXPECT_LT(pixels::at(image, 20, 20, 2).r, 120);
}

} // namespace
