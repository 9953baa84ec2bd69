#include "Source/GameClasses/QmPhysicsDebug.h"

#include "Engine/Core/Gm/GLibLoc/D3d/GmDeviceWrapper.h"
#include "Engine/Core/Gm/GmDebugDraw.h"
#include "Engine/Physics/GePhysWorld.h"
#include "Source/GameClasses/QmEntity.h"
#include "Source/GameClasses/QmPropCloth.h"
#include "Source/GameClasses/QmPropRagdoll.h"
#include "Source/GameClasses/QmPropVentilator.h"

namespace {

constexpr uint32_t kStaticShapeColor = 0xFF40C0C0;

} // namespace

void QmDrawEntityPhysicsDebug(const CQmEntity& entity)
{
    if (!g_pGmDevice)
        return;
    if (const auto* ragdoll = entity.Prop<CQmPropRagdoll>(QM_PROP_RAGDOLL))
        ragdoll->DrawDebug();
    if (const auto* cloth = entity.Prop<CQmPropCloth>(QM_PROP_CLOTH))
        cloth->DrawDebug();
    if (const auto* ventilator = entity.Prop<CQmPropVentilator>(QM_PROP_VENTILATOR))
        ventilator->DrawDebug();
}

void QmDrawStaticEnvironmentDebug()
{
    if (!g_pGmDevice)
        return;
    DrawWorldGrid();
    for (const CGeCollisionGeom* geom = g_staticBody.firstGeom; geom; geom = geom->next)
        DrawShape(*geom, kStaticShapeColor);
}
