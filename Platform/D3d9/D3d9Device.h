// The Direct3D-9-shaped device on an OpenGL 3.3 core context. Internal to the
// layer: callers see IDirect3DDevice9.
//
// Conventions kept from Direct3D: every colour image (back buffer, render
// targets, textures) is stored top-down, so GL row 0 is Direct3D's top row;
// depth runs 0..1; culling, pixel centres and the top-left fill rule follow
// Direct3D. Present turns the image the right way up for the window and
// applies the gamma ramp.
// Internal header of the platform layer: only Platform/ and its tests include it.
#pragma once

#include "Platform/D3d9/D3d9.h"
#include "Platform/D3d9/D3d9Gl.h"
#include "Platform/D3d9/D3d9Glsl.h"
#include "Platform/Win32/WinRefCounted.h"
#include "Platform/D3d9/D3d9Resources.h"
#include "Platform/D3d9/D3d9State.h"

#include <SDL.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

// Where each element of an FVF vertex sits.
struct D3d9VertexLayout {
    DWORD fvf = 0;
    UINT stride = 0;
    GLint positionSize = 0;  // 3 (XYZ, XYZBn) or 4 (XYZRHW, XYZW)
    GLint weightCount = 0;
    UINT weightOffset = 0;
    bool hasIndices = false;
    UINT indicesOffset = 0;
    int normalOffset = -1;
    int pointSizeOffset = -1;
    int diffuseOffset = -1;
    int specularOffset = -1;
    int texCount = 0;
    UINT texOffset[8] = {};
    GLint texSize[8] = {};
};

// The largest primitive count of one draw (D3DCAPS9::MaxPrimitiveCount).
constexpr UINT kD3d9MaxPrimitiveCount = 0xFFFFF;

D3d9VertexLayout D3d9ParseFvf(DWORD fvf);
UINT D3d9VertexCount(D3DPRIMITIVETYPE type, UINT primitiveCount);

// The capabilities every device of this layer has.
void D3d9FillCaps(D3DCAPS9* caps, DWORD maxTextureSide);

class D3d9Device final : public WinRefCounted<IDirect3DDevice9> {
public:
    // Makes a GL context for the window and the device's back buffer. Null
    // (with *result set) when the context or the buffers cannot be made.
    static D3d9Device* Create(SDL_Window* window, const D3DPRESENT_PARAMETERS& params, HRESULT* result);

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

    // Resource bookkeeping (D3d9Resources.cpp).
    void LinkResource(D3d9ResourceLink* resource);
    void UnlinkResource(D3d9ResourceLink* resource);
    void ForgetTexture(GLuint texture);
    void ForgetBuffer(GLuint buffer);
    void ForgetSurface(D3d9Surface* surface);
    // Binds a texture on the unit kept for uploads, out of the stages' way.
    void BindWorkTexture(GLuint texture);

    const D3d9GlCaps& Caps() const { return m_caps; }

    // Called with the window when the device is destroyed (after its GL
    // context), so that whoever lent the window can let it go.
    void SetWindowRelease(void (*release)(SDL_Window*)) { m_releaseWindow = release; }

    // Fault injection for tests (D3d9Testing.h).
    void SimulateLoss(int failingResets);
    void FailCreations(int count, HRESULT result);
    void CapturePresent(uint32_t* pixels, UINT width, UINT height);

private:
    D3d9Device(SDL_Window* window, SDL_GLContext context);
    ~D3d9Device();

    bool InitGl();
    bool CreateSwapChain(const D3DPRESENT_PARAMETERS& params);
    void ReleaseSwapChain();
    void ResetState();
    void ReleaseBindings();
    HRESULT TakeInjectedFailure();

    // Render targets and raster state (D3d9DeviceRaster.cpp).
    void BindTargets();
    void UpdatePositionFix();
    void ApplyRasterState();
    void ApplyBlend();
    void ApplyDepth();
    void ApplyStencil();
    void ApplyCull();
    void ApplyDepthBias();
    void ApplyViewport(bool pretransformed);
    void InvalidateRasterCache();
    void MarkRenderStateGroup(D3DRENDERSTATETYPE state);

    // Draw path (D3d9DeviceDraw.cpp).
    bool PrepareDraw(GLuint vertexBuffer, UINT offset, UINT stride);
    void BindVertexArrays(GLuint vertexBuffer, UINT offset, UINT stride);
    void BindTexturesAndSamplers();
    void ApplySampler(int stage);

    // Present (D3d9DevicePresent.cpp).
    bool InitPresentProgram();
    void UploadGammaRamp();
    void PresentToWindow();
    void ApplyWindowMode(bool fullScreen);
    void StartPresentPacing();
    void PaceToRefresh();

    SDL_Window* m_window;
    SDL_GLContext m_context;
    void (*m_releaseWindow)(SDL_Window*) = nullptr;
    D3d9GlCaps m_caps = {};
    D3DPRESENT_PARAMETERS m_params = {};
    std::unique_ptr<D3d9State> m_state;
    D3d9ResourceLink* m_resources = nullptr;

    D3d9Surface* m_backBuffer = nullptr;
    D3d9Surface* m_autoDepthStencil = nullptr;
    D3d9Surface* m_renderTarget = nullptr;
    D3d9Surface* m_depthStencil = nullptr;
    D3d9Texture* m_textures[kD3d9StageCount] = {};
    D3d9VertexBuffer* m_stream = nullptr;
    UINT m_streamOffset = 0;
    UINT m_streamStride = 0;
    D3d9IndexBuffer* m_indices = nullptr;
    D3d9VertexLayout m_layout;
    bool m_inScene = false;

    // GL objects.
    GLuint m_drawFbo = 0;
    GLuint m_readFbo = 0;
    GLuint m_blitFbo = 0;
    GLuint m_vao = 0;
    GLuint m_samplers[kD3d9StageCount] = {};
    GLuint m_upBuffer = 0;
    GLsizeiptr m_upBufferSize = 0;
    GLuint m_presentProgram = 0;
    GLuint m_presentVao = 0;
    GLuint m_gammaTexture = 0;

    // What GL holds now, so that unchanged state is not sent again.
    struct GlCache {
        bool targetsDirty = true;
        bool vaoBound = false;
        uint32_t rasterDirty = ~0u;  // D3d9RasterGroup bits
        uint32_t samplerDirty = 0xFF;
        GLuint boundTexture[kD3d9StageCount + 1] = {};  // + the work unit
        GLuint elementBuffer = 0;
        int viewportMode = -1;  // 0 transformed, 1 pre-transformed
        // Vertex arrays as last pointed.
        GLuint arrayBuffer = 0;
        UINT arrayOffset = ~0u;
        UINT arrayStride = 0;
        DWORD arrayFvf = ~0u;
        DWORD arraySets[kD3d9StageCount] = {};
        UINT depthBits = 24;
    } m_gl;

    // The window's place before it went full screen.
    SDL_Rect m_windowedRect = {};

    // Serial of the shared gamma ramp last uploaded (WinGetGammaRamp).
    uint32_t m_gammaSerial = 0;

    // The presentation interval's pace: the time between presents (zero when
    // immediate) and when the last one was due.
    std::chrono::steady_clock::duration m_presentPeriod{};
    std::chrono::steady_clock::time_point m_lastPresent{};

    // Test switches.
    bool m_lost = false;
    int m_failingResets = 0;
    int m_failingCreations = 0;
    HRESULT m_creationFailure = D3D_OK;
    uint32_t* m_capturePixels = nullptr;
    UINT m_captureWidth = 0;
    UINT m_captureHeight = 0;
};
