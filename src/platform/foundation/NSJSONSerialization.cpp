#include "platform/foundation/NSJSONSerialization.h"

#include "platform/foundation/NSNull.h"

#include <nlohmann/json.hpp>
#include <simdjson.h>

#include <algorithm>
#include <limits>
#include <optional>
#include <vector>

namespace {

// Builds the value tree as nlohmann's (non-recursive) parser reports it, on an explicit stack.
// Returning false from any event stops the parse; the reason is kept for the error.
class TreeBuilder {
public:
    using json = nlohmann::json;

    explicit TreeBuilder(const NSJSONSerialization::Limits& limits) : limits_(limits) {}

    bool null() {
        return scalar([] { return PlistValue(std::static_pointer_cast<NSObject>(NSNull::null())); });
    }
    bool boolean(bool b) {
        return scalar([&] { return PlistValue(b); });
    }
    bool number_integer(json::number_integer_t i) {
        return scalar([&] { return PlistValue(static_cast<std::int64_t>(i)); });
    }
    bool number_unsigned(json::number_unsigned_t u) {
        return scalar([&] { return PlistValue::unsignedInteger(u); });
    }
    bool number_float(json::number_float_t d, const json::string_t&) {
        return scalar([&] { return PlistValue(static_cast<double>(d)); });
    }
    bool string(json::string_t& s) {
        return scalar([&] { return PlistValue(std::move(s)); });
    }
    bool binary(json::binary_t&) { return fail("binary values are not JSON"); }
    bool start_object(std::size_t) { return open(PlistValue::dictionary()); }
    bool key(json::string_t& k) {
        if (skipping_ == 0)
            stack_.back().key = std::move(k);
        return true;
    }
    bool end_object() { return close(); }
    bool start_array(std::size_t) { return open(PlistValue::array()); }
    bool end_array() { return close(); }
    bool parse_error(std::size_t position, const std::string&, const nlohmann::detail::exception& e) {
        if (reason_.empty())
            reason_ = "invalid JSON around byte " + std::to_string(position) + " (" + e.what() + ")";
        return false;
    }

    PlistValue result() { return std::move(root_); }
    std::size_t elementsLeftOut() const { return leftOut_; }
    const std::string& reason() const { return reason_; }
    bool topIsContainer() const { return topIsContainer_; }

private:
    struct Open {
        PlistValue container;
        std::string key;
    };

    bool fail(std::string reason) {
        if (reason_.empty())
            reason_ = std::move(reason);
        return false;
    }

    bool count() {
        if (++values_ > limits_.maximumValues)
            return fail("more than " + std::to_string(limits_.maximumValues) + " values");
        return true;
    }

    // Whether the next value is an element of the top-level array past the ones it keeps.
    bool leavesOutNext() const {
        return stack_.size() == 1 && stack_.front().container.isArray() &&
               stack_.front().container.count() >= limits_.maximumTopLevelElements;
    }

    template <class Make> bool scalar(Make make) {
        if (skipping_ > 0)
            return true;
        if (leavesOutNext()) {
            ++leftOut_;
            return true;
        }
        return add(make());
    }

    bool add(PlistValue value) {
        if (!count())
            return false;
        if (stack_.empty()) {
            root_ = std::move(value);
            return true;
        }
        Open& top = stack_.back();
        if (top.container.isArray())
            top.container.append(std::move(value));
        else
            top.container.dictionaryValue()->appendUnsettled(std::move(top.key), std::move(value));
        return true;
    }

    bool open(PlistValue container) {
        if (stack_.size() + skipping_ >= limits_.maximumDepth)
            return fail("nested deeper than " + std::to_string(limits_.maximumDepth) + " levels");
        // A container left out, or inside one, is only followed to its end.
        if (skipping_ > 0 || leavesOutNext()) {
            if (skipping_++ == 0)
                ++leftOut_;
            return true;
        }
        if (stack_.empty())
            topIsContainer_ = true;
        if (!add(container))
            return false;
        stack_.push_back({std::move(container), {}});
        return true;
    }

    bool close() {
        if (skipping_ > 0) {
            --skipping_;
            return true;
        }
        // Of a repeated key the last wins.
        if (auto entries = stack_.back().container.dictionaryValue())
            entries->settleAppended();
        stack_.pop_back();
        return true;
    }

    const NSJSONSerialization::Limits& limits_;
    std::vector<Open> stack_;
    PlistValue root_;
    std::size_t values_ = 0;
    // How deep inside a left-out element the reader is (0: in none), and how many were left out.
    std::size_t skipping_ = 0;
    std::size_t leftOut_ = 0;
    bool topIsContainer_ = false;
    std::string reason_;
};

std::shared_ptr<NSError> corrupt(const std::string& reason) {
    return NSError::create(NSCocoaErrorDomain, NSPropertyListReadCorruptError,
                           "The data couldn’t be read because it isn’t in the correct format. (" + reason +
                               ")");
}

// The fast reader: simdjson parses and validates the whole text (UTF-8 included) into its tape,
// and the tree is built from the tape on an explicit stack. It answers no value for anything it
// does not take as it is (malformed text, a number past 64-bit integers, a document over a
// bound), and the caller then reads the text again with TreeBuilder, which decides and explains
// those cases. So every refusal, and every number past the tape's kinds, reads as it always did,
// and the common case, a well-formed catalogue, costs one pass of each.
class TapeReader {
public:
    explicit TapeReader(const NSJSONSerialization::Limits& limits) : limits_(limits) {}

    std::optional<PlistValue> read(std::string_view text) {
        // The tape counts the document itself as a level: one more is the same bound, checked
        // over the whole text (elements left out included) and at once, however deep it goes.
        const std::size_t depth = std::min<std::size_t>(limits_.maximumDepth, 1u << 20) + 1;
        // A thread keeps its parser and padded copy of the text for documents of up to two
        // megabytes: the parser's buffers are several times the text, and making them afresh for
        // each document costs more than the parse (the memory is mapped and faulted in again).
        // Larger documents get buffers of their own that are freed with the parse.
        if (text.size() <= kReusedCapacity) {
            thread_local Buffers kept;
            return read(text, depth, kept);
        }
        Buffers own;
        return read(text, depth, own);
    }

    std::size_t elementsLeftOut() const { return leftOut_; }

private:
    static constexpr std::size_t kReusedCapacity = 2u << 20;

    struct Buffers {
        simdjson::dom::parser parser;
        std::size_t capacity = 0;
        std::size_t depth = 0;
        std::vector<char> padded;
    };

    std::optional<PlistValue> read(std::string_view text, std::size_t depth, Buffers& buffers) {
        // The parser reads up to a padding's width past the text, so it reads a padded copy.
        const std::size_t capacity = std::max<std::size_t>(text.size(), 64);
        if (buffers.capacity < capacity || buffers.depth != depth) {
            buffers.capacity = 0;
            if (buffers.parser.allocate(capacity, depth) != simdjson::SUCCESS)
                return std::nullopt;
            buffers.capacity = capacity;
            buffers.depth = depth;
        }
        buffers.padded.resize(text.size() + simdjson::SIMDJSON_PADDING);
        std::copy(text.begin(), text.end(), buffers.padded.begin());
        std::fill(buffers.padded.begin() + static_cast<std::ptrdiff_t>(text.size()), buffers.padded.end(),
                  '\0');
        simdjson::dom::element root;
        if (buffers.parser.parse(buffers.padded.data(), text.size(), false).get(root) != simdjson::SUCCESS)
            return std::nullopt;
        return build(root);
    }

    // An open container and where its reading stands.
    struct Open {
        std::shared_ptr<PlistArray> array;
        std::shared_ptr<PlistDictionary> dictionary;
        simdjson::dom::array::iterator arrayAt, arrayEnd;
        // A dictionary's fields, in key order, are fields_[fieldsBegin, fieldsEnd); the next one
        // to read is fields_[fieldAt].
        std::size_t fieldsBegin = 0, fieldAt = 0, fieldsEnd = 0;
    };

    // A field of an object: its key (in the parser's buffers), its value, and where it stands in
    // the text, which settles the order of a repeated key.
    struct Field {
        std::string_view key;
        simdjson::dom::element value;
        std::size_t position;
    };

    bool count() { return ++values_ <= limits_.maximumValues; }

    // The value of a scalar element, or none for a container.
    static PlistValue scalar(const simdjson::dom::element& element) {
        using simdjson::dom::element_type;
        switch (element.type()) {
        case element_type::STRING:
            return PlistValue(std::string(element.get_string().value_unsafe()));
        case element_type::INT64:
            return PlistValue(element.get_int64().value_unsafe());
        case element_type::UINT64:
            return PlistValue::unsignedInteger(element.get_uint64().value_unsafe());
        case element_type::DOUBLE:
            return PlistValue(element.get_double().value_unsafe());
        case element_type::BOOL:
            return PlistValue(element.get_bool().value_unsafe());
        case element_type::NULL_VALUE:
            return PlistValue(std::static_pointer_cast<NSObject>(NSNull::null()));
        default:
            return {};
        }
    }

    // Opens `element` as a container on the stack, or answers its scalar value.
    std::optional<PlistValue> enter(const simdjson::dom::element& element) {
        if (!count())
            return std::nullopt;
        if (!element.is_array() && !element.is_object())
            return scalar(element);
        if (stack_.size() >= limits_.maximumDepth)
            return std::nullopt;
        Open open;
        PlistValue container;
        if (element.is_array()) {
            simdjson::dom::array array = element.get_array().value_unsafe();
            open.array = std::make_shared<PlistArray>();
            // The tape saturates the count of a very long array; the vector grows past it.
            open.array->reserve(std::min<std::size_t>(array.size(), 0xFFFFFF));
            open.arrayAt = array.begin();
            open.arrayEnd = array.end();
            container = PlistValue(open.array);
        } else {
            simdjson::dom::object object = element.get_object().value_unsafe();
            // The fields are sorted by key before any value is made, so that each entry goes
            // straight to its place at the end of the dictionary: sorting the entries afterwards
            // would move every value and key again.
            open.fieldsBegin = open.fieldAt = fields_.size();
            std::size_t position = 0;
            for (simdjson::dom::key_value_pair field : object)
                fields_.push_back({field.key, field.value, position++});
            open.fieldsEnd = fields_.size();
            auto before = [](const Field& a, const Field& b) {
                if (a.key != b.key)
                    return PlistKeyOrder{}(a.key, b.key);
                return a.position < b.position;
            };
            const auto first = fields_.begin() + static_cast<std::ptrdiff_t>(open.fieldsBegin);
            if (!std::is_sorted(first, fields_.end(), before))
                std::sort(first, fields_.end(), before);
            open.dictionary = std::make_shared<PlistDictionary>();
            open.dictionary->reserve(open.fieldsEnd - open.fieldsBegin);
            container = PlistValue(open.dictionary);
        }
        stack_.push_back(std::move(open));
        return container;
    }

    std::optional<PlistValue> build(const simdjson::dom::element& root) {
        std::optional<PlistValue> top = enter(root);
        while (top && !stack_.empty()) {
            Open& open = stack_.back();
            if (open.array) {
                if (stack_.size() == 1 && open.array->size() >= limits_.maximumTopLevelElements)
                    for (; open.arrayAt != open.arrayEnd; ++open.arrayAt)
                        ++leftOut_;
                if (open.arrayAt == open.arrayEnd) {
                    stack_.pop_back();
                    continue;
                }
                simdjson::dom::element element = *open.arrayAt;
                ++open.arrayAt;
                PlistArray* array = open.array.get(); // `open` moves if the stack grows
                std::optional<PlistValue> value = enter(element);
                if (!value)
                    return std::nullopt;
                array->push_back(std::move(*value));
            } else {
                if (open.fieldAt == open.fieldsEnd) {
                    fields_.resize(open.fieldsBegin); // the fields of objects inside are gone too
                    stack_.pop_back();
                    continue;
                }
                // `open` moves if the stack grows, and `fields_` if a value is an object.
                const Field field = fields_[open.fieldAt++];
                PlistDictionary* dictionary = open.dictionary.get();
                // A repeated key: the last wins. The others are still read, and counted.
                const bool kept = open.fieldAt == open.fieldsEnd || fields_[open.fieldAt].key != field.key;
                std::optional<PlistValue> value = enter(field.value);
                if (!value)
                    return std::nullopt;
                if (kept)
                    dictionary->try_emplace(field.key, std::move(*value));
            }
        }
        return top;
    }

    const NSJSONSerialization::Limits& limits_;
    std::vector<Open> stack_;
    // The fields of the open objects, each one's after those of the object it is in.
    std::vector<Field> fields_;
    std::size_t values_ = 0;
    std::size_t leftOut_ = 0;
};

} // namespace

PlistValue NSJSONSerialization::JSONObjectWithData(std::string_view data, std::uint64_t options,
                                                   std::shared_ptr<NSError>* error, const Limits& limits,
                                                   std::size_t* elementsLeftOut) {
    if (elementsLeftOut)
        *elementsLeftOut = 0;
    auto failed = [&](const std::string& reason) {
        if (error)
            *error = corrupt(reason);
        return PlistValue();
    };
    if (data.size() > limits.maximumBytes)
        return failed("larger than " + std::to_string(limits.maximumBytes) + " bytes");
    if (data.empty())
        return failed("no data");
    // A NUL byte is never part of JSON text (inside strings it must be escaped); the reader would
    // take one for the end of its input.
    if (data.find('\0') != std::string_view::npos)
        return failed("a NUL byte in the text");
    // A byte-order mark may open the text; the tape reader does not take one.
    std::string_view text = data;
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    TapeReader reader(limits);
    if (std::optional<PlistValue> fast = reader.read(text)) {
        if (!(options & NSJSONReadingFragmentsAllowed) && !fast->isArray() && !fast->isDictionary())
            return failed(
                "JSON text did not start with array or object and option to allow fragments not set");
        if (error)
            *error = nullptr;
        if (elementsLeftOut)
            *elementsLeftOut = reader.elementsLeftOut();
        return std::move(*fast);
    }
    TreeBuilder builder(limits);
    bool ok =
        nlohmann::json::sax_parse(data.begin(), data.end(), &builder, nlohmann::json::input_format_t::json,
                                  /*strict=*/true);
    if (!ok)
        return failed(builder.reason().empty() ? "invalid JSON" : builder.reason());
    if (!(options & NSJSONReadingFragmentsAllowed) && !builder.topIsContainer())
        return failed("JSON text did not start with array or object and option to allow fragments not set");
    if (error)
        *error = nullptr;
    if (elementsLeftOut)
        *elementsLeftOut = builder.elementsLeftOut();
    return builder.result();
}

PlistValue NSJSONSerialization::JSONObjectWithData(std::string_view data, std::uint64_t options,
                                                   std::shared_ptr<NSError>* error) {
    return JSONObjectWithData(data, options, error, Limits{});
}

PlistValue NSJSONSerialization::JSONObjectWithData(const PlistData& data, std::uint64_t options,
                                                   std::shared_ptr<NSError>* error) {
    return JSONObjectWithData(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()),
                              options, error, Limits{});
}
