#include "platform/graphics/CATransform3DInterpolation.h"

#include <array>
#include <cmath>

namespace {

struct Parts {
    std::array<double, 3> translation{};
    std::array<double, 3> scale{1, 1, 1};
    std::array<double, 4> rotation{0, 0, 0, 1}; // x, y, z, w
};

using Matrix3 = std::array<std::array<double, 3>, 3>;

std::array<double, 4> quaternionOf(const Matrix3& m) {
    double trace = m[0][0] + m[1][1] + m[2][2];
    std::array<double, 4> q;
    // The largest of w, x, y, z is found first, so a half turn (w = 0) comes out exactly.
    if (trace > 0) {
        double s = std::sqrt(trace + 1.0) * 2;
        q = {(m[1][2] - m[2][1]) / s, (m[2][0] - m[0][2]) / s, (m[0][1] - m[1][0]) / s, 0.25 * s};
    } else if (m[0][0] > m[1][1] && m[0][0] > m[2][2]) {
        double s = std::sqrt(1.0 + m[0][0] - m[1][1] - m[2][2]) * 2;
        q = {0.25 * s, (m[1][0] + m[0][1]) / s, (m[2][0] + m[0][2]) / s, (m[1][2] - m[2][1]) / s};
    } else if (m[1][1] > m[2][2]) {
        double s = std::sqrt(1.0 + m[1][1] - m[0][0] - m[2][2]) * 2;
        q = {(m[1][0] + m[0][1]) / s, 0.25 * s, (m[2][1] + m[1][2]) / s, (m[2][0] - m[0][2]) / s};
    } else {
        double s = std::sqrt(1.0 + m[2][2] - m[0][0] - m[1][1]) * 2;
        q = {(m[2][0] + m[0][2]) / s, (m[2][1] + m[1][2]) / s, 0.25 * s, (m[0][1] - m[1][0]) / s};
    }
    double len = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
    if (!(len > 0))
        return {0, 0, 0, 1};
    for (double& c : q)
        c /= len;
    return q;
}

// The inverse of quaternionOf: rows are the images of the axes, as in CATransform3D.
Matrix3 matrixOf(const std::array<double, 4>& q) {
    double x = q[0], y = q[1], z = q[2], w = q[3];
    return {{{1 - 2 * (y * y + z * z), 2 * (x * y + z * w), 2 * (x * z - y * w)},
             {2 * (x * y - z * w), 1 - 2 * (x * x + z * z), 2 * (y * z + x * w)},
             {2 * (x * z + y * w), 2 * (y * z - x * w), 1 - 2 * (x * x + y * y)}}};
}

Parts decompose(const CATransform3D& t) {
    Parts p;
    p.translation = {t.m41, t.m42, t.m43};
    Matrix3 m = {{{t.m11, t.m12, t.m13}, {t.m21, t.m22, t.m23}, {t.m31, t.m32, t.m33}}};
    for (int i = 0; i < 3; ++i) {
        double len = std::sqrt(m[i][0] * m[i][0] + m[i][1] * m[i][1] + m[i][2] * m[i][2]);
        p.scale[i] = len;
        for (int j = 0; j < 3; ++j)
            m[i][j] = len > 0 ? m[i][j] / len : (i == j ? 1 : 0);
    }
    // A mirrored basis is a rotation with one negative scale.
    double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                 m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                 m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    if (det < 0) {
        p.scale[0] = -p.scale[0];
        for (int j = 0; j < 3; ++j)
            m[0][j] = -m[0][j];
    }
    p.rotation = quaternionOf(m);
    return p;
}

std::array<double, 4> slerp(std::array<double, 4> a, std::array<double, 4> b, double f) {
    double dot = a[0] * b[0] + a[1] * b[1] + a[2] * b[2] + a[3] * b[3];
    if (dot < 0) { // the shorter way round
        for (double& c : b)
            c = -c;
        dot = -dot;
    }
    std::array<double, 4> q;
    if (dot > 0.9995) {
        for (int i = 0; i < 4; ++i)
            q[i] = a[i] + (b[i] - a[i]) * f;
    } else {
        double theta = std::acos(dot);
        double wa = std::sin((1 - f) * theta) / std::sin(theta), wb = std::sin(f * theta) / std::sin(theta);
        for (int i = 0; i < 4; ++i)
            q[i] = a[i] * wa + b[i] * wb;
    }
    double len = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
    for (double& c : q)
        c /= len;
    return q;
}

} // namespace

CATransform3D CATransform3DInterpolate(const CATransform3D& from, const CATransform3D& to, double fraction) {
    if (fraction <= 0)
        return from;
    if (fraction >= 1)
        return to;
    Parts a = decompose(from), b = decompose(to);
    Matrix3 r = matrixOf(slerp(a.rotation, b.rotation, fraction));
    CATransform3D t;
    double* rows[3][3] = {{&t.m11, &t.m12, &t.m13}, {&t.m21, &t.m22, &t.m23}, {&t.m31, &t.m32, &t.m33}};
    for (int i = 0; i < 3; ++i) {
        double s = a.scale[i] + (b.scale[i] - a.scale[i]) * fraction;
        for (int j = 0; j < 3; ++j)
            *rows[i][j] = r[i][j] * s;
    }
    t.m41 = a.translation[0] + (b.translation[0] - a.translation[0]) * fraction;
    t.m42 = a.translation[1] + (b.translation[1] - a.translation[1]) * fraction;
    t.m43 = a.translation[2] + (b.translation[2] - a.translation[2]) * fraction;
    return t;
}
