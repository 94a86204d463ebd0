#include "loopback/LoopbackHTTPSServer.h"

#include "loopback/ThrowawayCertificateAuthority.h"

#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <memory>

std::unique_ptr<LoopbackHTTPSServer>
LoopbackHTTPSServer::start(const ThrowawayCertificateAuthority& authority, const std::string& hostName,
                           Handler handler, std::string& why) {
    auto certificate = authority.issue(hostName, why);
    if (!certificate)
        return nullptr;
    std::unique_ptr<LoopbackHTTPSServer> server(new LoopbackHTTPSServer());
    server->hostName_ = hostName;
    server->server_ = std::make_unique<httplib::SSLServer>(certificate->certificate(), certificate->key());
    server->certificate_ = std::move(certificate);
    if (!server->server_->is_valid()) {
        why = "the HTTPS server cannot use its certificate";
        return nullptr;
    }
    // Two threads are plenty for one device's requests. One request per connection: a new session
    // connects afresh anyway, and a connection kept open would hold up the server's stop.
    server->server_->new_task_queue = [] { return new httplib::ThreadPool(2); };
    server->server_->set_keep_alive_max_count(1);
    server->server_->set_tcp_nodelay(true);
    auto* self = server.get();
    auto serve = [self, handler = std::move(handler)](const httplib::Request& in, httplib::Response& out) {
        ++self->requests_;
        Request request{in.method, in.path, in.body, {}};
        for (const auto& [name, value] : in.headers)
            request.headers[name] = value;
        Reply reply = handler(request);
        out.status = reply.status;
        for (const auto& [name, value] : reply.headers)
            out.set_header(name, value);
        // The body goes out as it is. The server library would otherwise compress text and JSON
        // for any client that accepts it, and a device on loopback spends far longer decoding a
        // large catalogue than it would take to send it whole. A body handed over with its length
        // known is never compressed; a handler that sets its own Content-Encoding (a test's
        // compressed body) is passed through untouched.
        if (reply.body.empty()) {
            out.set_content(std::string(), reply.contentType);
            return;
        }
        auto body = std::make_shared<const std::string>(std::move(reply.body));
        out.set_content_provider(body->size(), reply.contentType,
                                 [body](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                                     return sink.write(body->data() + offset,
                                                       std::min(length, body->size() - offset));
                                 });
    };
    for (const char* pattern : {".*"}) {
        server->server_->Get(pattern, serve);
        server->server_->Post(pattern, serve);
        server->server_->Put(pattern, serve);
        server->server_->Delete(pattern, serve);
    }
    server->port_ = server->server_->bind_to_any_port("127.0.0.1");
    if (server->port_ <= 0) {
        why = "no loopback port is free for the HTTPS server";
        return nullptr;
    }
    server->thread_ = std::thread([self] { self->server_->listen_after_bind(); });
    // A stop that came before the listening loop began would be lost, and the join would wait forever.
    for (int i = 0; i < 5000 && !server->server_->is_running(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (!server->server_->is_running()) {
        why = "the HTTPS server did not start listening";
        return nullptr;
    }
    return server;
}

LoopbackHTTPSServer::~LoopbackHTTPSServer() {
    if (server_)
        server_->stop();
    if (thread_.joinable())
        thread_.join();
}

std::string LoopbackHTTPSServer::connectToEntry(int publicPort) const {
    return hostName_ + ":" + std::to_string(publicPort) + ":127.0.0.1:" + std::to_string(port_);
}
