#pragma once

// A certificate authority that lives as long as the simulator: a fresh P-256 key and a
// self-signed CA certificate made at start, which issues leaf certificates for host names. Only
// the simulated device is told to trust it (URLLoadingSystem::DeviceNetwork); nothing is written
// to disk and the host's trust store is never touched.
//
//     auto authority = ThrowawayCertificateAuthority::create(why);
//     auto leaf = authority->issue("repo.orbitchat.example", why);   // for the loopback server
//     network.trustedCertificatesPEM = {authority->certificatePEM()};

#include <memory>
#include <string>

typedef struct x509_st X509;
typedef struct evp_pkey_st EVP_PKEY;

// A certificate with its private key; frees both when it goes.
class IssuedCertificate {
public:
    IssuedCertificate(X509* certificate, EVP_PKEY* key) : certificate_(certificate), key_(key) {}
    ~IssuedCertificate();
    IssuedCertificate(const IssuedCertificate&) = delete;
    IssuedCertificate& operator=(const IssuedCertificate&) = delete;

    X509* certificate() const { return certificate_; }
    EVP_PKEY* key() const { return key_; }
    std::string certificatePEM() const;

private:
    X509* certificate_;
    EVP_PKEY* key_;
};

class ThrowawayCertificateAuthority {
public:
    // Null, with the reason in `why`, when OpenSSL cannot make a key or a certificate.
    static std::unique_ptr<ThrowawayCertificateAuthority> create(std::string& why);

    // A leaf certificate for `hostName` (its subject alternative name), valid from an hour ago for
    // thirty days, signed by this authority.
    std::unique_ptr<IssuedCertificate> issue(const std::string& hostName, std::string& why) const;

    std::string certificatePEM() const { return root_->certificatePEM(); }

private:
    explicit ThrowawayCertificateAuthority(std::unique_ptr<IssuedCertificate> root)
        : root_(std::move(root)) {}
    std::unique_ptr<IssuedCertificate> root_;
};
