// Choosing and installing the kernel object.
#include "Engine/Core/Common/GeSimd.h"

#include "Engine/Core/Common/GeCpuInfo.h"
#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GeSimdKernels.h"

CGeSimd* g_pGeSimd = nullptr;
CGeSimd* g_pGeSimdCurrent = nullptr;
CGeSimd* g_pGeSimdChosen = nullptr;
CGeSimd* g_pGeSimdGeneric = nullptr;

namespace {

// The best implementation for the probe flags, or null when only the generic code fits.
// SSE levels come first, so a processor with SSE gets them whatever its 3DNow flags,
// and 3DNow is preferred to extended MMX.
CGeSimd* CreateBestKernels(uint32_t flags)
{
#if GE_SIMD_X86
    if (flags & GE_CPU_SSE3)
        return new CGeSimdSSE3;
    if (flags & GE_CPU_SSE2)
        return new CGeSimdSSE2;
    if (flags & GE_CPU_SSE)
        return new CGeSimdSSE;
    if (flags & GE_CPU_3DNOW2)
        return new CGeSimdMMX_3DNow2;
    if (flags & GE_CPU_3DNOW)
        return new CGeSimdMMX_3DNow;
    if (flags & GE_CPU_EMMX)
        return new CGeSimdMMX_EMMX;
    if (flags & GE_CPU_MMX)
        return new CGeSimdMMX;
#else
    (void)flags;   // other processors build the generic code only
#endif
    return nullptr;
}

}  // namespace

void SelectCpuKernels(const char* callerTag)
{
    const uint32_t flags = g_pGeCpuInfo ? g_pGeCpuInfo->flags : 0;
    GeTrace("%s\n", g_pGeCpuInfo ? g_pGeCpuInfo->description.c_str() : "");
    if (!g_pGeSimdChosen) {
        CGeSimd* best = CreateBestKernels(flags);
        g_pGeSimdChosen = best ? best : g_pGeSimdGeneric;
        if (g_pGeSimdChosen)
            g_pGeSimdChosen->cpuFlags = flags;
    }
    if (g_pGeSimdChosen != g_pGeSimdCurrent) {
        g_pGeSimdCurrent = g_pGeSimdChosen;
        GeTrace("%s: SIMD kernels: %s\n", callerTag, g_pGeSimdCurrent->GetName());
    }
}

void GeSimdCreate()
{
    if (g_pGeSimdGeneric)
        return;
    g_pGeSimdGeneric = new CGeSimdGeneric;
    g_pGeSimdGeneric->cpuFlags = GE_CPU_GENERIC;
    g_pGeSimdCurrent = g_pGeSimdGeneric;
    g_pGeSimdChosen = nullptr;
    SelectCpuKernels("GeHub");
    g_pGeSimd = g_pGeSimdCurrent;
}

void GeSimdDestroy()
{
    if (g_pGeSimdChosen != g_pGeSimdGeneric)
        delete g_pGeSimdChosen;
    delete g_pGeSimdGeneric;
    g_pGeSimdChosen = nullptr;
    g_pGeSimdGeneric = nullptr;
    g_pGeSimdCurrent = nullptr;
    // A late caller then fails on a null object instead of using a freed one.
    g_pGeSimd = nullptr;
}
