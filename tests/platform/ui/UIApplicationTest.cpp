#include "support/DeviceFixture.h"

#include "platform/foundation/NSURL.h"
#include "platform/ui/UIApplication.h"
#include "platform/ui/UITableView.h"

#include <gtest/gtest.h>

namespace {

TEST(UIApplicationTest, OpensOnlyWhatTheDeviceCanAndRecordsIt) {
    DeviceFixture device;
    auto app = UIApplication::sharedApplication();
    EXPECT_FALSE(app->openURL(NSURL::URLWithString("https://a.example/"))); // no handler: nothing opens
    Subscription handler = app->setURLHandler([](const NSURL& url) { return url.scheme() == "https"; });
    EXPECT_TRUE(app->canOpenURL(NSURL::URLWithString("https://a.example/")));
    EXPECT_FALSE(app->canOpenURL(NSURL::URLWithString("cydia://package/x")));
    EXPECT_FALSE(app->canOpenURL(nullptr));
    EXPECT_TRUE(app->openURL(NSURL::URLWithString("https://a.example/")));
    EXPECT_FALSE(app->openURL(NSURL::URLWithString("cydia://package/x")));
    bool result = true;
    app->openURL(NSURL::URLWithString("cydia://package/y"), PlistValue(), [&](bool ok) { result = ok; });
    device.loop()->runUntilIdle();
    EXPECT_FALSE(result);
    EXPECT_EQ(app->openedURLs(), std::vector<std::string>{"https://a.example/"});
}

TEST(UIApplicationTest, TheHostHearsOfWhatOpenedUntilItsHandleGoes) {
    DeviceFixture device;
    auto app = UIApplication::sharedApplication();
    std::vector<std::string> told;
    Subscription handler = app->setURLHandler([](const NSURL& url) { return url.scheme() != "nosuchapp"; },
                                              [&](const std::string& url) { told.push_back(url); });
    EXPECT_TRUE(app->openURL(NSURL::URLWithString("sileo://package/a")));
    EXPECT_FALSE(app->openURL(NSURL::URLWithString("nosuchapp://x")));
    EXPECT_EQ(told, std::vector<std::string>{"sileo://package/a"});
    // A newer handler replaces this one; the old handle then leaves the newer one be.
    Subscription newer = app->setURLHandler([](const NSURL&) { return true; });
    handler.reset();
    EXPECT_TRUE(app->openURL(NSURL::URLWithString("https://b.example/")));
    EXPECT_EQ(told.size(), 1u);
    newer.reset();
    EXPECT_FALSE(app->openURL(NSURL::URLWithString("https://c.example/")));
    EXPECT_EQ(app->openedURLs(), (std::vector<std::string>{"sileo://package/a", "https://b.example/"}));
}

TEST(NSURLTest, ParsesSchemesAndRefusesMalformedText) {
    auto url = NSURL::URLWithString("sileo://package/com.example.ext");
    ASSERT_TRUE(url);
    EXPECT_EQ(url->scheme(), "sileo");
    EXPECT_EQ(url->absoluteString(), "sileo://package/com.example.ext");
    EXPECT_EQ(NSURL::URLWithString("relative/path")->scheme(), "");
    EXPECT_EQ(NSURL::URLWithString("a%20b")->absoluteString(), "a%20b");
    for (const char* bad : {"has space", "https://x/\xc3\xa9", "bad%2", "bad%zz", "a#b#c", "quote\"d"})
        EXPECT_FALSE(NSURL::URLWithString(bad)) << bad;
}

struct Source : UITableViewDataSource, UITableViewDelegate {
    std::int64_t numberOfRowsInSection(const std::shared_ptr<UITableView>&, std::int64_t) override {
        return 2;
    }
    std::shared_ptr<UITableViewCell> cellForRowAtIndexPath(const std::shared_ptr<UITableView>&,
                                                           NSIndexPath ip) override {
        auto cell = UITableViewCell::create(UITableViewCellStyleSubtitle, "Cell");
        cell->setText("row " + std::to_string(ip.row));
        return cell;
    }
    void didSelectRowAtIndexPath(const std::shared_ptr<UITableView>&, NSIndexPath ip) override {
        selected.push_back(ip.row);
    }
    std::vector<std::int64_t> selected;
};

TEST(UITableViewModelTest, AsksItsWeakDataSourceAndTellsTheDelegateOfTaps) {
    auto table = UITableView::create(CGRectMake(0, 0, 320, 480));
    {
        auto source = std::make_shared<Source>();
        table->setDataSource(source);
        table->setDelegate(source);
        EXPECT_EQ(table->numberOfSections(), 1);
        EXPECT_EQ(table->numberOfRowsInSection(0), 2);
        EXPECT_EQ(table->cellForRowAtIndexPath({0, 1})->text(), "row 1");
        EXPECT_EQ(table->cellForRowAtIndexPath({0, 1})->style(), UITableViewCellStyleSubtitle);
        EXPECT_FALSE(table->cellForRowAtIndexPath({0, 2}));
        table->selectRowAtIndexPath({0, 1}, false); // by code: the delegate is not told
        EXPECT_TRUE(source->selected.empty());
        table->tapRowAtIndexPath({0, 0});
        EXPECT_EQ(source->selected, std::vector<std::int64_t>{0});
        table->deselectRowAtIndexPath({0, 0}, true);
        EXPECT_FALSE(table->indexPathForSelectedRow());
    }
    // The table does not keep its data source alive.
    EXPECT_EQ(table->numberOfSections(), 0);
}

} // namespace
