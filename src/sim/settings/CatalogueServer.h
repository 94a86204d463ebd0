#pragma once

// The maker's catalogue server as the program sees it: a real HTTPS server on the loopback
// interface, with the throwaway certificate authority that issued its certificate. It lives in its
// own module (CatalogueServerModule.h), the only part of the program that links the HTTPS server
// library and OpenSSL, so that a run which never opens the catalogue maps neither.
//
//     auto factory = CatalogueServerModule::load();
//     std::unique_ptr<CatalogueServer> server(factory ? factory.value()(host, handler, why) : nullptr);
//     network.trustedCertificatesPEM = {server->authorityPEM()};
//     network.connectTo = {server->connectToEntry(443)};
//
// The handler runs on the server's own threads, one request at a time per connection.

#include <cstddef>
#include <functional>
#include <string>

class CatalogueServer {
public:
    struct Reply {
        int status = 200;
        std::string body;
        std::string contentType = "application/json";
    };
    // Answers a request for `path` ("/chatheadsextensions.json").
    using Handler = std::function<Reply(const std::string& path)>;

    virtual ~CatalogueServer() = default;

    // The port on 127.0.0.1 that the server listens on.
    virtual int port() const = 0;
    // Requests that reached the handler so far.
    virtual std::size_t requestCount() const = 0;
    // The authority's certificate (PEM): the one the device must trust to reach the server.
    virtual std::string authorityPEM() const = 0;
    // "HOST:PUBLIC-PORT:127.0.0.1:PORT", for URLLoadingSystem::DeviceNetwork::connectTo.
    virtual std::string connectToEntry(int publicPort) const = 0;
};

// What the module exports under kCatalogueServerFactoryName: a server for `hostName`, running, or
// null with the reason in `why` (no key or certificate could be made, no port is free).
using CatalogueServerFactory = CatalogueServer* (*)(const std::string& hostName,
                                                    const CatalogueServer::Handler& handler,
                                                    std::string& why);
inline constexpr const char* kCatalogueServerFactoryName = "orbitchat_sim_start_catalogue_server";
