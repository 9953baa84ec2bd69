// A recording decorator of the Direct3D 9 interfaces: every device call is
// logged as text, with the names of states, primitive types, formats and pools
// ("SetRenderState(D3DRS_ZENABLE, 1)"), and counted, then handed to the
// decorated object, or answered D3D_OK when there is none. Any method can be
// made to answer a chosen result instead. RecordingDirect3D hands out
// recording devices, over the platform's own devices when it decorates the
// platform's IDirect3D9.
#pragma once

#include "Platform/D3d9/D3d9.h"

#include <map>
#include <string>
#include <vector>

// A surface with nothing behind it; only its reference count matters. Heap
// surfaces delete themselves with their last reference.
class FakeSurface : public IDirect3DSurface9 {
public:
    explicit FakeSurface(bool heap = false) : heap(heap) { live++; }
    ~FakeSurface() override { live--; }
    DWORD AddRef() override { return ++refs; }
    DWORD Release() override
    {
        int left = --refs;
        if (left == 0 && heap)
            delete this;
        return left;
    }
    HRESULT GetDevice(IDirect3DDevice9**) override { return D3DERR_INVALIDCALL; }
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_SURFACE; }
    HRESULT GetDesc(D3DSURFACE_DESC*) override { return D3DERR_INVALIDCALL; }
    HRESULT LockRect(D3DLOCKED_RECT*, const RECT*, DWORD) override { return D3DERR_INVALIDCALL; }
    HRESULT UnlockRect() override { return D3DERR_INVALIDCALL; }

    int refs = 1;
    bool heap;
    static int live; // surfaces in existence
};

class RecordingDevice : public IDirect3DDevice9 {
public:
    // inner null: a stand-alone fake whose calls succeed.
    explicit RecordingDevice(IDirect3DDevice9* inner) : inner(inner) {}
    ~RecordingDevice() override;

    // The calls so far, and how many were made of one method.
    std::vector<std::string> calls;
    int Count(const std::string& method) const;
    // Calls whose text starts with prefix, e.g. "SetRenderState(D3DRS_CULLMODE,".
    std::vector<std::string> Matching(const std::string& prefix) const;
    void ClearCalls() { calls.clear(); }

    // Answers for a method instead of the decorated device (until erased).
    std::map<std::string, HRESULT> results;

    IDirect3DDevice9* inner;
    int refs = 1;
    // The stand-alone fake's depth-stencil binding and render target.
    IDirect3DSurface9* depthStencil = nullptr;
    FakeSurface renderTarget;

    DWORD AddRef() override;
    DWORD Release() override;
    HRESULT TestCooperativeLevel() override;
    HRESULT GetDeviceCaps(D3DCAPS9* caps) override;
    HRESULT Reset(D3DPRESENT_PARAMETERS* params) override;
    HRESULT Present(const RECT* source, const RECT* dest, HWND destWindow, const void* dirtyRegion) override;
    HRESULT GetBackBuffer(UINT swapChain, UINT index, D3DBACKBUFFER_TYPE type, IDirect3DSurface9** surface) override;
    void SetGammaRamp(UINT swapChain, DWORD flags, const D3DGAMMARAMP* ramp) override;
    void GetGammaRamp(UINT swapChain, D3DGAMMARAMP* ramp) override;
    HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                          IDirect3DTexture9** texture, void** sharedHandle) override;
    HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool, IDirect3DVertexBuffer9** buffer,
                               void** sharedHandle) override;
    HRESULT CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                              IDirect3DIndexBuffer9** buffer, void** sharedHandle) override;
    HRESULT CreateRenderTarget(UINT width, UINT height, D3DFORMAT format, D3DMULTISAMPLE_TYPE multiSample,
                               DWORD multiSampleQuality, BOOL lockable, IDirect3DSurface9** surface,
                               void** sharedHandle) override;
    HRESULT CreateDepthStencilSurface(UINT width, UINT height, D3DFORMAT format, D3DMULTISAMPLE_TYPE multiSample,
                                      DWORD multiSampleQuality, BOOL discard, IDirect3DSurface9** surface,
                                      void** sharedHandle) override;
    HRESULT CreateOffscreenPlainSurface(UINT width, UINT height, D3DFORMAT format, D3DPOOL pool,
                                        IDirect3DSurface9** surface, void** sharedHandle) override;
    HRESULT UpdateSurface(IDirect3DSurface9* source, const RECT* sourceRect, IDirect3DSurface9* dest,
                          const POINT* destPoint) override;
    HRESULT GetRenderTargetData(IDirect3DSurface9* renderTarget, IDirect3DSurface9* dest) override;
    HRESULT StretchRect(IDirect3DSurface9* source, const RECT* sourceRect, IDirect3DSurface9* dest,
                        const RECT* destRect, D3DTEXTUREFILTERTYPE filter) override;
    HRESULT SetRenderTarget(DWORD index, IDirect3DSurface9* surface) override;
    HRESULT GetRenderTarget(DWORD index, IDirect3DSurface9** surface) override;
    HRESULT SetDepthStencilSurface(IDirect3DSurface9* surface) override;
    HRESULT GetDepthStencilSurface(IDirect3DSurface9** surface) override;
    HRESULT BeginScene() override;
    HRESULT EndScene() override;
    HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil) override;
    HRESULT SetViewport(const D3DVIEWPORT9* viewport) override;
    HRESULT GetViewport(D3DVIEWPORT9* viewport) override;
    HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) override;
    HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) override;
    HRESULT SetMaterial(const D3DMATERIAL9* material) override;
    HRESULT GetMaterial(D3DMATERIAL9* material) override;
    HRESULT SetLight(DWORD index, const D3DLIGHT9* light) override;
    HRESULT GetLight(DWORD index, D3DLIGHT9* light) override;
    HRESULT LightEnable(DWORD index, BOOL enable) override;
    HRESULT GetLightEnable(DWORD index, BOOL* enable) override;
    HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
    HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) override;
    HRESULT SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) override;
    HRESULT GetTexture(DWORD stage, IDirect3DBaseTexture9** texture) override;
    HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) override;
    HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) override;
    HRESULT SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) override;
    HRESULT GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) override;
    HRESULT SetPixelShader(IDirect3DPixelShader9* shader) override;
    HRESULT SetFVF(DWORD fvf) override;
    HRESULT GetFVF(DWORD* fvf) override;
    HRESULT SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offset, UINT stride) override;
    HRESULT SetIndices(IDirect3DIndexBuffer9* buffer) override;
    HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) override;
    HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT baseVertexIndex, UINT minIndex, UINT numVertices,
                                 UINT startIndex, UINT primitiveCount) override;
    HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertices, UINT stride) override;

private:
    // Logs the call; true with *answer set when a chosen result replaces it.
    bool Log(const char* method, const std::string& arguments, HRESULT* answer);
};

class RecordingDirect3D : public IDirect3D9 {
public:
    // inner null: a stand-alone adapter with the given modes and a 640 x 480
    // desktop in X8R8G8B8.
    explicit RecordingDirect3D(IDirect3D9* inner) : inner(inner) {}
    ~RecordingDirect3D() override;

    IDirect3D9* inner;
    int refs = 1;
    std::vector<D3DDISPLAYMODE> modes;
    HRESULT createResult = D3D_OK;  // stand-alone CreateDevice's answer
    RecordingDevice* lastDevice = nullptr;
    std::vector<RecordingDevice*> devices; // every device handed out, kept for reading
    D3DPRESENT_PARAMETERS lastParams = {};
    DWORD lastBehaviour = 0;
    D3DDEVTYPE lastType = D3DDEVTYPE_HAL;

    DWORD AddRef() override { return ++refs; }
    DWORD Release() override { return --refs; }
    UINT GetAdapterCount() override { return 1; }
    HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) override;
    UINT GetAdapterModeCount(UINT adapter, D3DFORMAT format) override;
    HRESULT EnumAdapterModes(UINT adapter, D3DFORMAT format, UINT mode, D3DDISPLAYMODE* out) override;
    HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS9* caps) override;
    HRESULT CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focusWindow, DWORD behaviourFlags,
                         D3DPRESENT_PARAMETERS* params, IDirect3DDevice9** device) override;
};
