#include "platform/graphics/CGGeometry.h"

CGRect CGRectIntersection(CGRect a, CGRect b) {
    CGFloat x0 = std::max(a.minX(), b.minX()), y0 = std::max(a.minY(), b.minY());
    CGFloat x1 = std::min(a.maxX(), b.maxX()), y1 = std::min(a.maxY(), b.maxY());
    if (x1 < x0 || y1 < y0)
        return CGRectZero;
    return CGRectMake(x0, y0, x1 - x0, y1 - y0);
}

CGRect CGRectUnion(CGRect a, CGRect b) {
    if (a.isEmpty())
        return b;
    if (b.isEmpty())
        return a;
    CGFloat x0 = std::min(a.minX(), b.minX()), y0 = std::min(a.minY(), b.minY());
    CGFloat x1 = std::max(a.maxX(), b.maxX()), y1 = std::max(a.maxY(), b.maxY());
    return CGRectMake(x0, y0, x1 - x0, y1 - y0);
}

CGRect CGRectIntegral(CGRect r) {
    CGFloat x0 = std::floor(r.minX()), y0 = std::floor(r.minY());
    CGFloat x1 = std::ceil(r.maxX()), y1 = std::ceil(r.maxY());
    return CGRectMake(x0, y0, x1 - x0, y1 - y0);
}

CGAffineTransform CGAffineTransformMakeTranslation(CGFloat tx, CGFloat ty) {
    return {1, 0, 0, 1, tx, ty};
}
CGAffineTransform CGAffineTransformMakeScale(CGFloat sx, CGFloat sy) {
    return {sx, 0, 0, sy, 0, 0};
}
CGAffineTransform CGAffineTransformMakeRotation(CGFloat angle) {
    CGFloat c = std::cos(angle), s = std::sin(angle);
    return {c, s, -s, c, 0, 0};
}

CGAffineTransform CGAffineTransformConcat(CGAffineTransform t1, CGAffineTransform t2) {
    return {t1.a * t2.a + t1.b * t2.c,           t1.a * t2.b + t1.b * t2.d,
            t1.c * t2.a + t1.d * t2.c,           t1.c * t2.b + t1.d * t2.d,
            t1.tx * t2.a + t1.ty * t2.c + t2.tx, t1.tx * t2.b + t1.ty * t2.d + t2.ty};
}

CGAffineTransform CGAffineTransformScale(CGAffineTransform t, CGFloat sx, CGFloat sy) {
    return CGAffineTransformConcat(CGAffineTransformMakeScale(sx, sy), t);
}
CGAffineTransform CGAffineTransformTranslate(CGAffineTransform t, CGFloat tx, CGFloat ty) {
    return CGAffineTransformConcat(CGAffineTransformMakeTranslation(tx, ty), t);
}
CGAffineTransform CGAffineTransformRotate(CGAffineTransform t, CGFloat angle) {
    return CGAffineTransformConcat(CGAffineTransformMakeRotation(angle), t);
}

CGAffineTransform CGAffineTransformInvert(CGAffineTransform t) {
    CGFloat det = t.a * t.d - t.b * t.c;
    if (det == 0)
        return t;
    return {t.d / det,
            -t.b / det,
            -t.c / det,
            t.a / det,
            (t.c * t.ty - t.d * t.tx) / det,
            (t.b * t.tx - t.a * t.ty) / det};
}

CGPoint CGPointApplyAffineTransform(CGPoint p, CGAffineTransform t) {
    return {t.a * p.x + t.c * p.y + t.tx, t.b * p.x + t.d * p.y + t.ty};
}

CGRect CGRectApplyAffineTransform(CGRect r, CGAffineTransform t) {
    CGPoint p[4] = {CGPointApplyAffineTransform({r.minX(), r.minY()}, t),
                    CGPointApplyAffineTransform({r.maxX(), r.minY()}, t),
                    CGPointApplyAffineTransform({r.minX(), r.maxY()}, t),
                    CGPointApplyAffineTransform({r.maxX(), r.maxY()}, t)};
    CGFloat x0 = p[0].x, x1 = p[0].x, y0 = p[0].y, y1 = p[0].y;
    for (const CGPoint& q : p) {
        x0 = std::min(x0, q.x);
        x1 = std::max(x1, q.x);
        y0 = std::min(y0, q.y);
        y1 = std::max(y1, q.y);
    }
    return CGRectMake(x0, y0, x1 - x0, y1 - y0);
}

CATransform3D CATransform3DMakeTranslation(CGFloat tx, CGFloat ty, CGFloat tz) {
    CATransform3D t;
    t.m41 = tx;
    t.m42 = ty;
    t.m43 = tz;
    return t;
}

CATransform3D CATransform3DMakeScale(CGFloat sx, CGFloat sy, CGFloat sz) {
    CATransform3D t;
    t.m11 = sx;
    t.m22 = sy;
    t.m33 = sz;
    return t;
}

CATransform3D CATransform3DMakeRotation(CGFloat angle, CGFloat x, CGFloat y, CGFloat z) {
    CGFloat len = std::sqrt(x * x + y * y + z * z);
    if (len == 0)
        return CATransform3DIdentity;
    x /= len;
    y /= len;
    z /= len;
    CGFloat c = std::cos(angle), s = std::sin(angle), t = 1 - c;
    CATransform3D r;
    r.m11 = t * x * x + c;
    r.m12 = t * x * y + z * s;
    r.m13 = t * x * z - y * s;
    r.m21 = t * x * y - z * s;
    r.m22 = t * y * y + c;
    r.m23 = t * y * z + x * s;
    r.m31 = t * x * z + y * s;
    r.m32 = t * y * z - x * s;
    r.m33 = t * z * z + c;
    return r;
}

CATransform3D CATransform3DConcat(CATransform3D a, CATransform3D b) {
    const CGFloat A[4][4] = {{a.m11, a.m12, a.m13, a.m14},
                             {a.m21, a.m22, a.m23, a.m24},
                             {a.m31, a.m32, a.m33, a.m34},
                             {a.m41, a.m42, a.m43, a.m44}};
    const CGFloat B[4][4] = {{b.m11, b.m12, b.m13, b.m14},
                             {b.m21, b.m22, b.m23, b.m24},
                             {b.m31, b.m32, b.m33, b.m34},
                             {b.m41, b.m42, b.m43, b.m44}};
    CGFloat R[4][4] = {};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            for (int k = 0; k < 4; ++k)
                R[i][j] += A[i][k] * B[k][j];
    return {R[0][0], R[0][1], R[0][2], R[0][3], R[1][0], R[1][1], R[1][2], R[1][3],
            R[2][0], R[2][1], R[2][2], R[2][3], R[3][0], R[3][1], R[3][2], R[3][3]};
}

CATransform3D CATransform3DRotate(CATransform3D t, CGFloat angle, CGFloat x, CGFloat y, CGFloat z) {
    return CATransform3DConcat(CATransform3DMakeRotation(angle, x, y, z), t);
}
CATransform3D CATransform3DScale(CATransform3D t, CGFloat sx, CGFloat sy, CGFloat sz) {
    return CATransform3DConcat(CATransform3DMakeScale(sx, sy, sz), t);
}
CATransform3D CATransform3DTranslate(CATransform3D t, CGFloat tx, CGFloat ty, CGFloat tz) {
    return CATransform3DConcat(CATransform3DMakeTranslation(tx, ty, tz), t);
}

CATransform3D CATransform3DMakeAffineTransform(CGAffineTransform a) {
    CATransform3D t;
    t.m11 = a.a;
    t.m12 = a.b;
    t.m21 = a.c;
    t.m22 = a.d;
    t.m41 = a.tx;
    t.m42 = a.ty;
    return t;
}

CGAffineTransform CATransform3DGetAffineTransform(const CATransform3D& t) {
    return {t.m11, t.m12, t.m21, t.m22, t.m41, t.m42};
}
