#include "platform/ui/UIVisualEffectView.h"

#include "platform/ui/UIRenderer.h"
#include "platform/ui/UIToolbar.h"
#include "platform/ui/layers/CALayer.h"

#include "support/PixelTesting.h"

#include <gtest/gtest.h>

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <numeric>
#include <tuple>
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

// The test pattern of the comparisons below, 200 × 120 points at 2x: red waves slowly across (a
// smooth region), blue is a sharp bar 20 points wide, green is flat.
CGImageRef wavesAndBar() {
    return pixels::draw(
        200, 120,
        [](const CGContextRef& ctx) {
            cairo_t* cr = ctx->cairo();
            for (int x = 0; x < 400; ++x) {
                const double red = 0.5 + 0.4 * std::sin(2 * std::numbers::pi * x / 160.0);
                const double blue = x >= 180 && x < 220 ? 1 : 0;
                cairo_set_source_rgb(cr, red, 0.5, blue);
                cairo_rectangle(cr, x / 2.0, 0, 0.5, 120);
                cairo_fill(cr);
            }
        },
        2);
}

// One row of channel `c` (0 blue ... 3 alpha) blurred by the exact Gaussian of `sigma` pixels, its
// ends repeated as the backdrop blur repeats them.
std::vector<double> gaussianRow(const CGImageRef& image, int y, int c, double sigma) {
    const int w = static_cast<int>(image->width()), reach = static_cast<int>(std::ceil(4 * sigma));
    std::vector<double> out(static_cast<std::size_t>(w));
    for (int x = 0; x < w; ++x) {
        double sum = 0, weights = 0;
        for (int k = -reach; k <= reach; ++k) {
            const double weight = std::exp(-k * k / (2 * sigma * sigma));
            const auto p = image->pixelAt(static_cast<std::size_t>(std::clamp(x + k, 0, w - 1)),
                                          static_cast<std::size_t>(y));
            const int values[4] = {p.b, p.g, p.r, p.a};
            sum += weight * values[c], weights += weight;
        }
        out[static_cast<std::size_t>(x)] = sum / weights;
    }
    return out;
}

int channelOf(const CGImageRef& image, int x, int y, int c) {
    const auto p = image->pixelAt(static_cast<std::size_t>(x), static_cast<std::size_t>(y));
    const int values[4] = {p.b, p.g, p.r, p.a};
    return values[c];
}

// The first x on the bar's left flank where a row reaches `fraction` of its peak.
double crossing(const std::vector<double>& row, double fraction) {
    const double peak = *std::max_element(row.begin(), row.end());
    for (std::size_t x = 0; x < row.size(); ++x)
        if (row[x] >= fraction * peak)
            return static_cast<double>(x);
    return NAN;
}

TEST(UIDrawBackdropBlurTest, LooksLikeTheExactGaussian) {
    CGImageRef image = wavesAndBar();
    const CGImageRef original = pixels::draw(
        200, 120, [&](const CGContextRef&) {}, 2);
    cairo_t* copy = cairo_create(original->surface());
    cairo_set_source_surface(copy, image->surface(), 0, 0);
    cairo_paint(copy);
    cairo_destroy(copy);
    cairo_surface_flush(original->surface());

    // The whole image is the backdrop; a radius of 20 points at 2x is a standard deviation of
    // 13.3 pixels. The pattern varies only across, so a row blurred by a one-dimensional Gaussian
    // is the exact answer (a Gaussian blurs each direction on its own).
    cairo_t* cr = cairo_create(image->surface());
    cairo_scale(cr, 2, 2);
    UIDrawBackdropBlur(CGContext::create(cr), CGRectMake(0, 0, 200, 120), 20);
    cairo_destroy(cr);
    cairo_surface_flush(image->surface());
    const double sigma = 20.0 * 2 / 3;
    const int y = 120;

    // Smooth regions: three boxes of the same variance differ from the Gaussian by well under a
    // percent of a wave's amplitude; reduction and enlargement add rounding of about a level. A
    // difference of 3 levels in 255 is below what the eye tells apart in a blur.
    const auto red = gaussianRow(original, y, 2, sigma);
    double total = 0;
    int count = 0;
    for (int x = 40; x < 140; ++x, ++count)
        total += std::abs(channelOf(image, x, y, 2) - red[static_cast<std::size_t>(x)]);
    EXPECT_LE(total / count, 3.0);
    for (int x = 40; x < 140; ++x)
        EXPECT_NEAR(channelOf(image, x, y, 1), 128, 1) << "a flat channel stays flat at " << x;

    // The sharp bar: the ramp from 10% to 90% of the peak is as wide as the Gaussian's (2.56
    // standard deviations, 34 pixels) within a tenth, and no pixel strays far from it.
    const auto blue = gaussianRow(original, y, 0, sigma);
    std::vector<double> ours(blue.size());
    double worst = 0;
    for (std::size_t x = 0; x < ours.size(); ++x) {
        ours[x] = channelOf(image, static_cast<int>(x), y, 0);
        worst = std::max(worst, std::abs(ours[x] - blue[x]));
    }
    const double want = crossing(blue, 0.9) - crossing(blue, 0.1);
    const double have = crossing(ours, 0.9) - crossing(ours, 0.1);
    EXPECT_NEAR(have, want, 0.1 * want);
    EXPECT_NEAR(*std::max_element(ours.begin(), ours.end()), *std::max_element(blue.begin(), blue.end()), 8);
    EXPECT_LE(worst, 10);
}

TEST(UIDrawBackdropBlurTest, KeepsFlatColourExactTransparencyClearAndEdgesBright) {
    // A solid colour, blurred whole: every pixel, corners and edges included, keeps the colour
    // exactly (edges repeat their pixels rather than fading towards transparent black).
    for (double scale : {1.0, 2.0, 3.0}) {
        CGImageRef image = pixels::draw(
            90, 70,
            [](const CGContextRef& ctx) {
                CGContextSetFillColorWithColor(ctx, UIColor::colorWithRed(0.2, 0.6, 0.9, 1).rgba);
                CGContextFillRect(ctx, CGRectMake(0, 0, 90, 70));
                UIDrawBackdropBlur(ctx, CGRectMake(0, 0, 90, 70), 20);
            },
            scale);
        const auto expected = image->pixelAt(0, 0);
        EXPECT_EQ(int(expected.b), int(std::lround(0.9 * 255))) << scale;
        for (std::size_t y = 0; y < image->height(); ++y)
            for (std::size_t x = 0; x < image->width(); ++x) {
                const auto p = image->pixelAt(x, y);
                ASSERT_TRUE(p.r == expected.r && p.g == expected.g && p.b == expected.b && p.a == 255)
                    << p << " at " << x << "," << y << " scale " << scale;
            }
    }

    // A transparent backdrop stays transparent, and a square in its middle spreads only its own
    // reach: far from it nothing appears.
    CGImageRef image = pixels::draw(
        200, 200,
        [](const CGContextRef& ctx) {
            CGContextSetFillColorWithColor(ctx, UIColor::colorWithRed(1, 0, 0, 1).rgba);
            CGContextFillRect(ctx, CGRectMake(90, 90, 20, 20));
            UIDrawBackdropBlur(ctx, CGRectMake(0, 0, 200, 200), 20);
        },
        2);
    EXPECT_EQ(pixels::count(image, 0, 0, 400, 400, [](auto p) { return p.a > 0 && p.r == 0; }), 0)
        << "premultiplied: no pixel gains alpha without colour";
    EXPECT_EQ(pixels::count(image, 0, 0, 400, 60, [](auto p) { return p.a != 0; }), 0);
    EXPECT_GT(pixels::at(image, 100, 100, 2).a, 100);
    EXPECT_LT(pixels::at(image, 100, 100, 2).a, 255);
}

TEST(UIVisualEffectViewTest, ShowsTheBackdropOfEachFrameNotAnEarlierOne) {
    // The view keeps its last blur; a frame whose backdrop changed must not show the old one.
    auto root = UIView::create(CGRectMake(0, 0, 200, 100));
    root->setBackgroundColor(UIColor::whiteColor());
    auto behind = UIView::create(CGRectMake(0, 0, 200, 100));
    behind->setBackgroundColor(UIColor::blackColor());
    root->addSubview(behind);
    auto blur = UIVisualEffectView::create(UIBlurEffect::effectWithStyle(UIBlurEffectStyleDark));
    blur->setFrame(CGRectMake(40, 20, 120, 60));
    root->addSubview(blur);
    UIRenderer renderer(2);
    const auto dark = pixels::at(renderer.renderFrame(*root), 100, 50, 2);
    const auto again = pixels::at(renderer.renderFrame(*root), 100, 50, 2);
    EXPECT_EQ(dark.r, again.r);
    behind->setBackgroundColor(UIColor::whiteColor());
    const auto light = pixels::at(renderer.renderFrame(*root), 100, 50, 2);
    EXPECT_GT(light.r, dark.r + 50) << dark << " then " << light;
    behind->setBackgroundColor(UIColor::blackColor());
    EXPECT_EQ(pixels::at(renderer.renderFrame(*root), 100, 50, 2).r, dark.r);
}

TEST(UIVisualEffectViewTest, ATranslucentToolbarShowsTheBackdropOfEachFrame) {
    // The toolbar keeps its last blur as an effect view does, and must drop it just the same.
    auto root = UIView::create(CGRectMake(0, 0, 200, 100));
    auto behind = UIView::create(CGRectMake(0, 0, 200, 100));
    behind->setBackgroundColor(UIColor::blackColor());
    root->addSubview(behind);
    auto bar = UIToolbar::create(CGRectMake(0, 56, 200, 44));
    root->addSubview(bar);
    UIRenderer renderer(2);
    const auto dark = pixels::at(renderer.renderFrame(*root), 100, 78, 2);
    behind->setBackgroundColor(UIColor::whiteColor());
    const auto light = pixels::at(renderer.renderFrame(*root), 100, 78, 2);
    EXPECT_GT(light.r, dark.r + 20) << dark << " then " << light;
    behind->setBackgroundColor(UIColor::blackColor());
    EXPECT_EQ(pixels::at(renderer.renderFrame(*root), 100, 78, 2).r, dark.r);
}

} // namespace
namespace {

// The pixels of a cache's blur, row by row.
std::vector<std::uint32_t> blurredPixels(cairo_surface_t* image) {
    std::vector<std::uint32_t> out;
    if (!image)
        return out;
    cairo_surface_flush(image);
    const auto* data = reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(image));
    const int stride = cairo_image_surface_get_stride(image) / 4;
    for (int y = 0; y < cairo_image_surface_get_height(image); ++y)
        out.insert(out.end(), data + y * stride, data + y * stride + cairo_image_surface_get_width(image));
    return out;
}

TEST(UIBackdropBlurCacheTest, AnswersForEachBackdropAsAFreshCacheDoes) {
    // A backdrop inside a wider buffer, as a view's area lies inside the screen's surface.
    const int width = 90, height = 70, stride = 100;
    std::vector<std::uint32_t> surface(static_cast<std::size_t>(stride) * (height + 4), grey(200));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            surface[static_cast<std::size_t>(y) * stride + x] =
                grey(static_cast<std::uint32_t>((x * 7 + y * 3) % 256));
    const CGPixelRegion region{surface.data(), width, height, stride};
    const CGBackdropBlurPlan plan = CGBackdropBlurPlanForSigma(13.3);
    auto fresh = [&](const CGPixelRegion& r, const CGBackdropBlurPlan& p) {
        UIBackdropBlurCache once;
        return blurredPixels(once.blur(r, p));
    };

    UIBackdropBlurCache cache;
    const auto first = blurredPixels(cache.blur(region, plan));
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(blurredPixels(cache.blur(region, plan)), first) << "the same backdrop again";

    // One pixel changed, even one that the reduction barely sees, is blurred anew; so is a pixel
    // on the last row and column, and the change back.
    for (auto [x, y, value] : {std::tuple{45, 35, 255u}, {89, 69, 0u}, {0, 0, 1u}}) {
        std::uint32_t& pixel = surface[static_cast<std::size_t>(y) * stride + x];
        const std::uint32_t was = pixel;
        pixel = grey(value);
        const auto changed = fresh(region, plan);
        EXPECT_EQ(blurredPixels(cache.blur(region, plan)), changed) << x << "," << y;
        pixel = was;
        EXPECT_EQ(blurredPixels(cache.blur(region, plan)), first) << "back at " << x << "," << y;
    }
    // Pixels outside the region (beyond its width in each row) do not count.
    surface[static_cast<std::size_t>(10) * stride + width + 3] = grey(0);
    EXPECT_EQ(blurredPixels(cache.blur(region, plan)), first);

    // The same pixels read at another size, or blurred with another plan, are blurred anew.
    const CGPixelRegion narrower{surface.data(), width - 5, height, stride};
    EXPECT_EQ(blurredPixels(cache.blur(narrower, plan)), fresh(narrower, plan));
    const CGBackdropBlurPlan wider = CGBackdropBlurPlanForSigma(30);
    ASSERT_NE(wider.factor, plan.factor);
    EXPECT_EQ(blurredPixels(cache.blur(region, wider)), fresh(region, wider));
    CGBackdropBlurPlan otherRadii = plan;
    otherRadii.radii[0] += 2;
    EXPECT_EQ(blurredPixels(cache.blur(region, otherRadii)), fresh(region, otherRadii));
    EXPECT_EQ(blurredPixels(cache.blur(region, plan)), first);
}

// Every pixel of two images, compared exactly.
::testing::AssertionResult samePixels(const CGImageRef& a, const CGImageRef& b) {
    if (a->width() != b->width() || a->height() != b->height())
        return ::testing::AssertionFailure() << "sizes differ";
    for (std::size_t y = 0; y < a->height(); ++y)
        for (std::size_t x = 0; x < a->width(); ++x)
            if (!(a->pixelAt(x, y) == b->pixelAt(x, y)))
                return ::testing::AssertionFailure()
                       << a->pixelAt(x, y) << " against " << b->pixelAt(x, y) << " at " << x << "," << y;
    return ::testing::AssertionSuccess();
}

TEST(UIDrawBackdropBlurTest, AKeptBlurPaintsWhatAFreshBlurPaints) {
    // Frames drawn with one cache, under clips of every kind (a rounded rectangle, a box off the
    // pixel grid, an offscreen group), at several scales, against the same frames blurred
    // without a cache: a backdrop drawn again reuses the blur, a changed or moved one does not,
    // and either way not one pixel differs.
    struct Frame {
        double spotX; // a small dark square behind the blur
        double blurX; // where the blurred box lies
        int clip;     // 0 rounded, 1 off the grid, 2 rectangle inside a group
    };
    const Frame frames[] = {{60, 30, 0}, {60, 30, 0}, {61, 30, 0}, {61, 30, 0}, {61, 31, 0},
                            {61, 31, 1}, {61, 31, 1}, {90, 31, 2}, {90, 31, 2}, {60, 30, 0}};
    for (double scale : {1.0, 2.0, 3.0}) {
        UIBackdropBlurCache cache;
        for (const Frame& frame : frames) {
            auto paint = [&](UIBackdropBlurCache* kept) {
                return pixels::draw(
                    200, 120,
                    [&](const CGContextRef& ctx) {
                        cairo_t* cr = ctx->cairo();
                        CGContextSetFillColorWithColor(ctx, UIColor::colorWithRed(0.9, 0.8, 0.3, 1).rgba);
                        CGContextFillRect(ctx, CGRectMake(0, 0, 200, 120));
                        CGContextSetFillColorWithColor(ctx, UIColor::colorWithRed(0.1, 0.1, 0.4, 1).rgba);
                        CGContextFillRect(ctx, CGRectMake(frame.spotX, 50, 3, 3));
                        cairo_save(cr);
                        const CGRect box = CGRectMake(frame.blurX, 20, 120, 70);
                        if (frame.clip == 0) {
                            cairo_new_sub_path(cr);
                            cairo_arc(cr, box.maxX() - 14, box.minY() + 14, 14, -std::numbers::pi / 2, 0);
                            cairo_arc(cr, box.maxX() - 14, box.maxY() - 14, 14, 0, std::numbers::pi / 2);
                            cairo_arc(cr, box.minX() + 14, box.maxY() - 14, 14, std::numbers::pi / 2,
                                      std::numbers::pi);
                            cairo_arc(cr, box.minX() + 14, box.minY() + 14, 14, std::numbers::pi,
                                      3 * std::numbers::pi / 2);
                            cairo_close_path(cr);
                            cairo_clip(cr);
                        } else if (frame.clip == 1) {
                            cairo_rectangle(cr, box.minX() + 10.3, box.minY() + 5.7, 80.4, 50.2);
                            cairo_clip(cr);
                        } else {
                            cairo_rectangle(cr, box.minX() + 10, box.minY() + 10, 60, 40);
                            cairo_clip(cr);
                            cairo_push_group(cr);
                        }
                        UIDrawBackdropBlur(ctx, box, 20, kept);
                        if (frame.clip == 2) {
                            cairo_pop_group_to_source(cr);
                            cairo_paint(cr);
                        }
                        cairo_restore(cr);
                    },
                    scale);
            };
            ASSERT_TRUE(samePixels(paint(&cache), paint(nullptr)))
                << "scale " << scale << ", spot at " << frame.spotX << ", blur at " << frame.blurX
                << ", clip " << frame.clip;
        }
    }
}

TEST(UIVisualEffectViewTest, AFrameDrawnAgainShowsWhatAFreshTreeDraws) {
    // One tree and one renderer across frames, against a tree and a renderer made afresh for each
    // frame: a frame that repeats the last one puts back the pixels the effect view left, and any
    // change (the backdrop, the rounded clip, an off-grid frame, the effect, the group opacity,
    // a view over it, the scale) is drawn anew. Not one pixel may differ.
    struct Frame {
        double spotX;       // a small dark square behind the blur
        CGRect bezel;       // the clipping view that holds the blur
        double radius;      // its corner radius
        bool dark;          // the blur's style
        int cover;          // 0 none, 1 an opaque view over part of the blur, 2 a translucent one
        double alpha;       // the clipping view's alpha
        bool filled = true; // whether the clipping view has a background, which the blur reads
    };
    const CGRect onGrid = CGRectMake(40, 20, 120, 70), offGrid = CGRectMake(40.3, 20.6, 120.5, 70.25);
    const Frame frames[] = {{60, onGrid, 14, false, 0, 1},        {60, onGrid, 14, false, 0, 1},
                            {61, onGrid, 14, false, 0, 1},        {61, onGrid, 14, false, 0, 1},
                            {61, offGrid, 14, false, 0, 1},       {61, offGrid, 14, false, 0, 1},
                            {61, offGrid, 9, false, 0, 1},        {61, offGrid, 0, false, 0, 1},
                            {61, offGrid, 9, true, 0, 1},         {61, offGrid, 9, true, 1, 1},
                            {61, offGrid, 9, true, 1, 1},         {61, offGrid, 9, true, 2, 1},
                            {61, offGrid, 9, true, 2, 0.6},       {61, offGrid, 9, true, 2, 1},
                            {61, offGrid, 9, true, 2, 1},         {61, offGrid, 9, true, 0, 1, false},
                            {61, offGrid, 14, true, 0, 1, false}, {61, offGrid, 14, true, 0, 1, false},
                            {60, onGrid, 14, false, 0, 1}};
    struct Tree {
        std::shared_ptr<UIView> root, spot, bezel, cover;
        std::shared_ptr<UIVisualEffectView> blur;
    };
    auto build = [] {
        Tree t;
        t.root = UIView::create(CGRectMake(0, 0, 200, 120));
        t.root->setBackgroundColor(UIColor::colorWithRed(0.9, 0.8, 0.3, 1));
        t.spot = UIView::create(CGRectZero);
        t.spot->setBackgroundColor(UIColor::colorWithRed(0.1, 0.1, 0.4, 1));
        t.root->addSubview(t.spot);
        t.bezel = UIView::create(CGRectZero);
        t.bezel->setClipsToBounds(true);
        t.root->addSubview(t.bezel);
        t.blur = UIVisualEffectView::create(UIBlurEffect::effectWithStyle(UIBlurEffectStyleLight));
        t.bezel->addSubview(t.blur);
        t.cover = UIView::create(CGRectMake(10.5, 8, 50, 30.7));
        t.bezel->addSubview(t.cover);
        return t;
    };
    auto apply = [](Tree& t, const Frame& f) {
        t.spot->setFrame(CGRectMake(f.spotX, 50, 3, 3));
        t.bezel->setFrame(f.bezel);
        t.bezel->layer()->setCornerRadius(f.radius);
        t.bezel->setAlpha(f.alpha);
        t.bezel->setBackgroundColor(f.filled ? std::optional(UIColor::colorWithWhite(0.8, 0.6))
                                             : std::nullopt);
        t.blur->setFrame(t.bezel->bounds());
        const auto style = f.dark ? UIBlurEffectStyleDark : UIBlurEffectStyleLight;
        if (t.blur->effect()->style() != style)
            t.blur->setEffect(UIBlurEffect::effectWithStyle(style));
        t.cover->setHidden(f.cover == 0);
        t.cover->setBackgroundColor(f.cover == 1 ? UIColor::colorWithRed(0.2, 0.6, 0.2, 1)
                                                 : UIColor::colorWithRed(0.2, 0.6, 0.2, 0.5));
    };
    for (double scale : {1.0, 2.0, 3.0}) {
        Tree kept = build();
        UIRenderer renderer(scale);
        for (const Frame& f : frames) {
            apply(kept, f);
            Tree fresh = build();
            apply(fresh, f);
            ASSERT_TRUE(samePixels(renderer.renderFrame(*kept.root)->copy(),
                                   UIRenderer(scale).renderFrame(*fresh.root)->copy()))
                << "scale " << scale << ", frame " << (&f - frames);
        }
    }
}

// A view that draws an effect view's blur itself, under a clip of its own drawing.
class ClippedBlurView : public UIView {
public:
    static std::shared_ptr<ClippedBlurView> create(CGRect frame) {
        auto v = std::shared_ptr<ClippedBlurView>(new ClippedBlurView(frame));
        v->commonInit();
        return v;
    }
    bool drawsContent() const override { return true; }
    void drawRect(CGRect) override {
        CGContextClipToRect(CGContext::current(), clip);
        blur->setFrame(bounds());
        blur->drawRect(bounds());
    }
    CGRect clip = CGRectZero;
    std::shared_ptr<UIVisualEffectView> blur =
        UIVisualEffectView::create(UIBlurEffect::effectWithStyle(UIBlurEffectStyleDark));

protected:
    using UIView::UIView;
};

TEST(UIVisualEffectViewTest, AClipTheDrawingAddsItselfIsNotMistakenForTheLastOne) {
    // The renderer knows the clips it sets, not those a drawing adds: a blur drawn under a clip
    // that changes between frames shows what a fresh view shows under it.
    auto build = [] {
        auto root = UIView::create(CGRectMake(0, 0, 200, 120));
        root->setBackgroundColor(UIColor::colorWithRed(0.9, 0.8, 0.3, 1));
        auto spot = UIView::create(CGRectMake(70, 50, 4, 4));
        spot->setBackgroundColor(UIColor::colorWithRed(0.1, 0.1, 0.4, 1));
        root->addSubview(spot);
        auto view = ClippedBlurView::create(CGRectMake(30, 20, 140, 80));
        root->addSubview(view);
        return std::pair(root, view);
    };
    const CGRect clips[] = {CGRectMake(10, 10, 60, 40), CGRectMake(10, 10, 60, 40),
                            CGRectMake(20.5, 10, 60, 40), CGRectMake(20.5, 10, 60, 40),
                            CGRectMake(0, 0, 140, 80)};
    for (double scale : {1.0, 2.0}) {
        auto [root, view] = build();
        UIRenderer renderer(scale);
        for (const CGRect& clip : clips) {
            view->clip = clip;
            auto [freshRoot, freshView] = build();
            freshView->clip = clip;
            ASSERT_TRUE(
                samePixels(renderer.renderFrame(*root)->copy(), UIRenderer(scale).renderFrame(*freshRoot)))
                << "scale " << scale << ", clip at " << clip.minX();
        }
    }
}

} // namespace
