#include "Engine/Core/Gm/GmRenderStateCache.h"

#include "Engine/Core/Gm/GLibLoc/D3d/GmDeviceWrapper.h"

CGmRenderStateCache* g_pGmRenderStateCache = nullptr;

namespace {

struct RenderStateRow {
    D3DRENDERSTATETYPE state;
    DWORD value;
};

const RenderStateRow kDefaultStates[] = {
    {D3DRS_FILLMODE, D3DFILL_SOLID}, {D3DRS_SHADEMODE, D3DSHADE_GOURAUD}, {D3DRS_LASTPIXEL, 1},
    {D3DRS_ALPHAREF, 0},             {D3DRS_DITHERENABLE, 0},             {D3DRS_FOGENABLE, 0},
    {D3DRS_STENCILENABLE, 0},        {D3DRS_CLIPPING, 1},                 {D3DRS_LIGHTING, 0},
    {D3DRS_FOGVERTEXMODE, 0},
};

} // namespace

void CGmRenderStateCache::Reset()
{
    wrapper->SetZEnable(0);
    wrapper->SetZWriteEnable(0);
    wrapper->m_cullMode = 0;
    if (!wrapper->CanCall())
        return;
    for (const RenderStateRow& row : kDefaultStates)
        wrapper->GetDevice()->SetRenderState(row.state, row.value);
}
