// Inline vector arithmetic for the collision code's inner loops (the engine's
// Vec3 routines live in another library, out of the optimiser's reach).
#pragma once

#include "Engine/Core/Common/GeMath.h"

namespace collider_math {

inline Vec3 Add(const Vec3& a, const Vec3& b) { return Vec3{a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 Sub(const Vec3& a, const Vec3& b) { return Vec3{a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 Scale(const Vec3& a, float s) { return Vec3{a.x * s, a.y * s, a.z * s}; }
inline float Dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

} // namespace collider_math
