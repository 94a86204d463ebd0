// The catalogue server's module (orbitchat-sim-loopback.so): the loopback HTTPS server and its
// throwaway certificate authority behind the program's CatalogueServer, with the one exported
// factory the program looks up (CatalogueServerModule.h).

#include "sim/settings/CatalogueServer.h"

#include "loopback/LoopbackHTTPSServer.h"
#include "loopback/ThrowawayCertificateAuthority.h"

#include <memory>
#include <type_traits>

namespace {

class LoopbackCatalogueServer final : public CatalogueServer {
public:
    static LoopbackCatalogueServer* start(const std::string& hostName, const Handler& handler,
                                          std::string& why) {
        auto authority = ThrowawayCertificateAuthority::create(why);
        if (!authority)
            return nullptr;
        auto server = LoopbackHTTPSServer::start(
            *authority, hostName,
            [handler](const LoopbackHTTPSServer::Request& request) {
                Reply reply = handler(request.path);
                return LoopbackHTTPSServer::Reply{reply.status, std::move(reply.body),
                                                  std::move(reply.contentType)};
            },
            why);
        if (!server)
            return nullptr;
        return new LoopbackCatalogueServer(std::move(authority), std::move(server));
    }

    int port() const override { return server_->port(); }
    std::size_t requestCount() const override { return server_->requestCount(); }
    std::string authorityPEM() const override { return authority_->certificatePEM(); }
    std::string connectToEntry(int publicPort) const override { return server_->connectToEntry(publicPort); }

private:
    LoopbackCatalogueServer(std::unique_ptr<ThrowawayCertificateAuthority> authority,
                            std::unique_ptr<LoopbackHTTPSServer> server)
        : authority_(std::move(authority)), server_(std::move(server)) {}

    std::unique_ptr<ThrowawayCertificateAuthority> authority_;
    std::unique_ptr<LoopbackHTTPSServer> server_;
};

} // namespace

extern "C" __attribute__((visibility("default"))) CatalogueServer*
orbitchat_sim_start_catalogue_server(const std::string& hostName, const CatalogueServer::Handler& handler,
                                     std::string& why) {
    return LoopbackCatalogueServer::start(hostName, handler, why);
}

// The factory's type is the one the program expects (CatalogueServer.h).
static_assert(std::is_same_v<decltype(&orbitchat_sim_start_catalogue_server), CatalogueServerFactory>);
