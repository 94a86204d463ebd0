#include "platform/net/NSURLResponse.h"

#include <strings.h>

std::shared_ptr<NSHTTPURLResponse> NSHTTPURLResponse::create(std::string url, long statusCode,
                                                             std::map<std::string, std::string> headers) {
    return std::shared_ptr<NSHTTPURLResponse>(
        new NSHTTPURLResponse(std::move(url), statusCode, std::move(headers)));
}

std::string NSHTTPURLResponse::description() const {
    return "<NSHTTPURLResponse> { URL: " + url_ + " } { Status Code: " + std::to_string(statusCode_) + " }";
}

std::string NSHTTPURLResponse::valueForHTTPHeaderField(const std::string& field) const {
    for (const auto& [name, value] : headers_)
        if (strcasecmp(name.c_str(), field.c_str()) == 0)
            return value;
    return {};
}
