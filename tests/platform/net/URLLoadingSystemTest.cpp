// The network engine as a part of the device environment: a device that ends with a request in
// flight stops it, and the completion goes (unrun) while the rest of the device still exists.

#include "platform/net/URLLoadingSystem.h"

#include "platform/foundation/DeviceEnvironment.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "platform/net/NSURLError.h"
#include "support/HTTPSFixture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>

namespace {

// Something a completion holds whose end reaches the device, as a catalogue screen's HUD does
// when it leaves the notification centre: it notes whether that centre was still there.
class Witness : public NSObject {
public:
    explicit Witness(std::vector<std::string>& events) : events_(events) {
        centre_ = NSNotificationCenter::defaultCenter();
    }
    ~Witness() override {
        auto centre = centre_.lock();
        events_.push_back(centre && centre == NSNotificationCenter::defaultCenter() ? "dropped, centre alive"
                                                                                    : "dropped, centre gone");
        if (centre)
            centre->removeObserver(this);
    }
    std::string className() const override { return "Witness"; }

private:
    std::vector<std::string>& events_;
    std::weak_ptr<NSNotificationCenter> centre_;
};

// A queue that keeps its tasks until the test runs them, and tells when one arrives.
class ParkingQueue : public DispatchQueue {
public:
    void async(std::function<void()> task) override {
        std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
        arrived_.notify_all();
    }
    bool isMain() const override { return false; }
    bool waitForTask(double seconds) {
        std::unique_lock lock(mutex_);
        return arrived_.wait_for(lock, std::chrono::duration<double>(seconds),
                                 [&] { return !tasks_.empty(); });
    }
    void runAll() {
        std::deque<std::function<void()>> tasks;
        {
            std::lock_guard lock(mutex_);
            tasks.swap(tasks_);
        }
        for (auto& task : tasks)
            task();
    }

private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<std::function<void()>> tasks_;
};

URLLoadingSystem::Load loadOf(const std::string& url, std::shared_ptr<Witness> witness,
                              std::atomic<bool>& ran) {
    URLLoadingSystem::Load load;
    load.url = url;
    load.timeoutInterval = 60;
    load.complete = [witness = std::move(witness), &ran](URLLoadingSystem::Result) { ran = true; };
    return load;
}

TEST(URLLoadingSystemTest, AnEndingDeviceDropsRequestsInFlightWhileTheDeviceStillExists) {
    SilentLoopbackServer silent;
    const std::string url = "https://127.0.0.1:" + std::to_string(silent.port()) + "/";
    std::vector<std::string> events;
    std::atomic<bool> ran{false};
    {
        DeviceEnvironment::Scope device;
        auto& network = URLLoadingSystem::shared();
        // One load waits for the server's answer to its hello, one was held back after an early
        // failure: each completion is somewhere else when the device ends.
        network.start(loadOf(url, std::make_shared<Witness>(events), ran));
        network.setHoldsResponses(true);
        network.start(loadOf("http://plain.example/", std::make_shared<Witness>(events), ran));
        EXPECT_EQ(network.loadsInFlight(), 2u);
        EXPECT_FALSE(network.waitUntilIdle(0.05));
    }
    EXPECT_FALSE(ran);
    EXPECT_EQ(events, (std::vector<std::string>{"dropped, centre alive", "dropped, centre alive"}));
}

TEST(URLLoadingSystemTest, ACompletionHandedToAQueueIsDroppedAndItsTaskDoesNothingLater) {
    auto queue = std::make_shared<ParkingQueue>();
    std::vector<std::string> events;
    std::atomic<bool> ran{false};
    {
        DeviceEnvironment::Scope device;
        URLLoadingSystem::DeviceNetwork offline;
        offline.offline = true;
        URLLoadingSystem::shared().setDeviceNetwork(offline);
        auto load = loadOf("https://repo.example/", std::make_shared<Witness>(events), ran);
        load.queue = queue;
        URLLoadingSystem::shared().start(std::move(load));
        ASSERT_TRUE(queue->waitForTask(20));
        EXPECT_TRUE(events.empty());
    }
    EXPECT_EQ(events, (std::vector<std::string>{"dropped, centre alive"}));
    // The queue runs the task after the engine has gone: it finds nothing to run.
    queue->runAll();
    EXPECT_FALSE(ran);
}

TEST(URLLoadingSystemTest, NothingStartsOnceTheEngineHasShutDown) {
    std::vector<std::string> events;
    std::atomic<bool> ran{false};
    auto& network = URLLoadingSystem::shared();
    network.shutDown();
    network.shutDown(); // a second time is nothing
    EXPECT_EQ(network.start(loadOf("https://repo.example/", std::make_shared<Witness>(events), ran)), 0u);
    EXPECT_EQ(events, (std::vector<std::string>{"dropped, centre alive"}));
    EXPECT_EQ(network.loadsInFlight(), 0u);
    EXPECT_TRUE(network.waitUntilIdle(0));
    EXPECT_FALSE(ran);
}

// A network set lazily is made once, by the first load (which then goes out on it), and not at
// all when a network is set outright first or the engine has ended.
TEST(URLLoadingSystemTest, ALazyNetworkIsMadeOnceByTheFirstLoad) {
    std::vector<std::string> events;
    std::atomic<bool> ran{false};
    auto& network = URLLoadingSystem::shared();
    int made = 0;
    network.setDeviceNetworkLazily([&made] {
        ++made;
        URLLoadingSystem::DeviceNetwork offline;
        offline.offline = true;
        return offline;
    });
    EXPECT_EQ(made, 0);
    network.start(loadOf("https://repo.example/", std::make_shared<Witness>(events), ran));
    network.start(loadOf("https://repo.example/", std::make_shared<Witness>(events), ran));
    EXPECT_TRUE(network.waitUntilIdle(20));
    EXPECT_EQ(made, 1);
    EXPECT_TRUE(network.deviceNetwork().offline);
}

TEST(URLLoadingSystemTest, ALazyNetworkIsNotMadeWhenReplacedOrAfterTheEnd) {
    auto& network = URLLoadingSystem::shared();
    int made = 0;
    auto prepare = [&made] {
        ++made;
        return URLLoadingSystem::DeviceNetwork{};
    };
    network.setDeviceNetworkLazily(prepare);
    URLLoadingSystem::DeviceNetwork offline;
    offline.offline = true;
    network.setDeviceNetwork(offline);
    EXPECT_TRUE(network.deviceNetwork().offline);

    network.setDeviceNetworkLazily(prepare);
    network.shutDown();
    EXPECT_TRUE(network.deviceNetwork().offline);
    EXPECT_EQ(made, 0);
}

} // namespace
