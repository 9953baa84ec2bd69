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

struct BlendRow {
    DWORD sourceBlend;
    DWORD destinationBlend;
    DWORD blendEnable;
    DWORD alphaTest;
};

const BlendRow kBlendModes[GM_BLEND_MODE_COUNT] = {
    {D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, 1, 0}, {D3DBLEND_ONE, D3DBLEND_ZERO, 0, 0},
    {D3DBLEND_SRCALPHA, D3DBLEND_ONE, 1, 0},         {D3DBLEND_ZERO, D3DBLEND_SRCCOLOR, 1, 0},
    {D3DBLEND_DESTCOLOR, D3DBLEND_SRCCOLOR, 1, 0},   {D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, 1, 1},
    {D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, 1, 0}, {D3DBLEND_ONE, D3DBLEND_ZERO, 0, 1},
};

struct StageRow {
    DWORD colorOp;
    DWORD alphaOp;
    DWORD alphaArg1;
};

StageRow StageModeRow(uint32_t mode, uint32_t option)
{
    switch (mode) {
    case 0: return {D3DTOP_SELECTARG1, D3DTOP_SELECTARG1, D3DTA_CURRENT};
    case 1: return {D3DTOP_MODULATE, D3DTOP_DISABLE, D3DTA_CURRENT};
    case 2:
    case 5:
    case 6:
    case 7: return {option == kGmStageOptionAdd ? DWORD(D3DTOP_ADD) : DWORD(D3DTOP_MODULATE), D3DTOP_MODULATE,
                    D3DTA_DIFFUSE};
    case 3:
    case 4: return {D3DTOP_MODULATE, D3DTOP_MODULATE, D3DTA_CURRENT};
    default: return {D3DTOP_DISABLE, D3DTOP_DISABLE, D3DTA_CURRENT};
    }
}

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

void CGmRenderStateCache::SetBlendMode(uint32_t mode, uint32_t alphaRef)
{
    if (mode >= GM_BLEND_MODE_COUNT) {
        GmTrace("CGmRenderStateCache::SetBlendMode: no blend mode %u\n", mode);
        return;
    }
    if (!wrapper->CanCall())
        return;
    IDirect3DDevice9* device = wrapper->GetDevice();
    const BlendRow& row = kBlendModes[mode];
    device->SetRenderState(D3DRS_SRCBLEND, row.sourceBlend);
    device->SetRenderState(D3DRS_DESTBLEND, row.destinationBlend);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, row.blendEnable);
    device->SetRenderState(D3DRS_ALPHATESTENABLE, row.alphaTest);
    if (mode == GM_BLEND_OPAQUE) {
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, 0);
        return;
    }
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
    device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATER);
    device->SetRenderState(D3DRS_ALPHAREF, alphaRef);
}

void CGmRenderStateCache::SetTextureStageMode(uint32_t mode, uint32_t option)
{
    if (!wrapper->CanCall())
        return;
    IDirect3DDevice9* device = wrapper->GetDevice();
    device->SetPixelShader(nullptr);
    device->SetRenderState(D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR1);
    device->SetRenderState(D3DRS_COLORVERTEX, 1);
    const StageRow row = StageModeRow(mode, option);
    wrapper->SetTexCoordIndex(0, 0);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
    device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG1, row.alphaArg1);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_COLOROP, row.colorOp);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, row.alphaOp);
    device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    device->SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
}
