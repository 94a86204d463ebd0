#include "platform/net/NSURLRequest.h"

#include <cmath>

std::shared_ptr<NSURLRequest> NSURLRequest::requestWithURL(std::shared_ptr<NSURL> url) {
    return std::shared_ptr<NSURLRequest>(new NSURLRequest(std::move(url)));
}

std::string NSURLRequest::description() const {
    return "<" + className() + "> { URL: " + (url_ ? url_->absoluteString() : "(null)") + " }";
}

std::shared_ptr<NSMutableURLRequest> NSMutableURLRequest::requestWithURL(std::shared_ptr<NSURL> url) {
    return std::shared_ptr<NSMutableURLRequest>(new NSMutableURLRequest(std::move(url)));
}

void NSMutableURLRequest::setTimeoutInterval(double seconds) {
    timeoutInterval_ = std::isfinite(seconds) && seconds > 0 ? seconds : NSURLRequestDefaultTimeoutInterval;
}

void NSMutableURLRequest::setValueForHTTPHeaderField(std::string value, std::string field) {
    // Header names and values never carry line breaks: they would end the header early.
    for (const std::string* s : {&value, &field})
        if (s->find_first_of("\r\n") != std::string::npos)
            return;
    headers_[std::move(field)] = std::move(value);
}
