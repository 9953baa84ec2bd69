#include "Engine/Core/Gm/GLibLoc/D3d/GmGpuResource.h"

#include "Engine/Core/Gm/GLibLoc/D3d/GmResourceManager.h"

int32_t g_gmDeviceObjectCount = 0;

namespace {

int32_t g_deviceObjectLimit = kGmDeviceObjectLimit;

} // namespace

bool GmMayCreateDeviceObject()
{
    return g_gmDeviceObjectCount < g_deviceObjectLimit;
}

int32_t GmSetDeviceObjectLimit(int32_t limit)
{
    const int32_t previous = g_deviceObjectLimit;
    g_deviceObjectLimit = limit;
    return previous;
}

CGeResource::~CGeResource()
{
    if (collector)
        collector->UnregisterResource(this, subTypeId);
}

int32_t CGeResource::Release()
{
    if (--refCount > 0)
        return refCount;
    state = GE_RES_STATE_RELEASED;
    delete this;
    return 0;
}

void CGmGpuResource::UnregisterFromManager()
{
    if (g_pGmResourceManager)
        g_pGmResourceManager->Unregister(this);
}
