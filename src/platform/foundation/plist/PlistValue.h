#pragma once

// A property-list value: the one dynamic value type of the platform layer. It stands in for the
// `id` that holds an NSString, NSNumber (integer, real or boolean), NSDate, NSData, NSArray or
// NSDictionary, and for "nil" (the none value). Any other object (an image, a view, a specifier)
// travels as an `Object` that holds a shared NSObject.
//
// Arrays and dictionaries have reference semantics, as their Cocoa counterparts do: copying a
// PlistValue shares the container, so a mutable dictionary handed around is the same object
// everywhere. `deepCopy()` gives an independent tree.
//
//     PlistValue v = PlistValue::dictionary();
//     v.set("enabled", PlistValue(true));
//     v["enabled"].description();   // "1"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

class NSObject;
class PlistValue;

using PlistArray = std::vector<PlistValue>;
// A dictionary's entries, sorted by key (PlistDictionary.h, included at the end of this header).
class PlistDictionary;
using PlistData = std::vector<std::uint8_t>;

// Seconds since 2001-01-01 00:00:00 UTC, as NSDate keeps them.
struct NSDate {
    double timeIntervalSinceReferenceDate = 0;
    bool operator==(const NSDate&) const = default;
};

class PlistValue {
public:
    enum class Kind { None, String, Integer, Real, Boolean, Date, Data, Array, Dictionary, Object };

    PlistValue() = default;
    PlistValue(std::nullptr_t) {}
    PlistValue(std::string s) : v_(std::move(s)) {}
    PlistValue(std::string_view s) : v_(std::string(s)) {}
    PlistValue(const char* s) : v_(std::string(s)) {}
    PlistValue(bool b) : v_(b) {}
    PlistValue(int i) : v_(static_cast<std::int64_t>(i)) {}
    PlistValue(std::int64_t i) : v_(i) {}
    PlistValue(double d) : v_(d) {}
    PlistValue(NSDate d) : v_(d) {}
    PlistValue(PlistData d) : v_(std::make_shared<PlistData>(std::move(d))) {}
    PlistValue(std::shared_ptr<PlistArray> a);
    PlistValue(std::shared_ptr<PlistDictionary> d);
    PlistValue(std::shared_ptr<NSObject> o);

    // An integer read as unsigned: values above the largest signed 64-bit integer keep their
    // unsignedness (and are written back as such); smaller ones are ordinary integers.
    static PlistValue unsignedInteger(std::uint64_t u);

    static PlistValue array(PlistArray items = {});
    static PlistValue dictionary();
    static PlistValue dictionary(PlistDictionary entries);

    Kind kind() const;
    bool isNone() const { return kind() == Kind::None; }
    explicit operator bool() const { return !isNone(); }
    bool isString() const { return kind() == Kind::String; }
    bool isInteger() const { return kind() == Kind::Integer; }
    bool isUnsignedInteger() const { return std::holds_alternative<Unsigned>(v_); } // above INT64_MAX
    bool isReal() const { return kind() == Kind::Real; }
    bool isBoolean() const { return kind() == Kind::Boolean; }
    bool isNumber() const { return isInteger() || isReal() || isBoolean(); }
    bool isDate() const { return kind() == Kind::Date; }
    bool isData() const { return kind() == Kind::Data; }
    bool isArray() const { return kind() == Kind::Array; }
    bool isDictionary() const { return kind() == Kind::Dictionary; }
    bool isObject() const { return kind() == Kind::Object; }

    // Typed access. Each answers the fallback when the value is of another kind; numbers convert
    // among themselves as NSNumber's accessors do.
    const std::string& stringValue() const; // "" for non-strings
    std::int64_t integerValue() const; // an unsigned integer above INT64_MAX wraps, as longLongValue does
    std::uint64_t unsignedValue() const;
    double doubleValue() const;
    bool boolValue() const;
    NSDate dateValue() const;
    const PlistData& dataValue() const;
    std::shared_ptr<PlistArray> arrayValue() const;           // null for non-arrays
    std::shared_ptr<PlistDictionary> dictionaryValue() const; // null for non-dictionaries
    std::shared_ptr<NSObject> objectValue() const;            // null for non-objects

    template <class T> std::shared_ptr<T> objectAs() const {
        return std::dynamic_pointer_cast<T>(objectValue());
    }

    // Dictionary and array conveniences. On a value of another kind `get`/`at` answer none and
    // `set`/`append` do nothing.
    PlistValue get(std::string_view key) const;
    PlistValue operator[](std::string_view key) const { return get(key); }
    void set(std::string key, PlistValue value) const;
    void remove(std::string_view key) const;
    PlistValue at(std::size_t index) const;
    void append(PlistValue value) const;
    std::size_t count() const; // elements of an array or dictionary, else 0

    // The text that "%@" prints: a string itself, a number in decimal, a boolean "1" or "0",
    // none "(null)"; dates, data, arrays and dictionaries in the platform's usual formatting.
    std::string description() const;

    // Structural equality (containers compared by content, objects by identity). Integer 1, real
    // 1.0 and boolean true are different values.
    bool operator==(const PlistValue& other) const;

    PlistValue deepCopy() const;
    // `mutableCopy`: a new array or dictionary holding the same elements (they are shared, not
    // copied); any other value as it is.
    PlistValue mutableCopy() const;

private:
    struct Unsigned {
        std::uint64_t value;
        bool operator==(const Unsigned&) const = default;
    };
    using Storage = std::variant<std::monostate, std::string, std::int64_t, double, bool, NSDate,
                                 std::shared_ptr<PlistData>, std::shared_ptr<PlistArray>,
                                 std::shared_ptr<PlistDictionary>, std::shared_ptr<NSObject>, Unsigned>;
    Storage v_;
};

// The dictionary needs the complete value type, so it comes after it; whoever includes this header
// gets both.
#include "platform/foundation/plist/PlistDictionary.h"
