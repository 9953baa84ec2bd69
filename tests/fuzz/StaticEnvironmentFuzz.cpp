#include "tests/fuzz/StaticEnvironmentFuzz.h"

#include "Engine/Core/Common/GeXml.h"
#include "Engine/Physics/GeClothGeom.h"
#include "Engine/Physics/GePhysWorld.h"
#include "Engine/Physics/GePhysicsStep.h"
#include "Engine/Physics/GeStaticEnvironment.h"

#include <cstdlib>

namespace {

bool Positive(float v)
{
    return v > 0.0f;
}

void Check(bool holds)
{
    if (!holds)
        abort();
}

void CheckGeom(const CGeCollisionGeom& g)
{
    Check(g.space == &g_staticBody);
    switch (g.type) {
    case GEOM_PLANE:
        Check(g.axisAligned == 1);
        break;
    case GEOM_AABB: {
        const Vec3 s = static_cast<const CGeCollisionGeomAabb&>(g).size;
        Check(g.axisAligned == 1 && Positive(s.x) && Positive(s.y) && Positive(s.z));
        break;
    }
    case GEOM_BOX: {
        const Vec3 s = static_cast<const CGeCollisionGeomBox&>(g).size;
        Check(Positive(s.x) && Positive(s.y) && Positive(s.z));
        break;
    }
    case GEOM_SPHERE:
        Check(Positive(static_cast<const CGeCollisionGeomSphere&>(g).radius));
        break;
    case GEOM_CYLINDER:
    case GEOM_CAPSULE: {
        const auto& c = static_cast<const CGeCollisionGeomCylinder&>(g);
        Check(Positive(c.length) && Positive(c.radius));
        break;
    }
    default:
        abort();
    }
}

// A 3 x 3 sheet dropped through the loaded geometry for a few sub-steps.
void DropCloth()
{
    CGeRigidBody body;
    CGeClothGeom cloth;
    body.Add(&cloth);
    for (uint32_t i = 0; i < 9; ++i) {
        ClothPoint p{};
        p.position = Vec3{float(i % 3) - 1.0f, 1.0f, float(i / 3) - 1.0f};
        p.a = i % 3 < 2 ? i + 1 : kClothNone;
        p.b = i >= 3 ? i - 3 : kClothNone;
        p.c = p.d = kClothNone;
        cloth.points.Add(p);
        if (i % 3 < 2)
            cloth.springs.Add(ClothSpring{i, i + 1, 0.0f, 0.0f, 0.0f});
    }
    cloth.SetParams(ClothParamsBlock{0.001f, 2.0f, 0.005f, {0.0f, -1000.0f, 0.0f}, 0.0f, 0.01f, 0.25f});
    g_clothWorld.AddBody(&body);
    PhysicsStep(0.02f, kPhysicsSubStep);
    g_clothWorld.RemoveBody(&body);
}

} // namespace

int FuzzStaticEnvironment(const uint8_t* data, size_t size)
{
    if (size > 0xFFFFFFFFu)
        return 0;
    TiXmlDocument document;
    XmlParseDocumentText(data, static_cast<uint32_t>(size), document);
    const uint32_t loaded = LoadStaticEnvironmentDocument(document);

    uint32_t listed = 0;
    for (const CGeCollisionGeom* g = g_staticBody.firstGeom; g; g = g->next, ++listed)
        CheckGeom(*g);
    Check(listed == loaded && listed == g_staticBody.geomCount);
    const TiXmlElement* root = document.RootElement();
    const bool read = root && root->ValueStr() == "static_environment";
    Check(read ? g_staticBody.group == &g_collisionWorld : g_staticBody.group == nullptr);

    DropCloth();
    ClearStaticEnvironment();
    Check(g_staticBody.geomCount == 0 && g_staticBody.group == nullptr);
    return static_cast<int>(loaded);
}
