#pragma once

// Geometry value types of Core Graphics: points, sizes, rectangles, affine transforms and the
// layer's 3D transform. Points with the origin at the top left and y downward.

#include <algorithm>
#include <cmath>

using CGFloat = double;

struct CGPoint {
    CGFloat x = 0, y = 0;
    bool operator==(const CGPoint&) const = default;
};

struct CGSize {
    CGFloat width = 0, height = 0;
    bool operator==(const CGSize&) const = default;
};

struct CGRect {
    CGPoint origin;
    CGSize size;
    bool operator==(const CGRect&) const = default;

    CGFloat minX() const { return std::min(origin.x, origin.x + size.width); }
    CGFloat minY() const { return std::min(origin.y, origin.y + size.height); }
    CGFloat maxX() const { return std::max(origin.x, origin.x + size.width); }
    CGFloat maxY() const { return std::max(origin.y, origin.y + size.height); }
    CGFloat midX() const { return origin.x + size.width / 2; }
    CGFloat midY() const { return origin.y + size.height / 2; }
    CGFloat width() const { return std::abs(size.width); }
    CGFloat height() const { return std::abs(size.height); }
    bool isEmpty() const { return size.width == 0 || size.height == 0; }
    bool contains(CGPoint p) const { return p.x >= minX() && p.x < maxX() && p.y >= minY() && p.y < maxY(); }
};

// A vector (a velocity, a direction), as the dynamics behaviours take them.
struct CGVector {
    CGFloat dx = 0, dy = 0;
    bool operator==(const CGVector&) const = default;
};
inline constexpr CGVector CGVectorMake(CGFloat dx, CGFloat dy) {
    return {dx, dy};
}

inline constexpr CGPoint CGPointZero{};
inline constexpr CGSize CGSizeZero{};
inline constexpr CGRect CGRectZero{};

inline CGPoint CGPointMake(CGFloat x, CGFloat y) {
    return {x, y};
}
inline CGSize CGSizeMake(CGFloat w, CGFloat h) {
    return {w, h};
}
inline CGRect CGRectMake(CGFloat x, CGFloat y, CGFloat w, CGFloat h) {
    return {{x, y}, {w, h}};
}
inline CGRect CGRectInset(CGRect r, CGFloat dx, CGFloat dy) {
    return CGRectMake(r.minX() + dx, r.minY() + dy, r.width() - 2 * dx, r.height() - 2 * dy);
}
CGRect CGRectIntersection(CGRect a, CGRect b);
CGRect CGRectUnion(CGRect a, CGRect b);
CGRect CGRectIntegral(CGRect r);

struct CGAffineTransform {
    CGFloat a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;
    bool operator==(const CGAffineTransform&) const = default;
};

inline constexpr CGAffineTransform CGAffineTransformIdentity{};
CGAffineTransform CGAffineTransformMakeTranslation(CGFloat tx, CGFloat ty);
CGAffineTransform CGAffineTransformMakeScale(CGFloat sx, CGFloat sy);
CGAffineTransform CGAffineTransformMakeRotation(CGFloat angle);
// t1 then t2.
CGAffineTransform CGAffineTransformConcat(CGAffineTransform t1, CGAffineTransform t2);
CGAffineTransform CGAffineTransformScale(CGAffineTransform t, CGFloat sx, CGFloat sy);
CGAffineTransform CGAffineTransformTranslate(CGAffineTransform t, CGFloat tx, CGFloat ty);
CGAffineTransform CGAffineTransformRotate(CGAffineTransform t, CGFloat angle);
CGAffineTransform CGAffineTransformInvert(CGAffineTransform t);
inline bool CGAffineTransformIsIdentity(CGAffineTransform t) {
    return t == CGAffineTransformIdentity;
}
CGPoint CGPointApplyAffineTransform(CGPoint p, CGAffineTransform t);
CGRect CGRectApplyAffineTransform(CGRect r, CGAffineTransform t);

// Core Animation's 4x4 transform, row vectors as the platform keeps them (m41..m43 translate).
struct CATransform3D {
    CGFloat m11 = 1, m12 = 0, m13 = 0, m14 = 0;
    CGFloat m21 = 0, m22 = 1, m23 = 0, m24 = 0;
    CGFloat m31 = 0, m32 = 0, m33 = 1, m34 = 0;
    CGFloat m41 = 0, m42 = 0, m43 = 0, m44 = 1;
    bool operator==(const CATransform3D&) const = default;
};

inline constexpr CATransform3D CATransform3DIdentity{};
CATransform3D CATransform3DMakeTranslation(CGFloat tx, CGFloat ty, CGFloat tz);
CATransform3D CATransform3DMakeScale(CGFloat sx, CGFloat sy, CGFloat sz);
CATransform3D CATransform3DMakeRotation(CGFloat angle, CGFloat x, CGFloat y, CGFloat z);
CATransform3D CATransform3DConcat(CATransform3D a, CATransform3D b); // a then b
CATransform3D CATransform3DRotate(CATransform3D t, CGFloat angle, CGFloat x, CGFloat y, CGFloat z);
CATransform3D CATransform3DScale(CATransform3D t, CGFloat sx, CGFloat sy, CGFloat sz);
CATransform3D CATransform3DTranslate(CATransform3D t, CGFloat tx, CGFloat ty, CGFloat tz);
inline bool CATransform3DIsIdentity(const CATransform3D& t) {
    return t == CATransform3DIdentity;
}
CATransform3D CATransform3DMakeAffineTransform(CGAffineTransform t);
// The orthographic projection onto the screen plane (drops z), as the renderer draws it.
CGAffineTransform CATransform3DGetAffineTransform(const CATransform3D& t);

// An RGBA colour with components in [0, 1], unpremultiplied.
struct CGColor {
    CGFloat r = 0, g = 0, b = 0, a = 1;
    bool operator==(const CGColor&) const = default;
};
