// The state side of the device wrapper: cached and guarded setters, sampler
// setters, binding and drawing, transforms, render targets and the default
// state after every creation and reset.
#include "Engine/Core/Gm/GLibLoc/D3d/GmDeviceWrapper.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmIndexBuffer.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmTextureBase.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmVertexBuffer.h"

#include <cstring>

// One guarded device call: skipped while failed or minimised, its result
// checked with the call's own text.
#define GM_GUARDED(text, call)                                       \
    do {                                                             \
        if (CanCall())                                               \
            CheckResult(m_device->call, text, __FILE__, __LINE__);   \
    } while (0)

namespace {

const float kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

} // namespace

// ---------------------------------------------------------------------------
// Guarded render-state setters.

void CGmDeviceWrapper::SetZEnable(uint8_t enable)
{
    m_zEnabled = enable;
    GM_GUARDED("m_device->SetRenderState(D3DRS_ZENABLE, m_zEnabled)", SetRenderState(D3DRS_ZENABLE, m_zEnabled));
}

void CGmDeviceWrapper::SetZWriteEnable(uint8_t enable)
{
    m_zWrite = enable;
    GM_GUARDED("m_device->SetRenderState(D3DRS_ZWRITEENABLE, m_zWrite)", SetRenderState(D3DRS_ZWRITEENABLE, m_zWrite));
}

void CGmDeviceWrapper::SetZFunc()
{
    m_zFunc = D3DCMP_LESSEQUAL;
    GM_GUARDED("m_device->SetRenderState(D3DRS_ZFUNC, (DWORD)func)", SetRenderState(D3DRS_ZFUNC, m_zFunc));
}

void CGmDeviceWrapper::SetLighting(uint8_t enable)
{
    GM_GUARDED("m_device->SetRenderState(D3DRS_LIGHTING, (DWORD)enable)", SetRenderState(D3DRS_LIGHTING, enable));
}

void CGmDeviceWrapper::SetCullMode(uint32_t engineCode)
{
    if (engineCode == m_cullMode)
        return;
    m_cullMode = engineCode;
    GM_GUARDED("m_device->SetRenderState(D3DRS_CULLMODE, cm)", SetRenderState(D3DRS_CULLMODE, GetD3dCullMode(engineCode)));
}

void CGmDeviceWrapper::SetStencilEnable(uint8_t enable)
{
    m_stencilEnabled = enable;
    GM_GUARDED("m_device->SetRenderState(D3DRS_STENCILENABLE, (DWORD)enable)",
               SetRenderState(D3DRS_STENCILENABLE, enable));
}

void CGmDeviceWrapper::SetStencilRef(uint32_t value)
{
    GM_GUARDED("m_device->SetRenderState(D3DRS_STENCILREF, (DWORD)stencilVal)", SetRenderState(D3DRS_STENCILREF, value));
}

void CGmDeviceWrapper::SetStencilPass(uint32_t op)
{
    GM_GUARDED("m_device->SetRenderState(D3DRS_STENCILPASS, GetD3dStencilOp(opCode))",
               SetRenderState(D3DRS_STENCILPASS, GetD3dStencilOp(op)));
}

void CGmDeviceWrapper::SetStencilZFail(uint32_t op)
{
    GM_GUARDED("m_device->SetRenderState(D3DRS_STENCILZFAIL, GetD3dStencilOp(opCode))",
               SetRenderState(D3DRS_STENCILZFAIL, GetD3dStencilOp(op)));
}

void CGmDeviceWrapper::SetStencilFail(uint32_t op)
{
    GM_GUARDED("m_device->SetRenderState(D3DRS_STENCILFAIL, GetD3dStencilOp(opCode))",
               SetRenderState(D3DRS_STENCILFAIL, GetD3dStencilOp(op)));
}

void CGmDeviceWrapper::SetStencilFunc()
{
    m_stencilFunc = D3DCMP_ALWAYS;
    GM_GUARDED("m_device->SetRenderState(D3DRS_STENCILFUNC, (DWORD)func)", SetRenderState(D3DRS_STENCILFUNC, m_stencilFunc));
}

void CGmDeviceWrapper::SetDepthBias(float bias)
{
    m_depthBias = bias;
    GM_GUARDED("m_device->SetRenderState(D3DRS_DEPTHBIAS, *((DWORD*)(&bias)))",
               SetRenderState(D3DRS_DEPTHBIAS, GmFloatBits(bias)));
}

void CGmDeviceWrapper::SetTexCoordIndex(uint32_t stage, uint32_t index)
{
    if (stage >= 8)
        return;
    m_texCoordIndex[stage] = index;
    GM_GUARDED("m_device->SetTextureStageState(texStage, D3DTSS_TEXCOORDINDEX, texCoordSetIndex)",
               SetTextureStageState(stage, D3DTSS_TEXCOORDINDEX, index));
}

void CGmDeviceWrapper::BeginScene()
{
    GM_GUARDED("m_device->BeginScene()", BeginScene());
}

void CGmDeviceWrapper::EndScene()
{
    GM_GUARDED("m_device->EndScene()", EndScene());
}

// ---------------------------------------------------------------------------
// Sampler setters.

void CGmDeviceWrapper::SetSamplerFilters(uint32_t stage, uint32_t magFilter, uint32_t minFilter)
{
    if (stage >= 8)
        return;
    m_filters[stage][0] = magFilter;
    m_filters[stage][1] = minFilter;
    if (!m_device)
        return;
    m_device->SetSamplerState(stage, D3DSAMP_MAGFILTER, magFilter);
    m_device->SetSamplerState(stage, D3DSAMP_MINFILTER, minFilter);
}

void CGmDeviceWrapper::SetAddressU(uint32_t stage, uint32_t engineMode)
{
    SetAddress(stage, engineMode, D3DSAMP_ADDRESSU, m_addressU);
}

void CGmDeviceWrapper::SetAddressV(uint32_t stage, uint32_t engineMode)
{
    SetAddress(stage, engineMode, D3DSAMP_ADDRESSV, m_addressV);
}

void CGmDeviceWrapper::SetAddress(uint32_t stage, uint32_t engineMode, D3DSAMPLERSTATETYPE state, uint32_t* cache)
{
    if (stage >= 8)
        return;
    cache[stage] = engineMode;
    if (m_device)
        m_device->SetSamplerState(stage, state, GetD3dAddressMode(engineMode));
}

void CGmDeviceWrapper::RestoreSamplerFilters()
{
    memcpy(m_filters, m_savedFilters, sizeof(m_filters));
    if (!m_device)
        return;
    m_device->SetSamplerState(0, D3DSAMP_MAGFILTER, m_filters[0][0]);
    m_device->SetSamplerState(0, D3DSAMP_MINFILTER, m_filters[0][1]);
}

// ---------------------------------------------------------------------------
// Binding and drawing.

void CGmDeviceWrapper::SetStreamSource(const CGmVertexBuffer* vertexBuffer, uint32_t stride)
{
    IDirect3DVertexBuffer9* buffer = vertexBuffer ? vertexBuffer->D3dBuffer() : nullptr;
    GM_GUARDED("m_device->SetStreamSource(streamIndex, srcVb->m_vb, 0, stride)", SetStreamSource(0, buffer, 0, stride));
}

void CGmDeviceWrapper::SetIndices(const CGmIndexBuffer* indexBuffer)
{
    IDirect3DIndexBuffer9* buffer = indexBuffer ? indexBuffer->D3dBuffer() : nullptr;
    GM_GUARDED("m_device->SetIndices(ib->m_ib)", SetIndices(buffer));
}

void CGmDeviceWrapper::SetFVF(uint32_t engineFlags)
{
    GM_GUARDED("m_device->SetFVF(GetD3DFVF(geVef))", SetFVF(GetD3DFVF(engineFlags)));
}

void CGmDeviceWrapper::DrawPrimitive(uint32_t engineType, uint32_t startVertex, uint32_t primitiveCount)
{
    // A skipped draw still takes a moment, so that a minimised or lost
    // program does not spin.
    if (!CanCall()) {
        GmSleep(1);
        return;
    }
    CheckResult(m_device->DrawPrimitive(GetD3DPT(engineType), startVertex, primitiveCount),
                "GetDevice()->DrawPrimitive(GetD3DPT(pType), startVertex, primCount)", __FILE__, __LINE__);
}

void CGmDeviceWrapper::DrawIndexedPrimitive(uint32_t engineType, int32_t baseVertexIndex, uint32_t minIndex,
                                            uint32_t vertexCount, uint32_t startIndex, uint32_t primitiveCount)
{
    if (!vertexCount || !primitiveCount)
        return;
    if (!CanCall()) {
        GmSleep(1);
        return;
    }
    CheckResult(m_device->DrawIndexedPrimitive(GetD3DPT(engineType), baseVertexIndex, minIndex, vertexCount,
                                               startIndex, primitiveCount),
                "GetDevice()->DrawIndexedPrimitive(GetD3DPT(pType), baseVertexIndex, minIndex, numVertices, "
                "startIndex, primCount)",
                __FILE__, __LINE__);
}

// ---------------------------------------------------------------------------
// Transforms.

HRESULT CGmDeviceWrapper::SetTransform(const float* matrix, uint8_t n)
{
    memcpy(m_world[n], matrix, sizeof(m_world[n]));
    MatrixToD3d(&m_worldD3d[n], matrix);
    return m_device ? m_device->SetTransform(D3DTS_WORLDMATRIX(n), &m_worldD3d[n]) : D3DERR_INVALIDCALL;
}

HRESULT CGmDeviceWrapper::ResetWorldTransform()
{
    return SetTransform(kIdentity, 0);
}

HRESULT CGmDeviceWrapper::SetViewProjection(const float* view, const float* projection)
{
    memcpy(m_view, view, sizeof(m_view));
    memcpy(m_projection, projection, sizeof(m_projection));
    MatrixToD3d(&m_viewD3d, m_view);
    MatrixToD3d(&m_projectionD3d, m_projection);
    if (!m_device)
        return D3DERR_INVALIDCALL;
    HRESULT result = m_device->SetTransform(D3DTS_VIEW, &m_viewD3d);
    HRESULT projectionResult = m_device->SetTransform(D3DTS_PROJECTION, &m_projectionD3d);
    return FAILED(result) ? result : projectionResult;
}

// ---------------------------------------------------------------------------
// Render targets.

void CGmDeviceWrapper::SetRenderTarget(const CGmTextureBase* targetTexture)
{
    IDirect3DTexture9* target = targetTexture ? targetTexture->m_texture : nullptr;
    if (!m_device)
        return;
    // A second switch before the restore would lose the saved surfaces.
    ReleaseSavedSurfaces();
    m_device->GetRenderTarget(0, &m_argbSurface);
    m_device->GetDepthStencilSurface(&m_depthSurface);
    if (!target)
        return;
    IDirect3DSurface9* renderSurface = nullptr;
    target->GetSurfaceLevel(0, &renderSurface);
    GM_GUARDED("m_device->SetRenderTarget(0, renderSurface)", SetRenderTarget(0, renderSurface));
    if (renderSurface)
        renderSurface->Release();
    // Binding a target brings a viewport over the whole Direct3D texture,
    // whose sides are the picture's rounded up to powers of two: a 320 by 240
    // target would be drawn over 512 by 256 and its picture, the top-left
    // corner, come out stretched. The viewport covers the picture instead.
    uint32_t width = 0, height = 0;
    targetTexture->ContentSize(&width, &height);
    if (width && height && CanCall()) {
        D3DVIEWPORT9 viewport = {0, 0, width, height, 0.0f, 1.0f};
        m_device->SetViewport(&viewport);
    }
}

void CGmDeviceWrapper::RestoreRenderTarget()
{
    GM_GUARDED("m_device->SetRenderTarget(0, m_argbSurface)", SetRenderTarget(0, m_argbSurface));
    GM_GUARDED("m_device->SetDepthStencilSurface(m_depthSurface)", SetDepthStencilSurface(m_depthSurface));
    ReleaseSavedSurfaces();
}

void CGmDeviceWrapper::ReleaseSavedSurfaces()
{
    if (m_argbSurface)
        m_argbSurface->Release();
    if (m_depthSurface)
        m_depthSurface->Release();
    m_argbSurface = nullptr;
    m_depthSurface = nullptr;
}

// ---------------------------------------------------------------------------
// Default state.

void CGmDeviceWrapper::ApplyDefaultStates()
{
    memcpy(m_view, kIdentity, sizeof(m_view));
    memcpy(m_projection, kIdentity, sizeof(m_projection));

    for (uint32_t stage = 0; stage < 8; ++stage) {
        SetSamplerFilters(stage, D3DTEXF_LINEAR, D3DTEXF_LINEAR);
        SetAddressU(stage, 0);
        SetAddressV(stage, 0);
        SetTexCoordIndex(stage, stage);
    }
    GM_GUARDED("m_device->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID)", SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID));
    m_cullMode = 0;
    GM_GUARDED("m_device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE)", SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE));

    SetZEnable(1);
    SetZWriteEnable(1);
    SetZFunc();
    SetDepthBias(0.0f);

    SetStencilEnable(0);
    SetStencilFunc();
    SetStencilFail(0);
    SetStencilZFail(0);
    SetStencilPass(0);
    SetStencilRef(0);

    GM_GUARDED("m_device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE)", SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE));
    GM_GUARDED("m_device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_ALWAYS)", SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_ALWAYS));
    GM_GUARDED("m_device->SetRenderState(D3DRS_ALPHAREF, 0)", SetRenderState(D3DRS_ALPHAREF, 0));
    GM_GUARDED("m_device->SetRenderState(D3DRS_TEXTUREFACTOR, 0)", SetRenderState(D3DRS_TEXTUREFACTOR, 0));
}
