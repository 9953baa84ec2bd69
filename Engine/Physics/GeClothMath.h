// The few vector steps the cloth code repeats, inline so that the per-point
// loops stay plain arithmetic.
#pragma once

#include "Engine/Core/Common/GeMath.h"

// The smallest difference the cloth code tells from zero (FLT_EPSILON).
constexpr float kClothEps = 1.1920929e-7f;

inline Vec3 Add(const Vec3& a, const Vec3& b)
{
    return Vec3{a.x + b.x, a.y + b.y, a.z + b.z};
}

inline Vec3 Sub(const Vec3& a, const Vec3& b)
{
    return Vec3{a.x - b.x, a.y - b.y, a.z - b.z};
}

inline Vec3 Scale(const Vec3& v, float s)
{
    return Vec3{v.x * s, v.y * s, v.z * s};
}

// (1, 0, 0) for the zero vector, as Vec3::Normalize gives.
inline Vec3 UnitOr(const Vec3& v)
{
    Vec3 u = v;
    u.Normalize();
    return u;
}
