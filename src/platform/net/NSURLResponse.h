#pragma once

// The response to an HTTP load (NSHTTPURLResponse): the URL it came from after any redirects,
// its status code and its header fields (names as the server wrote them; the last of repeated
// fields wins).

#include "platform/foundation/NSObject.h"

#include <map>
#include <memory>
#include <string>

class NSHTTPURLResponse : public NSObject {
public:
    static std::shared_ptr<NSHTTPURLResponse> create(std::string url, long statusCode,
                                                     std::map<std::string, std::string> headers);

    std::string className() const override { return "NSHTTPURLResponse"; }
    std::string description() const override;

    const std::string& URL() const { return url_; }
    long statusCode() const { return statusCode_; }
    const std::map<std::string, std::string>& allHeaderFields() const { return headers_; }
    // The value of a header field, its name compared without regard to case, or "".
    std::string valueForHTTPHeaderField(const std::string& field) const;

protected:
    NSHTTPURLResponse(std::string url, long statusCode, std::map<std::string, std::string> headers)
        : url_(std::move(url)), statusCode_(statusCode), headers_(std::move(headers)) {}

private:
    std::string url_;
    long statusCode_;
    std::map<std::string, std::string> headers_;
};
