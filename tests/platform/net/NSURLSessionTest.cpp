#include "platform/net/NSURLSession.h"

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/NSRunLoop.h"
#include "platform/net/NSURLError.h"
#include "platform/net/URLLoadingSystem.h"
#include "support/HTTPSFixture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>

namespace {

using Reply = LoopbackHTTPSServer::Reply;
using Request = LoopbackHTTPSServer::Request;

struct Outcome {
    std::shared_ptr<const PlistData> data;
    std::shared_ptr<NSHTTPURLResponse> response;
    std::shared_ptr<NSError> error;
    std::thread::id thread;
    std::string body() const { return data ? std::string(data->begin(), data->end()) : std::string(); }
    long code() const { return error ? error->code() : 0; }
};

std::shared_ptr<NSMutableURLRequest> requestFor(const std::string& url) {
    return NSMutableURLRequest::requestWithURL(NSURL::URLWithString(url));
}

// Starts one task on a fresh session and answers a future of its completion.
std::future<Outcome> start(const std::shared_ptr<NSURLRequest>& request,
                           std::shared_ptr<NSURLSessionDataTask>* taskOut = nullptr) {
    auto promise = std::make_shared<std::promise<Outcome>>();
    auto session = NSURLSession::sessionWithConfiguration(
        NSURLSessionConfiguration::defaultSessionConfiguration(), nullptr, nullptr);
    auto task = session->dataTaskWithRequest(request, [promise](auto data, auto response, auto error) {
        promise->set_value({data, response, error, std::this_thread::get_id()});
    });
    task->resume();
    session->finishTasksAndInvalidate();
    if (taskOut)
        *taskOut = task;
    return promise->get_future();
}

Outcome fetch(const std::shared_ptr<NSURLRequest>& request) {
    auto future = start(request);
    EXPECT_EQ(future.wait_for(std::chrono::seconds(20)), std::future_status::ready);
    return future.get();
}

Outcome fetch(const std::string& url) {
    return fetch(requestFor(url));
}

TEST(NSURLSessionTest, ALoadOverVerifiedTLSCompletesOffTheCallingThreadWithBodyAndResponse) {
    HTTPSFixture https;
    Request seen;
    std::mutex mutex;
    https.serve([&](const Request& r) {
        std::lock_guard lock(mutex);
        seen = r;
        Reply reply{200, R"([{"title": "A"}])"};
        reply.headers["X-Served-By"] = "loopback";
        return reply;
    });
    auto request = requestFor(https.url("/chatheadsextensions.json"));
    request->setHTTPMethod("GET");
    request->setHTTPBody({}); // an empty body is no body
    Outcome out = fetch(request);
    ASSERT_FALSE(out.error) << out.error->description();
    EXPECT_NE(out.thread, std::this_thread::get_id());
    EXPECT_EQ(out.body(), R"([{"title": "A"}])");
    ASSERT_TRUE(out.response);
    EXPECT_EQ(out.response->statusCode(), 200);
    EXPECT_EQ(out.response->URL(), https.url("/chatheadsextensions.json"));
    EXPECT_EQ(out.response->valueForHTTPHeaderField("x-served-by"), "loopback");
    std::lock_guard lock(mutex);
    EXPECT_EQ(seen.method, "GET");
    EXPECT_EQ(seen.path, "/chatheadsextensions.json");
    EXPECT_TRUE(seen.body.empty());
    EXPECT_EQ(seen.headers.count("Content-Length"), 0u);
}

TEST(NSURLSessionTest, HTTPStatusesAreNotErrors) {
    HTTPSFixture https;
    https.serveBody("<html><body>Internal error</body></html>", 500, "text/html");
    Outcome out = fetch(https.url("/x"));
    ASSERT_FALSE(out.error) << out.error->description();
    EXPECT_EQ(out.response->statusCode(), 500);
    EXPECT_EQ(out.body(), "<html><body>Internal error</body></html>");
}

TEST(NSURLSessionTest, OnlyHTTPSGoesOut) {
    HTTPSFixture https;
    auto& server = https.serveBody("[]");
    Outcome plain = fetch("http://" + https.host() + "/x");
    EXPECT_EQ(plain.code(), NSURLErrorAppTransportSecurityRequiresSecureConnection);
    EXPECT_EQ(plain.error->domain(), NSURLErrorDomain);
    EXPECT_FALSE(plain.data);
    EXPECT_EQ(fetch("ftp://" + https.host() + "/x").code(), NSURLErrorUnsupportedURL);
    EXPECT_EQ(fetch(NSMutableURLRequest::create()).code(), NSURLErrorBadURL);
    EXPECT_EQ(server.requestCount(), 0u);
}

TEST(NSURLSessionTest, ARedirectToPlainHTTPIsRefused) {
    HTTPSFixture https;
    auto& server = https.serve([&](const Request& r) {
        Reply reply{302, ""};
        reply.headers["Location"] = r.path == "/secure" ? "https://repo.orbitchat.example/final"
                                                        : "http://repo.orbitchat.example/final";
        if (r.path == "/final")
            return Reply{200, "here"};
        return reply;
    });
    Outcome followed = fetch(https.url("/secure"));
    EXPECT_FALSE(followed.error);
    EXPECT_EQ(followed.body(), "here");
    EXPECT_EQ(followed.response->URL(), https.url("/final"));
    std::size_t before = server.requestCount();
    Outcome refused = fetch(https.url("/insecure"));
    EXPECT_EQ(refused.code(), NSURLErrorAppTransportSecurityRequiresSecureConnection);
    EXPECT_EQ(server.requestCount(), before + 1); // the redirect itself, never the http target
}

TEST(NSURLSessionTest, CertificatesAreAlwaysVerified) {
    {
        HTTPSFixture https;
        HTTPSFixture::Options untrusted;
        untrusted.trusted = false;
        https.serve([](const Request&) { return Reply{200, "[]"}; }, untrusted);
        Outcome out = fetch(https.url("/x"));
        EXPECT_EQ(out.code(), NSURLErrorServerCertificateUntrusted);
        EXPECT_NE(out.error->localizedDescription().find("“repo.orbitchat.example”"), std::string::npos);
        EXPECT_EQ(https.server()->requestCount(), 0u);
    }
    {
        HTTPSFixture https;
        HTTPSFixture::Options wrongName;
        wrongName.certifiedHost = "other.example";
        https.serve([](const Request&) { return Reply{200, "[]"}; }, wrongName);
        Outcome out = fetch(https.url("/x"));
        EXPECT_EQ(out.code(), NSURLErrorServerCertificateUntrusted);
        EXPECT_FALSE(out.data);
        EXPECT_EQ(https.server()->requestCount(), 0u);
    }
}

TEST(NSURLSessionTest, TransportFailuresCarryThePlatformsCodesAndTexts) {
    HTTPSFixture https;
    // Nothing listens at this port once the server that had it has gone.
    int port = 0;
    {
        std::string why;
        auto server = LoopbackHTTPSServer::start(
            https.authority(), https.host(), [](const Request&) { return Reply{}; }, why);
        ASSERT_TRUE(server);
        port = server->port();
    }
    URLLoadingSystem::DeviceNetwork network;
    network.connectTo = {https.host() + ":443:127.0.0.1:" + std::to_string(port)};
    URLLoadingSystem::shared().setDeviceNetwork(network);
    Outcome refused = fetch(https.url("/x"));
    EXPECT_EQ(refused.code(), NSURLErrorCannotConnectToHost);
    EXPECT_EQ(refused.error->localizedDescription(), "Could not connect to the server.");
    EXPECT_EQ(refused.error->description(),
              "Error Domain=NSURLErrorDomain Code=-1004 \"Could not connect to the server.\"");

    network.offline = true;
    URLLoadingSystem::shared().setDeviceNetwork(network);
    Outcome offline = fetch(https.url("/x"));
    EXPECT_EQ(offline.code(), NSURLErrorNotConnectedToInternet);
    EXPECT_EQ(offline.error->localizedDescription(), "The Internet connection appears to be offline.");
    EXPECT_NE(offline.thread, std::this_thread::get_id());
}

TEST(NSURLSessionTest, ABodyOverTheCapFailsWithNoData) {
    HTTPSFixture https;
    // Past the default cap, with and without a length announced up front.
    const std::string big((8u << 20) + 1, 'x');
    https.serve([&](const Request& r) { return Reply{200, r.path == "/big" ? big : std::string(100, 'y')}; });
    Outcome out = fetch(https.url("/big"));
    EXPECT_EQ(out.code(), NSURLErrorDataLengthExceedsMaximum);
    EXPECT_EQ(out.error->localizedDescription(), "resource exceeds maximum size");
    EXPECT_FALSE(out.data);
    EXPECT_EQ(fetch(https.url("/small")).body().size(), 100u);

    HTTPSFixture::Options small;
    small.maximumBodyBytes = 99;
    https.serve([](const Request&) { return Reply{200, std::string(100, 'z')}; }, small);
    EXPECT_EQ(fetch(https.url("/x")).code(), NSURLErrorDataLengthExceedsMaximum);
}

TEST(NSURLSessionTest, AServerThatSendsNothingTimesOut) {
    HTTPSFixture https;
    std::mutex mutex;
    std::condition_variable release;
    bool done = false;
    https.serve([&](const Request&) {
        std::unique_lock lock(mutex);
        release.wait(lock, [&] { return done; });
        return Reply{200, "late"};
    });
    auto request = requestFor(https.url("/slow"));
    request->setTimeoutInterval(1);
    Outcome out = fetch(request);
    EXPECT_EQ(out.code(), NSURLErrorTimedOut);
    EXPECT_EQ(out.error->localizedDescription(), "The request timed out.");
    {
        std::lock_guard lock(mutex);
        done = true;
    }
    release.notify_all();
}

TEST(NSURLSessionTest, HeldResponsesReachTheServerButCompleteOnlyOnRelease) {
    HTTPSFixture https;
    auto& server = https.serveBody("[1]");
    URLLoadingSystem::shared().setHoldsResponses(true);
    auto future = start(requestFor(https.url("/x")));
    // The request goes out and is answered; the completion waits.
    for (int i = 0; i < 2000 && server.requestCount() == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(server.requestCount(), 1u);
    EXPECT_FALSE(URLLoadingSystem::shared().waitUntilIdle(0.2));
    EXPECT_EQ(future.wait_for(std::chrono::milliseconds(0)), std::future_status::timeout);
    EXPECT_EQ(URLLoadingSystem::shared().loadsInFlight(), 1u);
    URLLoadingSystem::shared().setHoldsResponses(false);
    ASSERT_EQ(future.wait_for(std::chrono::seconds(20)), std::future_status::ready);
    EXPECT_EQ(future.get().body(), "[1]");
    EXPECT_TRUE(HTTPSFixture::waitForLoads());
}

TEST(NSURLSessionTest, CancellingCompletesOnceWithCancelled) {
    HTTPSFixture https;
    https.serveBody("[]");
    auto session = NSURLSession::sessionWithConfiguration(nullptr, nullptr, nullptr);
    std::atomic<int> calls{0};
    std::atomic<long> code{0};
    auto task = session->dataTaskWithRequest(requestFor(https.url("/x")), [&](auto, auto, auto error) {
        ++calls;
        code = error ? error->code() : 0;
    });
    task->cancel(); // before it started
    task->resume(); // too late: nothing more happens
    task->cancel();
    EXPECT_TRUE(HTTPSFixture::waitForLoads());
    EXPECT_EQ(calls.load(), 1);
    EXPECT_EQ(code.load(), NSURLErrorCancelled);
    EXPECT_EQ(task->state(), NSURLSessionTaskStateCompleted);
}

TEST(NSURLSessionTest, ASessionIsReleasedWithWhatItsCompletionCapturedOnceItsTaskIsDone) {
    HTTPSFixture https;
    https.serveBody("[]");
    std::weak_ptr<NSURLSession> weakSession;
    auto captured = std::make_shared<int>(7);
    std::weak_ptr<int> weakCaptured = captured;
    {
        auto session = NSURLSession::sessionWithConfiguration(nullptr, nullptr, nullptr);
        weakSession = session;
        session->dataTaskWithRequest(requestFor(https.url("/x")), [captured](auto, auto, auto) {})->resume();
        session->finishTasksAndInvalidate();
        EXPECT_EQ(session->dataTaskWithRequest(requestFor(https.url("/y")), nullptr), nullptr);
    }
    captured.reset();
    EXPECT_TRUE(HTTPSFixture::waitForLoads());
    EXPECT_TRUE(weakSession.expired());
    EXPECT_TRUE(weakCaptured.expired());
}

TEST(NSURLSessionTest, ASessionQueueRunsCompletionsOnTheMainRunLoop) {
    HTTPSFixture https;
    https.serveBody("[2]");
    auto loop = NSRunLoop::installMain(ManualClock::create());
    auto session = NSURLSession::sessionWithConfiguration(nullptr, nullptr, dispatch_get_main_queue());
    std::string body;
    bool onMain = false;
    session
        ->dataTaskWithRequest(requestFor(https.url("/x")),
                              [&](auto data, auto, auto) {
                                  body.assign(data->begin(), data->end());
                                  onMain = NSRunLoop::isMainThread();
                              })
        ->resume();
    // The load stays in flight until the main queue has run its completion.
    for (int i = 0; i < 4000 && body.empty(); ++i) {
        loop->runUntilIdle();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(body, "[2]");
    EXPECT_TRUE(onMain);
    EXPECT_TRUE(HTTPSFixture::waitForLoads());
    NSRunLoop::installMain(nullptr);
}

} // namespace
