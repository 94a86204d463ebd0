#include "platform/foundation/NSProgress.h"
#include "platform/foundation/CFVersion.h"
#include "platform/foundation/DeviceEnvironment.h"

#include <gtest/gtest.h>

#include <thread>

TEST(NSProgressTest, FractionFollowsTheCountsUnclamped) {
    auto p = NSProgress::progressWithTotalUnitCount(0);
    EXPECT_EQ(p->fractionCompleted(), 0.0); // no total: nothing to divide by
    p->setTotalUnitCount(4);
    p->setCompletedUnitCount(1);
    EXPECT_DOUBLE_EQ(p->fractionCompleted(), 0.25);
    EXPECT_FALSE(p->isFinished());
    p->setCompletedUnitCount(6);
    EXPECT_DOUBLE_EQ(p->fractionCompleted(), 1.5);
    EXPECT_TRUE(p->isFinished());
    p->setCompletedUnitCount(-1);
    EXPECT_TRUE(p->isIndeterminate());
}

TEST(NSProgressTest, ChildrenContributeTheirShareAndNotifyTheParent) {
    auto parent = NSProgress::progressWithTotalUnitCount(10);
    std::vector<double> seen;
    parent->setFractionCompletedHandler([&](double f) { seen.push_back(f); });
    auto child = NSProgress::progressWithTotalUnitCount(4, parent, 5);
    parent->setCompletedUnitCount(5);
    child->setCompletedUnitCount(2);
    EXPECT_DOUBLE_EQ(parent->fractionCompleted(), 0.75);
    child->setCompletedUnitCount(4);
    EXPECT_DOUBLE_EQ(parent->fractionCompleted(), 1.0);
    ASSERT_FALSE(seen.empty());
    EXPECT_DOUBLE_EQ(seen.back(), 1.0);
    child->setCompletedUnitCount(4); // unchanged: no call
    EXPECT_DOUBLE_EQ(seen.back(), 1.0);
}

TEST(NSProgressTest, UpdatedOnAWorkerWhileReadOnAnother) {
    auto p = NSProgress::progressWithTotalUnitCount(1000);
    std::thread worker([&] {
        for (int i = 1; i <= 1000; ++i)
            p->setCompletedUnitCount(i);
    });
    double last = 0;
    while (last < 1.0) {
        double f = p->fractionCompleted();
        ASSERT_GE(f, last);
        last = f;
    }
    worker.join();
}

TEST(NSProgressTest, CoreFoundationVersionIsADeviceSetting) {
    EXPECT_GE(kCFCoreFoundationVersionNumber(), kCFCoreFoundationVersionNumber_iOS_8_0);
    CFSetCoreFoundationVersionNumber(kCFCoreFoundationVersionNumber_iOS_6_1);
    EXPECT_LT(kCFCoreFoundationVersionNumber(), kCFCoreFoundationVersionNumber_iOS_7_0);
    {
        DeviceEnvironment::Scope other;
        EXPECT_EQ(kCFCoreFoundationVersionNumber(), kCFCoreFoundationVersionNumberCurrent);
    }
    EXPECT_EQ(kCFCoreFoundationVersionNumber(), kCFCoreFoundationVersionNumber_iOS_6_1);
}
