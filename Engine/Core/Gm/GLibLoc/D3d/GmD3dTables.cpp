#include "Engine/Core/Gm/GLibLoc/D3d/GmD3dTables.h"

#include "Engine/Core/Common/GeMap.h"

#include <cstring>

namespace {

CGeMap<uint32_t, uint32_t>& PrimitiveTypes()
{
    static CGeMap<uint32_t, uint32_t> map;
    static bool filled = false;
    if (!filled) {
        for (uint32_t type = D3DPT_POINTLIST; type <= D3DPT_TRIANGLEFAN; ++type)
            map[type] = type;
        filled = true;
    }
    return map;
}

struct FvfRow {
    uint32_t engineFlag;
    DWORD fvf;
};

// Scanned in this order; the pre-transformed position replaces what came before it.
const FvfRow kFvfRows[] = {
    {GE_VEF_XYZ, D3DFVF_XYZ},         {GE_VEF_XYZRHW, D3DFVF_XYZRHW},
    {GE_VEF_NORMAL, D3DFVF_NORMAL},   {GE_VEF_PSIZE, D3DFVF_PSIZE},
    {GE_VEF_DIFFUSE, D3DFVF_DIFFUSE}, {GE_VEF_SPECULAR, D3DFVF_SPECULAR},
};

} // namespace

D3DPRIMITIVETYPE GetD3DPT(uint32_t engineType)
{
    return D3DPRIMITIVETYPE(PrimitiveTypes()[engineType]);
}

DWORD GetD3DFVF(uint32_t flags)
{
    if (flags & GE_VEF_NO_FVF)
        return 0;
    DWORD fvf = 0;
    for (const FvfRow& row : kFvfRows) {
        if (!(flags & row.engineFlag))
            continue;
        fvf = row.engineFlag == GE_VEF_XYZRHW ? D3DFVF_XYZRHW : fvf | row.fvf;
    }
    const uint32_t setCount = (flags >> 12) & 0xF;
    fvf |= setCount << D3DFVF_TEXCOUNT_SHIFT;
    DWORD sizeCode = 0;
    switch (flags & GE_VEF_TEXSIZE_MASK) {
    case 0x10000: sizeCode = D3DFVF_TEXTUREFORMAT3; break;
    case 0x20000: sizeCode = D3DFVF_TEXTUREFORMAT4; break;
    case 0x30000: sizeCode = D3DFVF_TEXTUREFORMAT1; break;
    default: break;
    }
    // The FVF code has size fields for eight sets only.
    for (uint32_t set = 0; set < setCount && set < 8; ++set)
        fvf |= sizeCode << (16 + 2 * set);
    // Blend weights make the position an XYZBn position: the position field
    // is replaced, since OR-ing XYZ into XYZB2 or XYZB4 would name a layout
    // with one weight more than the buffer holds.
    DWORD blendPosition = 0;
    switch (flags & GE_VEF_BLEND_MASK) {
    case 0x4: blendPosition = D3DFVF_XYZB1; break;
    case 0x8: blendPosition = D3DFVF_XYZB2; break;
    case 0xC: blendPosition = D3DFVF_XYZB3; break;
    case 0x10: blendPosition = D3DFVF_XYZB4; break;
    case 0x14: blendPosition = D3DFVF_XYZB5; break;
    default: break;
    }
    if (blendPosition)
        fvf = (fvf & ~D3DFVF_POSITION_MASK) | blendPosition;
    if (flags & GE_VEF_LASTBETA_UBYTE4)
        fvf |= D3DFVF_LASTBETA_UBYTE4;
    return fvf;
}

D3DSTENCILOP GetD3dStencilOp(uint32_t op)
{
    static const D3DSTENCILOP kOps[] = {
        D3DSTENCILOP_KEEP,    D3DSTENCILOP_ZERO,    D3DSTENCILOP_INVERT,
        D3DSTENCILOP_REPLACE, D3DSTENCILOP_INCRSAT, D3DSTENCILOP_DECRSAT,
    };
    return op < sizeof(kOps) / sizeof(kOps[0]) ? kOps[op] : D3DSTENCILOP_KEEP;
}

D3DCULL GetD3dCullMode(uint32_t code)
{
    switch (code) {
    case 1: return D3DCULL_CW;
    case 2: return D3DCULL_CCW;
    default: return D3DCULL_NONE;
    }
}

DWORD GetD3dAddressMode(uint32_t code)
{
    switch (code) {
    case 0: return D3DTADDRESS_WRAP;
    case 1: return D3DTADDRESS_MIRROR;
    case 2: return D3DTADDRESS_CLAMP;
    default: return code;
    }
}

void MatrixToD3d(D3DMATRIX* out, const float* in)
{
    for (int row = 0; row < 4; ++row) {
        for (int col = 0; col < 4; ++col)
            out->m[col][row] = in[4 * row + col];
    }
}

void CGmLightDesc::Init()
{
    memset(f, 0, sizeof(f));
    f[12] = f[13] = f[14] = 1.0f;
    f[16] = 1e15f;
    f[17] = 1.0f;
    f[25] = 3.1415927f;
}

void CGmLightDesc::Assign(const CGmLightDesc& other)
{
    memcpy(f, other.f, sizeof(f));
    f[23] = 0.0f;
}
