#include "Engine/Core/Gm/GLibLoc/D3d/GmGpuResource.h"

int32_t CGeResource::Release()
{
    if (--refCount > 0)
        return refCount;
    state = 2;
    delete this;
    return 0;
}
