#pragma once

// A URL load request (NSURLRequest, and NSMutableURLRequest whose setters a caller uses before
// handing it to a session). Defaults as on the platform: method "GET", no body, no header fields
// of its own, the protocol's cache policy, and a time-out of 60 seconds without data.
//
//     auto request = NSMutableURLRequest::requestWithURL(NSURL::URLWithString("https://a.example/x"));
//     request->setHTTPMethod("GET");
//     session->dataTaskWithRequest(request, completion)->resume();

#include "platform/foundation/NSObject.h"
#include "platform/foundation/NSURL.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>

enum NSURLRequestCachePolicy : std::int64_t {
    NSURLRequestUseProtocolCachePolicy = 0,
    NSURLRequestReloadIgnoringLocalCacheData = 1,
    NSURLRequestReturnCacheDataElseLoad = 2,
    NSURLRequestReturnCacheDataDontLoad = 3,
};

inline constexpr double NSURLRequestDefaultTimeoutInterval = 60.0;

class NSURLRequest : public NSObject {
public:
    static std::shared_ptr<NSURLRequest> requestWithURL(std::shared_ptr<NSURL> url);

    std::string className() const override { return "NSURLRequest"; }
    std::string description() const override;

    const std::shared_ptr<NSURL>& URL() const { return url_; }
    const std::string& HTTPMethod() const { return method_; }
    const PlistData& HTTPBody() const { return body_; }
    // Seconds the load may go without receiving data before it fails as timed out.
    double timeoutInterval() const { return timeoutInterval_; }
    NSURLRequestCachePolicy cachePolicy() const { return cachePolicy_; }
    const std::map<std::string, std::string>& allHTTPHeaderFields() const { return headers_; }

protected:
    explicit NSURLRequest(std::shared_ptr<NSURL> url) : url_(std::move(url)) {}

    std::shared_ptr<NSURL> url_;
    std::string method_ = "GET";
    PlistData body_;
    double timeoutInterval_ = NSURLRequestDefaultTimeoutInterval;
    NSURLRequestCachePolicy cachePolicy_ = NSURLRequestUseProtocolCachePolicy;
    std::map<std::string, std::string> headers_;
};

class NSMutableURLRequest : public NSURLRequest {
public:
    static std::shared_ptr<NSMutableURLRequest> requestWithURL(std::shared_ptr<NSURL> url);
    // init: a request with no URL yet.
    static std::shared_ptr<NSMutableURLRequest> create() { return requestWithURL(nullptr); }

    std::string className() const override { return "NSMutableURLRequest"; }

    void setURL(std::shared_ptr<NSURL> url) { url_ = std::move(url); }
    void setHTTPMethod(std::string method) { method_ = std::move(method); }
    // An empty body is no body: the request goes out without one.
    void setHTTPBody(PlistData body) { body_ = std::move(body); }
    // Values of 0 or less, and non-numbers, keep the default.
    void setTimeoutInterval(double seconds);
    void setCachePolicy(NSURLRequestCachePolicy policy) { cachePolicy_ = policy; }
    void setValueForHTTPHeaderField(std::string value, std::string field);

protected:
    using NSURLRequest::NSURLRequest;
};
