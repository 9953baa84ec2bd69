#include "Source/GameClasses/QmRenderLink.h"

#include "Engine/Core/Gm/GmLayers.h"

// The layers call their hooks without arguments and name the visual being
// drawn meanwhile; QmLayersLitPosition hands its place to the shade boxes.
void QmLayersAdd(uint32_t layer, CGmVisualObject* visual)
{
    if (g_pGmLayers)
        g_pGmLayers->Add(layer, visual);
}

void QmLayersRemove(CGmVisualObject* visual)
{
    if (g_pGmLayers)
        g_pGmLayers->Remove(visual);
}

void QmLayersRenderAll()
{
    if (g_pGmLayers)
        g_pGmLayers->RenderAll();
}

void QmLayersAddLightHooks(QmLightHook before, QmLightHook after)
{
    if (!g_pGmLayers)
        return;
    g_pGmLayers->AddBeforeHook(before);
    g_pGmLayers->AddAfterHook(after);
}

void QmLayersRemoveLightHooks(QmLightHook before, QmLightHook after)
{
    if (!g_pGmLayers)
        return;
    while (g_pGmLayers->RemoveBeforeHook(before)) {
    }
    while (g_pGmLayers->RemoveAfterHook(after)) {
    }
}

void QmLayersGatherLights(float ambientScale, float diffuseScale, float specularScale, uint8_t omni)
{
    if (g_pGmLayers)
        g_pGmLayers->GatherLights(ambientScale, diffuseScale, specularScale, omni != 0);
}

void QmLayersFlushLights()
{
    if (g_pGmLayers)
        g_pGmLayers->FlushLights();
}

bool QmLayersLitPosition(float position[3])
{
    return g_pGmLayers && g_pGmLayers->LitPosition(position);
}
