#include "support/DeviceFixture.h"

#include "platform/ui/UIAlertController.h"
#include "platform/ui/UINavigationController.h"
#include "platform/ui/UIView.h"

#include <gtest/gtest.h>

namespace {

struct Recorder : UIViewController {
    static std::shared_ptr<Recorder> make() { return std::shared_ptr<Recorder>(new Recorder()); }
    void viewDidAppear(bool) override { events.push_back("appeared"); }
    void viewDidDisappear(bool) override { events.push_back("disappeared"); }
    std::vector<std::string> events;
};

TEST(UIAlertControllerTest, ActionDismissesFirstThenRunsItsHandlerOnTheRunLoop) {
    DeviceFixture device;
    auto host = UIViewController::create();
    auto alert = UIAlertController::alertControllerWithTitle("T", "M", UIAlertControllerStyleAlert);
    std::vector<std::string> order;
    alert->addAction(
        UIAlertAction::actionWithTitle("Go", UIAlertActionStyleDestructive, [&](const auto& action) {
            order.push_back("handler:" + action->title());
            // Already dismissed: the handler may present something new.
            EXPECT_FALSE(host->presentedViewController());
        }));
    bool completed = false;
    host->presentViewController(alert, true, [&] { completed = true; });
    EXPECT_EQ(host->presentedViewController(), alert);
    EXPECT_EQ(alert->presentingViewController(), host);
    EXPECT_FALSE(completed); // the completion waits for the end of the transition
    device.loop()->runUntilIdle();
    EXPECT_TRUE(completed);

    alert->performAction(alert->actionWithTitle("Go"));
    EXPECT_FALSE(host->presentedViewController());
    EXPECT_TRUE(order.empty());
    device.loop()->runUntilIdle();
    EXPECT_EQ(order, std::vector<std::string>{"handler:Go"});

    // A pick on an alert that is no longer presented does nothing.
    alert->performAction(alert->actionWithTitle("Go"));
    device.loop()->runUntilIdle();
    EXPECT_EQ(order.size(), 1u);
}

TEST(UIAlertControllerTest, SecondPresentationIsRefusedWithAWarning) {
    DeviceFixture device;
    auto host = UIViewController::create();
    auto first = UIAlertController::alertControllerWithTitle("A", std::nullopt, UIAlertControllerStyleAlert);
    auto second = UIAlertController::alertControllerWithTitle("B", std::nullopt, UIAlertControllerStyleAlert);
    host->presentViewController(first, true, nullptr);
    bool ran = false;
    host->presentViewController(second, true, [&] { ran = true; });
    device.loop()->runUntilIdle();
    EXPECT_EQ(host->presentedViewController(), first);
    EXPECT_FALSE(ran);
    EXPECT_EQ(device.countLog("Warning: Attempt to present <UIAlertController"), 1u);
}

TEST(UINavigationControllerTest, ChildrenPresentThroughTheirNavigationControllerAndDismissChains) {
    DeviceFixture device;
    auto root = Recorder::make();
    auto nav = UINavigationController::create(root);
    EXPECT_EQ(root->navigationController(), nav);
    EXPECT_EQ(nav->topViewController(), root);
    nav->loadViewIfNeeded();
    EXPECT_EQ(root->view()->superview(), nav->view());

    auto modalRoot = Recorder::make();
    auto modal = UINavigationController::create(modalRoot);
    root->presentViewController(modal, true, nullptr);
    EXPECT_EQ(nav->presentedViewController(), modal);
    EXPECT_EQ(root->presentedViewController(), modal);
    auto alert =
        UIAlertController::alertControllerWithTitle("On top", std::nullopt, UIAlertControllerStyleAlert);
    modalRoot->presentViewController(alert, false, nullptr);
    EXPECT_EQ(modal->presentedViewController(), alert);
    device.loop()->runUntilIdle();
    EXPECT_EQ(modalRoot->events, std::vector<std::string>{"appeared"});

    // Dismissing from the presenter takes everything above it.
    bool done = false;
    root->dismissViewControllerAnimated(true, [&] { done = true; });
    EXPECT_FALSE(nav->presentedViewController());
    EXPECT_FALSE(modal->presentedViewController());
    device.loop()->runUntilIdle();
    EXPECT_TRUE(done);
    EXPECT_EQ(modalRoot->events, (std::vector<std::string>{"appeared", "disappeared"}));

    // A presented controller with nothing above it dismisses itself (the catalogue's Close).
    root->presentViewController(modal, true, nullptr);
    modalRoot->dismissModalViewControllerAnimated(true);
    EXPECT_FALSE(nav->presentedViewController());
}

} // namespace
