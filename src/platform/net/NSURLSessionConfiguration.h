#pragma once

// How a session loads (NSURLSessionConfiguration). A session copies its configuration when it is
// made; changing the object afterwards does not change the session.
//
//     auto configuration = NSURLSessionConfiguration::defaultSessionConfiguration();
//     configuration->setRequestCachePolicy(NSURLRequestReloadIgnoringLocalCacheData);

#include "platform/foundation/NSObject.h"
#include "platform/net/NSURLRequest.h"

#include <memory>

class NSURLSessionConfiguration : public NSObject {
public:
    static std::shared_ptr<NSURLSessionConfiguration> defaultSessionConfiguration();

    std::string className() const override { return "NSURLSessionConfiguration"; }

    // Nothing is cached on this device, so every policy loads from the network.
    NSURLRequestCachePolicy requestCachePolicy() const { return requestCachePolicy_; }
    void setRequestCachePolicy(NSURLRequestCachePolicy policy) { requestCachePolicy_ = policy; }
    // Seconds without data before a load fails (a request's own time-out, when it sets one, wins).
    double timeoutIntervalForRequest() const { return timeoutIntervalForRequest_; }
    void setTimeoutIntervalForRequest(double seconds);
    // Seconds a whole load may take.
    double timeoutIntervalForResource() const { return timeoutIntervalForResource_; }
    void setTimeoutIntervalForResource(double seconds);

    std::shared_ptr<NSURLSessionConfiguration> copy() const;

protected:
    NSURLSessionConfiguration() = default;

private:
    NSURLRequestCachePolicy requestCachePolicy_ = NSURLRequestUseProtocolCachePolicy;
    double timeoutIntervalForRequest_ = 60;
    double timeoutIntervalForResource_ = 7 * 24 * 3600;
};
