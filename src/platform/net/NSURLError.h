#pragma once

// The URL loading system's failures (NSURLErrorDomain): the platform's codes, and errors carrying
// the texts a phone shows for them, so that a log line of a failed fetch reads as it would there:
//
//     NSURLErrorWithCode(NSURLErrorNotConnectedToInternet, "https://repo.example/list.json")
//         ->localizedDescription();   // "The Internet connection appears to be offline."

#include "platform/foundation/NSError.h"

#include <memory>
#include <string>

inline constexpr const char* NSURLErrorDomain = "NSURLErrorDomain";

enum NSURLErrorCode : long {
    NSURLErrorUnknown = -1,
    NSURLErrorCancelled = -999,
    NSURLErrorBadURL = -1000,
    NSURLErrorTimedOut = -1001,
    NSURLErrorUnsupportedURL = -1002,
    NSURLErrorCannotFindHost = -1003,
    NSURLErrorCannotConnectToHost = -1004,
    NSURLErrorNetworkConnectionLost = -1005,
    NSURLErrorDNSLookupFailed = -1006,
    NSURLErrorHTTPTooManyRedirects = -1007,
    NSURLErrorNotConnectedToInternet = -1009,
    NSURLErrorBadServerResponse = -1011,
    NSURLErrorCannotDecodeContentData = -1016,
    NSURLErrorCannotParseResponse = -1017,
    NSURLErrorAppTransportSecurityRequiresSecureConnection = -1022,
    NSURLErrorDataLengthExceedsMaximum = -1103,
    NSURLErrorSecureConnectionFailed = -1200,
    NSURLErrorServerCertificateHasBadDate = -1201,
    NSURLErrorServerCertificateUntrusted = -1202,
    NSURLErrorServerCertificateHasUnknownRoot = -1203,
    NSURLErrorServerCertificateNotYetValid = -1204,
    NSURLErrorClientCertificateRejected = -1205,
};

// The phone's text for `code`; `host` fills the texts that name the server.
std::string NSURLErrorLocalizedDescription(long code, const std::string& host);

// An error in NSURLErrorDomain with that text, about `failingURL` (which may be empty).
std::shared_ptr<NSError> NSURLErrorWithCode(long code, const std::string& failingURL);
