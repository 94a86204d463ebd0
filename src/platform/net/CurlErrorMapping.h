#pragma once

// How a failed libcurl transfer reads on the device: the NSURLErrorDomain code (and through
// NSURLErrorWithCode the phone's text) for libcurl's result, given what the transfer knew when it
// failed. A pure function, so that every row of the mapping is checked without a network:
//
//     CurlFailureFacts facts{.url = "https://repo.example/list.json"};
//     NSURLErrorCodeForCurl(CURLE_OPERATION_TIMEDOUT, facts);   // NSURLErrorTimedOut
//
// Codes libcurl may add later, and those with no better match, read as NSURLErrorUnknown.

#include "platform/foundation/NSError.h"

#include <curl/curl.h>

#include <memory>
#include <string>

// What the transfer knew beside its result code.
struct CurlFailureFacts {
    // The URL the load asked for: the error is about it, and the certificate texts name its host.
    std::string url{};
    // The URL of the last request of a redirect chain (CURLINFO_EFFECTIVE_URL), or "".
    std::string effectiveURL{};
    // The Location header of the last response, or "".
    std::string location{};
    // The outcome of the certificate check (CURLINFO_SSL_VERIFYRESULT: an X509_V_ value).
    long verifyResult = 0;
    // Whether the body was refused for being larger than the device takes.
    bool overMaximum = false;
    // Whether a status line of the server's had arrived: a failure after it is the response's.
    bool responseStarted = false;
};

// The scheme of an absolute URL in lower case ("https"); "" when the text has none.
std::string lowercaseSchemeOf(const std::string& url);

// The NSURLErrorDomain code that the failure `result` reads as. CURLE_OK is not a failure: it
// answers NSURLErrorUnknown, as any code without a match does.
long NSURLErrorCodeForCurl(CURLcode result, const CurlFailureFacts& facts);

// The error the load completes with: that code, the phone's text for it, about `facts.url`.
std::shared_ptr<NSError> NSURLErrorForCurl(CURLcode result, const CurlFailureFacts& facts);
