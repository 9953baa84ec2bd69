#include "Source/GameClasses/QmShadeBox.h"

#include "Source/GameClasses/QmLocation.h"
#include "Source/GameClasses/QmLocationManager.h"
#include "Source/GameClasses/QmRenderLink.h"

#include <algorithm>

uint8_t g_shadeApplied = 0;

float CQmShadeBox::Weight(const Vec3& p) const
{
    if (!enabled)
        return 0.0f;
    if (p.x < min.x || p.y < min.y || p.z < min.z || p.x > max.x || p.y > max.y || p.z > max.z)
        return 0.0f;
    float d = 1e35f;
    d = std::min({d, p.x - min.x, max.x - p.x, p.y - min.y, max.y - p.y, p.z - min.z, max.z - p.z});
    if (depth <= d)
        return 1.0f;
    return d / depth;
}

const CQmShadeBox* QmFindShadeBox(const CQmLocation& location, const Vec3& point, float& weight)
{
    const CQmShadeBox* winner = nullptr;
    weight = 0.0f;
    for (const CQmShadeBox* box : location.shadeBoxes) {
        const float w = box->Weight(point);
        if (w > weight) {
            weight = w;
            winner = box;
        }
    }
    return winner;
}

void QmShadeLightPoint(const Vec3& point)
{
    const CQmLocation* location = g_locationManager ? g_locationManager->current : nullptr;
    if (!location)
        return;
    float w = 0.0f;
    const CQmShadeBox* box = QmFindShadeBox(*location, point, w);
    if (!box)
        return;
    QmLayersGatherLights(1.0f - w * box->ambientReduction, 1.0f - w * box->diffuseReduction,
                         1.0f - w * box->specularReduction, box->omni);
    g_shadeApplied = 1;
}

void QmShadeBeforeLighting()
{
    float position[3];
    if (QmLayersLitPosition(position))
        QmShadeLightPoint({position[0], position[1], position[2]});
}

void QmShadeAfterLighting()
{
    if (!g_shadeApplied)
        return;
    QmLayersFlushLights();
    g_shadeApplied = 0;
}
