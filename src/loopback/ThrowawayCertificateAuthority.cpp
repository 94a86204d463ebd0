#include "loopback/ThrowawayCertificateAuthority.h"

#include <openssl/bn.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cctype>

namespace {

std::string openSSLError(const std::string& what) {
    unsigned long code = ERR_get_error();
    char text[256] = {};
    if (code)
        ERR_error_string_n(code, text, sizeof text);
    ERR_clear_error();
    return what + (code ? std::string(": ") + text : std::string());
}

EVP_PKEY* makeKey() {
    return EVP_EC_gen("P-256");
}

bool addExtension(X509* certificate, X509* issuer, int nid, const char* value) {
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, issuer, certificate, nullptr, nullptr, 0);
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
    if (!extension)
        return false;
    bool ok = X509_add_ext(certificate, extension, -1) == 1;
    X509_EXTENSION_free(extension);
    return ok;
}

bool setRandomSerial(X509* certificate) {
    unsigned char bytes[16];
    if (RAND_bytes(bytes, sizeof bytes) != 1)
        return false;
    bytes[0] &= 0x7F; // positive
    BIGNUM* number = BN_bin2bn(bytes, sizeof bytes, nullptr);
    bool ok = number && BN_to_ASN1_INTEGER(number, X509_get_serialNumber(certificate)) != nullptr;
    BN_free(number);
    return ok;
}

// A certificate for `key` named `commonName`, signed by `issuerKey` as `issuer` (itself when null).
X509* makeCertificate(EVP_PKEY* key, const std::string& commonName, X509* issuer, EVP_PKEY* issuerKey,
                      bool authority, const std::string& hostName) {
    X509* certificate = X509_new();
    if (!certificate)
        return nullptr;
    bool ok = X509_set_version(certificate, 2) == 1 && setRandomSerial(certificate) &&
              X509_gmtime_adj(X509_getm_notBefore(certificate), -3600) &&
              X509_gmtime_adj(X509_getm_notAfter(certificate), 30L * 24 * 3600) &&
              X509_set_pubkey(certificate, key) == 1;
    X509_NAME* name = X509_get_subject_name(certificate);
    ok =
        ok &&
        X509_NAME_add_entry_by_txt(name, "O", MBSTRING_UTF8,
                                   reinterpret_cast<const unsigned char*>("orbitchat-sim"), -1, -1, 0) == 1 &&
        X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8,
                                   reinterpret_cast<const unsigned char*>(commonName.c_str()), -1, -1,
                                   0) == 1;
    X509* signer = issuer ? issuer : certificate;
    ok = ok && X509_set_issuer_name(certificate, X509_get_subject_name(signer)) == 1;
    if (authority) {
        ok = ok && addExtension(certificate, signer, NID_basic_constraints, "critical,CA:TRUE") &&
             addExtension(certificate, signer, NID_key_usage, "critical,keyCertSign,cRLSign") &&
             addExtension(certificate, signer, NID_subject_key_identifier, "hash");
    } else {
        const std::string san = "DNS:" + hostName;
        ok = ok && addExtension(certificate, signer, NID_basic_constraints, "critical,CA:FALSE") &&
             addExtension(certificate, signer, NID_key_usage, "critical,digitalSignature") &&
             addExtension(certificate, signer, NID_ext_key_usage, "serverAuth") &&
             addExtension(certificate, signer, NID_subject_alt_name, san.c_str()) &&
             addExtension(certificate, signer, NID_authority_key_identifier, "keyid:always");
    }
    ok = ok && X509_sign(certificate, issuerKey ? issuerKey : key, EVP_sha256()) > 0;
    if (!ok) {
        X509_free(certificate);
        return nullptr;
    }
    return certificate;
}

bool validHostName(const std::string& host) {
    if (host.empty() || host.size() > 253)
        return false;
    for (unsigned char c : host)
        if (!(std::isalnum(c) || c == '-' || c == '.'))
            return false;
    return true;
}

} // namespace

IssuedCertificate::~IssuedCertificate() {
    X509_free(certificate_);
    EVP_PKEY_free(key_);
}

std::string IssuedCertificate::certificatePEM() const {
    BIO* bio = BIO_new(BIO_s_mem());
    std::string pem;
    if (bio && PEM_write_bio_X509(bio, certificate_) == 1) {
        char* data = nullptr;
        long length = BIO_get_mem_data(bio, &data);
        pem.assign(data, static_cast<std::size_t>(length));
    }
    BIO_free(bio);
    return pem;
}

std::unique_ptr<ThrowawayCertificateAuthority> ThrowawayCertificateAuthority::create(std::string& why) {
    EVP_PKEY* key = makeKey();
    if (!key) {
        why = openSSLError("cannot make a key for the certificate authority");
        return nullptr;
    }
    X509* certificate = makeCertificate(key, "orbitchat-sim throwaway authority", nullptr, nullptr, true, {});
    if (!certificate) {
        EVP_PKEY_free(key);
        why = openSSLError("cannot make the certificate authority's certificate");
        return nullptr;
    }
    return std::unique_ptr<ThrowawayCertificateAuthority>(
        new ThrowawayCertificateAuthority(std::make_unique<IssuedCertificate>(certificate, key)));
}

std::unique_ptr<IssuedCertificate> ThrowawayCertificateAuthority::issue(const std::string& hostName,
                                                                        std::string& why) const {
    if (!validHostName(hostName)) {
        why = "\"" + hostName + "\" is not a host name";
        return nullptr;
    }
    EVP_PKEY* key = makeKey();
    if (!key) {
        why = openSSLError("cannot make a key for " + hostName);
        return nullptr;
    }
    X509* certificate = makeCertificate(key, hostName, root_->certificate(), root_->key(), false, hostName);
    if (!certificate) {
        EVP_PKEY_free(key);
        why = openSSLError("cannot make a certificate for " + hostName);
        return nullptr;
    }
    return std::make_unique<IssuedCertificate>(certificate, key);
}
