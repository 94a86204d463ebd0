#include "platform/foundation/plist/PlistKind.h"

#include "platform/foundation/plist/PlistValue.h"

std::string plistKindName(const PlistValue& value) {
    switch (value.kind()) {
    case PlistValue::Kind::String:
        return "a string";
    case PlistValue::Kind::Integer:
    case PlistValue::Kind::Real:
        return "a number";
    case PlistValue::Kind::Boolean:
        return "a boolean";
    case PlistValue::Kind::Date:
        return "a date";
    case PlistValue::Kind::Data:
        return "data";
    case PlistValue::Kind::Array:
        return "an array";
    case PlistValue::Kind::Dictionary:
        return "a dictionary";
    case PlistValue::Kind::None:
    case PlistValue::Kind::Object:
        break;
    }
    return "a value";
}

std::string plistStringOr(const PlistValue& value, std::string fallback) {
    return value.isString() ? value.stringValue() : std::move(fallback);
}
