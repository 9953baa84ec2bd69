// The processor probe and the choice of kernels, played through a replaced CPUID
// against a table of processors, and once on the real one.
#include "Engine/Core/Common/GeCpuInfo.h"
#include "Engine/Core/Common/GeSimd.h"
#include "Engine/Core/Common/GeSimdKernels.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

// A processor as CPUID shows it.
struct FakeCpu {
    bool hasCpuid;
    uint32_t maxLeaf;
    const char* vendor;   // 12 characters
    uint32_t leaf1Edx, leaf1Ecx;
    uint32_t maxExtendedLeaf;
    uint32_t extendedEdx;   // leaf 0x80000001
};

const FakeCpu* g_fake = nullptr;

uint32_t VendorWord(const char* vendor, int index)
{
    uint32_t w;
    memcpy(&w, vendor + 4 * index, sizeof w);
    return w;
}

bool FakeCpuId(uint32_t leaf, SysCpuIdResult* out)
{
    *out = SysCpuIdResult{0, 0, 0, 0};
    if (!g_fake->hasCpuid)
        return false;
    if (leaf == 0) {
        // The vendor text runs through ebx, edx, ecx.
        *out = SysCpuIdResult{g_fake->maxLeaf, VendorWord(g_fake->vendor, 0), VendorWord(g_fake->vendor, 2),
                              VendorWord(g_fake->vendor, 1)};
    } else if (leaf == 1) {
        out->ecx = g_fake->leaf1Ecx;
        out->edx = g_fake->leaf1Edx;
    } else if (leaf == 0x80000000) {
        out->eax = g_fake->maxExtendedLeaf;
    } else if (leaf == 0x80000001) {
        // A processor without this leaf answers with unrelated data.
        out->edx = g_fake->maxExtendedLeaf >= 0x80000001 ? g_fake->extendedEdx : 0xFFFFFFFF;
    }
    return true;
}

// Leaf 1 edx bits and ecx bit 0; leaf 0x80000001 edx bits.
const uint32_t kCmov = 1u << 15, kMmx = 1u << 23, kSse = 1u << 25, kSse2 = 1u << 26, kHtt = 1u << 28;
const uint32_t kSse3 = 1u;
const uint32_t kExtMmx = 1u << 22, k3DNow2 = 1u << 30, k3DNow = 1u << 31;
const uint32_t kExt = 0x80000008;

struct SelectionCase {
    const char* what;
    FakeCpu cpu;
    uint32_t flags;
    const char* description;
    const char* kernels;
};

const SelectionCase kCases[] = {
    {"modern Intel", {true, 0x16, "GenuineIntel", kCmov | kMmx | kSse | kSse2 | kHtt, kSse3, kExt, 0},
     0x4 | 0x2000 | 0x20 | 0x240 | 0x400 | 0x1000 | 0x800,
     "Processor type INTEL supported:MMX,EMMX,SSE,SSE2,SSE3.", "MMX+EMMX+SSE+SSE2+SSE3"},
    {"Intel without SSE3", {true, 2, "GenuineIntel", kMmx | kSse | kSse2, 0, kExt, 0}, 0x4 | 0x20 | 0x640,
     "Processor type INTEL supported:MMX,EMMX,SSE,SSE2.", "MMX+EMMX+SSE+SSE2"},
    {"AMD with every 3DNow", {true, 1, "AuthenticAMD", kMmx, 0, kExt, kExtMmx | k3DNow | k3DNow2},
     0x8 | 0x20 | 0x40 | 0x80 | 0x100, "Processor type AMD supported:MMX,EMMX,3DNOW,3DNOW2.", "MMX+3DNow+3DNow2"},
    {"AMD with 3DNow", {true, 1, "AuthenticAMD", kMmx, 0, kExt, k3DNow}, 0x8 | 0x20 | 0x80,
     "Processor type AMD supported:MMX,3DNOW.", "MMX+3DNow"},
    {"SSE3 beats 3DNow", {true, 1, "AuthenticAMD", kMmx | kSse | kSse2, kSse3, kExt, kExtMmx | k3DNow | k3DNow2},
     0x8 | 0x20 | 0x40 | 0x80 | 0x100 | 0x200 | 0x400 | 0x800,
     "Processor type AMD supported:MMX,EMMX,3DNOW,3DNOW2,SSE,SSE2,SSE3.", "MMX+EMMX+SSE+SSE2+SSE3"},
    {"SSE beats extended 3DNow", {true, 1, "AuthenticAMD", kMmx | kSse, 0, kExt, kExtMmx | k3DNow | k3DNow2},
     0x8 | 0x20 | 0x40 | 0x80 | 0x100 | 0x200, "Processor type AMD supported:MMX,EMMX,3DNOW,3DNOW2,SSE.",
     "MMX+EMMX+SSE"},
    {"SSE implies extended MMX", {true, 1, "GenuineIntel", kMmx | kSse, 0, 0, 0}, 0x4 | 0x20 | 0x240,
     "Processor type INTEL supported:MMX,EMMX,SSE.", "MMX+EMMX+SSE"},
    {"VIA with extended MMX", {true, 1, "CentaurHauls", kMmx, 0, kExt, kExtMmx}, 0x10 | 0x20 | 0x40,
     "Processor type VIA supported:MMX,EMMX.", "MMX+EMMX"},
    {"other vendor with MMX", {true, 1, "GenuineTMx86", kMmx | kCmov, 0, kExt, 0}, 0x2 | 0x20 | 0x2000,
     "Processor type GENERIC supported:MMX.", "MMX"},
    {"unsupported vendor word still chooses", {true, 1, "\x11\x11\x11\x11\x11\x11\x11\x11\x11\x11\x11\x11",
                                                kMmx | kSse | kSse2, 0, kExt, 0},
     0x1 | 0x20 | 0x640, "Unsupported processor type.", "MMX+EMMX+SSE+SSE2"},
    {"no features", {true, 1, "GenuineIntel", 0, 0, kExt, 0}, 0x4, "Processor type INTEL supported:.",
     "generic code"},
    {"no CPUID", {false, 0, "GenuineIntel", kMmx, 0, kExt, 0}, 0x2, "Processor type GENERIC supported:.",
     "generic code"},
    {"leaf 0 reports no leaves", {true, 0, "GenuineIntel", kMmx | kSse, 0, kExt, 0}, 0x2,
     "Processor type GENERIC supported:.", "generic code"},
    {"extended leaf 1 absent", {true, 1, "AuthenticAMD", kMmx, 0, 0x80000000, 0}, 0x8 | 0x20,
     "Processor type AMD supported:MMX.", "MMX"},
};

class GeCpuInfo : public ::testing::Test {
protected:
    void SetUp() override { previous_ = GeSetCpuIdFunction(FakeCpuId); }
    void TearDown() override
    {
        GeSetCpuIdFunction(previous_);
        g_fake = nullptr;
        if (g_pGeSimdGeneric)
            GeSimdDestroy();
        g_pGeCpuInfo = nullptr;
    }

    // Probes the fake processor into info_ and publishes the record.
    void Probe(const FakeCpu& cpu)
    {
        g_fake = &cpu;
        info_ = CGeCpuInfo();
        DetectCpuFeatures(&info_);
        DescribeProcessor(&info_);
        g_pGeCpuInfo = &info_;
    }

    GeCpuIdFunction previous_ = nullptr;
    CGeCpuInfo info_;
};

TEST_F(GeCpuInfo, SelectionTable)
{
    for (const SelectionCase& c : kCases) {
        SCOPED_TRACE(c.what);
        Probe(c.cpu);
        EXPECT_EQ(info_.flags, c.flags);
        EXPECT_STREQ(info_.description.c_str(), c.description);

        GeSimdCreate();
#if GE_SIMD_X86
        EXPECT_STREQ(g_pGeSimd->GetName(), c.kernels);
#else
        EXPECT_STREQ(g_pGeSimd->GetName(), "generic code");
#endif
        EXPECT_EQ(g_pGeSimd, g_pGeSimdCurrent);
        EXPECT_EQ(g_pGeSimd, g_pGeSimdChosen);
        EXPECT_EQ(g_pGeSimd->cpuFlags, c.flags);
        if (std::string(g_pGeSimd->GetName()) == "generic code") {
            EXPECT_EQ(g_pGeSimd, g_pGeSimdGeneric);
        }
        GeSimdDestroy();
        EXPECT_EQ(g_pGeSimdCurrent, nullptr);
        EXPECT_EQ(g_pGeSimdGeneric, nullptr);
        EXPECT_EQ(g_pGeSimd, nullptr);
        g_pGeCpuInfo = nullptr;
    }
}

TEST_F(GeCpuInfo, LeafZeroLeavesTheVendorTextInTheRegisters)
{
    g_fake = &kCases[0].cpu;
    CGeCpuInfo info;
    info.regs[0] = 0;
    ASSERT_TRUE(CpuQuery(&info));
    EXPECT_EQ(info.regs[0], 0x16u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&info.regs[1]), 12), "GenuineIntel");

    g_fake = &kCases[11].cpu;   // no CPUID
    info.regs[0] = 1;
    EXPECT_FALSE(CpuQuery(&info));
    EXPECT_EQ(info.regs[0] | info.regs[1] | info.regs[2] | info.regs[3], 0u);
}

TEST_F(GeCpuInfo, SecondSelectionKeepsTheFirstChoice)
{
    Probe(kCases[1].cpu);
    GeSimdCreate();
    CGeSimd* first = g_pGeSimdChosen;

    info_.flags = 0x4 | 0x20;   // the probe now says MMX only
    SelectCpuKernels("again");
    EXPECT_EQ(g_pGeSimdChosen, first);
    EXPECT_EQ(g_pGeSimdCurrent, first);
    EXPECT_EQ(first->cpuFlags, 0x4u | 0x20 | 0x640);
}

TEST_F(GeCpuInfo, GenericObjectStartsWithTheGenericVendorFlag)
{
    Probe(kCases[0].cpu);
    GeSimdCreate();
    EXPECT_EQ(g_pGeSimdGeneric->cpuFlags, 0x2u);
    EXPECT_NE(g_pGeSimdGeneric, g_pGeSimdChosen);
}

// The real processor: every x86-64 processor has SSE2, so an SSE2 level is chosen.
TEST(GeCpuInfoOnThisMachine, ThisProcessor)
{
    GeCpuProbeCreate();
    ASSERT_NE(g_pGeCpuInfo, nullptr);
    const uint32_t vendor = g_pGeCpuInfo->flags & GE_CPU_VENDOR_MASK;
    EXPECT_TRUE(vendor == 0x1 || vendor == 0x2 || vendor == 0x4 || vendor == 0x8 || vendor == 0x10);
    GeSimdCreate();
#if GE_SIMD_X86
    EXPECT_TRUE(g_pGeCpuInfo->flags & GE_CPU_SSE2);
    EXPECT_EQ(std::string(g_pGeSimd->GetName()).rfind("MMX+EMMX+SSE+SSE2", 0), 0u) << g_pGeSimd->GetName();
    EXPECT_NE(std::string(g_pGeCpuInfo->description.c_str()).find("SSE2"), std::string::npos);
#else
    EXPECT_STREQ(g_pGeSimd->GetName(), "generic code");
#endif
    GeSimdDestroy();
    GeCpuProbeDestroy();
    EXPECT_EQ(g_pGeCpuInfo, nullptr);
}

// A second start in one process, or a start after a loader made the kernels
// on first use, keeps the objects made first instead of leaking them.
TEST(GeCpuInfoOnThisMachine, ASecondCreateKeepsTheObjectsMadeFirst)
{
    GeCpuProbeCreate();
    GeSimdCreate();
    const CGeCpuInfo* probe = g_pGeCpuInfo;
    const CGeSimd* generic = g_pGeSimdGeneric;
    const CGeSimd* chosen = g_pGeSimd;
    GeCpuProbeCreate();
    GeSimdCreate();
    EXPECT_EQ(probe, g_pGeCpuInfo);
    EXPECT_EQ(generic, g_pGeSimdGeneric);
    EXPECT_EQ(chosen, g_pGeSimd);
    GeSimdDestroy();
    GeCpuProbeDestroy();
}

}  // namespace
