#include "platform/ui/NSValue.h"

#include <sstream>

std::shared_ptr<NSValue> NSValue::valueWithCATransform3D(const CATransform3D& t) {
    return std::shared_ptr<NSValue>(new NSValue(t));
}
std::shared_ptr<NSValue> NSValue::valueWithCGPoint(CGPoint p) {
    return std::shared_ptr<NSValue>(new NSValue(p));
}
std::shared_ptr<NSValue> NSValue::valueWithCGRect(CGRect r) {
    return std::shared_ptr<NSValue>(new NSValue(r));
}

CATransform3D NSValue::CATransform3DValue() const {
    if (auto t = std::get_if<CATransform3D>(&value_))
        return *t;
    // The zero transform, as the platform answers for a value of another kind.
    return {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
}
CGPoint NSValue::CGPointValue() const {
    auto p = std::get_if<CGPoint>(&value_);
    return p ? *p : CGPointZero;
}
CGRect NSValue::CGRectValue() const {
    auto r = std::get_if<CGRect>(&value_);
    return r ? *r : CGRectZero;
}

std::optional<CATransform3D> NSValue::transformOf(const PlistValue& value) {
    auto boxed = value.objectAs<NSValue>();
    if (!boxed || !boxed->holdsCATransform3D())
        return std::nullopt;
    return boxed->CATransform3DValue();
}

std::string NSValue::description() const {
    std::ostringstream out;
    if (auto t = std::get_if<CATransform3D>(&value_)) {
        out << "CATransform3D: {" << t->m11 << ", " << t->m12 << ", " << t->m13 << ", " << t->m14 << ", "
            << t->m21 << ", " << t->m22 << ", " << t->m23 << ", " << t->m24 << ", " << t->m31 << ", "
            << t->m32 << ", " << t->m33 << ", " << t->m34 << ", " << t->m41 << ", " << t->m42 << ", "
            << t->m43 << ", " << t->m44 << "}";
    } else if (auto p = std::get_if<CGPoint>(&value_)) {
        out << "NSPoint: {" << p->x << ", " << p->y << "}";
    } else if (auto r = std::get_if<CGRect>(&value_)) {
        out << "NSRect: {{" << r->origin.x << ", " << r->origin.y << "}, {" << r->size.width << ", "
            << r->size.height << "}}";
    }
    return out.str();
}
