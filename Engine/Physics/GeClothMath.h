// The few vector steps the cloth loops repeat, inline so that the per-point
// loops stay plain arithmetic: the collision code's helpers plus a cross
// product and a normalisation.
#pragma once

#include "Engine/Core/Common/GeMath.h"
#include "Engine/Physics/GeColliderMath.h"

#include <cmath>

// The smallest difference the cloth code tells from zero (FLT_EPSILON).
constexpr float kClothEps = 1.1920929e-7f;

namespace cloth_math {

using collider_math::Add;
using collider_math::Dot;
using collider_math::Scale;
using collider_math::Sub;

inline Vec3 Cross(const Vec3& a, const Vec3& b)
{
    return Vec3{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// Unit length as Vec3::Normalize makes it, the zero vector giving (1, 0, 0).
inline Vec3 UnitOr(const Vec3& v)
{
    const float length = std::sqrt(Dot(v, v));
    if (length == 0.0f)
        return Vec3{1.0f, 0.0f, 0.0f};
    return Scale(v, 1.0f / length);
}

} // namespace cloth_math
