#include "platform/foundation/NSJSONSerialization.h"

#include "platform/foundation/NSNull.h"

#include <nlohmann/json.hpp>

#include <limits>
#include <vector>

namespace {

// Builds the value tree as nlohmann's (non-recursive) parser reports it, on an explicit stack.
// Returning false from any event stops the parse; the reason is kept for the error.
class TreeBuilder {
public:
    using json = nlohmann::json;

    explicit TreeBuilder(const NSJSONSerialization::Limits& limits) : limits_(limits) {}

    bool null() { return add(PlistValue(std::static_pointer_cast<NSObject>(NSNull::null()))); }
    bool boolean(bool b) { return add(PlistValue(b)); }
    bool number_integer(json::number_integer_t i) { return add(PlistValue(static_cast<std::int64_t>(i))); }
    bool number_unsigned(json::number_unsigned_t u) { return add(PlistValue::unsignedInteger(u)); }
    bool number_float(json::number_float_t d, const json::string_t&) {
        return add(PlistValue(static_cast<double>(d)));
    }
    bool string(json::string_t& s) { return add(PlistValue(std::move(s))); }
    bool binary(json::binary_t&) { return fail("binary values are not JSON"); }
    bool start_object(std::size_t) { return open(PlistValue::dictionary()); }
    bool key(json::string_t& k) {
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
            top.container.set(std::move(top.key), std::move(value)); // a repeated key: the last wins
        return true;
    }

    bool open(PlistValue container) {
        if (stack_.size() >= limits_.maximumDepth)
            return fail("nested deeper than " + std::to_string(limits_.maximumDepth) + " levels");
        if (stack_.empty())
            topIsContainer_ = true;
        if (!add(container))
            return false;
        stack_.push_back({std::move(container), {}});
        return true;
    }

    bool close() {
        stack_.pop_back();
        return true;
    }

    const NSJSONSerialization::Limits& limits_;
    std::vector<Open> stack_;
    PlistValue root_;
    std::size_t values_ = 0;
    bool topIsContainer_ = false;
    std::string reason_;
};

std::shared_ptr<NSError> corrupt(const std::string& reason) {
    return NSError::create(NSCocoaErrorDomain, NSPropertyListReadCorruptError,
                           "The data couldn’t be read because it isn’t in the correct format. (" + reason +
                               ")");
}

} // namespace

PlistValue NSJSONSerialization::JSONObjectWithData(std::string_view data, std::uint64_t options,
                                                   std::shared_ptr<NSError>* error, const Limits& limits) {
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
