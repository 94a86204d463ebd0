#pragma once

// A real HTTPS server on the loopback interface, for the simulated device's network: it listens
// on 127.0.0.1 at a port the system picks, presents a certificate issued for one host name, and
// answers every request through a handler. The simulator serves the maker's catalogue with it;
// tests serve whatever a case needs (an error page, a huge body, a status of 500).
//
//     auto server = LoopbackHTTPSServer::start(*authority, "repo.orbitchat.example",
//         [](const LoopbackHTTPSServer::Request& r) { return LoopbackHTTPSServer::Reply{200, "[]"}; }, why);
//     network.connectTo = {server->connectToEntry(443)};
//
// The handler runs on the server's own threads, one request at a time per connection. A reply's
// body goes out as the handler gives it, with its length and never compressed (a handler that
// sends a compressed body says so in its own Content-Encoding header).

#include <atomic>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>

class ThrowawayCertificateAuthority;
class IssuedCertificate;

namespace httplib {
class SSLServer;
}

class LoopbackHTTPSServer {
public:
    struct Request {
        std::string method;
        std::string path;
        std::string body;
        std::map<std::string, std::string> headers;
    };
    struct Reply {
        Reply(int status = 200, std::string body = {}, std::string contentType = "application/json")
            : status(status), body(std::move(body)), contentType(std::move(contentType)) {}
        int status;
        std::string body;
        std::string contentType;
        std::map<std::string, std::string> headers;
    };
    using Handler = std::function<Reply(const Request&)>;

    // Null, with the reason in `why`, when the certificate cannot be made or no port is free.
    static std::unique_ptr<LoopbackHTTPSServer> start(const ThrowawayCertificateAuthority& authority,
                                                      const std::string& hostName, Handler handler,
                                                      std::string& why);
    ~LoopbackHTTPSServer();
    LoopbackHTTPSServer(const LoopbackHTTPSServer&) = delete;
    LoopbackHTTPSServer& operator=(const LoopbackHTTPSServer&) = delete;

    int port() const { return port_; }
    const std::string& hostName() const { return hostName_; }
    // "HOST:PUBLIC-PORT:127.0.0.1:PORT", for URLLoadingSystem::DeviceNetwork::connectTo.
    std::string connectToEntry(int publicPort = 443) const;
    // Requests that reached the handler so far.
    std::size_t requestCount() const { return requests_.load(); }

private:
    LoopbackHTTPSServer() = default;

    std::string hostName_;
    std::unique_ptr<IssuedCertificate> certificate_;
    std::unique_ptr<httplib::SSLServer> server_;
    std::thread thread_;
    int port_ = 0;
    std::atomic<std::size_t> requests_{0};
};
