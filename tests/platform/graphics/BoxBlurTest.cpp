#include "platform/graphics/BoxBlur.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

// The variance of successive box passes of these radii, in pixels².
double boxVariance(const std::array<int, 3>& radii) {
    double v = 0;
    for (int r : radii)
        v += r * (r + 1) / 3.0;
    return v;
}

TEST(BoxBlurPlanTest, PassesAddUpToTheGaussiansVariance) {
    for (double variance : {1.0, 4.0, 10.87, 30.0, 200.0}) {
        auto radii = CGBoxRadiiForVariance(variance);
        // Neighbouring odd widths differ by a variance step of at most 2(r + 1)/3 per pass, so
        // the best mix lands within one such step.
        EXPECT_NEAR(boxVariance(radii), variance, 2 * (radii[2] + 1) / 3.0) << variance;
        EXPECT_LE(radii[2] - radii[0], 1) << "the passes differ by at most one step of width";
    }
    EXPECT_EQ(CGBoxRadiiForVariance(0), (std::array<int, 3>{}));
    EXPECT_EQ(CGBoxRadiiForVariance(NAN), (std::array<int, 3>{}));

    for (double sigma : {2.0, 6.67, 13.33, 20.0, 40.0}) {
        auto plan = CGBackdropBlurPlanForSigma(sigma);
        const double f = plan.factor;
        const double total = boxVariance(plan.radii) * f * f + (f * f - 1) / 12 + f * f / 6;
        EXPECT_NEAR(std::sqrt(total), sigma, 0.1 * sigma) << sigma;
        EXPECT_GE(plan.margin, 3 * sigma) << sigma;
    }
    EXPECT_EQ(CGBackdropBlurPlanForSigma(13.33).factor, 4) << "a HUD's blur at 2x works on a quarter";
    EXPECT_EQ(CGBackdropBlurPlanForSigma(0).margin, 0);
    EXPECT_EQ(CGBackdropBlurPlanForSigma(-3).margin, 0);
    EXPECT_EQ(CGBackdropBlurPlanForSigma(INFINITY).margin, 0);
}

TEST(BoxBlurDownsampleTest, AveragesWholeAndCutBlocksAndRefusesWrongSizes) {
    // A 5 × 3 image averaged by 2: blocks of 4, 2 (right column), 2 (bottom row) and 1 pixel.
    std::vector<std::uint32_t> source(5 * 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            source[static_cast<std::size_t>(y * 5 + x)] =
                0xff000000u | static_cast<std::uint32_t>(10 * (y * 5 + x));
    std::vector<std::uint32_t> small(3 * 2, 0);
    ASSERT_TRUE(CGDownsamplePixels({source.data(), 5, 3, 5}, 2, {small.data(), 3, 2, 3}));
    auto blue = [&](int x, int y) { return small[static_cast<std::size_t>(y * 3 + x)] & 0xff; };
    EXPECT_EQ(blue(0, 0), (0u + 10 + 50 + 60) / 4);
    EXPECT_EQ(blue(2, 0), (40u + 90) / 2);
    EXPECT_EQ(blue(1, 1), (120u + 130) / 2);
    EXPECT_EQ(blue(2, 1), 140u);
    for (auto p : small)
        EXPECT_EQ(p >> 24, 0xffu) << "alpha averages like any channel";

    // Every channel keeps its place, with values that would overflow a byte if lanes mixed.
    std::vector<std::uint32_t> full(16 * 16, 0xfe01ff80u);
    std::vector<std::uint32_t> one(1, 0);
    ASSERT_TRUE(CGDownsamplePixels({full.data(), 16, 16, 16}, 16, {one.data(), 1, 1, 1}));
    EXPECT_EQ(one[0], 0xfe01ff80u);

    EXPECT_FALSE(CGDownsamplePixels({source.data(), 5, 3, 5}, 2, {small.data(), 2, 2, 2}));
    EXPECT_FALSE(CGDownsamplePixels({source.data(), 5, 3, 5}, 0, {small.data(), 3, 2, 3}));
    EXPECT_FALSE(CGDownsamplePixels({source.data(), 5, 3, 5}, 17, {small.data(), 1, 1, 1}));
}

} // namespace
