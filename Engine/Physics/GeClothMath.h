// The few vector steps the cloth code repeats, inline so that the per-point
// loops stay plain arithmetic.
#pragma once

#include "Engine/Core/Common/GeMath.h"

#include <cmath>

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

inline float Dot(const Vec3& a, const Vec3& b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

inline Vec3 Cross(const Vec3& a, const Vec3& b)
{
    return Vec3{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// Unit length as Vec3::Normalize makes it, the zero vector giving (1, 0, 0);
// inline, as the per-point loops need it.
inline Vec3 UnitOr(const Vec3& v)
{
    const float length = std::sqrt(Dot(v, v));
    if (length == 0.0f)
        return Vec3{1.0f, 0.0f, 0.0f};
    return Scale(v, 1.0f / length);
}
