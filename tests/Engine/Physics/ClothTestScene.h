// Cloths for the step tests: a body with one cloth geom, and a square sheet
// of points with structural and shear springs.
#pragma once

#include "Engine/Physics/GeClothGeom.h"
#include "Engine/Physics/GePhysWorld.h"

struct ClothBody {
    CGeRigidBody body;
    CGeClothGeom cloth;

    ClothBody() { body.Add(&cloth); }
    void Enable() { g_clothWorld.AddBody(&body); }
};

inline ClothPoint MakeClothPoint(const Vec3& position)
{
    ClothPoint p{};
    p.position = position;
    p.previous = position;
    p.normal = Vec3{0.0f, 1.0f, 0.0f};
    p.a = p.b = p.c = p.d = kClothNone;
    return p;
}

inline void AddSpring(CGeClothGeom& cloth, uint32_t i, uint32_t j)
{
    ClothSpring s{};
    s.i = i;
    s.j = j;
    cloth.springs.Add(s);
}

// n x n points in the plane y = height, centred on (cx, cz); neighbours +x,
// -z, -x, +z so that the flat sheet's normal is +y; then the default
// constants with the given mass and margin.
inline void BuildSheet(CGeClothGeom& cloth, uint32_t n, float spacing, float height, float cx, float cz,
                       float margin = 3.0f)
{
    const float start = -0.5f * spacing * float(n - 1);
    for (uint32_t row = 0; row < n; ++row) {
        for (uint32_t col = 0; col < n; ++col) {
            ClothPoint p = MakeClothPoint(
                Vec3{cx + start + spacing * float(col), height, cz + start + spacing * float(row)});
            const uint32_t i = row * n + col;
            p.a = col + 1 < n ? i + 1 : kClothNone;
            p.b = row > 0 ? i - n : kClothNone;
            p.c = col > 0 ? i - 1 : kClothNone;
            p.d = row + 1 < n ? i + n : kClothNone;
            cloth.points.Add(p);
        }
    }
    for (uint32_t row = 0; row < n; ++row) {
        for (uint32_t col = 0; col < n; ++col) {
            const uint32_t i = row * n + col;
            if (col + 1 < n)
                AddSpring(cloth, i, i + 1);
            if (row + 1 < n)
                AddSpring(cloth, i, i + n);
            if (col + 1 < n && row + 1 < n) {
                AddSpring(cloth, i, i + n + 1);
                AddSpring(cloth, i + 1, i + n);
            }
        }
    }
    ClothConstants defaults;
    const ClothParamsBlock block{defaults.mass, defaults.stiffness, defaults.b,
                                 {defaults.gravity.x, defaults.gravity.y, defaults.gravity.z},
                                 0.0f, defaults.damping, margin};
    cloth.SetParams(block);
}
