#pragma once

// Character sets for percent-encoding (NSCharacterSet), and the encoding itself
// (stringByAddingPercentEncodingWithAllowedCharacters:) as a pure function. The sets hold ASCII
// characters only, as the URL sets of the platform do; every byte outside the set (every byte of
// a multi-byte UTF-8 character among them) is written as "%XX" with upper-case hex digits.
//
//     NSStringByAddingPercentEncoding("sileo://package/my ext",
//                                     NSCharacterSet::URLQueryAllowedCharacterSet());
//     // "sileo://package/my%20ext"

#include <bitset>
#include <string>
#include <string_view>

class NSCharacterSet {
public:
    // What RFC 3986 allows in a query: letters, digits and - . _ ~ ! $ & ' ( ) * + , ; = : @ / ?
    static const NSCharacterSet& URLQueryAllowedCharacterSet();
    // What it allows in a path segment sequence: as the query set without "?".
    static const NSCharacterSet& URLPathAllowedCharacterSet();
    // Unreserved characters only: letters, digits and - . _ ~
    static const NSCharacterSet& URLUnreservedCharacterSet();

    // characterSetWithCharactersInString: (ASCII characters; other bytes are ignored).
    static NSCharacterSet characterSetWithCharactersInString(std::string_view characters);

    bool characterIsMember(unsigned char c) const { return c < 128 && members_[c]; }

private:
    std::bitset<128> members_;
};

std::string NSStringByAddingPercentEncoding(std::string_view string, const NSCharacterSet& allowed);
