#pragma once

// The one null object (NSNull): what a collection holds where JSON says null, since an array or
// dictionary cannot hold "no value". It travels in a PlistValue as an Object and prints "<null>".
//
//     PlistValue v = NSJSONSerialization::JSONObjectWithData(bytes, 0, nullptr);   // [null]
//     NSNull::isNull(v.at(0));   // true

#include "platform/foundation/NSObject.h"

#include <memory>

class NSNull : public NSObject {
public:
    static const std::shared_ptr<NSNull>& null();
    // Whether the value is the null object.
    static bool isNull(const PlistValue& value);

    std::string className() const override { return "NSNull"; }
    std::string description() const override { return "<null>"; }

protected:
    NSNull() = default;
};
