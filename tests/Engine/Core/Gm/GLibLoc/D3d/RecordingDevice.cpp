#include "RecordingDevice.h"

#include <cstring>
#include <sstream>

namespace {

template <typename... T>
std::string Args(const T&... values)
{
    std::ostringstream out;
    const char* separator = "";
    ((out << separator << values, separator = ", "), ...);
    return out.str();
}

std::string Pointer(const void* p)
{
    return p ? "ptr" : "null";
}

} // namespace

int FakeSurface::live = 0;

// Logs the call, then answers with the chosen result, the decorated device's,
// or D3D_OK.
#define RECORD(method, arguments, forward)     \
    HRESULT answer = D3D_OK;                   \
    if (Log(method, arguments, &answer))       \
        return answer;                         \
    return inner ? inner->forward : D3D_OK

RecordingDevice::~RecordingDevice()
{
    if (depthStencil)
        depthStencil->Release();
}

bool RecordingDevice::Log(const char* method, const std::string& arguments, HRESULT* answer)
{
    calls.push_back(std::string(method) + "(" + arguments + ")");
    auto chosen = results.find(method);
    if (chosen == results.end())
        return false;
    *answer = chosen->second;
    return true;
}

int RecordingDevice::Count(const std::string& method) const
{
    int count = 0;
    for (const std::string& call : calls) {
        if (call.compare(0, method.size() + 1, method + "(") == 0)
            count++;
    }
    return count;
}

std::vector<std::string> RecordingDevice::Matching(const std::string& prefix) const
{
    std::vector<std::string> found;
    for (const std::string& call : calls) {
        if (call.compare(0, prefix.size(), prefix) == 0)
            found.push_back(call);
    }
    return found;
}

DWORD RecordingDevice::AddRef()
{
    return ++refs;
}

// The recorder outlives the wrapper so that tests can read it; the decorated
// device goes with the last reference.
DWORD RecordingDevice::Release()
{
    if (--refs == 0 && inner) {
        inner->Release();
        inner = nullptr;
    }
    return refs;
}

HRESULT RecordingDevice::TestCooperativeLevel() { RECORD("TestCooperativeLevel", "", TestCooperativeLevel()); }

HRESULT RecordingDevice::GetDeviceCaps(D3DCAPS9* caps)
{
    RECORD("GetDeviceCaps", "", GetDeviceCaps(caps));
}

HRESULT RecordingDevice::Reset(D3DPRESENT_PARAMETERS* params)
{
    RECORD("Reset", Args(params->BackBufferWidth, params->BackBufferHeight), Reset(params));
}

HRESULT RecordingDevice::Present(const RECT* source, const RECT* dest, HWND destWindow, const void* dirtyRegion)
{
    RECORD("Present", "", Present(source, dest, destWindow, dirtyRegion));
}

HRESULT RecordingDevice::GetBackBuffer(UINT swapChain, UINT index, D3DBACKBUFFER_TYPE type, IDirect3DSurface9** surface)
{
    RECORD("GetBackBuffer", Args(swapChain, index), GetBackBuffer(swapChain, index, type, surface));
}

void RecordingDevice::SetGammaRamp(UINT swapChain, DWORD flags, const D3DGAMMARAMP* ramp)
{
    calls.push_back("SetGammaRamp(" + Args(swapChain, flags, ramp->red[128]) + ")");
    if (inner)
        inner->SetGammaRamp(swapChain, flags, ramp);
}

void RecordingDevice::GetGammaRamp(UINT swapChain, D3DGAMMARAMP* ramp)
{
    calls.push_back("GetGammaRamp()");
    if (inner)
        inner->GetGammaRamp(swapChain, ramp);
}

HRESULT RecordingDevice::CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                                       D3DPOOL pool, IDirect3DTexture9** texture, void** sharedHandle)
{
    RECORD("CreateTexture", Args(width, height, levels, usage, format, pool),
           CreateTexture(width, height, levels, usage, format, pool, texture, sharedHandle));
}

HRESULT RecordingDevice::CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                            IDirect3DVertexBuffer9** buffer, void** sharedHandle)
{
    RECORD("CreateVertexBuffer", Args(length, usage, fvf, pool),
           CreateVertexBuffer(length, usage, fvf, pool, buffer, sharedHandle));
}

HRESULT RecordingDevice::CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                           IDirect3DIndexBuffer9** buffer, void** sharedHandle)
{
    RECORD("CreateIndexBuffer", Args(length, usage, format, pool),
           CreateIndexBuffer(length, usage, format, pool, buffer, sharedHandle));
}

HRESULT RecordingDevice::CreateRenderTarget(UINT width, UINT height, D3DFORMAT format,
                                            D3DMULTISAMPLE_TYPE multiSample, DWORD multiSampleQuality,
                                            BOOL lockable, IDirect3DSurface9** surface, void** sharedHandle)
{
    RECORD("CreateRenderTarget", Args(width, height, format),
           CreateRenderTarget(width, height, format, multiSample, multiSampleQuality, lockable, surface,
                              sharedHandle));
}

HRESULT RecordingDevice::CreateDepthStencilSurface(UINT width, UINT height, D3DFORMAT format,
                                                   D3DMULTISAMPLE_TYPE multiSample, DWORD multiSampleQuality,
                                                   BOOL discard, IDirect3DSurface9** surface, void** sharedHandle)
{
    HRESULT answer = D3D_OK;
    if (Log("CreateDepthStencilSurface", Args(width, height, format, multiSample, multiSampleQuality, discard),
            &answer))
        return answer;
    if (inner)
        return inner->CreateDepthStencilSurface(width, height, format, multiSample, multiSampleQuality, discard,
                                                surface, sharedHandle);
    *surface = new FakeSurface(true);
    return D3D_OK;
}

HRESULT RecordingDevice::CreateOffscreenPlainSurface(UINT width, UINT height, D3DFORMAT format, D3DPOOL pool,
                                                     IDirect3DSurface9** surface, void** sharedHandle)
{
    RECORD("CreateOffscreenPlainSurface", Args(width, height, format, pool),
           CreateOffscreenPlainSurface(width, height, format, pool, surface, sharedHandle));
}

HRESULT RecordingDevice::UpdateSurface(IDirect3DSurface9* source, const RECT* sourceRect, IDirect3DSurface9* dest,
                                       const POINT* destPoint)
{
    RECORD("UpdateSurface", "", UpdateSurface(source, sourceRect, dest, destPoint));
}

HRESULT RecordingDevice::GetRenderTargetData(IDirect3DSurface9* renderTarget, IDirect3DSurface9* dest)
{
    RECORD("GetRenderTargetData", "", GetRenderTargetData(renderTarget, dest));
}

HRESULT RecordingDevice::StretchRect(IDirect3DSurface9* source, const RECT* sourceRect, IDirect3DSurface9* dest,
                                     const RECT* destRect, D3DTEXTUREFILTERTYPE filter)
{
    RECORD("StretchRect", "", StretchRect(source, sourceRect, dest, destRect, filter));
}

HRESULT RecordingDevice::SetRenderTarget(DWORD index, IDirect3DSurface9* surface)
{
    RECORD("SetRenderTarget", Args(index, Pointer(surface)), SetRenderTarget(index, surface));
}

HRESULT RecordingDevice::GetRenderTarget(DWORD index, IDirect3DSurface9** surface)
{
    HRESULT answer = D3D_OK;
    if (Log("GetRenderTarget", Args(index), &answer))
        return answer;
    if (inner)
        return inner->GetRenderTarget(index, surface);
    renderTarget.AddRef();
    *surface = &renderTarget;
    return D3D_OK;
}

HRESULT RecordingDevice::SetDepthStencilSurface(IDirect3DSurface9* surface)
{
    HRESULT answer = D3D_OK;
    if (Log("SetDepthStencilSurface", Args(Pointer(surface)), &answer))
        return answer;
    if (inner)
        return inner->SetDepthStencilSurface(surface);
    if (surface)
        surface->AddRef();
    if (depthStencil)
        depthStencil->Release();
    depthStencil = surface;
    return D3D_OK;
}

HRESULT RecordingDevice::GetDepthStencilSurface(IDirect3DSurface9** surface)
{
    HRESULT answer = D3D_OK;
    if (Log("GetDepthStencilSurface", "", &answer))
        return answer;
    if (inner)
        return inner->GetDepthStencilSurface(surface);
    *surface = depthStencil;
    if (!depthStencil)
        return D3DERR_NOTFOUND;
    depthStencil->AddRef();
    return D3D_OK;
}

HRESULT RecordingDevice::BeginScene() { RECORD("BeginScene", "", BeginScene()); }
HRESULT RecordingDevice::EndScene() { RECORD("EndScene", "", EndScene()); }

HRESULT RecordingDevice::Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil)
{
    RECORD("Clear", Args(count, flags, color, z, stencil), Clear(count, rects, flags, color, z, stencil));
}

HRESULT RecordingDevice::SetViewport(const D3DVIEWPORT9* v)
{
    RECORD("SetViewport", Args(v->X, v->Y, v->Width, v->Height, v->MinZ, v->MaxZ), SetViewport(v));
}

HRESULT RecordingDevice::GetViewport(D3DVIEWPORT9* viewport) { RECORD("GetViewport", "", GetViewport(viewport)); }

HRESULT RecordingDevice::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix)
{
    RECORD("SetTransform", Args(state, matrix->_41, matrix->_42, matrix->_43), SetTransform(state, matrix));
}

HRESULT RecordingDevice::GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix)
{
    RECORD("GetTransform", Args(state), GetTransform(state, matrix));
}

HRESULT RecordingDevice::SetMaterial(const D3DMATERIAL9* material) { RECORD("SetMaterial", "", SetMaterial(material)); }
HRESULT RecordingDevice::GetMaterial(D3DMATERIAL9* material) { RECORD("GetMaterial", "", GetMaterial(material)); }

HRESULT RecordingDevice::SetLight(DWORD index, const D3DLIGHT9* light)
{
    RECORD("SetLight", Args(index), SetLight(index, light));
}

HRESULT RecordingDevice::GetLight(DWORD index, D3DLIGHT9* light) { RECORD("GetLight", Args(index), GetLight(index, light)); }

HRESULT RecordingDevice::LightEnable(DWORD index, BOOL enable)
{
    RECORD("LightEnable", Args(index, enable), LightEnable(index, enable));
}

HRESULT RecordingDevice::GetLightEnable(DWORD index, BOOL* enable)
{
    RECORD("GetLightEnable", Args(index), GetLightEnable(index, enable));
}

HRESULT RecordingDevice::SetRenderState(D3DRENDERSTATETYPE state, DWORD value)
{
    RECORD("SetRenderState", Args(state, value), SetRenderState(state, value));
}

HRESULT RecordingDevice::GetRenderState(D3DRENDERSTATETYPE state, DWORD* value)
{
    RECORD("GetRenderState", Args(state), GetRenderState(state, value));
}

HRESULT RecordingDevice::SetTexture(DWORD stage, IDirect3DBaseTexture9* texture)
{
    RECORD("SetTexture", Args(stage, Pointer(texture)), SetTexture(stage, texture));
}

HRESULT RecordingDevice::GetTexture(DWORD stage, IDirect3DBaseTexture9** texture)
{
    RECORD("GetTexture", Args(stage), GetTexture(stage, texture));
}

HRESULT RecordingDevice::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value)
{
    RECORD("SetTextureStageState", Args(stage, type, value), SetTextureStageState(stage, type, value));
}

HRESULT RecordingDevice::GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value)
{
    RECORD("GetTextureStageState", Args(stage, type), GetTextureStageState(stage, type, value));
}

HRESULT RecordingDevice::SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value)
{
    RECORD("SetSamplerState", Args(sampler, type, value), SetSamplerState(sampler, type, value));
}

HRESULT RecordingDevice::GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value)
{
    RECORD("GetSamplerState", Args(sampler, type), GetSamplerState(sampler, type, value));
}

HRESULT RecordingDevice::SetPixelShader(IDirect3DPixelShader9* shader)
{
    RECORD("SetPixelShader", Args(Pointer(shader)), SetPixelShader(shader));
}

HRESULT RecordingDevice::SetFVF(DWORD fvf) { RECORD("SetFVF", Args(fvf), SetFVF(fvf)); }
HRESULT RecordingDevice::GetFVF(DWORD* fvf) { RECORD("GetFVF", "", GetFVF(fvf)); }

HRESULT RecordingDevice::SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offset, UINT stride)
{
    RECORD("SetStreamSource", Args(stream, Pointer(buffer), offset, stride),
           SetStreamSource(stream, buffer, offset, stride));
}

HRESULT RecordingDevice::SetIndices(IDirect3DIndexBuffer9* buffer)
{
    RECORD("SetIndices", Args(Pointer(buffer)), SetIndices(buffer));
}

HRESULT RecordingDevice::DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount)
{
    RECORD("DrawPrimitive", Args(type, startVertex, primitiveCount), DrawPrimitive(type, startVertex, primitiveCount));
}

HRESULT RecordingDevice::DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT baseVertexIndex, UINT minIndex,
                                              UINT numVertices, UINT startIndex, UINT primitiveCount)
{
    RECORD("DrawIndexedPrimitive", Args(type, baseVertexIndex, minIndex, numVertices, startIndex, primitiveCount),
           DrawIndexedPrimitive(type, baseVertexIndex, minIndex, numVertices, startIndex, primitiveCount));
}

HRESULT RecordingDevice::DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertices, UINT stride)
{
    RECORD("DrawPrimitiveUP", Args(type, primitiveCount, stride), DrawPrimitiveUP(type, primitiveCount, vertices, stride));
}

// ---------------------------------------------------------------------------

RecordingDirect3D::~RecordingDirect3D()
{
    for (RecordingDevice* device : devices)
        delete device;
    if (inner)
        inner->Release();
}

HRESULT RecordingDirect3D::GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode)
{
    if (inner)
        return inner->GetAdapterDisplayMode(adapter, mode);
    *mode = {640, 480, 60, D3DFMT_X8R8G8B8};
    return D3D_OK;
}

UINT RecordingDirect3D::GetAdapterModeCount(UINT adapter, D3DFORMAT format)
{
    return inner ? inner->GetAdapterModeCount(adapter, format) : (UINT)modes.size();
}

HRESULT RecordingDirect3D::EnumAdapterModes(UINT adapter, D3DFORMAT format, UINT mode, D3DDISPLAYMODE* out)
{
    if (inner)
        return inner->EnumAdapterModes(adapter, format, mode, out);
    if (mode >= modes.size())
        return D3DERR_INVALIDCALL;
    *out = modes[mode];
    return D3D_OK;
}

HRESULT RecordingDirect3D::GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS9* caps)
{
    if (inner)
        return inner->GetDeviceCaps(adapter, type, caps);
    memset(caps, 0, sizeof(*caps));
    caps->MaxVertexBlendMatrixIndex = 0x1FF;
    caps->MaxPrimitiveCount = 0xFFFFF;
    caps->VertexShaderVersion = D3DVS_VERSION(2, 0);
    caps->PixelShaderVersion = D3DPS_VERSION(2, 0);
    return D3D_OK;
}

HRESULT RecordingDirect3D::CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focusWindow, DWORD behaviourFlags,
                                        D3DPRESENT_PARAMETERS* params, IDirect3DDevice9** device)
{
    lastParams = *params;
    lastBehaviour = behaviourFlags;
    lastType = type;
    *device = nullptr;
    IDirect3DDevice9* platformDevice = nullptr;
    if (inner) {
        HRESULT result = inner->CreateDevice(adapter, type, focusWindow, behaviourFlags, params, &platformDevice);
        if (FAILED(result))
            return result;
    } else if (FAILED(createResult)) {
        return createResult;
    }
    lastDevice = new RecordingDevice(platformDevice);
    devices.push_back(lastDevice);
    *device = lastDevice;
    return D3D_OK;
}
