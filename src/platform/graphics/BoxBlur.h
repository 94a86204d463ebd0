#pragma once

// The pixel work behind a backdrop blur, kept apart from any surface so tests reach it with plain
// buffers. A wide Gaussian is approximated the way the platform does it cheaply: the image is
// averaged down by a whole factor, blurred there by three box passes (each a running sum, so the
// cost per pixel does not grow with the radius), and scaled back up with bilinear filtering when
// it is composited.
//
//     CGBackdropBlurPlan plan = CGBackdropBlurPlanForSigma(13.3);
//     CGDownsamplePixels(region, plan.factor, small);
//     CGBoxBlurPixels(small, plan.radii);
//
// Pixels are premultiplied 32-bit ARGB words, the layout of cairo's ARGB32 images, so channels
// blur independently and transparent areas stay transparent. At the image's edges the blur
// repeats the edge pixels (it does not fade to zero), so a blurred edge keeps its colour.

#include <array>
#include <cstdint>
#include <span>

// A view of `width` × `height` pixels, `stride` pixels from one row to the next, in memory that
// the caller owns.
struct CGPixelRegion {
    std::uint32_t* data = nullptr;
    int width = 0;
    int height = 0;
    int stride = 0;

    // Whether the sizes describe a non-empty image that fits in `capacity` pixels.
    bool valid(std::size_t capacity) const;
};

// How a blur of standard deviation `sigma` (in pixels) is carried out: the reduction factor, the
// radii of the three box passes at the reduced size, and how many full-size pixels around the
// blurred area the blur reads (about three standard deviations, past which a Gaussian's weight
// is negligible).
struct CGBackdropBlurPlan {
    int factor = 1;
    std::array<int, 3> radii{};
    int margin = 0;
};

// The plan for a Gaussian of standard deviation `sigma` pixels. The factor keeps about three
// reduced pixels per standard deviation, enough for three boxes to look Gaussian; the radii are
// chosen so the variances of the reduction, the three boxes and the bilinear enlargement add up
// to sigma². A sigma that is not positive and finite gives a plan that blurs nothing.
CGBackdropBlurPlan CGBackdropBlurPlanForSigma(double sigma);

// The box radii (at most three, zeros skipped) whose successive passes come closest to a
// Gaussian of the given variance in pixels².
std::array<int, 3> CGBoxRadiiForVariance(double variance);

// Blurs the region in place: for each radius, one horizontal and one vertical box pass. Regions
// whose sizes do not fit `capacity` are left alone.
void CGBoxBlurPixels(CGPixelRegion image, std::size_t capacity, std::span<const int> radii);

// Averages each `factor` × `factor` block of `source` into one pixel of `destination`, whose
// sizes must be the source's divided by the factor, rounded up; blocks cut by the right or bottom
// edge average the pixels they hold. Returns false (and writes nothing) when the sizes disagree.
bool CGDownsamplePixels(const CGPixelRegion& source, int factor, const CGPixelRegion& destination);
