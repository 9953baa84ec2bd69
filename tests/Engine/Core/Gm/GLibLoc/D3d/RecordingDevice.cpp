#include "RecordingDevice.h"

#include <cstring>
#include <sstream>

namespace {

// The names that a failing test prints for the enumerations in the calls.
struct Name {
    DWORD value;
    const char* name;
};

// clang-format off
#define NAMED(value) {value, #value}

const Name kRenderStates[] = {
    NAMED(D3DRS_ZENABLE), NAMED(D3DRS_FILLMODE), NAMED(D3DRS_SHADEMODE), NAMED(D3DRS_ZWRITEENABLE),
    NAMED(D3DRS_ALPHATESTENABLE), NAMED(D3DRS_LASTPIXEL), NAMED(D3DRS_SRCBLEND), NAMED(D3DRS_DESTBLEND),
    NAMED(D3DRS_CULLMODE), NAMED(D3DRS_ZFUNC), NAMED(D3DRS_ALPHAREF), NAMED(D3DRS_ALPHAFUNC),
    NAMED(D3DRS_DITHERENABLE), NAMED(D3DRS_ALPHABLENDENABLE), NAMED(D3DRS_FOGENABLE), NAMED(D3DRS_SPECULARENABLE),
    NAMED(D3DRS_FOGCOLOR), NAMED(D3DRS_FOGTABLEMODE), NAMED(D3DRS_FOGSTART), NAMED(D3DRS_FOGEND),
    NAMED(D3DRS_FOGDENSITY), NAMED(D3DRS_RANGEFOGENABLE), NAMED(D3DRS_STENCILENABLE), NAMED(D3DRS_STENCILFAIL),
    NAMED(D3DRS_STENCILZFAIL), NAMED(D3DRS_STENCILPASS), NAMED(D3DRS_STENCILFUNC), NAMED(D3DRS_STENCILREF),
    NAMED(D3DRS_STENCILMASK), NAMED(D3DRS_STENCILWRITEMASK), NAMED(D3DRS_TEXTUREFACTOR), NAMED(D3DRS_CLIPPING),
    NAMED(D3DRS_LIGHTING), NAMED(D3DRS_AMBIENT), NAMED(D3DRS_FOGVERTEXMODE), NAMED(D3DRS_COLORVERTEX),
    NAMED(D3DRS_LOCALVIEWER), NAMED(D3DRS_NORMALIZENORMALS), NAMED(D3DRS_DIFFUSEMATERIALSOURCE),
    NAMED(D3DRS_SPECULARMATERIALSOURCE), NAMED(D3DRS_AMBIENTMATERIALSOURCE), NAMED(D3DRS_EMISSIVEMATERIALSOURCE),
    NAMED(D3DRS_VERTEXBLEND), NAMED(D3DRS_CLIPPLANEENABLE), NAMED(D3DRS_POINTSIZE),
    NAMED(D3DRS_INDEXEDVERTEXBLENDENABLE), NAMED(D3DRS_COLORWRITEENABLE), NAMED(D3DRS_BLENDOP),
    NAMED(D3DRS_SCISSORTESTENABLE), NAMED(D3DRS_SLOPESCALEDEPTHBIAS), NAMED(D3DRS_TWOSIDEDSTENCILMODE),
    NAMED(D3DRS_BLENDFACTOR), NAMED(D3DRS_DEPTHBIAS), NAMED(D3DRS_SEPARATEALPHABLENDENABLE),
    NAMED(D3DRS_SRCBLENDALPHA), NAMED(D3DRS_DESTBLENDALPHA), NAMED(D3DRS_BLENDOPALPHA),
};

const Name kStageStates[] = {
    NAMED(D3DTSS_COLOROP), NAMED(D3DTSS_COLORARG1), NAMED(D3DTSS_COLORARG2), NAMED(D3DTSS_ALPHAOP),
    NAMED(D3DTSS_ALPHAARG1), NAMED(D3DTSS_ALPHAARG2), NAMED(D3DTSS_BUMPENVMAT00), NAMED(D3DTSS_BUMPENVMAT01),
    NAMED(D3DTSS_BUMPENVMAT10), NAMED(D3DTSS_BUMPENVMAT11), NAMED(D3DTSS_TEXCOORDINDEX),
    NAMED(D3DTSS_BUMPENVLSCALE), NAMED(D3DTSS_BUMPENVLOFFSET), NAMED(D3DTSS_TEXTURETRANSFORMFLAGS),
    NAMED(D3DTSS_COLORARG0), NAMED(D3DTSS_ALPHAARG0), NAMED(D3DTSS_RESULTARG), NAMED(D3DTSS_CONSTANT),
};

const Name kSamplerStates[] = {
    NAMED(D3DSAMP_ADDRESSU), NAMED(D3DSAMP_ADDRESSV), NAMED(D3DSAMP_ADDRESSW), NAMED(D3DSAMP_BORDERCOLOR),
    NAMED(D3DSAMP_MAGFILTER), NAMED(D3DSAMP_MINFILTER), NAMED(D3DSAMP_MIPFILTER), NAMED(D3DSAMP_MIPMAPLODBIAS),
    NAMED(D3DSAMP_MAXMIPLEVEL), NAMED(D3DSAMP_MAXANISOTROPY), NAMED(D3DSAMP_SRGBTEXTURE),
    NAMED(D3DSAMP_ELEMENTINDEX), NAMED(D3DSAMP_DMAPOFFSET),
};

const Name kTransforms[] = {
    NAMED(D3DTS_VIEW), NAMED(D3DTS_PROJECTION), NAMED(D3DTS_TEXTURE0), NAMED(D3DTS_TEXTURE1), NAMED(D3DTS_TEXTURE2),
    NAMED(D3DTS_TEXTURE3), NAMED(D3DTS_TEXTURE4), NAMED(D3DTS_TEXTURE5), NAMED(D3DTS_TEXTURE6),
    NAMED(D3DTS_TEXTURE7), NAMED(D3DTS_WORLD), NAMED(D3DTS_WORLD1), NAMED(D3DTS_WORLD2), NAMED(D3DTS_WORLD3),
};

const Name kPrimitives[] = {
    NAMED(D3DPT_POINTLIST), NAMED(D3DPT_LINELIST), NAMED(D3DPT_LINESTRIP), NAMED(D3DPT_TRIANGLELIST),
    NAMED(D3DPT_TRIANGLESTRIP), NAMED(D3DPT_TRIANGLEFAN),
};

const Name kFormats[] = {
    NAMED(D3DFMT_UNKNOWN), NAMED(D3DFMT_R8G8B8), NAMED(D3DFMT_A8R8G8B8), NAMED(D3DFMT_X8R8G8B8),
    NAMED(D3DFMT_R5G6B5), NAMED(D3DFMT_X1R5G5B5), NAMED(D3DFMT_A1R5G5B5), NAMED(D3DFMT_A4R4G4B4), NAMED(D3DFMT_A8),
    NAMED(D3DFMT_X4R4G4B4), NAMED(D3DFMT_L8), NAMED(D3DFMT_A8L8), NAMED(D3DFMT_A4L4), NAMED(D3DFMT_V8U8),
    NAMED(D3DFMT_L6V5U5), NAMED(D3DFMT_X8L8V8U8), NAMED(D3DFMT_Q8W8V8U8), NAMED(D3DFMT_V16U16),
    NAMED(D3DFMT_D16_LOCKABLE), NAMED(D3DFMT_D32), NAMED(D3DFMT_D15S1), NAMED(D3DFMT_D24S8), NAMED(D3DFMT_D24X8),
    NAMED(D3DFMT_D24X4S4), NAMED(D3DFMT_D16), NAMED(D3DFMT_D32F_LOCKABLE), NAMED(D3DFMT_D24FS8),
    NAMED(D3DFMT_INDEX16), NAMED(D3DFMT_INDEX32), NAMED(D3DFMT_DXT1), NAMED(D3DFMT_DXT2), NAMED(D3DFMT_DXT3),
    NAMED(D3DFMT_DXT4), NAMED(D3DFMT_DXT5),
};

const Name kPools[] = {
    NAMED(D3DPOOL_DEFAULT), NAMED(D3DPOOL_MANAGED), NAMED(D3DPOOL_SYSTEMMEM), NAMED(D3DPOOL_SCRATCH),
};

#undef NAMED

template <size_t N>
std::string Named(DWORD value, const Name (&names)[N])
{
    for (const Name& name : names) {
        if (name.value == value)
            return name.name;
    }
    return std::to_string(value);
}

std::string Text(D3DRENDERSTATETYPE state) { return Named(state, kRenderStates); }
std::string Text(D3DTEXTURESTAGESTATETYPE state) { return Named(state, kStageStates); }
std::string Text(D3DSAMPLERSTATETYPE state) { return Named(state, kSamplerStates); }
std::string Text(D3DTRANSFORMSTATETYPE state) { return Named(state, kTransforms); }
std::string Text(D3DPRIMITIVETYPE type) { return Named(type, kPrimitives); }
std::string Text(D3DFORMAT format) { return Named(format, kFormats); }
std::string Text(D3DPOOL pool) { return Named(pool, kPools); }
// clang-format on

template <typename T>
std::string Text(const T& value)
{
    std::ostringstream out;
    out << value;
    return out.str();
}

template <typename... T>
std::string Args(const T&... values)
{
    std::string text;
    const char* separator = "";
    ((text += separator + Text(values), separator = ", "), ...);
    return text;
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
