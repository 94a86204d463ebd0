#include "platform/ui/NSValue.h"

#include <gtest/gtest.h>

namespace {

TEST(NSValueTest, BoxesATransformAndTellsItsKind) {
    CATransform3D t = CATransform3DMakeRotation(1, 0, 1, 0);
    auto v = NSValue::valueWithCATransform3D(t);
    EXPECT_TRUE(v->holdsCATransform3D());
    EXPECT_EQ(v->CATransform3DValue(), t);
    EXPECT_EQ(NSValue::transformOf(PlistValue(std::shared_ptr<NSObject>(v))), t);

    auto p = NSValue::valueWithCGPoint({1, 2});
    EXPECT_FALSE(p->holdsCATransform3D());
    EXPECT_EQ(p->CGPointValue(), CGPointMake(1, 2));
    EXPECT_FALSE(NSValue::transformOf(PlistValue(std::shared_ptr<NSObject>(p))));
    EXPECT_FALSE(NSValue::transformOf(PlistValue(1.0)));
    EXPECT_FALSE(NSValue::transformOf(PlistValue()));
}

} // namespace
