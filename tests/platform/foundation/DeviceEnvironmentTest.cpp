#include "platform/foundation/DeviceEnvironment.h"
#include "platform/foundation/Result.h"
#include "platform/foundation/Subscription.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

std::vector<std::string> gEvents;

struct Setting : DeviceEnvironment::Part {
    std::string value = "factory";
};

struct Network : DeviceEnvironment::Part {
    std::shared_ptr<int> completion = std::make_shared<int>(1);
    void shutDown() override {
        gEvents.push_back("network shuts down");
        completion.reset();
    }
    ~Network() override { gEvents.push_back("network destroyed"); }
};

struct Centre : DeviceEnvironment::Part {
    bool alive = true;
    void shutDown() override { gEvents.push_back("centre shuts down"); }
    ~Centre() override {
        alive = false;
        gEvents.push_back("centre destroyed");
    }
};

// Made after the centre, it reaches the centre when it goes: the centre must still be there.
struct Screen : DeviceEnvironment::Part {
    ~Screen() override {
        gEvents.push_back(std::string("screen destroyed, centre ") +
                          (DeviceEnvironment::current().part<Centre>().alive ? "alive" : "gone"));
    }
};

} // namespace

TEST(DeviceEnvironmentTest, AScopeStartsFreshAndPutsThePreviousEnvironmentBack) {
    DeviceEnvironment::current().part<Setting>().value = "outer";
    {
        DeviceEnvironment::Scope scope;
        EXPECT_EQ(&DeviceEnvironment::current(), &scope.environment());
        EXPECT_EQ(DeviceEnvironment::current().part<Setting>().value, "factory");
        DeviceEnvironment::current().part<Setting>().value = "inner";
        EXPECT_EQ(DeviceEnvironment::current().existingPart<Setting>(),
                  &DeviceEnvironment::current().part<Setting>());
        {
            DeviceEnvironment::Scope nested;
            EXPECT_EQ(DeviceEnvironment::current().existingPart<Setting>(), nullptr);
        }
        EXPECT_EQ(DeviceEnvironment::current().part<Setting>().value, "inner");
    }
    EXPECT_EQ(DeviceEnvironment::current().part<Setting>().value, "outer");
}

TEST(DeviceEnvironmentTest, EveryPartShutsDownBeforeAnyIsDestroyedNewestFirst) {
    gEvents.clear();
    {
        DeviceEnvironment::Scope scope;
        auto& env = DeviceEnvironment::current();
        env.part<Centre>();
        env.part<Screen>();
        env.part<Network>();
    }
    EXPECT_EQ(gEvents,
              (std::vector<std::string>{"network shuts down", "centre shuts down", "network destroyed",
                                        "screen destroyed, centre alive", "centre destroyed"}));
}

TEST(DeviceEnvironmentTest, PartsAreMadeOnceWhenManyThreadsAskAtOnce) {
    DeviceEnvironment::Scope scope;
    std::vector<Setting*> seen(8);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < seen.size(); ++i)
        threads.emplace_back([&, i] { seen[i] = &scope.environment().part<Setting>(); });
    for (auto& t : threads)
        t.join();
    for (auto* s : seen)
        EXPECT_EQ(s, seen[0]);
}

TEST(SubscriptionTest, CancelsOnceWhenResetMovedOrDestroyed) {
    int cancelled = 0;
    {
        Subscription a([&] { ++cancelled; });
        Subscription b = std::move(a);
        EXPECT_FALSE(a);
        EXPECT_TRUE(b);
        b.reset();
        b.reset();
        EXPECT_EQ(cancelled, 1);
        b = Subscription([&] { cancelled += 10; });
        b = Subscription([&] { cancelled += 100; }); // the one it held is cancelled
        EXPECT_EQ(cancelled, 11);
    }
    EXPECT_EQ(cancelled, 111);
    Subscription kept([&] { ++cancelled; });
    kept.release();
    EXPECT_EQ(cancelled, 111);
}

TEST(ResultTest, AValueOrAFailureAndNeverBoth) {
    Result<int> good = 4;
    Result<int> bad = Failure{"no such file", 2};
    ASSERT_TRUE(good);
    EXPECT_EQ(good.value(), 4);
    EXPECT_EQ(good.reason(), "");
    EXPECT_THROW((void)good.failure(), std::logic_error);
    ASSERT_FALSE(bad);
    EXPECT_EQ(bad.failure(), (Failure{"no such file", 2}));
    EXPECT_EQ(bad.valueOr(7), 7);
    EXPECT_THROW((void)bad.value(), std::logic_error);
    Result<> done;
    Result<> failed = Failure{"permission denied", 13};
    EXPECT_TRUE(done);
    EXPECT_EQ(failed.reason(), "permission denied");
}
