#include "platform/foundation/plist/BinaryPlistCheck.h"

#include "platform/foundation/plist/PlistEncoding.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

std::uint64_t saturatingAdd(std::uint64_t a, std::uint64_t b) {
    return a > UINT64_MAX - b ? UINT64_MAX : a + b;
}

// One object of the list, as far as the walk needs it.
struct Object {
    enum class Kind { Scalar, String, Array, Dictionary };
    Kind kind = Kind::Scalar;
    std::uint64_t payload = 0; // bytes of string or data payload
    std::uint64_t refsAt = 0;  // offset of the reference list of a container
    std::uint64_t count = 0;   // elements of an array, entries of a dictionary
};

class Checker {
public:
    Checker(std::span<const std::uint8_t> b, const PlistLimits& l) : bytes_(b), limits_(l) {}

    std::optional<std::string> run() {
        if (auto e = readTrailer())
            return e;
        return walk();
    }

private:
    std::optional<std::string> readTrailer() {
        if (bytes_.size() < kBinaryPlistHeaderSize + kBinaryPlistTrailerSize + 1)
            return "too short";
        if (std::memcmp(bytes_.data(), "bplist00", kBinaryPlistHeaderSize) != 0)
            return "not a bplist00 list";
        const std::uint8_t* t = bytes_.data() + bytes_.size() - kBinaryPlistTrailerSize;
        offsetSize_ = t[6];
        refSize_ = t[7];
        std::uint64_t objectCount = readBigEndian(t + 8, 8);
        top_ = readBigEndian(t + 16, 8);
        tableAt_ = readBigEndian(t + 24, 8);
        if (offsetSize_ < 1 || offsetSize_ > 8 || refSize_ < 1 || refSize_ > 8)
            return "bad offset or reference size";
        if (objectCount == 0 || top_ >= objectCount)
            return "bad object count or top object";
        // Distinct reachable objects never outnumber expanded values, so a larger table only
        // holds objects that nothing refers to, or the list is over the limit anyway.
        if (objectCount > limits_.maxValues)
            return "too many objects";
        std::uint64_t tableEnd = bytes_.size() - kBinaryPlistTrailerSize;
        if (tableAt_ < kBinaryPlistHeaderSize || tableAt_ >= tableEnd)
            return "offset table outside the list";
        if (objectCount > (tableEnd - tableAt_) / offsetSize_)
            return "offset table truncated";
        offsets_.resize(objectCount);
        for (std::uint64_t i = 0; i < objectCount; ++i) {
            offsets_[i] = readBigEndian(bytes_.data() + tableAt_ + i * offsetSize_, offsetSize_);
            if (offsets_[i] < kBinaryPlistHeaderSize || offsets_[i] >= tableAt_)
                return "object offset outside the object area";
        }
        return std::nullopt;
    }

    // Reads the length of a sized object: the low nibble, or a following integer when it is 0xF.
    bool readLength(std::uint64_t& at, std::uint8_t low, std::uint64_t& length) const {
        if (low != 0xF) {
            length = low;
            return true;
        }
        if (at >= tableAt_)
            return false;
        std::uint8_t marker = bytes_[at++];
        if ((marker >> 4) != 0x1 || (marker & 0xF) > 3)
            return false;
        std::uint64_t n = std::uint64_t(1) << (marker & 0xF);
        if (n > tableAt_ - at)
            return false;
        length = readBigEndian(bytes_.data() + at, n);
        at += n;
        return true;
    }

    // Decodes object `index`; answers false when it is malformed or of a kind that is not read.
    bool parse(std::uint64_t index, Object& o) const {
        std::uint64_t at = offsets_[index];
        std::uint8_t marker = bytes_[at++];
        std::uint8_t high = marker >> 4, low = marker & 0xF;
        std::uint64_t room = 0;
        auto fits = [&](std::uint64_t n) { return n <= tableAt_ - at; };
        switch (high) {
        case 0x0:
            return low == 0x8 || low == 0x9; // false, true
        case 0x1:
            return low <= 4 && fits(std::uint64_t(1) << low);
        case 0x2:
            return (low == 2 || low == 3) && fits(std::uint64_t(1) << low);
        case 0x3:
            return low == 3 && fits(8);
        case 0x8:
            return low <= 7 && fits(low + 1); // UID
        case 0x4:
        case 0x5:
        case 0x6: {
            if (!readLength(at, low, room))
                return false;
            std::uint64_t size = room;
            if (high == 0x6) {
                if (size > UINT64_MAX / 2)
                    return false;
                size *= 2;
            }
            if (!fits(size))
                return false;
            // A string may hold U+0000 like any other character: the format counts its
            // length, and the tree keeps strings as counted bytes.
            o.kind = high == 0x4 ? Object::Kind::Scalar : Object::Kind::String;
            o.payload = size;
            return true;
        }
        case 0xA:
        case 0xD: {
            if (!readLength(at, low, o.count))
                return false;
            std::uint64_t perEntry = high == 0xD ? 2 * refSize_ : refSize_;
            if (o.count > (tableAt_ - at) / perEntry)
                return false;
            o.kind = high == 0xA ? Object::Kind::Array : Object::Kind::Dictionary;
            o.refsAt = at;
            return true;
        }
        default:
            return false;
        }
    }

    std::uint64_t ref(const Object& o, std::uint64_t i) const {
        return readBigEndian(bytes_.data() + o.refsAt + i * refSize_, refSize_);
    }

    // Depth-first over the graph with an explicit stack. Each object is finished once; its
    // expanded count, bytes and height are kept, so shared objects cost one visit however often
    // they are referenced, and meeting an object that is still open is a cycle.
    std::optional<std::string> walk() {
        const std::size_t n = offsets_.size();
        enum : std::uint8_t { Unseen, Open, Done };
        std::vector<std::uint8_t> state(n, Unseen);
        std::vector<std::uint64_t> count(n);
        std::vector<std::uint32_t> height(n);
        std::vector<std::uint64_t> expanded(n);
        struct Frame {
            std::uint64_t index;
            Object object;
            std::uint64_t next = 0; // next reference to visit
            std::uint64_t count = 1, expanded = kPlistNodeCost;
            std::uint32_t height = 1;
        };
        std::vector<Frame> stack;
        const std::uint64_t countCap = limits_.maxValues, bytesCap = limits_.maxExpandedBytes;

        auto open = [&](std::uint64_t index, bool mustBeString) -> std::optional<std::string> {
            Object o;
            if (!parse(index, o))
                return "malformed object";
            if (mustBeString && o.kind != Object::Kind::String)
                return "dictionary key is not a string";
            if (o.kind != Object::Kind::Array && o.kind != Object::Kind::Dictionary) {
                state[index] = Done;
                count[index] = 1;
                height[index] = 0;
                expanded[index] = saturatingAdd(kPlistNodeCost, o.payload);
                return std::nullopt;
            }
            if (stack.size() >= limits_.maxDepth)
                return "nested too deeply";
            state[index] = Open;
            stack.push_back(Frame{index, o});
            return std::nullopt;
        };

        if (auto e = open(top_, false))
            return e;
        if (stack.empty())
            return std::nullopt;
        while (!stack.empty()) {
            Frame& f = stack.back();
            const bool dictionary = f.object.kind == Object::Kind::Dictionary;
            const std::uint64_t refs = dictionary ? 2 * f.object.count : f.object.count;
            if (f.next < refs) {
                std::uint64_t i = f.next;
                std::uint64_t child = ref(f.object, i);
                if (child >= n)
                    return "object reference out of range";
                if (state[child] == Open)
                    return "object refers to itself";
                if (state[child] == Unseen) {
                    // Visit the child first; this frame comes back to the same reference.
                    if (auto e = open(child, dictionary && i < f.object.count))
                        return e;
                    if (state[child] == Open)
                        continue;
                } else if (dictionary && i < f.object.count) {
                    Object key;
                    parse(child, key);
                    if (key.kind != Object::Kind::String)
                        return "dictionary key is not a string";
                }
                Frame& top = stack.back();
                top.next++;
                top.count = std::min<std::uint64_t>(top.count + count[child], countCap + 1);
                top.expanded = std::min(saturatingAdd(top.expanded, expanded[child]), bytesCap + 1);
                top.height = std::max(top.height, height[child] + 1);
                if (top.count > countCap)
                    return "too many values";
                if (top.expanded > bytesCap)
                    return "expands past the size limit";
                if (top.height > limits_.maxDepth)
                    return "nested too deeply";
                continue;
            }
            state[f.index] = Done;
            count[f.index] = f.count;
            height[f.index] = f.height;
            expanded[f.index] = f.expanded;
            stack.pop_back();
        }
        return std::nullopt;
    }

    std::span<const std::uint8_t> bytes_;
    const PlistLimits& limits_;
    std::uint8_t offsetSize_ = 0, refSize_ = 0;
    std::uint64_t top_ = 0, tableAt_ = 0;
    std::vector<std::uint64_t> offsets_;
};

} // namespace

std::optional<std::string> checkBinaryPlist(std::span<const std::uint8_t> bytes, const PlistLimits& limits) {
    return Checker(bytes, limits).run();
}
