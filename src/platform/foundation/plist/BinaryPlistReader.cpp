#include "platform/foundation/plist/BinaryPlistReader.h"

#include "platform/foundation/plist/BinaryPlistCheck.h"
#include "platform/foundation/plist/PlistEncoding.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

// Big-endian UTF-16 to UTF-8. A surrogate that is not half of a pair becomes U+FFFD, so the result
// is always valid UTF-8.
std::string utf16ToUtf8(const std::uint8_t* p, std::uint64_t units) {
    std::string out;
    out.reserve(units);
    for (std::uint64_t i = 0; i < units; ++i) {
        std::uint32_t u = std::uint32_t(p[2 * i]) << 8 | p[2 * i + 1];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units) {
            std::uint32_t low = std::uint32_t(p[2 * i + 2]) << 8 | p[2 * i + 3];
            if (low >= 0xDC00 && low <= 0xDFFF) {
                appendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
                ++i;
                continue;
            }
        }
        appendUtf8(out, u >= 0xD800 && u <= 0xDFFF ? 0xFFFD : u);
    }
    return out;
}

// Builds the tree of a list that passed the check. Every read is still bounded by the object area
// and every limit is counted again, so a list the check misjudged is refused, not followed.
class Builder {
public:
    Builder(std::span<const std::uint8_t> b, const PlistLimits& l) : bytes_(b), limits_(l), budget_(l) {}

    std::optional<std::string> run(PlistValue& out) {
        if (!readTrailer())
            return "malformed trailer";
        work_.push_back({top_, &out, 0});
        while (!work_.empty()) {
            Work w = work_.back();
            work_.pop_back();
            if (auto e = build(w))
                return e;
        }
        return std::nullopt;
    }

private:
    struct Work {
        std::uint64_t index;
        PlistValue* slot;
        std::size_t depth; // containers around the slot
    };

    // Where an object's payload starts, its kind and its size field.
    struct Header {
        std::uint8_t type = 0, low = 0;
        std::uint64_t at = 0;
    };

    bool readTrailer() {
        if (bytes_.size() < kBinaryPlistHeaderSize + kBinaryPlistTrailerSize)
            return false;
        const std::uint8_t* t = bytes_.data() + bytes_.size() - kBinaryPlistTrailerSize;
        offsetSize_ = t[6];
        refSize_ = t[7];
        objectCount_ = readBigEndian(t + 8, 8);
        top_ = readBigEndian(t + 16, 8);
        tableAt_ = readBigEndian(t + 24, 8);
        const std::uint64_t tableEnd = bytes_.size() - kBinaryPlistTrailerSize;
        return offsetSize_ >= 1 && offsetSize_ <= 8 && refSize_ >= 1 && refSize_ <= 8 &&
               tableAt_ >= kBinaryPlistHeaderSize && tableAt_ <= tableEnd &&
               objectCount_ <= (tableEnd - tableAt_) / offsetSize_;
    }

    bool fits(std::uint64_t at, std::uint64_t n) const { return at <= tableAt_ && n <= tableAt_ - at; }

    std::optional<std::string> header(std::uint64_t index, Header& h) const {
        if (index >= objectCount_)
            return "object reference out of range";
        h.at = readBigEndian(bytes_.data() + tableAt_ + index * offsetSize_, offsetSize_);
        if (h.at < kBinaryPlistHeaderSize || h.at >= tableAt_)
            return "object offset outside the object area";
        std::uint8_t marker = bytes_[h.at++];
        h.type = marker >> 4;
        h.low = marker & 0xF;
        return std::nullopt;
    }

    // The element count or payload length: the low nibble, or an integer object after the marker.
    bool readLength(Header& h, std::uint64_t& length) const {
        if (h.low != 0xF) {
            length = h.low;
            return true;
        }
        if (!fits(h.at, 1))
            return false;
        std::uint8_t marker = bytes_[h.at++];
        if ((marker >> 4) != 0x1 || (marker & 0xF) > 3)
            return false;
        std::size_t n = std::size_t(1) << (marker & 0xF);
        if (!fits(h.at, n))
            return false;
        length = readBigEndian(bytes_.data() + h.at, n);
        h.at += n;
        return true;
    }

    std::uint64_t ref(std::uint64_t refsAt, std::uint64_t i) const {
        return readBigEndian(bytes_.data() + refsAt + i * refSize_, refSize_);
    }

    // Counts one value with `payload` bytes against the limits.
    std::optional<std::string> count(std::uint64_t payload) { return budget_.count(payload); }

    // Decodes a string object (ASCII or UTF-16) into `out`; `notString` is the reason to give for
    // an object of another kind.
    std::optional<std::string> readString(Header h, std::string& out, const char* notString) {
        if (h.type != 0x5 && h.type != 0x6)
            return notString;
        std::uint64_t length = 0;
        if (!readLength(h, length) || (h.type == 0x6 && length > UINT64_MAX / 2))
            return "malformed object";
        const std::uint64_t size = h.type == 0x6 ? 2 * length : length;
        if (!fits(h.at, size))
            return "malformed object";
        if (auto e = count(size))
            return e;
        const std::uint8_t* p = bytes_.data() + h.at;
        if (h.type == 0x5)
            out.assign(reinterpret_cast<const char*>(p), size);
        else
            out = utf16ToUtf8(p, length);
        return std::nullopt;
    }

    std::optional<std::string> readInteger(const Header& h, PlistValue& out) const {
        if (h.low > 4 || !fits(h.at, std::uint64_t(1) << h.low))
            return "malformed object";
        const std::uint8_t* p = bytes_.data() + h.at;
        if (h.low < 3) {
            out = PlistValue(static_cast<std::int64_t>(readBigEndian(p, std::size_t(1) << h.low)));
            return std::nullopt;
        }
        std::uint64_t low = readBigEndian(h.low == 3 ? p : p + 8, 8);
        if (h.low == 3) {
            out = PlistValue(static_cast<std::int64_t>(low));
            return std::nullopt;
        }
        // Sixteen bytes: the form of unsigned values above INT64_MAX, and (sign-extended) of
        // negative values. Anything else does not fit in 64 bits.
        std::uint64_t high = readBigEndian(p, 8);
        if (high == 0)
            out = PlistValue::unsignedInteger(low);
        else if (high == UINT64_MAX && static_cast<std::int64_t>(low) < 0)
            out = PlistValue(static_cast<std::int64_t>(low));
        else
            return "integer out of range";
        return std::nullopt;
    }

    std::optional<std::string> build(const Work& w) {
        Header h;
        if (auto e = header(w.index, h))
            return e;
        PlistValue& out = *w.slot;
        const std::uint8_t* p = bytes_.data() + h.at;
        switch (h.type) {
        case 0x0:
            if (h.low != 0x8 && h.low != 0x9)
                return "null or fill object";
            out = PlistValue(h.low == 0x9);
            return count(0);
        case 0x1:
            if (auto e = readInteger(h, out))
                return e;
            return count(0);
        case 0x2:
            if (h.low == 2 && fits(h.at, 4))
                out = PlistValue(static_cast<double>(
                    std::bit_cast<float>(static_cast<std::uint32_t>(readBigEndian(p, 4)))));
            else if (h.low == 3 && fits(h.at, 8))
                out = PlistValue(std::bit_cast<double>(readBigEndian(p, 8)));
            else
                return "malformed object";
            return count(0);
        case 0x3:
            if (h.low != 3 || !fits(h.at, 8))
                return "malformed object";
            out = PlistValue(NSDate{std::bit_cast<double>(readBigEndian(p, 8))});
            return count(0);
        case 0x8:
            if (h.low > 7 || !fits(h.at, h.low + 1))
                return "malformed object";
            out = PlistValue::unsignedInteger(readBigEndian(p, h.low + 1));
            return count(0);
        case 0x4: {
            std::uint64_t length = 0;
            if (!readLength(h, length) || !fits(h.at, length))
                return "malformed object";
            if (auto e = count(length))
                return e;
            const std::uint8_t* data = bytes_.data() + h.at;
            out = PlistValue(PlistData(data, data + length));
            return std::nullopt;
        }
        case 0x5:
        case 0x6: {
            std::string s;
            if (auto e = readString(h, s, "malformed object"))
                return e;
            out = PlistValue(std::move(s));
            return std::nullopt;
        }
        case 0xA:
        case 0xC:
            return buildArray(w, h);
        case 0xD:
            return buildDictionary(w, h);
        default:
            return "malformed object";
        }
    }

    std::optional<std::string> openContainer(const Work& w, Header& h, std::uint64_t refsPerEntry,
                                             std::uint64_t& entries) {
        if (w.depth >= limits_.maxDepth)
            return "nested too deeply";
        if (!readLength(h, entries) || entries > (tableAt_ - h.at) / (refsPerEntry * refSize_))
            return "malformed object";
        return count(0);
    }

    std::optional<std::string> buildArray(const Work& w, Header h) {
        std::uint64_t n = 0;
        if (auto e = openContainer(w, h, 1, n))
            return e;
        *w.slot = PlistValue::array(PlistArray(n));
        PlistArray& items = *w.slot->arrayValue();
        // Pushed last to first, so the elements are built in order.
        for (std::uint64_t i = n; i-- > 0;)
            work_.push_back({ref(h.at, i), &items[i], w.depth + 1});
        return std::nullopt;
    }

    std::optional<std::string> buildDictionary(const Work& w, Header h) {
        std::uint64_t n = 0;
        if (auto e = openContainer(w, h, 2, n))
            return e;
        // Keys are read last to first, each with its entry's position standing in for its value
        // for now, and placed in the order of the file, which writers sort. Settled with the last
        // of each key kept, its value is the only one of a repeated key that is ever built.
        PlistDictionary::Entries entries(n);
        for (std::uint64_t i = n; i-- > 0;) {
            Header keyHeader;
            if (auto e = header(ref(h.at, i), keyHeader))
                return e;
            if (auto e = readString(keyHeader, entries[i].first, "dictionary key is not a string"))
                return e;
            entries[i].second = PlistValue(static_cast<std::int64_t>(i));
        }
        *w.slot = PlistValue::dictionary(PlistDictionary(std::move(entries), PlistRepeatedKeys::LastWins));
        // The dictionary does not change from here on, so its values can be filled in place.
        // They are built in the order they come in the file: pushed last to first.
        pending_.clear();
        for (auto& [key, value] : *w.slot->dictionaryValue())
            pending_.emplace_back(static_cast<std::uint64_t>(value.integerValue()), &value);
        if (!std::is_sorted(pending_.begin(), pending_.end()))
            std::sort(pending_.begin(), pending_.end());
        for (auto it = pending_.rbegin(); it != pending_.rend(); ++it)
            work_.push_back({ref(h.at, n + it->first), it->second, w.depth + 1});
        return std::nullopt;
    }

    std::span<const std::uint8_t> bytes_;
    const PlistLimits& limits_;
    std::uint8_t offsetSize_ = 0, refSize_ = 0;
    std::uint64_t objectCount_ = 0, top_ = 0, tableAt_ = 0;
    PlistBudget budget_;
    std::vector<Work> work_;
    // The entries of the dictionary being opened, by their position in the file; kept between
    // dictionaries so that its storage is reused.
    std::vector<std::pair<std::uint64_t, PlistValue*>> pending_;
};

} // namespace

PlistReadResult readBinaryPlist(std::span<const std::uint8_t> bytes, const PlistLimits& limits) {
    auto refuse = [](const std::string& reason) {
        return PlistReadResult{PlistValue(), plistReadError("binary list: " + reason), PlistFormat::Binary};
    };
    if (bytes.size() > limits.maxBytes)
        return refuse("larger than the size limit");
    if (auto e = checkBinaryPlist(bytes, limits))
        return refuse(*e);
    PlistValue value;
    if (auto e = Builder(bytes, limits).run(value))
        return refuse(*e);
    return {std::move(value), nullptr, PlistFormat::Binary};
}
