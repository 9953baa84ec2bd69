#include "Engine/Physics/GePhysicsStep.h"

#include "Engine/Physics/GeClothCollide.h"
#include "Engine/Physics/GePhysWorld.h"

namespace {

CGeClothGeom* ClothOf(const CGeRigidBody& body)
{
    CGeCollisionGeom* geom = body.firstGeom;
    return geom && geom->type == GEOM_CLOTH ? static_cast<CGeClothGeom*>(geom) : nullptr;
}

} // namespace

void ClothSubStep(float h)
{
    for (CGeRigidBody* body = g_clothWorld.firstBody; body; body = body->nextBody) {
        CGeClothGeom* cloth = ClothOf(*body);
        if (!cloth)
            continue;
        cloth->ComputeNormals();
        cloth->AccumulateForces();
        cloth->ApplySprings();
        cloth->Integrate(h);
        ClothCollideWorld(*cloth);
        cloth->UpdateVelocities(h);
    }
}

void ClearClothAccumulators()
{
    for (CGeRigidBody* body = g_clothWorld.firstBody; body; body = body->nextBody) {
        if (CGeClothGeom* cloth = ClothOf(*body))
            cloth->ClearAccumulators();
    }
}

void PhysicsStep(float dt, float h)
{
    // Written so that a NaN fails every test: it steps nothing.
    if (dt >= 0.0f) {
        if (dt > 0.5f)
            dt = 0.5f;
        if (!(h > 0.0f) || h >= dt) {
            ClothSubStep(dt);
        } else {
            // dt / h stays finite here but may be huge for a tiny h: past the
            // cap, the frame is cut into the most steps allowed instead.
            const float ratio = dt / h;
            uint32_t n;
            if (ratio < float(kMaxPhysicsSubSteps)) {
                n = static_cast<uint32_t>(ratio);
            } else {
                n = kMaxPhysicsSubSteps;
                h = dt / float(n);
            }
            const float rest = dt - float(n) * h;
            for (uint32_t i = 0; i < n; ++i)
                ClothSubStep(h);
            if (rest > 0.0f)
                ClothSubStep(rest);
        }
    }
    ClearClothAccumulators();
}
