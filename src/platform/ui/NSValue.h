#pragma once

// A boxed value of one of the platform layer's geometry types (NSValue), so a CATransform3D, a
// point or a rectangle can travel where an object is expected, such as an animation's toValue:
//
//     anim->setToValue(NSValue::valueWithCATransform3D(CATransform3DMakeRotation(M_PI, 0, 1, 0)));
//     NSValue::transformOf(anim->toValue());   // the transform back, or nothing
//
// The accessors of another kind answer the type's zero (as the platform's do); `holds...` tells
// which kind a value is.

#include "platform/foundation/NSObject.h"
#include "platform/foundation/plist/PlistValue.h"
#include "platform/graphics/CGGeometry.h"

#include <memory>
#include <optional>
#include <variant>

class NSValue : public NSObject {
public:
    static std::shared_ptr<NSValue> valueWithCATransform3D(const CATransform3D& t);
    static std::shared_ptr<NSValue> valueWithCGPoint(CGPoint p);
    static std::shared_ptr<NSValue> valueWithCGRect(CGRect r);

    std::string className() const override { return "NSValue"; }
    std::string description() const override;

    bool holdsCATransform3D() const { return std::holds_alternative<CATransform3D>(value_); }
    CATransform3D CATransform3DValue() const;
    CGPoint CGPointValue() const;
    CGRect CGRectValue() const;

    // The transform inside an `id` that holds an NSValue of one, or nothing.
    static std::optional<CATransform3D> transformOf(const PlistValue& value);

private:
    using Storage = std::variant<CATransform3D, CGPoint, CGRect>;
    explicit NSValue(Storage value) : value_(value) {}
    Storage value_;
};
