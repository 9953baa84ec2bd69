// The lookup tables that turn the engine's own codes (primitive types,
// vertex-element flags, stencil operations, cull and address modes) into
// Direct3D values, the light description record, and the matrix layout change
// at the device boundary. Surface formats are in GmFormatTable.h.
#pragma once

#include "Engine/Core/Gm/GLibLoc/D3d/GmFormatTable.h"
#include "Platform/D3d9/D3d9Types.h"

#include <cstdint>

// Engine vertex-element flags (the layout of a vertex buffer).
enum : uint32_t {
    GE_VEF_XYZ = 0x1,
    GE_VEF_XYZRHW = 0x2,
    GE_VEF_BLEND_MASK = 0x1C,     // blend-weight count: 0x4 one ... 0x14 five
    GE_VEF_LASTBETA_UBYTE4 = 0x20,
    GE_VEF_NORMAL = 0x40,
    GE_VEF_PSIZE = 0x80,
    GE_VEF_DIFFUSE = 0x100,
    GE_VEF_SPECULAR = 0x200,
    GE_VEF_TEXCOUNT_MASK = 0xF000, // texture-coordinate sets, 0 to 15
    GE_VEF_TEXSIZE_MASK = 0x30000, // floats per set: 0 two, 0x10000 three, 0x20000 four, 0x30000 one
    GE_VEF_NO_FVF = 0x40000,       // a layout that has no FVF code
};

// Engine primitive type (1 to 6, the Direct3D numbers) to Direct3D. An unknown
// code is remembered with the value 0, and 0 is returned.
D3DPRIMITIVETYPE GetD3DPT(uint32_t engineType);

// Vertex-element flags to the FVF code; 0 for a layout marked GE_VEF_NO_FVF.
DWORD GetD3DFVF(uint32_t flags);

// Engine stencil operation: 0 keep, 1 zero, 2 invert, 3 replace, 4 increment
// and 5 decrement (both saturating). Other codes keep the stencil value.
D3DSTENCILOP GetD3dStencilOp(uint32_t op);

// Engine cull code: 0 none, 1 clockwise, 2 counter-clockwise; others cull nothing.
D3DCULL GetD3dCullMode(uint32_t code);

// Engine address code: 0 wrap, 1 mirror, 2 clamp; larger codes are Direct3D's
// own numbers (3 clamp, 4 border, 5 mirror once) and pass unchanged.
DWORD GetD3dAddressMode(uint32_t code);

// Transposes an engine matrix (column vectors) into Direct3D's row-vector layout.
void MatrixToD3d(D3DMATRIX* out, const float* in);

// One light as locations, dialogs and materials describe it: 28 four-byte
// values. Floats 0-3 diffuse, 4-7 ambient, 8-11 specular (r, g, b, a), 12-14
// the direction, value 15 four bytes (type, enabled, 0, 0), 16 the range,
// 17-19 the attenuations, 20-22 the position, 23 reserved (0), 24-27 the
// cone values. A light whose enabled byte is 0 gives no light.
struct CGmLightDesc {
    float f[28];

    // Colours black, floats 12-14 at 1, type and enabled 0, range 1e15,
    // float 17 at 1 and the cone angle pi; everything else 0.
    void Init();
    // Copies every value but the reserved one, which becomes 0.
    void Assign(const CGmLightDesc& other);

    uint8_t Type() const { return Byte(0); }
    bool Enabled() const { return Byte(1) != 0; }
    void SetType(uint8_t type) { SetByte(0, type); }
    void SetEnabled(bool on) { SetByte(1, on ? 1 : 0); }

private:
    uint8_t Byte(int index) const { return reinterpret_cast<const uint8_t*>(&f[15])[index]; }
    void SetByte(int index, uint8_t value) { reinterpret_cast<uint8_t*>(&f[15])[index] = value; }
};
using LightDesc = CGmLightDesc;
