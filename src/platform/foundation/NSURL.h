#pragma once

// A URL (NSURL) built from a string. `URLWithString` checks the string the way the platform does
// before iOS 17: characters outside those a URL may carry (spaces, quotes, non-ASCII bytes,
// a "%" not followed by two hex digits) make it answer null, so the caller sees "no URL" rather
// than a URL that means something else. Nothing is percent-encoded behind the caller's back.
//
//     auto url = NSURL::URLWithString("sileo://package/com.example.ext");
//     url->scheme();          // "sileo"
//     url->absoluteString();  // "sileo://package/com.example.ext"

#include "platform/foundation/NSObject.h"

#include <memory>
#include <string>
#include <string_view>

class NSURL : public NSObject {
public:
    // Null when `string` is not a well-formed URL.
    static std::shared_ptr<NSURL> URLWithString(std::string_view string);

    std::string className() const override { return "NSURL"; }
    std::string description() const override { return absoluteString_; }

    const std::string& absoluteString() const { return absoluteString_; }
    // The scheme as written ("https"), or "" for a relative URL.
    const std::string& scheme() const { return scheme_; }

protected:
    NSURL(std::string absoluteString, std::string scheme)
        : absoluteString_(std::move(absoluteString)), scheme_(std::move(scheme)) {}

private:
    std::string absoluteString_;
    std::string scheme_;
};
