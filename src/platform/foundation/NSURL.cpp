#include "platform/foundation/NSURL.h"

#include "platform/foundation/StringHelpers.h"

#include <cctype>

namespace {

// The characters RFC 3986 allows anywhere in a URL, plus "%" (checked separately) and "#".
bool isURLCharacter(char c) {
    auto u = static_cast<unsigned char>(c);
    if (std::isalnum(u))
        return true;
    switch (c) {
    case '-':
    case '.':
    case '_':
    case '~': // unreserved
    case ':':
    case '/':
    case '?':
    case '#':
    case '[':
    case ']':
    case '@': // gen-delims
    case '!':
    case '$':
    case '&':
    case '\'':
    case '(':
    case ')':
    case '*':
    case '+': // sub-delims
    case ',':
    case ';':
    case '=':
        return true;
    default:
        return false;
    }
}

// The scheme is the text before the first ":" when that text is a valid scheme name and comes
// before any "/", "?" or "#"; otherwise the URL is relative.
std::string schemeOf(std::string_view s) {
    std::size_t colon = s.find(':');
    if (colon == 0 || colon == std::string_view::npos)
        return {};
    std::string_view candidate = s.substr(0, colon);
    if (!std::isalpha(static_cast<unsigned char>(candidate[0])))
        return {};
    for (char c : candidate) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.')
            return {};
    }
    return std::string(candidate);
}

} // namespace

std::shared_ptr<NSURL> NSURL::URLWithString(std::string_view string) {
    bool seenFragment = false;
    for (std::size_t i = 0; i < string.size(); ++i) {
        char c = string[i];
        if (c == '%') {
            if (i + 2 >= string.size())
                return nullptr;
            if (!hexDigitValue(string[i + 1]) || !hexDigitValue(string[i + 2]))
                return nullptr;
            i += 2;
            continue;
        }
        if (c == '#') {
            if (seenFragment)
                return nullptr;
            seenFragment = true;
        }
        if (!isURLCharacter(c))
            return nullptr;
    }
    return std::shared_ptr<NSURL>(new NSURL(std::string(string), schemeOf(string)));
}
