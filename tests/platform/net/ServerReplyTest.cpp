// What the device asks a server for and how it reads what comes back: the encodings it accepts
// and decodes (within the body cap), bodies the loopback server sends as they are, and replies
// that are not HTTP, which read as the server's fault rather than the URL's.

#include "platform/net/NSURLError.h"
#include "platform/net/NSURLSession.h"
#include "platform/net/URLLoadingSystem.h"
#include "support/HTTPSFixture.h"

#include <gtest/gtest.h>

#include <openssl/ssl.h>
#include <pthread.h>
#include <zlib.h>

#include <csignal>

#include <future>
#include <mutex>
#include <thread>

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

// A TLS server on loopback that answers each request with the same bytes, whatever they are,
// and closes the connection: what a broken or hostile server sends, which an HTTP server library
// would never let a handler send.
class RawTLSServer {
public:
    RawTLSServer(const ThrowawayCertificateAuthority& authority, const std::string& host, std::string reply)
        : reply_(std::move(reply)) {
        std::string why;
        certificate_ = authority.issue(host, why);
        context_ = SSL_CTX_new(TLS_server_method());
        if (!certificate_ || !context_ ||
            SSL_CTX_use_certificate(context_, certificate_->certificate()) != 1 ||
            SSL_CTX_use_PrivateKey(context_, certificate_->key()) != 1) {
            ADD_FAILURE() << "no TLS context for the raw server " << why;
            return;
        }
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(fd_, 16) != 0 ||
            ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            ADD_FAILURE() << "no loopback socket to listen on";
            return;
        }
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { serve(); });
    }
    ~RawTLSServer() {
        if (fd_ >= 0)
            ::shutdown(fd_, SHUT_RDWR); // ends the accept
        if (thread_.joinable())
            thread_.join();
        if (fd_ >= 0)
            ::close(fd_);
        SSL_CTX_free(context_);
    }
    RawTLSServer(const RawTLSServer&) = delete;
    RawTLSServer& operator=(const RawTLSServer&) = delete;

    int port() const { return port_; }

private:
    void serve() {
        // A client that gives up mid-reply (as the device does on a header past its bound) makes
        // the next write fail; blocked on this thread, the signal for it cannot end the test.
        sigset_t pipe;
        sigemptyset(&pipe);
        sigaddset(&pipe, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
        for (;;) {
            int client = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0)
                return;
            SSL* ssl = SSL_new(context_);
            SSL_set_fd(ssl, client);
            if (SSL_accept(ssl) == 1) {
                // The request's head, then the reply whole.
                std::string request;
                char buffer[4096];
                while (request.find("\r\n\r\n") == std::string::npos) {
                    int n = SSL_read(ssl, buffer, sizeof buffer);
                    if (n <= 0)
                        break;
                    request.append(buffer, static_cast<std::size_t>(n));
                }
                for (std::size_t sent = 0; sent < reply_.size();) {
                    int n = SSL_write(ssl, reply_.data() + sent, static_cast<int>(reply_.size() - sent));
                    if (n <= 0)
                        break;
                    sent += static_cast<std::size_t>(n);
                }
                SSL_shutdown(ssl);
            }
            SSL_free(ssl);
            ::close(client);
        }
    }

    std::string reply_;
    std::unique_ptr<IssuedCertificate> certificate_;
    SSL_CTX* context_ = nullptr;
    int fd_ = -1;
    int port_ = 0;
    std::thread thread_;
};

// Serves `reply` raw to the device, under the fixture's trusted authority and host name.
Fetched fetchRaw(HTTPSFixture& https, const std::string& reply) {
    RawTLSServer server(https.authority(), https.host(), reply);
    URLLoadingSystem::DeviceNetwork network;
    network.trustedCertificatesPEM = {https.authority().certificatePEM()};
    network.connectTo = {https.host() + ":443:127.0.0.1:" + std::to_string(server.port())};
    URLLoadingSystem::shared().setDeviceNetwork(network);
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
