#include "platform/foundation/plist/XmlPlistCheck.h"

#include "platform/foundation/StringHelpers.h"

#include <cctype>
#include <string_view>

namespace {

bool isNameChar(char c) {
    return c != '>' && c != '/' && !isASCIIBlank(c);
}

// Whether a start tag's attributes (the text between its name and its end, without the '/' of an
// empty element) are NAME=VALUE pairs with at least one VALUE not quoted. A VALUE without quotes
// runs to the next space; one in quotes to its closing quote.
bool hasUnquotedAttributes(std::string_view attributes) {
    bool unquoted = false;
    std::size_t at = 0;
    auto skipSpace = [&] {
        while (at < attributes.size() && isASCIIBlank(attributes[at]))
            ++at;
    };
    while (true) {
        const std::size_t before = at;
        skipSpace();
        if (at == attributes.size())
            return unquoted;
        if (at == before) // an attribute follows the name or the last value after a space
            return false;
        const std::size_t nameAt = at;
        while (at < attributes.size() && !isASCIIBlank(attributes[at]) && attributes[at] != '=' &&
               attributes[at] != '"' && attributes[at] != '\'' && attributes[at] != '<')
            ++at;
        if (at == nameAt)
            return false;
        skipSpace();
        if (at == attributes.size() || attributes[at] != '=')
            return false;
        ++at;
        skipSpace();
        if (at == attributes.size())
            return false;
        const char quote = attributes[at];
        if (quote == '"' || quote == '\'') {
            std::size_t close = attributes.find(quote, at + 1);
            if (close == std::string_view::npos)
                return false;
            at = close + 1;
            continue;
        }
        const std::size_t valueAt = at;
        while (at < attributes.size() && !isASCIIBlank(attributes[at])) {
            if (attributes[at] == '"' || attributes[at] == '\'' || attributes[at] == '<' ||
                attributes[at] == '=')
                return false;
            ++at;
        }
        unquoted = unquoted || at > valueAt;
    }
}

} // namespace

std::optional<std::string> checkXmlPlist(std::span<const std::uint8_t> bytes, const PlistLimits& limits,
                                         std::vector<XmlAttributeSpan>* unquoted) {
    std::string_view s(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    std::size_t depth = 0, values = 0, at = 0;
    auto skipPast = [&](std::string_view terminator) {
        std::size_t end = s.find(terminator, at);
        if (end == std::string_view::npos)
            return false;
        at = end + terminator.size();
        return true;
    };
    // The parser asserts that a string's length matches its C string length; a NUL byte, or a
    // character reference to one ("&#0;"), would abort the process. XML allows neither anyway.
    if (s.find('\0') != std::string_view::npos)
        return "NUL byte";
    for (std::size_t ref = s.find("&#"); ref != std::string_view::npos; ref = s.find("&#", ref + 2)) {
        std::size_t i = ref + 2;
        const bool hex = i < s.size() && (s[i] == 'x' || s[i] == 'X');
        i += hex ? 1 : 0;
        bool nonZero = false, digits = false;
        for (; i < s.size() && std::isxdigit(static_cast<unsigned char>(s[i])); ++i) {
            digits = true;
            nonZero = nonZero || s[i] != '0';
        }
        if (digits && !nonZero)
            return "character reference to NUL";
    }
    while ((at = s.find('<', at)) != std::string_view::npos) {
        std::string_view rest = s.substr(at);
        // Most tags are elements; only "<!" and "<?" open something else, so only they are told
        // apart further.
        const char second = rest.size() > 1 ? rest[1] : '\0';
        if (second == '!' || second == '?') {
            if (rest.starts_with("<!--")) {
                at += 4;
                if (!skipPast("-->"))
                    return "unterminated comment";
                continue;
            }
            if (rest.starts_with("<![CDATA[")) {
                at += 9;
                if (!skipPast("]]>"))
                    return "unterminated CDATA section";
                continue;
            }
            if (rest.starts_with("<?")) {
                at += 2;
                if (!skipPast("?>"))
                    return "unterminated processing instruction";
                continue;
            }
            if (rest.starts_with("<!DOCTYPE")) {
                std::size_t end = s.find('>', at);
                if (end == std::string_view::npos)
                    return "unterminated document type";
                if (s.substr(at, end - at).find('[') != std::string_view::npos)
                    return "document type with declarations";
                at = end + 1;
                continue;
            }
            if (rest.starts_with("<!"))
                return "markup declaration";
        }
        const bool closing = rest.starts_with("</");
        std::size_t nameAt = at + (closing ? 2 : 1), nameEnd = nameAt;
        while (nameEnd < s.size() && isNameChar(s[nameEnd]))
            ++nameEnd;
        std::string_view name = s.substr(nameAt, nameEnd - nameAt);
        // Find the end of the tag, stepping over quoted attribute values that may hold '>'.
        std::size_t end = nameEnd;
        char quote = 0;
        for (; end < s.size(); ++end) {
            char c = s[end];
            if (quote) {
                if (c == quote)
                    quote = 0;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '>') {
                break;
            }
        }
        if (end >= s.size())
            return "unterminated tag";
        const bool selfClosing = !closing && end > nameEnd && s[end - 1] == '/';
        const bool container = name == "dict" || name == "array";
        const std::size_t attributesEnd = selfClosing ? end - 1 : end;
        if (unquoted && !closing && attributesEnd > nameEnd &&
            hasUnquotedAttributes(s.substr(nameEnd, attributesEnd - nameEnd)))
            unquoted->emplace_back(nameEnd, attributesEnd);
        if (closing) {
            if (container) {
                if (depth == 0)
                    return "unbalanced container tags";
                --depth;
            }
        } else if (name != "plist") {
            if (++values > limits.maxValues)
                return "too many values";
            if (container && !selfClosing && ++depth > limits.maxDepth)
                return "nested too deeply";
        }
        at = end + 1;
    }
    return std::nullopt;
}
