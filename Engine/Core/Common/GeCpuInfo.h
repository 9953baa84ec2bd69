// The processor probe: which instruction-set extensions the processor has, as flags
// and as a readable description. Start-up fills one program-wide record; the kernel
// choice (GeSimd.h) and the JPEG decoder read it.
#pragma once

#include "Engine/Core/Common/GeString.h"
#include "Platform/System/SysCpuId.h"

#include <cstdint>

// Probe flags: exactly one vendor value plus the feature bits.
enum : uint32_t {
    GE_CPU_UNSUPPORTED = 0x1,   // vendor word 0x11111111
    GE_CPU_GENERIC = 0x2,       // any other vendor
    GE_CPU_INTEL = 0x4,
    GE_CPU_AMD = 0x8,
    GE_CPU_VIA = 0x10,
    GE_CPU_VENDOR_MASK = 0x1F,
    GE_CPU_MMX = 0x20,
    GE_CPU_EMMX = 0x40,   // extended MMX: implied by SSE, or AMD's own bit
    GE_CPU_3DNOW = 0x80,
    GE_CPU_3DNOW2 = 0x100,
    GE_CPU_SSE = 0x200,
    GE_CPU_SSE2 = 0x400,
    GE_CPU_SSE3 = 0x800,
    GE_CPU_HTT = 0x1000,
    GE_CPU_CMOV = 0x2000,
};

class CGeCpuInfo {
public:
    // eax, ebx, edx, ecx as the last query returned them (so that words 1 to 3 of the
    // leaf-0 answer read as the vendor text); word 0 holds the leaf before a query.
    uint32_t regs[4] = {0, 0, 0, 0};
    CGeString description;
    uint32_t flags = 0;
};

// The function that executes CPUID. Tests replace it to play any processor; nullptr
// restores the real one. Returns the function it replaced.
typedef bool (*GeCpuIdFunction)(uint32_t leaf, SysCpuIdResult* out);
GeCpuIdFunction GeSetCpuIdFunction(GeCpuIdFunction function);

// Queries the leaf held in info->regs[0]. Fails, with all four words zero, when the
// processor has no CPUID or its leaf 0 reports no leaves.
bool CpuQuery(CGeCpuInfo* info);

// Fills the registers and the flags (the flags are replaced, not or-ed).
void DetectCpuFeatures(CGeCpuInfo* info);

// Replaces the description, e.g. "Processor type INTEL supported:MMX,EMMX,SSE,SSE2."
void DescribeProcessor(CGeCpuInfo* info);

// The published probe record: null before GeCpuProbeCreate and after GeCpuProbeDestroy.
extern CGeCpuInfo* g_pGeCpuInfo;

// Creates, fills, describes and publishes the probe record; and the reverse.
// A record already published is kept: whoever made it first (a loader before
// start-up, an earlier start in the same process) still holds it.
void GeCpuProbeCreate();
void GeCpuProbeDestroy();
