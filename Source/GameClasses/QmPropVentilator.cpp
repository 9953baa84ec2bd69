#include "Source/GameClasses/QmPropVentilator.h"

#include "Engine/Core/Common/GeTimer.h"
#include "Engine/Core/Common/GeXml.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmDeviceWrapper.h"
#include "Engine/Core/Gm/GmDebugDraw.h"
#include "Engine/Physics/GeClothGeom.h"
#include "Engine/Physics/GePhysWorld.h"

#include <cmath>

namespace {

constexpr float kDebugSphereRadius = 3.0f;
constexpr float kDebugLineLength = 40.0f;
constexpr uint32_t kDebugSphereColor = 0xAFCD00CD;
constexpr uint32_t kDebugLineColor = 0xAF004BCD;

float Dot(const Vec3& a, const Vec3& b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

} // namespace

float CQmPropVentilator::Gust() const
{
    if (amplitude == 0.0f)
        return 1.0f;
    const float phi = time * frequency;
    return amplitude * std::cos(phi * 0.5f) * std::cos(phi * 0.33f) + 1.0f;
}

void CQmPropVentilator::ApplyWind(CGeClothGeom& cloth) const
{
    const float gust = Gust();
    for (ClothPoint& point : cloth.points) {
        const Vec3 d = {point.position.x - position.x, point.position.y - position.y,
                        point.position.z - position.z};
        const float s = Dot(d, direction);
        if (s <= 0.0f) {
            point.externalForce = Vec3{0.0f, 0.0f, 0.0f};
            continue;
        }
        Vec3 unit = d;
        unit.Normalize();
        const float strength = std::fabs(Dot(point.normal, unit)) * s * force * gust;
        point.externalForce = Vec3{unit.x * strength, unit.y * strength, unit.z * strength};
    }
}

void CQmPropVentilator::Update()
{
    for (CGeRigidBody* body = g_clothWorld.firstBody; body; body = body->nextBody) {
        CGeCollisionGeom* geom = body->firstGeom;
        if (geom && geom->type == GEOM_CLOTH)
            ApplyWind(*static_cast<CGeClothGeom*>(geom));
    }
    time += g_geTimer ? g_geTimer->delta : 0.0f;
}

void CQmPropVentilator::DrawDebug() const
{
    if (g_pGmDevice)
        g_pGmDevice->ResetWorldTransform();
    DrawWireSphere(position, kDebugSphereRadius, kDebugSphereColor);
    const Vec3 end = {position.x + direction.x * kDebugLineLength, position.y + direction.y * kDebugLineLength,
                      position.z + direction.z * kDebugLineLength};
    DrawLine3D(position, kDebugLineColor, end);
}

void LoadProperty_Ventilator(CQmEntity& entity, const TiXmlElement* element)
{
    XmlHandle handle; // every attribute is optional: no report
    handle.element = const_cast<TiXmlElement*>(element);
    auto* ventilator = new CQmPropVentilator(&entity);
    if (XmlHasAttribute("pos", handle)) {
        const Vec4 v = XmlGetVector3("pos", handle);
        ventilator->position = Vec3{v.x, v.y, v.z};
    }
    if (XmlHasAttribute("dir", handle)) {
        const Vec4 v = XmlGetVector3("dir", handle);
        ventilator->direction = Vec3{v.x, v.y, v.z};
    }
    ventilator->direction.Normalize();
    if (XmlHasAttribute("force", handle))
        ventilator->force = XmlGetFloat("force", handle);
    if (XmlHasAttribute("amp", handle))
        ventilator->amplitude = XmlGetFloat("amp", handle);
    if (XmlHasAttribute("freq", handle))
        ventilator->frequency = XmlGetFloat("freq", handle);
    entity.SetProp(QM_PROP_VENTILATOR, ventilator);
}
