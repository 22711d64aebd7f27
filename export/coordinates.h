// The model files are y up with the export's y and z exchanged, a mirror
// image; glTF is y up and right-handed. An export point (x, y, z) lands at
// glTF (x, z, -y), so a file point (a, b, c) = export (a, c, b) lands at
// (a, b, -c). The mirror reverses every winding and turns each rotation the
// other way: a quaternion (x, y, z, w) becomes (-x, -y, z, w).
#pragma once

#include <array>
#include <cmath>

namespace exporter {

using Vec3 = std::array<double, 3>;

inline Vec3 toGltf(const std::array<float, 3>& p) { return {p[0], p[1], -static_cast<double>(p[2])}; }
inline Vec3 toGltf(float a, float b, float c) { return {a, b, -static_cast<double>(c)}; }

// A unit quaternion (x, y, z, w); a zero or non-finite one is no rotation.
inline std::array<double, 4> rotationToGltf(const std::array<float, 4>& q) {
    const std::array<double, 4> r{-static_cast<double>(q[0]), -static_cast<double>(q[1]), q[2], q[3]};
    const double length = std::sqrt(r[0] * r[0] + r[1] * r[1] + r[2] * r[2] + r[3] * r[3]);
    if (!(length > 0) || !std::isfinite(length)) return {0, 0, 0, 1};
    return {r[0] / length, r[1] / length, r[2] / length, r[3] / length};
}

inline Vec3 sub(const Vec3& a, const Vec3& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
inline Vec3 add(const Vec3& a, const Vec3& b) { return {a[0] + b[0], a[1] + b[1], a[2] + b[2]}; }
inline Vec3 scale(const Vec3& a, double s) { return {a[0] * s, a[1] * s, a[2] * s}; }
inline double dot(const Vec3& a, const Vec3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
inline Vec3 cross(const Vec3& a, const Vec3& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
inline Vec3 normalized(const Vec3& a) {
    const double length = std::sqrt(dot(a, a));
    return length > 0 && std::isfinite(length) ? scale(a, 1 / length) : Vec3{0, 0, 0};
}

// Rotates `v` by the unit quaternion `q` (x, y, z, w).
inline Vec3 rotate(const std::array<double, 4>& q, const Vec3& v) {
    const Vec3 u{q[0], q[1], q[2]};
    const Vec3 t = scale(cross(u, v), 2);
    return add(add(v, scale(t, q[3])), cross(u, t));
}

}  // namespace exporter
