#pragma once

// Helpers for tests that check drawing on the pixels of a rendered image: draw into a fresh
// transparent bitmap context, then ask about colours at chosen points with a tolerance, never
// against byte-exact golden files.

#include "platform/graphics/CGContext.h"
#include "platform/graphics/CGImage.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <ostream>

inline std::ostream& operator<<(std::ostream& os, const CGImage::Pixel& p) {
    return os << "rgba(" << int(p.r) << ", " << int(p.g) << ", " << int(p.b) << ", " << int(p.a) << ")";
}

namespace pixels {

// A transparent image of `width` × `height` points at `scale`, drawn by `draw` through a
// context whose transform maps points to pixels.
inline CGImageRef draw(int width, int height, const std::function<void(const CGContextRef&)>& draw,
                       double scale = 1) {
    auto image = CGImage::create(static_cast<std::size_t>(std::ceil(width * scale)),
                                 static_cast<std::size_t>(std::ceil(height * scale)));
    cairo_t* cr = cairo_create(image->surface());
    cairo_scale(cr, scale, scale);
    auto ctx = CGContext::create(cr);
    cairo_destroy(cr);
    draw(ctx);
    EXPECT_EQ(cairo_status(ctx->cairo()), CAIRO_STATUS_SUCCESS) << "the context went into an error state";
    cairo_surface_flush(image->surface());
    return image;
}

// The pixel under the point (x, y) in points, for an image drawn at `scale`.
inline CGImage::Pixel at(const CGImageRef& image, double x, double y, double scale = 1) {
    return image->pixelAt(static_cast<std::size_t>(std::floor(x * scale)),
                          static_cast<std::size_t>(std::floor(y * scale)));
}

inline ::testing::AssertionResult near(const CGImage::Pixel& p, int r, int g, int b, int a,
                                       int tolerance = 8) {
    auto close = [&](int have, int want) { return std::abs(have - want) <= tolerance; };
    // Colour channels of a fully transparent pixel carry no meaning.
    bool ok = close(p.a, a) && (a == 0 || (close(p.r, r) && close(p.g, g) && close(p.b, b)));
    if (ok)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << p << " is not near rgba(" << r << ", " << g << ", " << b << ", " << a << ")";
}

inline bool transparent(const CGImage::Pixel& p) {
    return p.a < 8;
}
inline bool red(const CGImage::Pixel& p) {
    return p.a > 200 && p.r > 200 && p.g < 60 && p.b < 60;
}
inline bool blue(const CGImage::Pixel& p) {
    return p.a > 200 && p.b > 200 && p.r < 60 && p.g < 60;
}

// How many pixels in the rectangle (in pixels) satisfy `test`.
inline int count(const CGImageRef& image, int x0, int y0, int x1, int y1,
                 const std::function<bool(const CGImage::Pixel&)>& test) {
    int n = 0;
    for (int y = std::max(0, y0); y < std::min<int>(y1, static_cast<int>(image->height())); ++y)
        for (int x = std::max(0, x0); x < std::min<int>(x1, static_cast<int>(image->width())); ++x)
            n += test(image->pixelAt(static_cast<std::size_t>(x), static_cast<std::size_t>(y))) ? 1 : 0;
    return n;
}

// The ink of one band of rows of an image: its bounding box in pixels and its summed alpha.
struct BandInk {
    int left = INT_MAX, top = INT_MAX, right = -1, bottom = -1;
    long coverage = 0;
};

inline BandInk inkInBand(const CGImageRef& image, int top, int bottom) {
    BandInk band;
    for (int y = std::max(0, top); y < std::min<int>(bottom, static_cast<int>(image->height())); ++y)
        for (int x = 0; x < static_cast<int>(image->width()); ++x) {
            const int alpha = image->pixelAt(static_cast<std::size_t>(x), static_cast<std::size_t>(y)).a;
            if (alpha == 0)
                continue;
            band.coverage += alpha;
            band = {std::min(band.left, x), std::min(band.top, y), std::max(band.right, x),
                    std::max(band.bottom, y), band.coverage};
        }
    return band;
}

} // namespace pixels
