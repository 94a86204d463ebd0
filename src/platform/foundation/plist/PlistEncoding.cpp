#include "platform/foundation/plist/PlistEncoding.h"

void appendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::optional<std::uint32_t> nextCodePoint(std::string_view s, std::size_t& i) {
    auto c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
        ++i;
        return c;
    }
    const std::size_t n = c >= 0xC2 && c <= 0xDF   ? 2
                          : c >= 0xE0 && c <= 0xEF ? 3
                          : c >= 0xF0 && c <= 0xF4 ? 4
                                                   : 0;
    if (n == 0 || n > s.size() - i)
        return std::nullopt;
    std::uint32_t cp = c & (0x7F >> n);
    for (std::size_t k = 1; k < n; ++k) {
        auto cc = static_cast<unsigned char>(s[i + k]);
        if ((cc & 0xC0) != 0x80)
            return std::nullopt;
        cp = cp << 6 | (cc & 0x3F);
    }
    if ((n == 3 && cp < 0x800) || (n == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF))
        return std::nullopt;
    i += n;
    return cp;
}

bool hasUtf16ByteOrderMark(std::span<const std::uint8_t> bytes) {
    return bytes.size() >= 2 &&
           ((bytes[0] == 0xFF && bytes[1] == 0xFE) || (bytes[0] == 0xFE && bytes[1] == 0xFF));
}

std::optional<std::string> utf16ToUtf8(std::span<const std::uint8_t> bytes, std::string& out) {
    out.clear();
    if (!hasUtf16ByteOrderMark(bytes))
        return "no UTF-16 byte-order mark";
    if (bytes.size() % 2 != 0)
        return "UTF-16 text of odd length";
    const bool bigEndian = bytes[0] == 0xFE;
    const std::size_t units = bytes.size() / 2;
    auto unit = [&](std::size_t i) -> std::uint32_t {
        const std::uint8_t a = bytes[2 * i], b = bytes[2 * i + 1];
        return bigEndian ? std::uint32_t(a) << 8 | b : std::uint32_t(b) << 8 | a;
    };
    auto unpaired = [&out]() {
        out.clear();
        return "UTF-16 text with an unpaired surrogate";
    };
    out.reserve(units + units / 2);
    for (std::size_t i = 1; i < units; ++i) { // unit 0 is the mark
        const std::uint32_t u = unit(i);
        if (u >= 0xDC00 && u <= 0xDFFF)
            return unpaired();
        if (u >= 0xD800 && u <= 0xDBFF) {
            const std::uint32_t low = i + 1 < units ? unit(i + 1) : 0;
            if (low < 0xDC00 || low > 0xDFFF)
                return unpaired();
            appendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
            ++i;
            continue;
        }
        appendUtf8(out, u);
    }
    return std::nullopt;
}
