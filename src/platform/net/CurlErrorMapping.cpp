#include "platform/net/CurlErrorMapping.h"

#include "platform/foundation/StringHelpers.h"
#include "platform/net/NSURLError.h"

#include <openssl/x509_vfy.h>

#include <algorithm>
#include <cctype>

std::string lowercaseSchemeOf(const std::string& url) {
    auto colon = url.find(':');
    if (colon == std::string::npos || colon == 0)
        return {};
    std::string scheme = url.substr(0, colon);
    bool valid = std::all_of(scheme.begin(), scheme.end(), [](unsigned char c) {
        return std::isalnum(c) || c == '+' || c == '-' || c == '.';
    });
    return valid ? lowercased(scheme) : std::string();
}

namespace {

// Whether a redirect led to a URL of a scheme other than https.
bool redirectedAwayFromHTTPS(const CurlFailureFacts& facts) {
    for (const std::string* url : {&facts.effectiveURL, &facts.location}) {
        std::string scheme = lowercaseSchemeOf(*url);
        if (!scheme.empty() && scheme != "https")
            return true;
    }
    return false;
}

} // namespace

long NSURLErrorCodeForCurl(CURLcode result, const CurlFailureFacts& facts) {
    switch (result) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
        return NSURLErrorCannotFindHost;
    case CURLE_COULDNT_CONNECT:
        return NSURLErrorCannotConnectToHost;
    case CURLE_OPERATION_TIMEDOUT:
        return NSURLErrorTimedOut;
    case CURLE_PEER_FAILED_VERIFICATION:
        if (facts.verifyResult == X509_V_ERR_CERT_HAS_EXPIRED)
            return NSURLErrorServerCertificateHasBadDate;
        if (facts.verifyResult == X509_V_ERR_CERT_NOT_YET_VALID)
            return NSURLErrorServerCertificateNotYetValid;
        return NSURLErrorServerCertificateUntrusted;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_ENGINE_SETFAILED:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_SHUTDOWN_FAILED:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_USE_SSL_FAILED:
        return NSURLErrorSecureConnectionFailed;
    case CURLE_UNSUPPORTED_PROTOCOL:
        // A redirect to plain http is refused as on the platform, one to another protocol is not
        // supported; over https with no such redirect, it is libcurl refusing what the server sent
        // for a response (no status line, or one of no HTTP version it knows).
        if (lowercaseSchemeOf(facts.effectiveURL) == "http" || lowercaseSchemeOf(facts.location) == "http")
            return NSURLErrorAppTransportSecurityRequiresSecureConnection;
        if (redirectedAwayFromHTTPS(facts) || lowercaseSchemeOf(facts.url) != "https")
            return NSURLErrorUnsupportedURL;
        return NSURLErrorBadServerResponse;
    case CURLE_TOO_MANY_REDIRECTS:
        return NSURLErrorHTTPTooManyRedirects;
    case CURLE_FILESIZE_EXCEEDED:
        return NSURLErrorDataLengthExceedsMaximum;
    case CURLE_WRITE_ERROR:
        return facts.overMaximum ? NSURLErrorDataLengthExceedsMaximum : NSURLErrorUnknown;
    case CURLE_URL_MALFORMAT:
        return NSURLErrorBadURL;
    case CURLE_GOT_NOTHING:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_PARTIAL_FILE:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
        return NSURLErrorNetworkConnectionLost;
    case CURLE_BAD_CONTENT_ENCODING:
        return NSURLErrorCannotDecodeContentData;
    case CURLE_WEIRD_SERVER_REPLY:
        return NSURLErrorCannotParseResponse;
    case CURLE_OUT_OF_MEMORY:
        // Once a response has begun, libcurl says so for a header past its bound (later versions
        // have a code of their own for it, below): the server's response is at fault, not memory.
        return facts.responseStarted ? NSURLErrorBadServerResponse : NSURLErrorUnknown;
#if LIBCURL_VERSION_NUM >= 0x080600
    case CURLE_TOO_LARGE:
        return NSURLErrorBadServerResponse;
#endif
    default:
        return NSURLErrorUnknown;
    }
}

std::shared_ptr<NSError> NSURLErrorForCurl(CURLcode result, const CurlFailureFacts& facts) {
    return NSURLErrorWithCode(NSURLErrorCodeForCurl(result, facts), facts.url);
}
