#pragma once

// A TLS server on loopback that answers each request with the same bytes, whatever they are, and
// closes the connection: what a broken or hostile server sends, which an HTTP server library
// would never let a handler send. Its certificate is issued by a test's throwaway authority for
// the host the device asks for, so the device's checks pass as they would for a real server.
//
//     HTTPSFixture https;
//     RawTLSServer raw(https.authority(), https.host(), "this is not HTTP\r\n\r\n");
//     https.connectDeviceTo(raw.port());
//     ... request https.url("/") ...

#include "loopback/ThrowawayCertificateAuthority.h"
#include "support/HTTPSFixture.h"

#include <gtest/gtest.h>

#include <openssl/ssl.h>
#include <pthread.h>

#include <csignal>
#include <memory>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

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
        fd_ = listenOnLoopback(port_);
        if (fd_ >= 0)
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
