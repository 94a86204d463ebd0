#include "platform/foundation/NSCharacterSet.h"

namespace {

constexpr std::string_view kAlphanumerics = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

} // namespace

NSCharacterSet NSCharacterSet::characterSetWithCharactersInString(std::string_view characters) {
    NSCharacterSet set;
    for (unsigned char c : characters)
        if (c < 128)
            set.members_.set(c);
    return set;
}

const NSCharacterSet& NSCharacterSet::URLQueryAllowedCharacterSet() {
    static const NSCharacterSet set =
        characterSetWithCharactersInString(std::string(kAlphanumerics) + "-._~!$&'()*+,;=:@/?");
    return set;
}

const NSCharacterSet& NSCharacterSet::URLPathAllowedCharacterSet() {
    static const NSCharacterSet set =
        characterSetWithCharactersInString(std::string(kAlphanumerics) + "-._~!$&'()*+,;=:@/");
    return set;
}

const NSCharacterSet& NSCharacterSet::URLUnreservedCharacterSet() {
    static const NSCharacterSet set =
        characterSetWithCharactersInString(std::string(kAlphanumerics) + "-._~");
    return set;
}

std::string NSStringByAddingPercentEncoding(std::string_view string, const NSCharacterSet& allowed) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(string.size());
    for (unsigned char c : string) {
        if (allowed.characterIsMember(c)) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0xF];
        }
    }
    return out;
}
