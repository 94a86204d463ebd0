// The catalogue screen's work, in its two halves and as a whole.
//
// - BM_CatalogueParse: the networking layer's background share for a 10,000-item catalogue: the
//   body parsed as JSON and the displayable items picked out.
// - BM_CatalogueMainThread: the main thread's share for the same list: the list replaced, the
//   table reloaded, and the layout pass that the reload brings about (what the user waits for).
//   Aim: under 4 ms, so the main thread is never busy longer than that while a catalogue arrives.
// - BM_CatalogueFetchLoopback: a whole fetch of the sample catalogue over loopback HTTPS, from
//   sendRequest: to the reload, with a fresh TLS connection each time (a new session connects
//   afresh). The counter "tls_share" is the TLS handshake's share of one such fetch, measured
//   with libcurl's own timers on a fetch of the same URL under the same trust.
//
// Aim for parse plus main-thread share: under 20 ms for 10,000 items.

#include "loopback/LoopbackHTTPSServer.h"
#include "loopback/ThrowawayCertificateAuthority.h"
#include "pane/ExtensionsTableViewController.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/NSRunLoop.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSJSONSerialization.h"
#include "platform/foundation/NSLog.h"
#include "platform/net/URLLoadingSystem.h"
#include "platform/ui/UINavigationController.h"
#include "platform/ui/UIScreen.h"
#include "platform/ui/UITableViewContentView.h"

#include "BenchAnchor.h"

#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <fstream>
#include <sstream>

namespace {

std::string catalogueOf(int items) {
    std::string body = "[";
    for (int i = 0; i < items; ++i) {
        body += (i ? ",\n" : "") + std::string(R"({"title": "Orbitchat for App )") + std::to_string(i) +
                R"(", "repo": "repo.orbitchat.example", "app": "com.bench.app)" + std::to_string(i) +
                R"(", "extension": "com.orbitchat.support.app)" + std::to_string(i) + "\"}";
    }
    return body + "]";
}

void BM_CatalogueParse(benchmark::State& state) {
    const std::string body = catalogueOf(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        PlistValue parsed = NSJSONSerialization::JSONObjectWithData(body, 0, nullptr);
        PlistValue items = ExtensionsTableViewController::displayableItems(parsed);
        benchmark::DoNotOptimize(items);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * body.size()));
}
BENCHMARK(BM_CatalogueParse)->Arg(10000)->Unit(benchmark::kMillisecond);

// A catalogue screen whose own fetch has failed offline, ready to be handed items.
struct OfflineScreen {
    std::shared_ptr<NSRunLoop> loop = NSRunLoop::installMain(ManualClock::create());
    std::shared_ptr<ExtensionsTableViewController> screen =
        ExtensionsTableViewController::create("repo.orbitchat.example");
    std::shared_ptr<UINavigationController> nav = UINavigationController::create(screen);
    OfflineScreen() {
        NSLogSetEchoToStderr(false);
        URLLoadingSystem::DeviceNetwork offline;
        offline.offline = true;
        URLLoadingSystem::shared().setDeviceNetwork(offline);
        nav->view()->setFrame(UIScreen::mainScreen()->bounds());
        screen->loadViewIfNeeded();
        URLLoadingSystem::shared().waitUntilIdle(10);
        loop->runUntilIdle();
    }
    ~OfflineScreen() {
        NSRunLoop::installMain(nullptr);
        URLLoadingSystem::shared().setDeviceNetwork({});
    }
};

void BM_CatalogueMainThread(benchmark::State& state) {
    OfflineScreen offline;
    auto& screen = offline.screen;
    const PlistValue items = ExtensionsTableViewController::displayableItems(
        NSJSONSerialization::JSONObjectWithData(catalogueOf(static_cast<int>(state.range(0))), 0, nullptr));
    for (auto _ : state) {
        screen->replaceItems(items);
        // What the screen's next frame does with the reload: the table's rows rebuilt.
        UITableViewContentView::attach(screen->tableView())->syncWithTable();
    }
}
BENCHMARK(BM_CatalogueMainThread)->Arg(10000)->Unit(benchmark::kMillisecond);

// The data source's share of the main thread's work: one cell per row.
void BM_CatalogueCells(benchmark::State& state) {
    OfflineScreen offline;
    auto& screen = offline.screen;
    screen->replaceItems(ExtensionsTableViewController::displayableItems(
        NSJSONSerialization::JSONObjectWithData(catalogueOf(static_cast<int>(state.range(0))), 0, nullptr)));
    auto table = screen->tableView();
    for (auto _ : state) {
        for (std::int64_t r = 0; r < state.range(0); ++r)
            benchmark::DoNotOptimize(table->cellForRowAtIndexPath({0, r}));
    }
}
BENCHMARK(BM_CatalogueCells)->Arg(10000)->Unit(benchmark::kMillisecond);

// The loopback server of the simulator, serving the sample catalogue.
struct LoopbackCatalogue {
    std::unique_ptr<ThrowawayCertificateAuthority> authority;
    std::unique_ptr<LoopbackHTTPSServer> server;
    LoopbackCatalogue() {
        std::string why;
        authority = ThrowawayCertificateAuthority::create(why);
        std::ifstream in(std::string(ORBITCHAT_SOURCE_DIR) + "/examples/catalogue.json");
        std::stringstream body;
        body << in.rdbuf();
        std::string text = body.str();
        server = LoopbackHTTPSServer::start(
            *authority, "repo.orbitchat.example",
            [text](const LoopbackHTTPSServer::Request&) {
                return LoopbackHTTPSServer::Reply{200, text};
            },
            why);
        URLLoadingSystem::DeviceNetwork network;
        network.trustedCertificatesPEM = {authority->certificatePEM()};
        network.connectTo = {server->connectToEntry(443)};
        URLLoadingSystem::shared().setDeviceNetwork(network);
    }
    ~LoopbackCatalogue() { URLLoadingSystem::shared().setDeviceNetwork({}); }

    // The TLS handshake's share of one fetch of the same URL, by libcurl's timers.
    double handshakeShare() const {
        CURL* curl = curl_easy_init();
        std::string pem = authority->certificatePEM();
        curl_blob blob{pem.data(), pem.size(), CURL_BLOB_COPY};
        curl_slist* connect = curl_slist_append(nullptr, server->connectToEntry(443).c_str());
        curl_easy_setopt(curl, CURLOPT_URL, "https://repo.orbitchat.example/chatheadsextensions.json");
        // Configured as the device's loads are: only the given certificates, no cached store.
        curl_easy_setopt(curl, CURLOPT_CAINFO, nullptr);
        curl_easy_setopt(curl, CURLOPT_CAPATH, nullptr);
        curl_easy_setopt(curl, CURLOPT_CA_CACHE_TIMEOUT, 0L);
        curl_easy_setopt(curl, CURLOPT_SSL_SESSIONID_CACHE, 0L);
        curl_easy_setopt(curl, CURLOPT_CAINFO_BLOB, &blob);
        curl_easy_setopt(curl, CURLOPT_CONNECT_TO, connect);
        curl_easy_setopt(
            curl, CURLOPT_WRITEFUNCTION, +[](char*, size_t s, size_t n, void*) { return s * n; });
        double share = 0;
        if (curl_easy_perform(curl) == CURLE_OK) {
            curl_off_t connected = 0, handshaken = 0, total = 0;
            curl_easy_getinfo(curl, CURLINFO_CONNECT_TIME_T, &connected);
            curl_easy_getinfo(curl, CURLINFO_APPCONNECT_TIME_T, &handshaken);
            curl_easy_getinfo(curl, CURLINFO_TOTAL_TIME_T, &total);
            share = total > 0 ? static_cast<double>(handshaken - connected) / static_cast<double>(total) : 0;
        }
        curl_slist_free_all(connect);
        curl_easy_cleanup(curl);
        return share;
    }
};

void BM_CatalogueFetchLoopback(benchmark::State& state) {
    NSLogSetEchoToStderr(false);
    LoopbackCatalogue catalogue;
    auto loop = NSRunLoop::installMain(ManualClock::create());
    for (auto _ : state) {
        auto screen = ExtensionsTableViewController::create("repo.orbitchat.example");
        auto nav = UINavigationController::create(screen);
        screen->loadViewIfNeeded(); // viewDidLoad: refresh, sendRequest:
        URLLoadingSystem::shared().waitUntilIdle(10);
        loop->runUntilIdle();
        if (screen->tableView()->reloadCount() == 0 || screen->availableItems().count() != 6) {
            state.SkipWithError("the sample catalogue did not arrive");
            break;
        }
    }
    double share = 0;
    for (int i = 0; i < 20; ++i)
        share += catalogue.handshakeShare() / 20;
    state.counters["tls_share"] = share;
    NSRunLoop::installMain(nullptr);
}
BENCHMARK(BM_CatalogueFetchLoopback)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
