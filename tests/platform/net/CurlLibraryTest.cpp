// libcurl loaded at the first load rather than at start. Each case runs in a child process of its
// own (a death test, re-executed), the only way to see a first load: in this program an earlier
// test has long loaded the library. Requests from two threads and a URL check from a third, all at
// once, are the library's first use and all work against the real loopback server; with a
// stand-in library that has none of libcurl's functions first on the library path, a request
// fails with an error that names the library, the URL check says the same, nothing crashes or
// hangs, and the log says it once.

#include "platform/net/CurlLibrary.h"
#include "platform/foundation/NSLog.h"
#include "platform/net/HTTPSURLCheck.h"
#include "platform/net/NSURLError.h"
#include "platform/net/NSURLResponse.h"
#include "support/HTTPSFixture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <latch>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

bool libcurlIsMapped() {
    std::ifstream maps("/proc/self/maps");
    std::stringstream text;
    text << maps.rdbuf();
    return text.str().find("libcurl") != std::string::npos;
}

// Ends the child with `failures` printed; its exit code is their number.
[[noreturn]] void endChild(const std::vector<std::string>& failures) {
    for (const auto& failure : failures)
        std::fprintf(stderr, "child: %s\n", failure.c_str());
    std::fprintf(stderr, "child: done with %zu failure(s)\n", failures.size());
    std::fflush(stderr);
    // Past the test's own checks there is nothing of the child worth tearing down.
    std::_Exit(static_cast<int>(failures.size()));
}

URLLoadingSystem::Load loadOf(const std::string& url,
                              std::function<void(URLLoadingSystem::Result)> complete) {
    URLLoadingSystem::Load load;
    load.url = url;
    load.timeoutInterval = 20;
    load.complete = std::move(complete);
    return load;
}

class CurlLibraryTest : public testing::Test {
protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

TEST_F(CurlLibraryTest, TwoThreadsMakingTheFirstRequestsAtOnceBothGetTheirReplies) {
    auto child = [] {
        std::vector<std::string> failures;
        if (libcurlIsMapped())
            failures.push_back("libcurl was loaded before the first request");
        {
            HTTPSFixture https;
            https.serveBody(R"(["first"])");
            auto& system = URLLoadingSystem::shared();
            std::mutex mutex;
            std::vector<long> statuses;
            std::latch go(3);
            auto request = [&] {
                go.arrive_and_wait();
                system.start(loadOf(https.url("/list.json"), [&](URLLoadingSystem::Result result) {
                    std::lock_guard lock(mutex);
                    statuses.push_back(result.response ? result.response->statusCode() : -1);
                    if (result.error)
                        failures.push_back("a request failed: " + result.error->localizedDescription());
                }));
            };
            std::thread first(request), second(request);
            go.arrive_and_wait();
            Result<> checked = checkHTTPSURL(https.url("/list.json"));
            first.join();
            second.join();
            const bool finished = https.waitForLoads();
            std::lock_guard lock(mutex);
            if (!finished)
                failures.push_back("the requests did not finish");
            if (statuses != std::vector<long>{200, 200})
                failures.push_back("not two replies of 200 (" + std::to_string(statuses.size()) + ")");
            if (!checked)
                failures.push_back("the URL check failed: " + checked.reason());
        }
        if (!libcurlIsMapped())
            failures.push_back("libcurl is not loaded after the requests");
        endChild(failures);
    };
    EXPECT_EXIT(child(), testing::ExitedWithCode(0), "child: done with 0 failure");
}

TEST_F(CurlLibraryTest, WithoutTheLibraryARequestFailsNamingItAndTheLogSaysSoOnce) {
    const std::string standIn = std::string(ORBITCHAT_BINARY_DIR) + "/tests/empty-libcurl";
    const char* was = std::getenv("LD_LIBRARY_PATH");
    const std::string before = was ? was : "";
    // The child's loader reads its library path when it starts: it is set for the child here.
    setenv("LD_LIBRARY_PATH", (standIn + (before.empty() ? "" : ":" + before)).c_str(), 1);
    auto child = [] {
        std::vector<std::string> failures;
        std::mutex mutex;
        std::vector<std::string> lines;
        Subscription capture = NSLogAddSink([&](const std::string& line) {
            std::lock_guard lock(mutex);
            if (line.find("could not be loaded") != std::string::npos)
                lines.push_back(line);
        });
        auto& system = URLLoadingSystem::shared();
        std::vector<std::string> errors;
        for (int i = 0; i < 2; ++i)
            system.start(
                loadOf("https://repo.orbitchat.example/list.json", [&](URLLoadingSystem::Result result) {
                    std::lock_guard lock(mutex);
                    errors.push_back(result.error ? result.error->localizedDescription() : "no error");
                    if (result.error && result.error->domain() != std::string(NSURLErrorDomain))
                        failures.push_back("the error is not in NSURLErrorDomain");
                    if (result.data)
                        failures.push_back("a failed request has data");
                }));
        const bool finished = system.waitUntilIdle(20);
        Result<> checked = checkHTTPSURL("https://repo.orbitchat.example/list.json");
        // The stand-in is found by the library's own soname, and lacks the first function.
        auto namesTheLibrary = [](const std::string& text) {
            return text.starts_with("the network library (libcurl") &&
                   text.find(") could not be loaded: it has no curl_") != std::string::npos;
        };
        std::lock_guard lock(mutex);
        if (!finished)
            failures.push_back("the requests did not finish");
        for (const auto& error : errors)
            if (!namesTheLibrary(error))
                failures.push_back("the request's error does not name the library: " + error);
        if (errors.size() != 2)
            failures.push_back("not two completions");
        if (checked || !namesTheLibrary(checked.reason()))
            failures.push_back("the URL check did not say why: " + checked.reason());
        if (lines.size() != 1)
            failures.push_back("the log said it " + std::to_string(lines.size()) + " times");
        endChild(failures);
    };
    EXPECT_EXIT(child(), testing::ExitedWithCode(0), "child: done with 0 failure");
    if (was)
        setenv("LD_LIBRARY_PATH", before.c_str(), 1);
    else
        unsetenv("LD_LIBRARY_PATH");
}

} // namespace
