#include "platform/net/NSURLError.h"

namespace {

// The host of an absolute URL ("https://a.example:8443/x" -> "a.example"), or "".
std::string hostOf(const std::string& url) {
    auto scheme = url.find("://");
    if (scheme == std::string::npos)
        return {};
    std::size_t start = scheme + 3;
    std::size_t end = url.find_first_of("/?#", start);
    std::string authority = url.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (auto at = authority.rfind('@'); at != std::string::npos)
        authority.erase(0, at + 1);
    if (!authority.empty() && authority.front() == '[') {
        auto close = authority.find(']');
        return close == std::string::npos ? authority : authority.substr(1, close - 1);
    }
    if (auto colon = authority.find(':'); colon != std::string::npos)
        authority.erase(colon);
    return authority;
}

} // namespace

std::string NSURLErrorLocalizedDescription(long code, const std::string& host) {
    switch (code) {
    case NSURLErrorCancelled:
        return "cancelled";
    case NSURLErrorBadURL:
        return "bad URL";
    case NSURLErrorTimedOut:
        return "The request timed out.";
    case NSURLErrorUnsupportedURL:
        return "unsupported URL";
    case NSURLErrorCannotFindHost:
        return "A server with the specified hostname could not be found.";
    case NSURLErrorCannotConnectToHost:
        return "Could not connect to the server.";
    case NSURLErrorNetworkConnectionLost:
        return "The network connection was lost.";
    case NSURLErrorDNSLookupFailed:
        return "A server with the specified hostname could not be found.";
    case NSURLErrorHTTPTooManyRedirects:
        return "too many HTTP redirects";
    case NSURLErrorNotConnectedToInternet:
        return "The Internet connection appears to be offline.";
    case NSURLErrorBadServerResponse:
        return "The operation couldn’t be completed. (NSURLErrorDomain error -1011.)";
    case NSURLErrorCannotDecodeContentData:
        return "cannot decode content data";
    case NSURLErrorCannotParseResponse:
        return "cannot parse response";
    case NSURLErrorAppTransportSecurityRequiresSecureConnection:
        return "The resource could not be loaded because the App Transport Security policy requires the "
               "use of a secure connection.";
    case NSURLErrorDataLengthExceedsMaximum:
        return "resource exceeds maximum size";
    case NSURLErrorSecureConnectionFailed:
        return "An SSL error has occurred and a secure connection to the server cannot be made.";
    case NSURLErrorServerCertificateHasBadDate:
        return "The certificate for this server has expired. You might be connecting to a server that is "
               "pretending to be “" +
               host + "” which could put your confidential information at risk.";
    case NSURLErrorServerCertificateUntrusted:
    case NSURLErrorServerCertificateHasUnknownRoot:
        return "The certificate for this server is invalid. You might be connecting to a server that is "
               "pretending to be “" +
               host + "” which could put your confidential information at risk.";
    case NSURLErrorServerCertificateNotYetValid:
        return "The certificate for this server is not yet valid. You might be connecting to a server that "
               "is pretending to be “" +
               host + "” which could put your confidential information at risk.";
    case NSURLErrorClientCertificateRejected:
        return "The server “" + host + "” didn’t accept the certificate.";
    default:
        return "An unknown error occurred.";
    }
}

std::shared_ptr<NSError> NSURLErrorWithCode(long code, const std::string& failingURL) {
    return NSError::create(NSURLErrorDomain, code, NSURLErrorLocalizedDescription(code, hostOf(failingURL)));
}
