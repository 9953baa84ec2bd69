#include "Engine/Core/Gm/GLibLoc/D3d/GmD3dTables.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

TEST(GmD3dTables, VertexFlagsToFvf)
{
    const struct {
        uint32_t flags;
        DWORD fvf;
    } cases[] = {
        {0x1 | 0x100 | 0x1000, D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1},   // 0x142
        {0x3 | 0x100, D3DFVF_XYZRHW | D3DFVF_DIFFUSE},                       // RHW replaces XYZ
        {0x1 | 0x2000 | 0x10000, 0x50202},                                   // two sets of three floats
        {0x1 | 0x40 | 0x80 | 0x200, D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_PSIZE | D3DFVF_SPECULAR},
        {0x1 | 0x3000 | 0x20000, D3DFVF_XYZ | D3DFVF_TEX3 | 0x2A0000},       // three sets of four floats
        {0x1 | 0x1000 | 0x30000, D3DFVF_XYZ | D3DFVF_TEX1 | 0x30000},        // one set of one float
        {0x1 | 0x4, D3DFVF_XYZ | D3DFVF_XYZB1},
        {0x1 | 0x8, D3DFVF_XYZB2},                                           // not XYZ | XYZB2 = XYZB3
        {0x1 | 0xC | 0x40, D3DFVF_XYZB3 | D3DFVF_NORMAL},
        {0x1 | 0x10 | 0x20, D3DFVF_XYZB4 | D3DFVF_LASTBETA_UBYTE4},
        {0x1 | 0x14, D3DFVF_XYZB5},
        {0x1 | 0x18, D3DFVF_XYZ},                                            // no such blend count
        {0xF000 | 0x30000, 0xF00 | 0xFFFF0000},                              // sizes for eight sets only
        {0x40000 | 0x1 | 0x100, 0},
        {0x40000, 0},
        {0, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.fvf, GetD3DFVF(c.flags)) << std::hex << c.flags;
}

TEST(GmD3dTables, PrimitiveTypesAndUnknownCodes)
{
    for (uint32_t type = 1; type <= 6; ++type)
        EXPECT_EQ(type, (uint32_t)GetD3DPT(type));
    EXPECT_EQ(0u, (uint32_t)GetD3DPT(0));
    EXPECT_EQ(0u, (uint32_t)GetD3DPT(77));
    EXPECT_EQ(0u, (uint32_t)GetD3DPT(77));
}

TEST(GmD3dTables, StencilCullAndAddressMaps)
{
    const D3DSTENCILOP ops[] = {D3DSTENCILOP_KEEP,    D3DSTENCILOP_ZERO,    D3DSTENCILOP_INVERT,
                                D3DSTENCILOP_REPLACE, D3DSTENCILOP_INCRSAT, D3DSTENCILOP_DECRSAT};
    for (uint32_t op = 0; op < 6; ++op)
        EXPECT_EQ(ops[op], GetD3dStencilOp(op)) << op;
    EXPECT_EQ(D3DSTENCILOP_KEEP, GetD3dStencilOp(6));
    EXPECT_EQ(D3DSTENCILOP_KEEP, GetD3dStencilOp(0xFFFFFFFF));

    EXPECT_EQ(D3DCULL_NONE, GetD3dCullMode(0));
    EXPECT_EQ(D3DCULL_CW, GetD3dCullMode(1));
    EXPECT_EQ(D3DCULL_CCW, GetD3dCullMode(2));
    EXPECT_EQ(D3DCULL_NONE, GetD3dCullMode(3));

    const DWORD addresses[] = {D3DTADDRESS_WRAP, D3DTADDRESS_MIRROR, D3DTADDRESS_CLAMP,
                               D3DTADDRESS_CLAMP, D3DTADDRESS_BORDER, D3DTADDRESS_MIRRORONCE};
    for (uint32_t code = 0; code < 6; ++code)
        EXPECT_EQ(addresses[code], GetD3dAddressMode(code)) << code;
}

TEST(GmD3dTables, FormatsOfTheDeviceSettings)
{
    EXPECT_EQ((uint32_t)D3DFMT_X8R8G8B8, GetD3DFormat(3));
    EXPECT_EQ((uint32_t)D3DFMT_D24S8, GetD3DFormat(21));
    EXPECT_EQ(3u, GetFormatBytesPerPixel(21));
    EXPECT_EQ(4u, GetFormatBytesPerPixel(23));
    EXPECT_EQ(0u, GetD3DFormat(30));
    EXPECT_EQ(0u, GetD3DFormat(0));
}

TEST(GmD3dTables, LightDescriptionDefaults)
{
    LightDesc light;
    for (float& f : light.f)
        f = NAN;
    light.Init();
    for (int i = 0; i < 28; ++i) {
        float expected = 0.0f;
        if (i >= 12 && i <= 14)
            expected = 1.0f;
        else if (i == 16)
            expected = 1e15f;
        else if (i == 17)
            expected = 1.0f;
        else if (i == 25)
            expected = 3.1415927f;
        EXPECT_EQ(expected, light.f[i]) << i;
    }
}

TEST(GmD3dTables, LightDescriptionCopiesAllButTheReservedValue)
{
    CGmLightDesc source;
    for (int i = 0; i < 28; ++i)
        source.f[i] = float(i + 1);
    source.SetType(2);
    source.SetEnabled(true);
    CGmLightDesc copy;
    copy.Init();
    copy.Assign(source);
    for (int i = 0; i < 28; ++i) {
        if (i == 23)
            EXPECT_EQ(0.0f, copy.f[i]);
        else
            EXPECT_EQ(0, memcmp(&source.f[i], &copy.f[i], 4)) << i;
    }
    EXPECT_EQ(2, copy.Type());
    EXPECT_TRUE(copy.Enabled());
    copy.SetEnabled(false);
    EXPECT_EQ(2, copy.Type());
    EXPECT_FALSE(copy.Enabled());
}

TEST(GmD3dTables, MatrixToD3dTransposes)
{
    float engine[16];
    for (int i = 0; i < 16; ++i)
        engine[i] = (float)i;
    D3DMATRIX d3d;
    MatrixToD3d(&d3d, engine);
    // The engine's translation (floats 3, 7, 11) is Direct3D's fourth row.
    EXPECT_EQ(3.0f, d3d._41);
    EXPECT_EQ(7.0f, d3d._42);
    EXPECT_EQ(11.0f, d3d._43);
    for (int row = 0; row < 4; ++row) {
        for (int col = 0; col < 4; ++col)
            EXPECT_EQ(engine[4 * row + col], d3d.m[col][row]);
    }
}
