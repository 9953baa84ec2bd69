#include "Engine/Core/Gm/GmShadow.h"

#include <cstdlib>

uint8_t* g_shadowFaceBuffer = nullptr;

void ReleaseShadowResources()
{
    free(g_shadowFaceBuffer);
    g_shadowFaceBuffer = nullptr;
}
