#include "Source/GameClasses/QmRenderLink.h"

#include "Engine/Core/Gm/GmLayers.h"

// The render layers of this build keep no lists yet: visuals are drawn by
// their owners and the hooks are never called.
void QmLayersAdd(uint32_t, CGmVisualObject*)
{
}

void QmLayersRemove(CGmVisualObject*)
{
}

void QmLayersRenderAll()
{
}

void QmLayersAddLightHooks(QmLightHook, QmLightHook)
{
}

void QmLayersRemoveLightHooks(QmLightHook, QmLightHook)
{
}

void QmLayersGatherLights(float, float, float, uint8_t)
{
}

void QmLayersFlushLights()
{
}

bool QmLayersLitPosition(float*)
{
    return false;
}
