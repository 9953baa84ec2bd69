#include "Engine/Core/Common/GeCpuInfo.h"

CGeCpuInfo* g_pGeCpuInfo = nullptr;

namespace {

GeCpuIdFunction g_cpuIdFunction = SysCpuId;

// The last four characters of the vendor text, read as a little-endian word (ecx).
const uint32_t kVendorIntel = 0x6c65746e;   // "ntel"
const uint32_t kVendorAmd = 0x444d4163;     // "cAMD"
const uint32_t kVendorVia = 0x736c7561;     // "auls"
const uint32_t kVendorUnsupported = 0x11111111;

enum { kEax, kEbx, kEdx, kEcx };

bool Query(CGeCpuInfo* info, uint32_t leaf)
{
    info->regs[kEax] = leaf;
    return CpuQuery(info);
}

uint32_t VendorFlag(uint32_t vendorWord)
{
    switch (vendorWord) {
    case kVendorIntel: return GE_CPU_INTEL;
    case kVendorAmd: return GE_CPU_AMD;
    case kVendorVia: return GE_CPU_VIA;
    case kVendorUnsupported: return GE_CPU_UNSUPPORTED;
    default: return GE_CPU_GENERIC;
    }
}

}  // namespace

GeCpuIdFunction GeSetCpuIdFunction(GeCpuIdFunction function)
{
    const GeCpuIdFunction previous = g_cpuIdFunction;
    g_cpuIdFunction = function ? function : SysCpuId;
    return previous;
}

bool CpuQuery(CGeCpuInfo* info)
{
    const uint32_t leaf = info->regs[kEax];
    SysCpuIdResult r;
    bool ok = g_cpuIdFunction(0, &r) && r.eax != 0;
    if (ok && leaf != 0)
        ok = g_cpuIdFunction(leaf, &r);
    if (!ok)
        r = SysCpuIdResult{0, 0, 0, 0};
    info->regs[kEax] = r.eax;
    info->regs[kEbx] = r.ebx;
    info->regs[kEdx] = r.edx;
    info->regs[kEcx] = r.ecx;
    return ok;
}

void DetectCpuFeatures(CGeCpuInfo* info)
{
    Query(info, 0);
    info->flags = VendorFlag(info->regs[kEcx]);

    Query(info, 1);
    const uint32_t edx = info->regs[kEdx];
    if (edx & 0x8000)
        info->flags |= GE_CPU_CMOV;
    if (edx & 0x800000)
        info->flags |= GE_CPU_MMX;
    if (edx & 0x2000000)
        info->flags |= GE_CPU_SSE | GE_CPU_EMMX;
    if (edx & 0x4000000)
        info->flags |= GE_CPU_SSE2;
    if (edx & 0x10000000)
        info->flags |= GE_CPU_HTT;
    if (info->regs[kEcx] & 0x1)
        info->flags |= GE_CPU_SSE3;

    // Leaf 0x80000001 only exists when the highest extended leaf reaches it; asking a
    // processor for a leaf it lacks returns unrelated data.
    Query(info, 0x80000000);
    if (info->regs[kEax] >= 0x80000001u) {
        Query(info, 0x80000001);
        const uint32_t extEdx = info->regs[kEdx];
        if (extEdx & 0x400000)
            info->flags |= GE_CPU_EMMX;
        if (extEdx & 0x40000000)
            info->flags |= GE_CPU_3DNOW2;
        if (extEdx & 0x80000000)
            info->flags |= GE_CPU_3DNOW;
    }
}

void DescribeProcessor(CGeCpuInfo* info)
{
    const char* vendor;
    switch (info->flags & GE_CPU_VENDOR_MASK) {
    case GE_CPU_GENERIC: vendor = "GENERIC"; break;
    case GE_CPU_INTEL: vendor = "INTEL"; break;
    case GE_CPU_AMD: vendor = "AMD"; break;
    case GE_CPU_VIA: vendor = "VIA"; break;
    default:
        info->description = "Unsupported processor type.";
        return;
    }
    info->description = "Processor type ";
    info->description.Append(vendor);
    info->description.Append(" supported:");

    static const struct {
        uint32_t flag;
        const char* name;
    } kFeatures[] = {
        {GE_CPU_MMX, "MMX"}, {GE_CPU_EMMX, "EMMX"}, {GE_CPU_3DNOW, "3DNOW"}, {GE_CPU_3DNOW2, "3DNOW2"},
        {GE_CPU_SSE, "SSE"}, {GE_CPU_SSE2, "SSE2"}, {GE_CPU_SSE3, "SSE3"},
    };
    bool first = true;
    for (const auto& feature : kFeatures) {
        if (!(info->flags & feature.flag))
            continue;
        if (!first)
            info->description.Append(",");
        info->description.Append(feature.name);
        first = false;
    }
    info->description.Append(".");
}

void GeCpuProbeCreate()
{
    if (g_pGeCpuInfo)
        return;
    CGeCpuInfo* info = new CGeCpuInfo;
    DetectCpuFeatures(info);
    DescribeProcessor(info);
    g_pGeCpuInfo = info;
}

void GeCpuProbeDestroy()
{
    delete g_pGeCpuInfo;
    g_pGeCpuInfo = nullptr;
}
