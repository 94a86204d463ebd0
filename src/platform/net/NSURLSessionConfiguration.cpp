#include "platform/net/NSURLSessionConfiguration.h"

#include <cmath>

std::shared_ptr<NSURLSessionConfiguration> NSURLSessionConfiguration::defaultSessionConfiguration() {
    return std::shared_ptr<NSURLSessionConfiguration>(new NSURLSessionConfiguration());
}

void NSURLSessionConfiguration::setTimeoutIntervalForRequest(double seconds) {
    if (std::isfinite(seconds) && seconds > 0)
        timeoutIntervalForRequest_ = seconds;
}

void NSURLSessionConfiguration::setTimeoutIntervalForResource(double seconds) {
    if (std::isfinite(seconds) && seconds > 0)
        timeoutIntervalForResource_ = seconds;
}

std::shared_ptr<NSURLSessionConfiguration> NSURLSessionConfiguration::copy() const {
    auto c = defaultSessionConfiguration();
    c->requestCachePolicy_ = requestCachePolicy_;
    c->timeoutIntervalForRequest_ = timeoutIntervalForRequest_;
    c->timeoutIntervalForResource_ = timeoutIntervalForResource_;
    return c;
}
