// What the device asks a server for and how it reads what comes back: the encodings it accepts
// and decodes (within the body cap), bodies the loopback server sends as they are, and replies
// that are not HTTP, which read as the server's fault rather than the URL's.

#include "platform/net/NSURLError.h"
#include "platform/net/NSURLSession.h"
#include "platform/net/URLLoadingSystem.h"
#include "support/HTTPSFixture.h"
#include "support/RawTLSServer.h"

#include <gtest/gtest.h>

#include <zlib.h>

#include <future>
#include <mutex>

namespace {

using Reply = LoopbackHTTPSServer::Reply;
using Request = LoopbackHTTPSServer::Request;

struct Fetched {
    std::shared_ptr<const PlistData> data;
    std::shared_ptr<NSHTTPURLResponse> response;
    std::shared_ptr<NSError> error;
    std::string body() const { return data ? std::string(data->begin(), data->end()) : std::string(); }
    long code() const { return error ? error->code() : 0; }
};

Fetched fetchOnce(const std::string& url) {
    auto promise = std::make_shared<std::promise<Fetched>>();
    auto session = NSURLSession::sessionWithConfiguration(nullptr, nullptr, nullptr);
    session
        ->dataTaskWithRequest(NSMutableURLRequest::requestWithURL(NSURL::URLWithString(url)),
                              [promise](auto data, auto response, auto error) {
                                  promise->set_value({data, response, error});
                              })
        ->resume();
    session->finishTasksAndInvalidate();
    auto future = promise->get_future();
    EXPECT_EQ(future.wait_for(std::chrono::seconds(20)), std::future_status::ready);
    return future.get();
}

// `text` in the zlib format that the "deflate" content coding names.
std::string deflated(const std::string& text) {
    uLongf size = compressBound(static_cast<uLong>(text.size()));
    std::string out(size, '\0');
    EXPECT_EQ(compress2(reinterpret_cast<Bytef*>(out.data()), &size,
                        reinterpret_cast<const Bytef*>(text.data()), static_cast<uLong>(text.size()),
                        Z_BEST_COMPRESSION),
              Z_OK);
    out.resize(size);
    return out;
}

TEST(ServerReplyTest, TheDeviceAsksForThePlatformsEncodingsAndTheLoopbackServerSendsBodiesAsTheyAre) {
    HTTPSFixture https;
    std::mutex mutex;
    std::map<std::string, std::string> seen;
    // Text the server library would compress for a client that accepts it.
    std::string catalogue = "[";
    for (int i = 0; i < 2000; ++i)
        catalogue += std::string(i ? "," : "") + R"({"title": "Item )" + std::to_string(i) + "\"}";
    catalogue += "]";
    https.serve([&](const Request& r) {
        std::lock_guard lock(mutex);
        seen = r.headers;
        return Reply{200, catalogue};
    });
    Fetched out = fetchOnce(https.url("/chatheadsextensions.json"));
    ASSERT_FALSE(out.error) << out.error->description();
    EXPECT_EQ(out.body(), catalogue);
    EXPECT_EQ(out.response->valueForHTTPHeaderField("Content-Encoding"), "");
    EXPECT_EQ(out.response->valueForHTTPHeaderField("Content-Length"), std::to_string(catalogue.size()));
    std::lock_guard lock(mutex);
    EXPECT_EQ(seen["Accept-Encoding"], "br, gzip, deflate");
}

TEST(ServerReplyTest, ACompressedBodyIsDecodedAndCountsDecodedAgainstTheCap) {
    HTTPSFixture https;
    const std::string small = R"([{"title": "A"}])";
    // A few kilobytes that decode to more than the device takes.
    const std::string bomb = deflated(std::string((8u << 20) + 1, ' '));
    ASSERT_LT(bomb.size(), 64u << 10);
    https.serve([&](const Request& r) {
        Reply reply{200, r.path == "/bomb" ? bomb : deflated(small)};
        reply.headers["Content-Encoding"] = "deflate";
        return reply;
    });
    Fetched decoded = fetchOnce(https.url("/small"));
    ASSERT_FALSE(decoded.error) << decoded.error->description();
    EXPECT_EQ(decoded.body(), small);

    Fetched refused = fetchOnce(https.url("/bomb"));
    EXPECT_EQ(refused.code(), NSURLErrorDataLengthExceedsMaximum);
    EXPECT_FALSE(refused.data);
}

// Serves `reply` raw to the device, under the fixture's trusted authority and host name.
Fetched fetchRaw(HTTPSFixture& https, const std::string& reply) {
    RawTLSServer server(https.authority(), https.host(), reply);
    https.connectDeviceTo(server.port());
    Fetched out = fetchOnce(https.url("/chatheadsextensions.json"));
    EXPECT_TRUE(HTTPSFixture::waitForLoads());
    return out;
}

TEST(ServerReplyTest, RepliesThatAreNotHTTPReadAsAnInvalidResponseFromTheServer) {
    HTTPSFixture https;
    const std::string replies[] = {
        "this is not HTTP at all\r\n\r\n",
        "HTTP/1.1 abc\r\nContent-Length: 2\r\n\r\n[]",
        "HTTP/1.1 200 OK\r\nX-Padding: " + std::string(1u << 20, 'a') + "\r\nContent-Length: 2\r\n\r\n[]",
    };
    for (const std::string& reply : replies) {
        Fetched out = fetchRaw(https, reply);
        SCOPED_TRACE(reply.substr(0, 40));
        EXPECT_EQ(out.code(), NSURLErrorBadServerResponse);
        ASSERT_TRUE(out.error);
        // The platform's own text for this code, which names it.
        EXPECT_EQ(out.error->localizedDescription(),
                  "The operation couldn’t be completed. (NSURLErrorDomain error -1011.)");
        EXPECT_FALSE(out.data);
    }
    // The same server with a proper reply is read as usual: the failures above are the replies'.
    Fetched fine = fetchRaw(https, "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\n[]");
    ASSERT_FALSE(fine.error) << fine.error->description();
    EXPECT_EQ(fine.body(), "[]");
}

} // namespace
