#include "platform/foundation/NSNotificationCenter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

class Listener : public NSObject {
public:
    std::vector<std::string> received;
    std::shared_ptr<NSNotificationCenter> removeFrom; // removes itself when notified, if set

    void handle(std::shared_ptr<NSObject> n) {
        auto note = std::dynamic_pointer_cast<NSNotification>(n);
        received.push_back(note ? note->name() : "?");
        if (removeFrom)
            removeFrom->removeObserver(this);
    }
    const SelectorTable* selectorTable() const override {
        static const SelectorTable table({{"handle:", SelectorTable::bind(&Listener::handle)}});
        return &table;
    }
};

TEST(NSNotificationCenterTest, DeliversByNameAndSenderInRegistrationOrder) {
    auto center = NSNotificationCenter::create();
    auto sender = std::make_shared<NSObject>();
    auto other = std::make_shared<NSObject>();
    auto byName = std::make_shared<Listener>();
    auto bySender = std::make_shared<Listener>();
    auto everything = std::make_shared<Listener>();
    std::vector<std::string> order;
    center->addObserver(byName, "handle:", "A", nullptr);
    center->addObserver(bySender, "handle:", std::nullopt, sender);
    auto token = center->addObserverForName("A", nullptr,
                                            [&](const auto& n) { order.push_back("block " + n->name()); });
    center->addObserver(everything, "handle:", std::nullopt, nullptr);

    center->postNotificationName("A", other);
    center->postNotificationName("B", sender);

    EXPECT_EQ(byName->received, (std::vector<std::string>{"A"}));
    EXPECT_EQ(bySender->received, (std::vector<std::string>{"B"}));
    EXPECT_EQ(everything->received, (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(order, (std::vector<std::string>{"block A"}));

    center->removeObserver(token.get());
    center->removeObserver(everything.get(), "A", nullptr);
    center->postNotificationName("A", sender);
    EXPECT_EQ(order.size(), 1u);
    // Removing by name leaves a registration for every name in place, as the platform does.
    EXPECT_EQ(everything->received.size(), 3u);
    EXPECT_EQ(bySender->received.size(), 2u);
}

TEST(NSNotificationCenterTest, ObserversAreWeakAndMayRemoveThemselvesWhileNotified) {
    auto center = NSNotificationCenter::create();
    auto gone = std::make_shared<Listener>();
    center->addObserver(gone, "handle:", "A", nullptr);
    gone.reset();
    center->postNotificationName("A"); // must not reach the destroyed observer
    EXPECT_EQ(center->observerCount(), 0u);

    auto once = std::make_shared<Listener>();
    once->removeFrom = center;
    center->addObserver(once, "handle:", "A", nullptr);
    center->addObserver(once, "handle:", "A", nullptr);
    center->postNotificationName("A");
    EXPECT_EQ(once->received.size(), 1u); // the second registration was removed by the first call
}

TEST(NSNotificationCenterTest, PostsFromManyThreadsWhileObserversComeAndGo) {
    auto center = NSNotificationCenter::create();
    std::atomic<int> count{0};
    auto token = center->addObserverForName("tick", nullptr, [&](const auto&) { count++; });
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 500; ++i) {
                center->postNotificationName("tick");
                auto temp = center->addObserverForName("other", nullptr, [](const auto&) {});
                center->removeObserver(temp.get());
            }
        });
    }
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(count.load(), 2000);
    EXPECT_EQ(center->observerCount(), 1u);
}

} // namespace

TEST(NSNotificationCenterTest, AnObservationHeldByItsHandleEndsWithTheHandle) {
    auto center = NSNotificationCenter::create();
    int seen = 0;
    {
        Subscription observing = center->observe("tick", nullptr, [&](const auto&) { ++seen; });
        center->postNotificationName("tick");
        EXPECT_EQ(center->observerCount(), 1u);
    }
    center->postNotificationName("tick");
    EXPECT_EQ(seen, 1);
    EXPECT_EQ(center->observerCount(), 0u);
    // A handle that outlives its centre does nothing when it goes.
    Subscription late = center->observe("tick", nullptr, [](const auto&) {});
    center.reset();
    late.reset();
}
