// The foundation's registrations, a log sink and a Darwin observer, last until their handle goes
// and belong to the device they were made in.

#include "platform/foundation/DarwinNotifyCenter.h"
#include "platform/foundation/DeviceEnvironment.h"
#include "platform/foundation/NSLog.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

TEST(NSLogTest, ASinkHearsEveryLineUntilItsHandleGoes) {
    NSLogSetEchoToStderr(false);
    std::vector<std::string> first, second;
    Subscription a = NSLogAddSink([&](const std::string& line) { first.push_back(line); });
    {
        Subscription b = NSLogAddSink([&](const std::string& line) { second.push_back(line); });
        NSLog("%@ and %@", {PlistValue("one"), PlistValue(2)});
    }
    NSLog("after %@%%", {});
    a.reset();
    NSLog("unheard");
    EXPECT_EQ(first, (std::vector<std::string>{"one and 2", "after (null)%"}));
    EXPECT_EQ(second, (std::vector<std::string>{"one and 2"}));
}

TEST(NSLogTest, SinksAndTheEchoBelongToTheirDevice) {
    NSLogSetEchoToStderr(false);
    std::vector<std::string> outer, inner;
    Subscription outerSink = NSLogAddSink([&](const std::string& line) { outer.push_back(line); });
    std::optional<Subscription> kept;
    {
        DeviceEnvironment::Scope device;
        NSLogSetEchoToStderr(false);
        kept = NSLogAddSink([&](const std::string& line) { inner.push_back(line); });
        NSLog("inner");
    }
    NSLog("outer");
    // A handle that outlives its device cancels nothing, and harms nothing.
    kept.reset();
    EXPECT_EQ(inner, (std::vector<std::string>{"inner"}));
    EXPECT_EQ(outer, (std::vector<std::string>{"outer"}));
}

TEST(DarwinNotifyCenterTest, ObserversHearTheirNameUntilTheirHandleGoes) {
    int changed = 0, other = 0;
    Subscription onChanged = DarwinNotifyCenter::addObserver("com.example/changed", [&] { ++changed; });
    Subscription onOther = DarwinNotifyCenter::addObserver("com.example/other", [&] { ++other; });
    DarwinNotifyCenter::post("com.example/changed");
    DarwinNotifyCenter::post("");
    onChanged.reset();
    DarwinNotifyCenter::post("com.example/changed");
    EXPECT_EQ(changed, 1);
    EXPECT_EQ(other, 0);
    EXPECT_EQ(DarwinNotifyCenter::postedNames(),
              (std::vector<std::string>{"com.example/changed", "com.example/changed"}));
    DarwinNotifyCenter::clearRecords();
    EXPECT_TRUE(DarwinNotifyCenter::postedNames().empty());
}

TEST(DarwinNotifyCenterTest, AnObserverMayDropItsOwnHandleWhileItIsCalled) {
    int calls = 0;
    std::optional<Subscription> self;
    self = DarwinNotifyCenter::addObserver("n", [&] {
        ++calls;
        self.reset();
    });
    DarwinNotifyCenter::post("n");
    DarwinNotifyCenter::post("n");
    EXPECT_EQ(calls, 1);
}

TEST(DarwinNotifyCenterTest, EachDeviceHasItsOwnObserversAndRecords) {
    int outer = 0;
    Subscription onOuter = DarwinNotifyCenter::addObserver("n", [&] { ++outer; });
    {
        DeviceEnvironment::Scope device;
        int inner = 0;
        Subscription onInner = DarwinNotifyCenter::addObserver("n", [&] { ++inner; });
        DarwinNotifyCenter::post("n");
        EXPECT_EQ(inner, 1);
    }
    EXPECT_EQ(outer, 0);
    EXPECT_TRUE(DarwinNotifyCenter::postedNames().empty());
    DarwinNotifyCenter::post("n");
    EXPECT_EQ(outer, 1);
}

} // namespace
