#include "platform/graphics/CATransform3DInterpolation.h"

#include <gtest/gtest.h>

#include <numbers>

namespace {
using std::numbers::pi;

void expectNear(const CATransform3D& a, const CATransform3D& b) {
    const double* x = &a.m11;
    const double* y = &b.m11;
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(x[i], y[i], 1e-9) << "element " << i;
}

TEST(CATransform3DInterpolationTest, AHalfTurnTurnsEvenlyAboutItsOwnAxis) {
    // The four flutter axes, the anti-diagonal one included: every in-between value is the
    // rotation by the same fraction of π about the same axis.
    const double axes[][3] = {{-1, 1, 0}, {1, 1, 0}, {1, 0, 0}, {0, 1, 0}};
    for (const auto& a : axes) {
        CATransform3D to = CATransform3DMakeRotation(pi, a[0], a[1], a[2]);
        for (double f : {0.0, 0.1, 0.25, 0.5, 0.9, 1.0})
            expectNear(CATransform3DInterpolate(CATransform3DIdentity, to, f),
                       CATransform3DMakeRotation(pi * f, a[0], a[1], a[2]));
    }
}

TEST(CATransform3DInterpolationTest, TranslationAndScaleGoEvenly) {
    CATransform3D from = CATransform3DMakeTranslation(10, 0, 0);
    CATransform3D to = CATransform3DScale(CATransform3DMakeTranslation(30, 20, 0), 3, 3, 1);
    CATransform3D half = CATransform3DInterpolate(from, to, 0.5);
    EXPECT_NEAR(half.m41, 20, 1e-9);
    EXPECT_NEAR(half.m42, 10, 1e-9);
    EXPECT_NEAR(half.m11, 2, 1e-9);
    EXPECT_NEAR(half.m22, 2, 1e-9);
    EXPECT_NEAR(half.m33, 1, 1e-9);
}

} // namespace
