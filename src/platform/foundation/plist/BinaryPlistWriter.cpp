#include "platform/foundation/plist/BinaryPlistWriter.h"

#include "platform/foundation/NSObject.h"
#include "platform/foundation/plist/PlistEncoding.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace {

enum class StringForm : std::uint8_t {
    Ascii, // every byte below 0x80
    Utf16, // valid UTF-8 with other characters: stored as UTF-16
    Bytes, // not valid UTF-8: stored as an ASCII string with the bytes as they are
};

struct StringShape {
    StringForm form = StringForm::Ascii;
    std::uint64_t length = 0; // bytes, or UTF-16 code units
    std::uint64_t payload() const { return form == StringForm::Utf16 ? 2 * length : length; }
};

StringShape shapeOf(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size() && static_cast<unsigned char>(s[i]) < 0x80)
        ++i;
    if (i == s.size())
        return {StringForm::Ascii, s.size()};
    StringShape shape{StringForm::Utf16, i};
    while (i < s.size()) {
        std::optional<std::uint32_t> cp = nextCodePoint(s, i);
        if (!cp)
            return {StringForm::Bytes, s.size()};
        shape.length += *cp >= 0x10000 ? 2 : 1;
    }
    return shape;
}

void appendBigEndian(std::string& out, std::uint64_t v, std::size_t n) {
    char bytes[8];
    for (std::size_t i = 0; i < n; ++i)
        bytes[i] = static_cast<char>(v >> (8 * (n - 1 - i)));
    out.append(bytes, n);
}

// The smallest of 1, 2, 4 and 8 bytes that holds `v`.
std::uint8_t sizeFor(std::uint64_t v) {
    return v <= 0xFF ? 1 : v <= 0xFFFF ? 2 : v <= 0xFFFFFFFF ? 4 : 8;
}

void appendUnsigned(std::string& out, std::uint64_t v) {
    const std::uint8_t n = sizeFor(v);
    out += static_cast<char>(0x10 | std::countr_zero(n));
    appendBigEndian(out, v, n);
}

// A marker with its length: in the low nibble when it is below 15, else in an integer after it.
void appendMarker(std::string& out, std::uint8_t type, std::uint64_t length) {
    if (length < 15) {
        out += static_cast<char>(type << 4 | length);
        return;
    }
    out += static_cast<char>(type << 4 | 0xF);
    appendUnsigned(out, length);
}

void appendUtf16(std::string& out, std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        std::uint32_t cp = *nextCodePoint(s, i);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            appendBigEndian(out, 0xD800 + (cp >> 10), 2);
            appendBigEndian(out, 0xDC00 + (cp & 0x3FF), 2);
        } else {
            appendBigEndian(out, cp, 2);
        }
    }
}

// One object of the list. Strings (values and keys alike) point at their text; everything else at
// its value. A container's references sit in Writer::refs_, a dictionary's keys before its values.
struct Object {
    const PlistValue* value = nullptr;
    const std::string* text = nullptr;
    StringShape shape;
    std::uint64_t refsBegin = 0, refsCount = 0;
};

class Writer {
public:
    explicit Writer(const PlistLimits& l) : limits_(l), budget_(l) {}

    std::optional<std::string> run(const PlistValue& root, std::string& out) {
        if (auto e = collect(root))
            return e;
        encode(out);
        if (out.size() > limits_.maxBytes) {
            out.clear();
            return "larger than the size limit";
        }
        return std::nullopt;
    }

private:
    struct Pending {
        const PlistValue* container;
        std::uint64_t index;
        std::size_t depth; // containers around this one
    };

    // Numbers every object and lays out the references, breadth by container: a container's
    // children are numbered when it is taken from the stack, its nested containers then wait
    // their turn there.
    std::optional<std::string> collect(const PlistValue& root) {
        std::uint64_t top = 0;
        if (auto e = add(root, 0, top))
            return e;
        while (!pending_.empty()) {
            Pending p = pending_.back();
            pending_.pop_back();
            const std::size_t depth = p.depth + 1;
            const std::uint64_t begin = refs_.size();
            if (auto a = p.container->arrayValue()) {
                refs_.resize(begin + a->size());
                for (std::size_t i = 0; i < a->size(); ++i) {
                    if (auto e = add((*a)[i], depth, refs_[begin + i]))
                        return e;
                }
                objects_[p.index].refsCount = a->size();
            } else {
                auto d = p.container->dictionaryValue();
                const std::size_t n = d->size();
                refs_.resize(begin + 2 * n);
                std::size_t i = 0;
                for (const auto& [key, value] : *d) {
                    if (auto e = addString(key, refs_[begin + i]))
                        return e;
                    if (auto e = add(value, depth, refs_[begin + n + i]))
                        return e;
                    ++i;
                }
                objects_[p.index].refsCount = n;
            }
            objects_[p.index].refsBegin = begin;
        }
        return std::nullopt;
    }

    // Counts one use of a value with `payload` bytes against the limits.
    std::optional<std::string> count(std::uint64_t payload) { return budget_.count(payload); }

    std::uint64_t newObject(const PlistValue& v) {
        Object o;
        o.value = &v;
        objects_.push_back(o);
        return objects_.size() - 1;
    }

    std::optional<std::string> addString(const std::string& s, std::uint64_t& index) {
        auto [pos, inserted] = strings_.try_emplace(s, objects_.size());
        if (inserted) {
            Object o;
            o.text = &s;
            o.shape = shapeOf(s);
            objects_.push_back(o);
            payloadBytes_ += o.shape.payload();
        }
        index = pos->second;
        return count(objects_[index].shape.payload());
    }

    // Gives `v` (a use at `depth` containers deep) its object number.
    std::optional<std::string> add(const PlistValue& v, std::size_t depth, std::uint64_t& index) {
        switch (v.kind()) {
        case PlistValue::Kind::None:
            return "none has no property-list form";
        case PlistValue::Kind::Object:
            return "an object of class " + v.objectValue()->className() + " has no property-list form";
        case PlistValue::Kind::String:
            return addString(v.stringValue(), index);
        case PlistValue::Kind::Date:
            if (!std::isfinite(v.dateValue().timeIntervalSinceReferenceDate))
                return "a date that is not finite";
            break;
        case PlistValue::Kind::Data:
            payloadBytes_ += v.dataValue().size();
            index = newObject(v);
            return count(v.dataValue().size());
        case PlistValue::Kind::Array:
        case PlistValue::Kind::Dictionary:
            if (depth >= limits_.maxDepth)
                return "nested too deeply";
            index = newObject(v);
            pending_.push_back({&v, index, depth});
            return count(0);
        case PlistValue::Kind::Boolean: {
            // A list of switches holds two objects, however many switches it has.
            std::uint64_t& shared = booleans_[v.boolValue()];
            if (shared == kNoObject)
                shared = newObject(v);
            index = shared;
            return count(0);
        }
        case PlistValue::Kind::Integer:
        case PlistValue::Kind::Real:
            break;
        }
        index = newObject(v);
        return count(0);
    }

    void encodeObject(const Object& o, std::uint8_t refSize, std::string& out) const {
        if (o.text) {
            if (o.shape.form == StringForm::Utf16) {
                appendMarker(out, 0x6, o.shape.length);
                appendUtf16(out, *o.text);
            } else {
                appendMarker(out, 0x5, o.shape.length);
                out += *o.text;
            }
            return;
        }
        const PlistValue& v = *o.value;
        switch (v.kind()) {
        case PlistValue::Kind::Integer:
            if (v.isUnsignedInteger()) {
                out += '\x14';
                appendBigEndian(out, 0, 8);
                appendBigEndian(out, v.unsignedValue(), 8);
            } else if (v.integerValue() < 0) {
                out += '\x13';
                appendBigEndian(out, static_cast<std::uint64_t>(v.integerValue()), 8);
            } else {
                appendUnsigned(out, static_cast<std::uint64_t>(v.integerValue()));
            }
            return;
        case PlistValue::Kind::Real:
            out += '\x23';
            appendBigEndian(out, std::bit_cast<std::uint64_t>(v.doubleValue()), 8);
            return;
        case PlistValue::Kind::Date:
            out += '\x33';
            appendBigEndian(out, std::bit_cast<std::uint64_t>(v.dateValue().timeIntervalSinceReferenceDate),
                            8);
            return;
        case PlistValue::Kind::Boolean:
            out += v.boolValue() ? '\x09' : '\x08';
            return;
        case PlistValue::Kind::Data:
            appendMarker(out, 0x4, v.dataValue().size());
            out.append(reinterpret_cast<const char*>(v.dataValue().data()), v.dataValue().size());
            return;
        case PlistValue::Kind::Array:
        case PlistValue::Kind::Dictionary: {
            appendMarker(out, v.isArray() ? 0xA : 0xD, o.refsCount);
            const std::uint64_t refs = v.isArray() ? o.refsCount : 2 * o.refsCount;
            for (std::uint64_t i = 0; i < refs; ++i)
                appendBigEndian(out, refs_[o.refsBegin + i], refSize);
            return;
        }
        case PlistValue::Kind::String:
        case PlistValue::Kind::None:
        case PlistValue::Kind::Object:
            return; // strings carry their text; the others were refused while collecting
        }
    }

    void encode(std::string& out) const {
        const std::uint8_t refSize = sizeFor(objects_.size() - 1);
        out.clear();
        // Payloads, at most nine bytes of marker and length per object, references, offsets.
        out.reserve(8 + payloadBytes_ + 9 * objects_.size() + refSize * refs_.size() + 8 * objects_.size() +
                    32);
        out += "bplist00";
        std::vector<std::uint64_t> offsets(objects_.size());
        for (std::size_t i = 0; i < objects_.size(); ++i) {
            offsets[i] = out.size();
            encodeObject(objects_[i], refSize, out);
        }
        const std::uint64_t tableAt = out.size();
        const std::uint8_t offsetSize = sizeFor(offsets.back());
        for (std::uint64_t offset : offsets)
            appendBigEndian(out, offset, offsetSize);
        // Trailer: five unused bytes, the sort version, the two sizes, the object count, the top
        // object and where the offset table starts.
        out.append(6, '\0');
        out += static_cast<char>(offsetSize);
        out += static_cast<char>(refSize);
        appendBigEndian(out, objects_.size(), 8);
        appendBigEndian(out, 0, 8);
        appendBigEndian(out, tableAt, 8);
    }

    const PlistLimits& limits_;
    std::vector<Object> objects_;
    std::vector<std::uint64_t> refs_;
    std::vector<Pending> pending_;
    std::unordered_map<std::string_view, std::uint64_t> strings_;
    static constexpr std::uint64_t kNoObject = UINT64_MAX;
    std::uint64_t booleans_[2] = {kNoObject, kNoObject}; // the objects of false and true
    PlistBudget budget_;
    std::uint64_t payloadBytes_ = 0;
};

} // namespace

std::optional<std::string> writeBinaryPlist(const PlistValue& value, const PlistLimits& limits,
                                            std::string& out) {
    out.clear();
    if (auto e = Writer(limits).run(value, out)) {
        out.clear();
        return e;
    }
    return std::nullopt;
}
