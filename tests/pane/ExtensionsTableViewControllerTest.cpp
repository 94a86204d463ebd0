#include "pane/ExtensionsTableViewController.h"

#include "hud/TQProgressHUD.h"
#include "pane/PaneTestSupport.h"
#include "pane/QueryParameters.h"
#include "platform/foundation/NSJSONSerialization.h"
#include "platform/layout/NSLayoutEngine.h"
#include "platform/net/NSURLError.h"
#include "platform/ui/UIApplication.h"
#include "support/HTTPSFixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace {

using Reply = LoopbackHTTPSServer::Reply;

struct Row {
    std::string title;
    std::string detail;
    bool icon = false;
    bool operator==(const Row&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Row& row) {
    return out << "{" << row.title << ", " << row.detail << ", " << row.icon << "}";
}

class CatalogueTest : public ::testing::Test {
protected:
    void SetUp() override {
        NSLayoutEngine::install();
        device.addApp("com.apple.MobileSMS",
                      {{"CFBundleDisplayName", "Messages"}, {"CFBundleIconFile", "Icon"}});
        device.write("/Applications/com.apple.MobileSMS.app/Icon.png", DeviceFixture::png(29));
        // The device opens what its apps declare, as the simulator's device does.
        urlHandler = UIApplication::sharedApplication()->setURLHandler([](const NSURL& url) {
            return ALApplicationList::sharedApplicationList()->hasApplicationForURLScheme(url.scheme());
        });
    }

    // The screen as the pane presents it: the root of a navigation controller, its view loaded
    // (which starts the fetch).
    std::shared_ptr<ExtensionsTableViewController> open() {
        auto screen = ExtensionsTableViewController::create(https.host());
        nav = UINavigationController::create(screen);
        screen->loadViewIfNeeded();
        return screen;
    }

    // Lets the fetch finish and the main queue run what it posted.
    void settle() {
        ASSERT_TRUE(HTTPSFixture::waitForLoads());
        device.loop()->runUntilIdle();
    }

    static std::vector<Row> rows(const std::shared_ptr<ExtensionsTableViewController>& screen) {
        std::vector<Row> out;
        auto table = screen->tableView();
        for (std::int64_t r = 0; r < table->numberOfRowsInSection(0); ++r) {
            auto cell = table->cellForRowAtIndexPath({0, r});
            out.push_back({cell->text(), cell->detailText(), cell->image() != nullptr});
        }
        return out;
    }

    static bool hudShown(const std::shared_ptr<ExtensionsTableViewController>& screen) {
        return TQProgressHUD::HUDForView(screen->view()) != nullptr;
    }

    std::vector<std::string> logLines(std::string_view prefix) const {
        std::vector<std::string> out;
        for (const auto& line : device.log())
            if (line.compare(0, prefix.size(), prefix) == 0)
                out.push_back(line);
        return out;
    }

    DeviceFixture device;
    HTTPSFixture https;
    std::shared_ptr<UINavigationController> nav;
    Subscription urlHandler;
};

const char* kCatalogue = R"([
  {"title": "Orbitchat for Signal", "repo": "chariz.example", "app": "org.whispersystems.signal", "extension": "com.orbitchat.signal"},
  {"title": "Orbitchat for Messages", "repo": "repo.orbitchat.example", "app": "com.apple.MobileSMS", "extension": "com.orbitchat.messages"},
  {"title": "Orbitchat for Discord", "repo": "repo.orbitchat.example", "extension": "com.orbitchat.discord"}
])";

TEST_F(CatalogueTest, TheHUDCoversTheListUntilTheRowsArriveInCatalogueOrder) {
    LoopbackHTTPSServer::Request seen;
    std::mutex mutex;
    https.serve([&](const LoopbackHTTPSServer::Request& r) {
        std::lock_guard lock(mutex);
        seen = r;
        return Reply{200, kCatalogue};
    });
    URLLoadingSystem::shared().setHoldsResponses(true);
    auto screen = open();
    device.loop()->runUntilIdle();
    EXPECT_TRUE(hudShown(screen));
    EXPECT_TRUE(rows(screen).empty());
    URLLoadingSystem::shared().setHoldsResponses(false);
    settle();
    EXPECT_FALSE(hudShown(screen));
    EXPECT_THAT(rows(screen), ElementsAre(Row{"Orbitchat for Signal", "chariz.example", false},
                                          Row{"Orbitchat for Messages", "repo.orbitchat.example", true},
                                          Row{"Orbitchat for Discord", "repo.orbitchat.example", false}));
    // Fresh subtitle cells with the reuse identifier "Cell", no accessory.
    auto cell = screen->tableView()->cellForRowAtIndexPath({0, 1});
    EXPECT_EQ(cell->style(), UITableViewCellStyleSubtitle);
    EXPECT_EQ(cell->reuseIdentifier(), "Cell");
    EXPECT_NE(cell, screen->tableView()->cellForRowAtIndexPath({0, 1}));
    {
        std::lock_guard lock(mutex);
        EXPECT_EQ(seen.method, "GET");
        EXPECT_EQ(seen.path, "/chatheadsextensions.json");
        EXPECT_TRUE(seen.body.empty());
    }
    auto got = logLines("Got items: ");
    ASSERT_EQ(got.size(), 1u);
    EXPECT_THAT(got[0], HasSubstr("title = \"Orbitchat for Signal\";"));
    EXPECT_TRUE(logLines("URL Session Task Failed").empty());
    // The hidden HUD fades out and leaves the view.
    device.loop()->advanceBy(1);
    EXPECT_TRUE(TQProgressHUD::allHUDsForView(screen->view()).empty());
}

TEST_F(CatalogueTest, ResponsesThatHoldNoCatalogueShowNoRowsAndNoAlert) {
    struct Case {
        int status;
        std::string body;
        std::string logged;
    };
    const std::vector<Case> cases = {
        {200, "[]", "Got items: (\n)"},
        {200, "<html><body><h1>Not here</h1></body></html>", "Got items: (null)"},
        {200, "", "Got items: (null)"},
        {404, "<html>404</html>", "Got items: (null)"},
        {200, R"({"title": "not a list"})", "Got items: {\n    title = \"not a list\";\n}"},
        {200, std::string(1000000, '[') + std::string(1000000, ']'), "Got items: (null)"},
        {200, "[1e999]", "Got items: (null)"},
        {200, "[{\"title\": \"\xC3\x28\"}]", "Got items: (null)"},
    };
    for (const auto& c : cases) {
        device.clearLog();
        https.serveBody(c.body, c.status, "text/html");
        auto screen = open();
        settle();
        EXPECT_FALSE(hudShown(screen)) << c.body.substr(0, 40);
        EXPECT_TRUE(rows(screen).empty()) << c.body.substr(0, 40);
        EXPECT_THAT(logLines("Got items: "), ElementsAre(c.logged)) << c.body.substr(0, 40);
        EXPECT_FALSE(screen->presentedViewController());
    }
}

TEST_F(CatalogueTest, AFailureStatusWithACatalogueBodyIsShown) {
    https.serveBody(kCatalogue, 500);
    auto screen = open();
    settle();
    EXPECT_EQ(rows(screen).size(), 3u);
}

TEST_F(CatalogueTest, ItemsThatAreNotDictionariesAreLeftOutAndOddFieldsReadAsMissing) {
    https.serveBody(R"([1, "two", null, [3],
                        {"title": 5, "repo": ["r"], "app": 3, "extension": {}},
                        {"title": "Kept", "repo": "repo.example", "app": "com.apple.MobileSMS", "extension": "com.k"}])");
    auto screen = open();
    settle();
    EXPECT_THAT(rows(screen), ElementsAre(Row{"", "", false}, Row{"Kept", "repo.example", true}));
    // A row without a package opens nothing; the next one opens its own.
    device.addApp(
        "com.saurik.Cydia",
        {{"CFBundleURLTypes", PlistValue::array({PlistValue::dictionary(
                                  {{"CFBundleURLSchemes", PlistValue::array({PlistValue("cydia")})}})})}});
    screen->tableView()->tapRowAtIndexPath({0, 0});
    EXPECT_TRUE(UIApplication::sharedApplication()->openedURLs().empty());
    screen->tableView()->tapRowAtIndexPath({0, 1});
    EXPECT_THAT(UIApplication::sharedApplication()->openedURLs(), ElementsAre("cydia://package/com.k"));
}

TEST_F(CatalogueTest, ItemsThatNameNoFieldOfARowMakeNoRow) {
    https.serveBody(R"([{}, {"title": "A"}, {"note": "not a field of a row"}, {"extension": "com.e"}, {}])");
    auto screen = open();
    settle();
    EXPECT_THAT(rows(screen), ElementsAre(Row{"A", "", false}, Row{"", "", false}));
}

TEST_F(CatalogueTest, ALongCatalogueShowsItsFirstItemsAndLogsHowManyWereLeftOut) {
    constexpr std::size_t kTaken = ExtensionsTableViewController::kMaximumItems;
    std::string body = "[";
    for (std::size_t i = 0; i < kTaken + 5; ++i)
        body += (i ? "," : "") + std::string(R"({"title": "Item )") + std::to_string(i) + "\"}";
    https.serveBody(body + "]");
    auto screen = open();
    settle();
    auto table = screen->tableView();
    ASSERT_EQ(table->numberOfRowsInSection(0), static_cast<std::int64_t>(kTaken));
    EXPECT_EQ(table->cellForRowAtIndexPath({0, 0})->text(), "Item 0");
    EXPECT_EQ(table->cellForRowAtIndexPath({0, static_cast<std::int64_t>(kTaken) - 1})->text(), "Item 9999");
    EXPECT_THAT(logLines("The catalogue lists"),
                ElementsAre("The catalogue lists 5 more items than the 10000 taken; they were left out"));

    // A body as long as the device takes, of items with nothing to show: no row, and no more
    // than the taken ones built.
    device.clearLog();
    const std::size_t empties = ((8u << 20) - 2) / 3;
    std::string emptyItems = "[{}";
    emptyItems.reserve(8u << 20);
    for (std::size_t i = 1; i < empties; ++i)
        emptyItems += ",{}";
    https.serveBody(emptyItems + "]");
    screen = open();
    settle();
    EXPECT_EQ(screen->tableView()->numberOfRowsInSection(0), 0);
    EXPECT_THAT(logLines("The catalogue lists"),
                ElementsAre("The catalogue lists " + std::to_string(empties - kTaken) +
                            " more items than the 10000 taken; they were left out"));
}

TEST_F(CatalogueTest, TransportFailuresLogOnceAndLeaveTheListEmpty) {
    struct Case {
        HTTPSFixture::Options options;
        bool offline;
        std::string logged;
    };
    HTTPSFixture::Options untrusted;
    untrusted.trusted = false;
    HTTPSFixture::Options wrongHost;
    wrongHost.certifiedHost = "elsewhere.example";
    HTTPSFixture::Options tinyCap;
    tinyCap.maximumBodyBytes = 10;
    const std::vector<Case> cases = {
        {{}, true, "URL Session Task Failed: The Internet connection appears to be offline."},
        {untrusted, false,
         "URL Session Task Failed: " +
             NSURLErrorLocalizedDescription(NSURLErrorServerCertificateUntrusted, https.host())},
        {wrongHost, false,
         "URL Session Task Failed: " +
             NSURLErrorLocalizedDescription(NSURLErrorServerCertificateUntrusted, https.host())},
        {tinyCap, false, "URL Session Task Failed: resource exceeds maximum size"},
    };
    for (const auto& c : cases) {
        device.clearLog();
        https.serve([](const LoopbackHTTPSServer::Request&) { return Reply{200, kCatalogue}; }, c.options);
        if (c.offline) {
            auto network = URLLoadingSystem::shared().deviceNetwork();
            network.offline = true;
            URLLoadingSystem::shared().setDeviceNetwork(network);
        }
        auto screen = open();
        settle();
        EXPECT_THAT(logLines("URL Session Task Failed"), ElementsAre(c.logged));
        EXPECT_TRUE(logLines("Got items").empty());
        EXPECT_FALSE(hudShown(screen));
        EXPECT_TRUE(rows(screen).empty());
        EXPECT_FALSE(screen->presentedViewController());
    }
}

TEST_F(CatalogueTest, ConnectionRefused) {
    URLLoadingSystem::DeviceNetwork network;
    network.connectTo = {https.host() + ":443:127.0.0.1:1"};
    URLLoadingSystem::shared().setDeviceNetwork(network);
    auto screen = open();
    settle();
    EXPECT_THAT(logLines("URL Session Task Failed"),
                ElementsAre("URL Session Task Failed: Could not connect to the server."));
    EXPECT_FALSE(hudShown(screen));
}

TEST_F(CatalogueTest, AResponseAfterCloseStillCompletesAndThenReleasesTheScreen) {
    https.serveBody(kCatalogue);
    URLLoadingSystem::shared().setHoldsResponses(true);
    installPaneTestBundle(device);
    std::weak_ptr<ExtensionsTableViewController> weakScreen;
    {
        OpenPane p;
        p.pane->dismissViewControllerAnimated(false, nullptr); // the "No Extensions!" alert
        device.loop()->runUntilIdle();
        p.pane->viewExtensions(nullptr);
        device.loop()->advanceBy(1);
        auto presented = std::dynamic_pointer_cast<UINavigationController>(p.pane->presentedViewController());
        ASSERT_TRUE(presented);
        auto screen =
            std::dynamic_pointer_cast<ExtensionsTableViewController>(presented->topViewController());
        ASSERT_TRUE(screen);
        weakScreen = screen;
        screen->close(nullptr);
        device.loop()->advanceBy(1);
        EXPECT_FALSE(p.pane->presentedViewController());
    }
    // The pane is gone; the fetch in flight keeps the screen until its completion has run.
    EXPECT_FALSE(weakScreen.expired());
    URLLoadingSystem::shared().setHoldsResponses(false);
    settle();
    device.loop()->advanceBy(1);
    EXPECT_EQ(logLines("Got items: ").size(), 1u);
    EXPECT_TRUE(weakScreen.expired());
}

TEST_F(CatalogueTest, ATapOpensThePackageManagerAndTheCatalogueStaysPresented) {
    https.serveBody(R"([{"title": "Ext", "repo": "r", "extension": "com.example.ext"}])");
    installPaneTestBundle(device);
    OpenPane p;
    p.pane->dismissViewControllerAnimated(false, nullptr);
    device.loop()->runUntilIdle();
    p.pane->viewExtensions(nullptr);
    device.loop()->advanceBy(1);
    settle();
    auto presented = std::dynamic_pointer_cast<UINavigationController>(p.pane->presentedViewController());
    ASSERT_TRUE(presented);
    auto screen = std::dynamic_pointer_cast<ExtensionsTableViewController>(presented->topViewController());
    ASSERT_TRUE(screen);

    // Without Sileo the catalogue falls back to Cydia, unchecked.
    EXPECT_FALSE(screen->schemeAvailable("sileo://"));
    screen->tableView()->tapRowAtIndexPath({0, 0});
    EXPECT_FALSE(screen->tableView()->indexPathForSelectedRow());
    // No app on this device declares cydia://, so nothing opened; the screen stays.
    EXPECT_TRUE(UIApplication::sharedApplication()->openedURLs().empty());
    device.addApp(
        "com.saurik.Cydia",
        {{"CFBundleURLTypes", PlistValue::array({PlistValue::dictionary(
                                  {{"CFBundleURLSchemes", PlistValue::array({PlistValue("cydia")})}})})}});
    screen->tableView()->tapRowAtIndexPath({0, 0});
    EXPECT_THAT(UIApplication::sharedApplication()->openedURLs(),
                ElementsAre("cydia://package/com.example.ext"));

    device.addApp(
        "org.coolstar.SileoStore",
        {{"CFBundleURLTypes", PlistValue::array({PlistValue::dictionary(
                                  {{"CFBundleURLSchemes", PlistValue::array({PlistValue("sileo")})}})})}});
    EXPECT_TRUE(screen->schemeAvailable("sileo://"));
    screen->tableView()->tapRowAtIndexPath({0, 0});
    device.loop()->advanceBy(1);
    EXPECT_EQ(UIApplication::sharedApplication()->openedURLs().back(), "sileo://package/com.example.ext");
    EXPECT_EQ(p.pane->presentedViewController(), presented);
}

TEST(CatalogueURLTest, PackageIdentifiersArePercentEncodedForAQuery) {
    auto item = [](PlistValue extension) { return PlistValue::dictionary({{"extension", extension}}); };
    EXPECT_EQ(ExtensionsTableViewController::packageURLString(item("com.example.ext"), true),
              "sileo://package/com.example.ext");
    EXPECT_EQ(ExtensionsTableViewController::packageURLString(item("com.example.ext"), false),
              "cydia://package/com.example.ext");
    EXPECT_EQ(ExtensionsTableViewController::packageURLString(item("my ext/part:1?x=é#frag"), true),
              "sileo://package/my%20ext/part:1?x=%C3%A9%23frag");
    EXPECT_EQ(ExtensionsTableViewController::packageURLString(item(""), true), "");
    EXPECT_EQ(ExtensionsTableViewController::packageURLString(item(7), true), "");
    EXPECT_EQ(ExtensionsTableViewController::packageURLString(PlistValue(), true), "");
    // What comes out is a URL the platform accepts as it is.
    EXPECT_TRUE(NSURL::URLWithString(
        ExtensionsTableViewController::packageURLString(item("weird \"<pkg>\" {id} | 100%"), true)));
}

TEST(CatalogueURLTest, QueryParametersOfAnEmptySetAreAnEmptyBody) {
    EXPECT_EQ(NSStringFromQueryParameters(PlistValue::dictionary()), "");
    EXPECT_EQ(NSStringFromQueryParameters(PlistValue()), "");
    EXPECT_EQ(NSStringFromQueryParameters(PlistValue::dictionary({{"b", "x&y=z"}, {"a b", 2}})),
              "a%20b=2&b=x%26y%3Dz");
}

TEST(CatalogueURLTest, DisplayableItemsKeepDictionariesInOrder) {
    PlistValue parsed =
        NSJSONSerialization::JSONObjectWithData(R"([{"title":1}, 2, {"title":3}])", 0, nullptr);
    PlistValue shown = ExtensionsTableViewController::displayableItems(parsed);
    ASSERT_EQ(shown.count(), 2u);
    EXPECT_EQ(shown.at(1)["title"].integerValue(), 3);
    EXPECT_FALSE(ExtensionsTableViewController::displayableItems(PlistValue::dictionary()));
    EXPECT_FALSE(ExtensionsTableViewController::displayableItems(PlistValue()));
}

TEST(CatalogueURLTest, DisplayableItemsAreTakenFromTheFirstElementsOnly) {
    PlistArray many(ExtensionsTableViewController::kMaximumItems + 1,
                    PlistValue::dictionary({{"title", "t"}}));
    many.front() = PlistValue::dictionary();
    PlistValue shown = ExtensionsTableViewController::displayableItems(PlistValue::array(std::move(many)));
    EXPECT_EQ(shown.count(), ExtensionsTableViewController::kMaximumItems - 1);

    // Every element a row: all of them up to the bound, in order, and only up to it.
    PlistValue rows =
        PlistValue::array({PlistValue::dictionary({{"title", "a"}}), PlistValue::dictionary({{"app", "b"}})});
    EXPECT_EQ(ExtensionsTableViewController::displayableItems(rows), rows);
    PlistArray over(ExtensionsTableViewController::kMaximumItems + 1,
                    PlistValue::dictionary({{"repo", "r"}}));
    EXPECT_EQ(ExtensionsTableViewController::displayableItems(PlistValue::array(std::move(over))).count(),
              ExtensionsTableViewController::kMaximumItems);
    // A row after one that is not keeps its place.
    PlistValue mixed = PlistValue::array(
        {PlistValue::dictionary({{"title", "a"}}), PlistValue(2), PlistValue::dictionary({{"title", "c"}})});
    PlistValue kept = ExtensionsTableViewController::displayableItems(mixed);
    ASSERT_EQ(kept.count(), 2u);
    EXPECT_EQ(kept.at(0)["title"], PlistValue("a"));
    EXPECT_EQ(kept.at(1)["title"], PlistValue("c"));
}

} // namespace
