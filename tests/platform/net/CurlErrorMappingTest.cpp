// How libcurl's failures read on the device, row by row, with the facts that change a row's
// answer (the certificate check's outcome, where a redirect led, a body over the limit).

#include "platform/net/CurlErrorMapping.h"

#include "platform/net/NSURLError.h"

#include <gtest/gtest.h>

#include <openssl/x509_vfy.h>

namespace {

struct Row {
    CURLcode result;
    CurlFailureFacts facts;
    long expected;
};

const std::string kURL = "https://repo.orbitchat.example/chatheadsextensions.json";

TEST(CurlErrorMappingTest, EachFailureReadsAsThePlatformsCode) {
    const Row rows[] = {
        {CURLE_COULDNT_RESOLVE_HOST, {}, NSURLErrorCannotFindHost},
        {CURLE_COULDNT_RESOLVE_PROXY, {}, NSURLErrorCannotFindHost},
        {CURLE_COULDNT_CONNECT, {}, NSURLErrorCannotConnectToHost},
        {CURLE_OPERATION_TIMEDOUT, {}, NSURLErrorTimedOut},
        {CURLE_PEER_FAILED_VERIFICATION, {}, NSURLErrorServerCertificateUntrusted},
        {CURLE_PEER_FAILED_VERIFICATION,
         {.verifyResult = X509_V_ERR_CERT_HAS_EXPIRED},
         NSURLErrorServerCertificateHasBadDate},
        {CURLE_PEER_FAILED_VERIFICATION,
         {.verifyResult = X509_V_ERR_CERT_NOT_YET_VALID},
         NSURLErrorServerCertificateNotYetValid},
        {CURLE_PEER_FAILED_VERIFICATION,
         {.verifyResult = X509_V_ERR_HOSTNAME_MISMATCH},
         NSURLErrorServerCertificateUntrusted},
        {CURLE_SSL_CONNECT_ERROR, {}, NSURLErrorSecureConnectionFailed},
        {CURLE_SSL_CACERT_BADFILE, {}, NSURLErrorSecureConnectionFailed},
        {CURLE_SSL_CIPHER, {}, NSURLErrorSecureConnectionFailed},
        {CURLE_USE_SSL_FAILED, {}, NSURLErrorSecureConnectionFailed},
        {CURLE_UNSUPPORTED_PROTOCOL, {}, NSURLErrorUnsupportedURL},
        {CURLE_UNSUPPORTED_PROTOCOL,
         {.effectiveURL = "http://repo.example/x"},
         NSURLErrorAppTransportSecurityRequiresSecureConnection},
        {CURLE_UNSUPPORTED_PROTOCOL,
         {.location = "HTTP://repo.example/x"},
         NSURLErrorAppTransportSecurityRequiresSecureConnection},
        {CURLE_UNSUPPORTED_PROTOCOL, {.location = "ftp://repo.example/x"}, NSURLErrorUnsupportedURL},
        // Over https with no redirect elsewhere, libcurl refused what the server sent as a response.
        {CURLE_UNSUPPORTED_PROTOCOL, {.url = kURL}, NSURLErrorBadServerResponse},
        {CURLE_UNSUPPORTED_PROTOCOL, {.url = kURL, .effectiveURL = kURL}, NSURLErrorBadServerResponse},
        {CURLE_UNSUPPORTED_PROTOCOL,
         {.url = kURL, .location = "ftp://repo.example/x"},
         NSURLErrorUnsupportedURL},
        {CURLE_TOO_MANY_REDIRECTS, {}, NSURLErrorHTTPTooManyRedirects},
        {CURLE_FILESIZE_EXCEEDED, {}, NSURLErrorDataLengthExceedsMaximum},
        {CURLE_WRITE_ERROR, {.overMaximum = true}, NSURLErrorDataLengthExceedsMaximum},
        {CURLE_WRITE_ERROR, {}, NSURLErrorUnknown},
        {CURLE_URL_MALFORMAT, {}, NSURLErrorBadURL},
        {CURLE_GOT_NOTHING, {}, NSURLErrorNetworkConnectionLost},
        {CURLE_RECV_ERROR, {}, NSURLErrorNetworkConnectionLost},
        {CURLE_SEND_ERROR, {}, NSURLErrorNetworkConnectionLost},
        {CURLE_PARTIAL_FILE, {}, NSURLErrorNetworkConnectionLost},
        {CURLE_HTTP2, {}, NSURLErrorNetworkConnectionLost},
        {CURLE_HTTP2_STREAM, {}, NSURLErrorNetworkConnectionLost},
        {CURLE_BAD_CONTENT_ENCODING, {}, NSURLErrorCannotDecodeContentData},
        {CURLE_WEIRD_SERVER_REPLY, {}, NSURLErrorCannotParseResponse},
        {CURLE_OUT_OF_MEMORY, {}, NSURLErrorUnknown},
        // A header past libcurl's bound, once the response had begun.
        {CURLE_OUT_OF_MEMORY, {.responseStarted = true}, NSURLErrorBadServerResponse},
        {CURLE_OK, {}, NSURLErrorUnknown},
    };
    for (const Row& row : rows)
        EXPECT_EQ(NSURLErrorCodeForCurl(row.result, row.facts), row.expected)
            << curl_easy_strerror(row.result) << " (" << row.result << ")";
}

TEST(CurlErrorMappingTest, TheErrorCarriesThePhonesTextNamingTheRequestedHost) {
    auto timedOut = NSURLErrorForCurl(CURLE_OPERATION_TIMEDOUT, {.url = kURL});
    EXPECT_EQ(timedOut->domain(), NSURLErrorDomain);
    EXPECT_EQ(timedOut->code(), NSURLErrorTimedOut);
    EXPECT_EQ(timedOut->localizedDescription(), "The request timed out.");

    // The certificate texts name the host the device asked for, not where a redirect went.
    auto expired =
        NSURLErrorForCurl(CURLE_PEER_FAILED_VERIFICATION, {.url = kURL,
                                                           .effectiveURL = "https://elsewhere.example/",
                                                           .verifyResult = X509_V_ERR_CERT_HAS_EXPIRED});
    EXPECT_EQ(expired->code(), NSURLErrorServerCertificateHasBadDate);
    EXPECT_NE(expired->localizedDescription().find("“repo.orbitchat.example”"), std::string::npos)
        << expired->localizedDescription();
    EXPECT_EQ(expired->localizedDescription().find("elsewhere"), std::string::npos);
}

} // namespace
