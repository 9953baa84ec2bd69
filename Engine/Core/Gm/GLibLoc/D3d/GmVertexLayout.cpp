#include "Engine/Core/Gm/GLibLoc/D3d/GmVertexLayout.h"

#include "Engine/Core/Gm/GLibLoc/D3d/GmD3dTables.h"

namespace {

// Floats per texture-coordinate set by the size code in bits 16-17.
const uint32_t kTexSetFloats[4] = {2, 3, 4, 1};

} // namespace

GmVertexLayout GmComputeVertexLayout(uint32_t flags)
{
    GmVertexLayout layout;
    layout.flags = flags;
    layout.blendCount = (flags & GE_VEF_BLEND_MASK) >> 2;
    layout.texSetCount = (flags & GE_VEF_TEXCOUNT_MASK) >> 12;
    layout.texSetBytes = 4 * kTexSetFloats[(flags & GE_VEF_TEXSIZE_MASK) >> 16];
    layout.extraBytes = (flags & 0xFFF00000u) ? flags >> 24 : 0;

    uint32_t cursor = 0;
    auto place = [&cursor](bool present, uint32_t bytes, uint32_t* offset) {
        if (!present)
            return;
        *offset = cursor;
        cursor += bytes;
    };
    place(flags & GE_VEF_XYZ, 12, &layout.position);
    place(flags & GE_VEF_XYZRHW, 4, &layout.rhw);
    place(layout.blendCount != 0, 4 * layout.blendCount, &layout.blend);
    if (layout.blendCount && (flags & GE_VEF_LASTBETA_UBYTE4))
        layout.lastBlend = cursor - 4;
    place(flags & GE_VEF_NORMAL, 12, &layout.normal);
    place(flags & GE_VEF_PSIZE, 4, &layout.pointSize);
    place(flags & GE_VEF_DIFFUSE, 4, &layout.diffuse);
    place(flags & GE_VEF_SPECULAR, 4, &layout.specular);
    place(layout.texSetCount != 0, layout.texSetCount * layout.texSetBytes, &layout.texCoords);
    place(flags & GE_VEF_NO_FVF, kGmVertexElement40000Bytes, &layout.extra24);
    place(layout.extraBytes != 0, layout.extraBytes, &layout.extra);
    layout.stride = cursor;
    return layout;
}
