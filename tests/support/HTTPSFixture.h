#pragma once

// A real HTTPS server on loopback for network tests, and the device's network pointed at it: a
// throwaway authority issues the server's certificate, the device trusts that authority (unless a
// test says otherwise) and connects `host` to the server's port, so TLS checks the host name as in
// the field. Everything in flight is let through and waited for when the fixture goes (the
// network itself is the test's device environment's, and goes with it).
//
//     HTTPSFixture https;
//     https.serve([](auto&) { return LoopbackHTTPSServer::Reply{200, "[]"}; });
//     ... request https.url("/chatheadsextensions.json") ...
//     https.waitForLoads();

#include "loopback/LoopbackHTTPSServer.h"
#include "loopback/ThrowawayCertificateAuthority.h"
#include "platform/net/URLLoadingSystem.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <memory>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

class HTTPSFixture {
public:
    explicit HTTPSFixture(std::string host = "repo.orbitchat.example") : host_(std::move(host)) {
        std::string why;
        authority_ = ThrowawayCertificateAuthority::create(why);
        EXPECT_TRUE(authority_) << why;
        URLLoadingSystem::shared().setHoldsResponses(false);
    }
    ~HTTPSFixture() {
        URLLoadingSystem::shared().setHoldsResponses(false);
        EXPECT_TRUE(URLLoadingSystem::shared().waitUntilIdle(20)) << "requests still in flight";
        server_.reset();
    }
    HTTPSFixture(const HTTPSFixture&) = delete;
    HTTPSFixture& operator=(const HTTPSFixture&) = delete;

    struct Options {
        // The name on the server's certificate (default: the host the device asks for).
        std::string certifiedHost{};
        // Whether the device trusts the authority that issued it.
        bool trusted = true;
        std::size_t maximumBodyBytes = 8u << 20;
    };

    LoopbackHTTPSServer& serve(LoopbackHTTPSServer::Handler handler, Options options) {
        std::string why;
        server_ = LoopbackHTTPSServer::start(*authority_,
                                             options.certifiedHost.empty() ? host_ : options.certifiedHost,
                                             std::move(handler), why);
        EXPECT_TRUE(server_) << why;
        connectDeviceTo(server_->port(), options);
        return *server_;
    }
    LoopbackHTTPSServer& serve(LoopbackHTTPSServer::Handler handler) {
        return serve(std::move(handler), Options{});
    }

    // Serves `body` with `status` for every request.
    LoopbackHTTPSServer& serveBody(std::string body, int status = 200,
                                   std::string contentType = "application/json") {
        return serve([=](const LoopbackHTTPSServer::Request&) {
            return LoopbackHTTPSServer::Reply{status, body, contentType};
        });
    }

    // Points the device's network at another server of the test's, on loopback `port`, for the
    // fixture's host, as serve() does for its own (the certificate checks stay on).
    void connectDeviceTo(int port) { connectDeviceTo(port, Options{}); }
    void connectDeviceTo(int port, const Options& options) {
        URLLoadingSystem::DeviceNetwork network;
        if (options.trusted)
            network.trustedCertificatesPEM = {authority_->certificatePEM()};
        network.connectTo = {host_ + ":443:127.0.0.1:" + std::to_string(port)};
        network.maximumBodyBytes = options.maximumBodyBytes;
        URLLoadingSystem::shared().setDeviceNetwork(network);
    }

    std::string url(const std::string& path) const { return "https://" + host_ + path; }
    const std::string& host() const { return host_; }
    LoopbackHTTPSServer* server() const { return server_.get(); }
    const ThrowawayCertificateAuthority& authority() const { return *authority_; }

    // Waits in real time for every load to be through its completion.
    static bool waitForLoads(double seconds = 20) {
        return URLLoadingSystem::shared().waitUntilIdle(seconds);
    }

private:
    std::string host_;
    std::unique_ptr<ThrowawayCertificateAuthority> authority_;
    std::unique_ptr<LoopbackHTTPSServer> server_;
};

// A socket listening on a free port of loopback, and the port; -1 (the test failed) when there is
// none.
inline int listenOnLoopback(int& port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, 16) != 0 || ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ADD_FAILURE() << "no loopback socket to listen on";
        if (fd >= 0)
            ::close(fd);
        return -1;
    }
    port = ntohs(address.sin_port);
    return fd;
}

// A server on loopback that takes connections and never says a word: a client's TLS hello waits
// for an answer until the client gives up, so a request to it stays in flight for as long as a
// test needs one in flight. The kernel completes each connection from the listening socket's
// backlog; nothing reads from it.
//
//     SilentLoopbackServer silent;
//     ... request "https://127.0.0.1:" + std::to_string(silent.port()) + "/" ...
class SilentLoopbackServer {
public:
    SilentLoopbackServer() { fd_ = listenOnLoopback(port_); }
    ~SilentLoopbackServer() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    SilentLoopbackServer(const SilentLoopbackServer&) = delete;
    SilentLoopbackServer& operator=(const SilentLoopbackServer&) = delete;

    int port() const { return port_; }

private:
    int fd_ = -1;
    int port_ = 0;
};
