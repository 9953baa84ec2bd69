// The Direct3D-9-shaped device interfaces that the engine's graphics layer is
// written against, drawn with OpenGL underneath. Objects are reference counted
// like COM objects (AddRef/Release; the last Release frees). Every method is
// pure virtual so that callers can be tested through a decorator that counts or
// records the calls.
// Public header of the platform layer.
#pragma once

#include "Platform/D3d9/D3d9Types.h"

class IDirect3DDevice9;

// Reference counting shared by every object of the layer.
class ID3d9Unknown {
public:
    virtual DWORD AddRef() = 0;
    virtual DWORD Release() = 0;

protected:
    virtual ~ID3d9Unknown() = default;
};

class IDirect3DResource9 : public ID3d9Unknown {
public:
    virtual HRESULT GetDevice(IDirect3DDevice9** device) = 0;
    virtual D3DRESOURCETYPE GetType() = 0;
};

class IDirect3DSurface9 : public IDirect3DResource9 {
public:
    virtual HRESULT GetDesc(D3DSURFACE_DESC* desc) = 0;
    // rect null = the whole surface. Rows in memory are top-down.
    virtual HRESULT LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) = 0;
    virtual HRESULT UnlockRect() = 0;
};

class IDirect3DBaseTexture9 : public IDirect3DResource9 {
public:
    virtual DWORD GetLevelCount() = 0;
};

class IDirect3DTexture9 : public IDirect3DBaseTexture9 {
public:
    virtual HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) = 0;
    // The returned surface holds a reference that the caller releases.
    virtual HRESULT GetSurfaceLevel(UINT level, IDirect3DSurface9** surface) = 0;
    virtual HRESULT LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) = 0;
    virtual HRESULT UnlockRect(UINT level) = 0;
    virtual HRESULT AddDirtyRect(const RECT* rect) = 0;
};

class IDirect3DVertexBuffer9 : public IDirect3DResource9 {
public:
    // size 0 locks from offset to the end.
    virtual HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags) = 0;
    virtual HRESULT Unlock() = 0;
};

class IDirect3DIndexBuffer9 : public IDirect3DResource9 {
public:
    virtual HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags) = 0;
    virtual HRESULT Unlock() = 0;
};

// Only "no pixel shader" is supported; the type exists for SetPixelShader(nullptr).
class IDirect3DPixelShader9;

class IDirect3DDevice9 : public ID3d9Unknown {
public:
    // Device life.
    virtual HRESULT TestCooperativeLevel() = 0;
    virtual HRESULT GetDeviceCaps(D3DCAPS9* caps) = 0;
    virtual HRESULT Reset(D3DPRESENT_PARAMETERS* params) = 0;
    // Rectangles, override window and dirty region are not supported; pass nulls.
    virtual HRESULT Present(const RECT* source, const RECT* dest, HWND destWindow, const void* dirtyRegion) = 0;
    virtual HRESULT GetBackBuffer(UINT swapChain, UINT index, D3DBACKBUFFER_TYPE type,
                                  IDirect3DSurface9** surface) = 0;
    virtual void SetGammaRamp(UINT swapChain, DWORD flags, const D3DGAMMARAMP* ramp) = 0;
    virtual void GetGammaRamp(UINT swapChain, D3DGAMMARAMP* ramp) = 0;

    // Resources. sharedHandle must be null.
    virtual HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                                  D3DPOOL pool, IDirect3DTexture9** texture, void** sharedHandle) = 0;
    virtual HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                       IDirect3DVertexBuffer9** buffer, void** sharedHandle) = 0;
    virtual HRESULT CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                      IDirect3DIndexBuffer9** buffer, void** sharedHandle) = 0;
    virtual HRESULT CreateRenderTarget(UINT width, UINT height, D3DFORMAT format,
                                       D3DMULTISAMPLE_TYPE multiSample, DWORD multiSampleQuality,
                                       BOOL lockable, IDirect3DSurface9** surface, void** sharedHandle) = 0;
    virtual HRESULT CreateDepthStencilSurface(UINT width, UINT height, D3DFORMAT format,
                                              D3DMULTISAMPLE_TYPE multiSample, DWORD multiSampleQuality,
                                              BOOL discard, IDirect3DSurface9** surface, void** sharedHandle) = 0;
    virtual HRESULT CreateOffscreenPlainSurface(UINT width, UINT height, D3DFORMAT format, D3DPOOL pool,
                                                IDirect3DSurface9** surface, void** sharedHandle) = 0;

    // Surface copies.
    virtual HRESULT UpdateSurface(IDirect3DSurface9* source, const RECT* sourceRect,
                                  IDirect3DSurface9* dest, const POINT* destPoint) = 0;
    virtual HRESULT GetRenderTargetData(IDirect3DSurface9* renderTarget, IDirect3DSurface9* dest) = 0;
    virtual HRESULT StretchRect(IDirect3DSurface9* source, const RECT* sourceRect, IDirect3DSurface9* dest,
                                const RECT* destRect, D3DTEXTUREFILTERTYPE filter) = 0;

    // Targets.
    virtual HRESULT SetRenderTarget(DWORD index, IDirect3DSurface9* surface) = 0;
    virtual HRESULT GetRenderTarget(DWORD index, IDirect3DSurface9** surface) = 0;
    virtual HRESULT SetDepthStencilSurface(IDirect3DSurface9* surface) = 0;
    virtual HRESULT GetDepthStencilSurface(IDirect3DSurface9** surface) = 0;

    // Frame.
    virtual HRESULT BeginScene() = 0;
    virtual HRESULT EndScene() = 0;
    virtual HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                          DWORD stencil) = 0;

    // State.
    virtual HRESULT SetViewport(const D3DVIEWPORT9* viewport) = 0;
    virtual HRESULT GetViewport(D3DVIEWPORT9* viewport) = 0;
    virtual HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) = 0;
    virtual HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) = 0;
    virtual HRESULT SetMaterial(const D3DMATERIAL9* material) = 0;
    virtual HRESULT GetMaterial(D3DMATERIAL9* material) = 0;
    virtual HRESULT SetLight(DWORD index, const D3DLIGHT9* light) = 0;
    virtual HRESULT GetLight(DWORD index, D3DLIGHT9* light) = 0;
    virtual HRESULT LightEnable(DWORD index, BOOL enable) = 0;
    virtual HRESULT GetLightEnable(DWORD index, BOOL* enable) = 0;
    virtual HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) = 0;
    virtual HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) = 0;
    virtual HRESULT SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) = 0;
    virtual HRESULT GetTexture(DWORD stage, IDirect3DBaseTexture9** texture) = 0;
    virtual HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) = 0;
    virtual HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) = 0;
    virtual HRESULT SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) = 0;
    virtual HRESULT GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) = 0;
    virtual HRESULT SetPixelShader(IDirect3DPixelShader9* shader) = 0;

    // Geometry.
    virtual HRESULT SetFVF(DWORD fvf) = 0;
    virtual HRESULT GetFVF(DWORD* fvf) = 0;
    virtual HRESULT SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offset, UINT stride) = 0;
    virtual HRESULT SetIndices(IDirect3DIndexBuffer9* buffer) = 0;
    virtual HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) = 0;
    virtual HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT baseVertexIndex, UINT minIndex,
                                         UINT numVertices, UINT startIndex, UINT primitiveCount) = 0;
    // Draws from caller memory; leaves stream 0 unset afterwards, as Direct3D does.
    virtual HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertices,
                                    UINT stride) = 0;
};

class IDirect3D9 : public ID3d9Unknown {
public:
    virtual UINT GetAdapterCount() = 0;
    virtual HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) = 0;
    virtual UINT GetAdapterModeCount(UINT adapter, D3DFORMAT format) = 0;
    virtual HRESULT EnumAdapterModes(UINT adapter, D3DFORMAT format, UINT mode, D3DDISPLAYMODE* out) = 0;
    virtual HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS9* caps) = 0;
    // The focus window (or params->hDeviceWindow) must be a window of the
    // Win32 layer; the device draws into it.
    virtual HRESULT CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focusWindow, DWORD behaviourFlags,
                                 D3DPRESENT_PARAMETERS* params, IDirect3DDevice9** device) = 0;
};

// Returns null when sdkVersion is not D3D_SDK_VERSION or video cannot start.
IDirect3D9* Direct3DCreate9(UINT sdkVersion);
