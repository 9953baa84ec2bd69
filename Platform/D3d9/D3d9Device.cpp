// Device life, resource creation and the state setters. The raster state, the
// draw path and Present live in D3d9DeviceRaster.cpp, D3d9DeviceDraw.cpp and
// D3d9DevicePresent.cpp.
#include "Platform/D3d9/D3d9Device.h"

#include "Platform/D3d9/D3d9Testing.h"
#include "Platform/D3d9/FixedFunction.h"
#include "Platform/Win32/WinSdl.h"

#include <cstring>
#include <malloc.h>

// Test switches that act on the next device creation.
static bool s_forceNoClipControl = false;
static bool s_forceNoS3tc = false;

void D3d9ForceGlFallbacks(bool noClipControl, bool noS3tc)
{
    s_forceNoClipControl = noClipControl;
    s_forceNoS3tc = noS3tc;
}

// ---------------------------------------------------------------------------
// Creation and destruction.

D3d9Device::D3d9Device(SDL_Window* window, SDL_GLContext context)
    : m_window(window), m_context(context), m_state(new D3d9State())
{
}

D3d9Device* D3d9Device::Create(SDL_Window* window, const D3DPRESENT_PARAMETERS& params, HRESULT* result)
{
    *result = D3DERR_NOTAVAILABLE;
    if (!window)
        return nullptr;
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GLContext context = SDL_GL_CreateContext(window);
    if (!context) {
        SDL_Log("Direct3D device: no OpenGL 3.3 context: %s", SDL_GetError());
        return nullptr;
    }
    D3d9Device* device = new D3d9Device(window, context);
    if (!device->InitGl() || !device->CreateSwapChain(params)) {
        device->Release();
        return nullptr;
    }
    device->ResetState();
    device->ApplyWindowMode(!params.Windowed);
    *result = D3D_OK;
    return device;
}

// Mesa's software rasteriser allocates and frees large blocks at state
// changes. With the C library's default policy each free hands the pages back
// to the system and the next allocation faults them in again, which measured
// up to twenty times the cost of the draws themselves. Where that rasteriser
// draws (headless runs, machines without a GPU driver), the process keeps its
// freed memory for reuse instead; other drivers are left alone.
static void KeepFreedMemoryForSoftwareGl()
{
    static bool kept = false;
    const char* renderer = (const char*)glGetString(GL_RENDERER);
    if (kept || !renderer || (!strstr(renderer, "llvmpipe") && !strstr(renderer, "softpipe")))
        return;
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    mallopt(M_TRIM_THRESHOLD, 512 << 20);
    mallopt(M_TOP_PAD, 64 << 20);
    kept = true;
}

bool D3d9Device::InitGl()
{
    int major = 0, minor = 0;
    glGetIntegerv(GL_MAJOR_VERSION, &major);
    glGetIntegerv(GL_MINOR_VERSION, &minor);
    if (major * 10 + minor < 33)
        return false;

    bool clipControl = (major * 10 + minor >= 45) || SDL_GL_ExtensionSupported("GL_ARB_clip_control");
    m_caps.clipControl = clipControl && !s_forceNoClipControl;
    m_caps.s3tc = SDL_GL_ExtensionSupported("GL_EXT_texture_compression_s3tc") && !s_forceNoS3tc;
    m_caps.mirrorClamp = (major * 10 + minor >= 44) || SDL_GL_ExtensionSupported("GL_ARB_texture_mirror_clamp_to_edge");
    GLint subpixelBits = 4;
    glGetIntegerv(GL_SUBPIXEL_BITS, &subpixelBits);
    if (subpixelBits < 1 || subpixelBits > 16)
        subpixelBits = 4;
    m_caps.tieEpsilon = 1.0f / (float)(1 << subpixelBits);
    KeepFreedMemoryForSoftwareGl();

    if (m_caps.clipControl) {
        // Resolved at run time: core headers of GL 3.3 systems may lack it.
        typedef void(APIENTRYP ClipControlFn)(GLenum, GLenum);
        ClipControlFn clipControlFn = (ClipControlFn)SDL_GL_GetProcAddress("glClipControl");
        if (clipControlFn)
            clipControlFn(GL_UPPER_LEFT, GL_ZERO_TO_ONE);
        else
            m_caps.clipControl = false;
    }

    glGenFramebuffers(1, &m_drawFbo);
    glGenFramebuffers(1, &m_readFbo);
    glGenFramebuffers(1, &m_blitFbo);
    glGenVertexArrays(1, &m_vao);
    glGenSamplers(kD3d9StageCount, m_samplers);
    glGenBuffers(1, &m_upBuffer);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, m_drawFbo);
    glBindVertexArray(m_vao);
    glDisable(GL_DITHER);
    glEnable(GL_SCISSOR_TEST);
    // Flat shading takes the first vertex's colours, as in Direct3D.
    glProvokingVertex(GL_FIRST_VERTEX_CONVENTION);
    for (int s = 0; s < kD3d9StageCount; ++s)
        glBindSampler((GLuint)s, m_samplers[s]);
    return InitPresentProgram();
}

bool D3d9Device::CreateSwapChain(const D3DPRESENT_PARAMETERS& params)
{
    D3DPRESENT_PARAMETERS p = params;
    if (p.BackBufferWidth == 0 || p.BackBufferHeight == 0) {
        int w = 0, h = 0;
        SDL_GL_GetDrawableSize(m_window, &w, &h);
        p.BackBufferWidth = w > 0 ? (UINT)w : 1;
        p.BackBufferHeight = h > 0 ? (UINT)h : 1;
    }
    if (p.BackBufferFormat == D3DFMT_UNKNOWN)
        p.BackBufferFormat = D3DFMT_X8R8G8B8;
    if (p.BackBufferCount == 0)
        p.BackBufferCount = 1;
    const D3d9FormatInfo* colour = D3d9FindFormat(p.BackBufferFormat, m_caps.s3tc);
    if (!colour || colour->depth || colour->blockBytes || colour->conversion != D3d9Conversion::kNone)
        return false;
    const D3d9FormatInfo* depth = nullptr;
    if (p.EnableAutoDepthStencil) {
        depth = D3d9FindFormat(p.AutoDepthStencilFormat, m_caps.s3tc);
        if (!depth || !depth->depth)
            return false;
    }

    ReleaseSwapChain();
    m_params = p;
    m_backBuffer = new D3d9Surface(this, D3d9SurfaceKind::kColourBuffer, colour, p.BackBufferWidth,
                                   p.BackBufferHeight, D3DPOOL_DEFAULT, D3DUSAGE_RENDERTARGET);
    if (depth)
        m_autoDepthStencil = new D3d9Surface(this, D3d9SurfaceKind::kDepthBuffer, depth, p.BackBufferWidth,
                                             p.BackBufferHeight, D3DPOOL_DEFAULT, D3DUSAGE_DEPTHSTENCIL);
    StartPresentPacing();
    return m_backBuffer->Created() && (!m_autoDepthStencil || m_autoDepthStencil->Created());
}

void D3d9Device::ReleaseSwapChain()
{
    if (m_backBuffer)
        m_backBuffer->Release();
    if (m_autoDepthStencil)
        m_autoDepthStencil->Release();
    m_backBuffer = nullptr;
    m_autoDepthStencil = nullptr;
}

// Direct3D's state after creation and after Reset.
void D3d9Device::ResetState()
{
    ReleaseBindings();
    D3d9StateSetDefaults(m_state.get(), m_backBuffer->Width(), m_backBuffer->Height());
    m_state->renderState[D3DRS_ZENABLE] = m_autoDepthStencil ? D3DZB_TRUE : D3DZB_FALSE;
    m_renderTarget = m_backBuffer;
    m_renderTarget->AddRef();
    m_depthStencil = m_autoDepthStencil;
    if (m_depthStencil)
        m_depthStencil->AddRef();
    m_layout = D3d9ParseFvf(0);
    m_inScene = false;
    InvalidateRasterCache();
    m_gl.targetsDirty = true;
    m_gl.samplerDirty = 0xFF;
    UpdatePositionFix();
}

template <class T>
static void ReleaseAndClear(T*& object)
{
    if (object)
        object->Release();
    object = nullptr;
}

void D3d9Device::ReleaseBindings()
{
    for (D3d9Texture*& texture : m_textures)
        ReleaseAndClear(texture);
    ReleaseAndClear(m_stream);
    ReleaseAndClear(m_indices);
    ReleaseAndClear(m_renderTarget);
    ReleaseAndClear(m_depthStencil);
}

D3d9Device::~D3d9Device()
{
    SDL_GL_MakeCurrent(m_window, m_context);
    ReleaseBindings();
    ReleaseSwapChain();
    FfpReleaseContext();
    // Whatever the caller still holds outlives the device as an empty shell.
    while (m_resources) {
        D3d9ResourceLink* resource = m_resources;
        UnlinkResource(resource);
        resource->DetachFromDevice();
    }
    glDeleteFramebuffers(1, &m_drawFbo);
    glDeleteFramebuffers(1, &m_readFbo);
    glDeleteFramebuffers(1, &m_blitFbo);
    glDeleteVertexArrays(1, &m_vao);
    glDeleteVertexArrays(1, &m_presentVao);
    glDeleteSamplers(kD3d9StageCount, m_samplers);
    glDeleteBuffers(1, &m_upBuffer);
    glDeleteProgram(m_presentProgram);
    glDeleteTextures(1, &m_gammaTexture);
    ApplyWindowMode(false);
    SDL_GL_MakeCurrent(m_window, nullptr);
    SDL_GL_DeleteContext(m_context);
    if (m_releaseWindow)
        m_releaseWindow(m_window);
}

// ---------------------------------------------------------------------------
// Resource bookkeeping.

void D3d9Device::LinkResource(D3d9ResourceLink* resource)
{
    resource->m_prev = nullptr;
    resource->m_next = m_resources;
    if (m_resources)
        m_resources->m_prev = resource;
    m_resources = resource;
}

void D3d9Device::UnlinkResource(D3d9ResourceLink* resource)
{
    if (resource->m_prev)
        resource->m_prev->m_next = resource->m_next;
    else if (m_resources == resource)
        m_resources = resource->m_next;
    if (resource->m_next)
        resource->m_next->m_prev = resource->m_prev;
    resource->m_prev = resource->m_next = nullptr;
}

// GL reuses names: a deleted texture or buffer must not look bound.
void D3d9Device::ForgetTexture(GLuint texture)
{
    for (GLuint& bound : m_gl.boundTexture)
        if (bound == texture)
            bound = 0;
}

void D3d9Device::ForgetBuffer(GLuint buffer)
{
    if (m_gl.arrayBuffer == buffer)
        m_gl.arrayBuffer = 0;
    if (m_gl.elementBuffer == buffer)
        m_gl.elementBuffer = 0;
}

void D3d9Device::ForgetSurface(D3d9Surface*)
{
    // Bound surfaces are referenced by the device, so none can go away while
    // attached; the framebuffer is re-attached at the next draw anyway.
    m_gl.targetsDirty = true;
}

void D3d9Device::BindWorkTexture(GLuint texture)
{
    glActiveTexture(GL_TEXTURE0 + kD3d9StageCount);
    if (m_gl.boundTexture[kD3d9StageCount] != texture) {
        glBindTexture(GL_TEXTURE_2D, texture);
        m_gl.boundTexture[kD3d9StageCount] = texture;
    }
}

// ---------------------------------------------------------------------------
// Device life.

HRESULT D3d9Device::TestCooperativeLevel()
{
    if (!m_lost)
        return D3D_OK;
    return m_failingResets > 0 ? D3DERR_DEVICELOST : D3DERR_DEVICENOTRESET;
}

void D3d9FillCaps(D3DCAPS9* caps, DWORD maxTextureSide)
{
    *caps = {};
    caps->DeviceType = D3DDEVTYPE_HAL;
    caps->AdapterOrdinal = 0;
    caps->MaxTextureWidth = maxTextureSide;
    caps->MaxTextureHeight = maxTextureSide;
    caps->MaxSimultaneousTextures = kD3d9StageCount;
    caps->MaxTextureBlendStages = kD3d9StageCount;
    caps->MaxActiveLights = kD3d9LightCount;
    caps->MaxVertexBlendMatrices = 4;
    caps->MaxVertexBlendMatrixIndex = 255;
    caps->MaxPrimitiveCount = kD3d9MaxPrimitiveCount;
    caps->MaxVertexIndex = 0xFFFFFF;
    caps->MaxStreams = 1;
    caps->VertexShaderVersion = D3DVS_VERSION(0, 0);
    caps->PixelShaderVersion = D3DPS_VERSION(0, 0);
}

HRESULT D3d9Device::GetDeviceCaps(D3DCAPS9* caps)
{
    if (!caps)
        return D3DERR_INVALIDCALL;
    GLint maxTexture = 2048;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxTexture);
    D3d9FillCaps(caps, (DWORD)maxTexture);
    return D3D_OK;
}

HRESULT D3d9Device::Reset(D3DPRESENT_PARAMETERS* params)
{
    if (!params)
        return D3DERR_INVALIDCALL;
    if (m_lost && m_failingResets > 0) {
        --m_failingResets;
        return D3DERR_DEVICELOST;
    }
    SDL_GL_MakeCurrent(m_window, m_context);
    // Refused parameters leave the device as it was; the bound targets keep
    // their references until the new swap chain replaces them.
    if (!CreateSwapChain(*params))
        return D3DERR_INVALIDCALL;
    ResetState();
    ApplyWindowMode(!params->Windowed);
    m_lost = false;
    return D3D_OK;
}

HRESULT D3d9Device::GetBackBuffer(UINT swapChain, UINT index, D3DBACKBUFFER_TYPE, IDirect3DSurface9** surface)
{
    if (!surface || swapChain != 0 || index != 0)
        return D3DERR_INVALIDCALL;
    m_backBuffer->AddRef();
    *surface = m_backBuffer;
    return D3D_OK;
}

// One ramp for the device and for GDI's SetDeviceGammaRamp, which windowed
// games use instead; Present applies whichever was set last.
void D3d9Device::SetGammaRamp(UINT, DWORD, const D3DGAMMARAMP* ramp)
{
    if (!ramp)
        return;
    WinGammaRamp shared;
    static_assert(sizeof shared == sizeof *ramp, "both ramps are 3 x 256 words");
    std::memcpy(&shared, ramp, sizeof shared);
    WinStoreGammaRamp(shared);
}

void D3d9Device::GetGammaRamp(UINT, D3DGAMMARAMP* ramp)
{
    if (!ramp)
        return;
    WinGammaRamp shared;
    WinGetGammaRamp(&shared);
    std::memcpy(ramp, &shared, sizeof shared);
}

HRESULT D3d9Device::BeginScene()
{
    if (m_inScene)
        return D3DERR_INVALIDCALL;
    m_inScene = true;
    return D3D_OK;
}

HRESULT D3d9Device::EndScene()
{
    if (!m_inScene)
        return D3DERR_INVALIDCALL;
    m_inScene = false;
    return D3D_OK;
}

// ---------------------------------------------------------------------------
// Test switches.

void D3d9Device::SimulateLoss(int failingResets)
{
    m_lost = true;
    m_failingResets = failingResets;
}

void D3d9Device::FailCreations(int count, HRESULT result)
{
    m_failingCreations = count;
    m_creationFailure = result;
}

void D3d9Device::CapturePresent(uint32_t* pixels, UINT width, UINT height)
{
    m_capturePixels = pixels;
    m_captureWidth = width;
    m_captureHeight = height;
}

HRESULT D3d9Device::TakeInjectedFailure()
{
    if (m_failingCreations <= 0)
        return D3D_OK;
    --m_failingCreations;
    return m_creationFailure;
}

// A new resource whose GL storage could not be had is dropped and reported
// the way Direct3D reports a full video memory.
template <class Resource, class Interface>
static HRESULT HandOut(Resource* created, Interface** out)
{
    if (!created->Created()) {
        created->Release();
        return D3DERR_OUTOFVIDEOMEMORY;
    }
    *out = created;
    return D3D_OK;
}

static D3d9Device* OurDevice(IDirect3DDevice9* device)
{
    return dynamic_cast<D3d9Device*>(device);
}

void D3d9SimulateDeviceLost(IDirect3DDevice9* device, int failingResets)
{
    if (D3d9Device* ours = OurDevice(device))
        ours->SimulateLoss(failingResets);
}

void D3d9FailNextCreations(IDirect3DDevice9* device, int count, HRESULT result)
{
    if (D3d9Device* ours = OurDevice(device))
        ours->FailCreations(count, result);
}

void D3d9CaptureNextPresent(IDirect3DDevice9* device, uint32_t* pixels, UINT width, UINT height)
{
    if (D3d9Device* ours = OurDevice(device))
        ours->CapturePresent(pixels, width, height);
}

// ---------------------------------------------------------------------------
// Resource creation.

HRESULT D3d9Device::CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                  IDirect3DTexture9** texture, void** sharedHandle)
{
    if (!texture || sharedHandle || width == 0 || height == 0)
        return D3DERR_INVALIDCALL;
    *texture = nullptr;
    const D3d9FormatInfo* info = D3d9FindFormat(format, m_caps.s3tc);
    if (!info)
        return D3DERR_INVALIDCALL;
    if (info->depth != ((usage & D3DUSAGE_DEPTHSTENCIL) != 0))
        return D3DERR_INVALIDCALL;
    if ((usage & D3DUSAGE_RENDERTARGET) && (info->blockBytes || info->conversion != D3d9Conversion::kNone))
        return D3DERR_INVALIDCALL;
    if (info->blockBytes && levels != 1 && ((width % 4) || (height % 4)))
        return D3DERR_INVALIDCALL;
    GLint maxSide = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSide);
    if (width > (UINT)maxSide || height > (UINT)maxSide)
        return D3DERR_INVALIDCALL;
    if (HRESULT injected = TakeInjectedFailure())
        return injected;
    return HandOut(new D3d9Texture(this, info, width, height, levels, usage, pool), texture);
}

HRESULT D3d9Device::CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL, IDirect3DVertexBuffer9** buffer,
                                       void** sharedHandle)
{
    if (!buffer || sharedHandle || length == 0)
        return D3DERR_INVALIDCALL;
    *buffer = nullptr;
    if (HRESULT injected = TakeInjectedFailure())
        return injected;
    return HandOut(new D3d9VertexBuffer(this, length, usage, fvf), buffer);
}

HRESULT D3d9Device::CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL,
                                      IDirect3DIndexBuffer9** buffer, void** sharedHandle)
{
    if (!buffer || sharedHandle || length == 0 || (format != D3DFMT_INDEX16 && format != D3DFMT_INDEX32))
        return D3DERR_INVALIDCALL;
    *buffer = nullptr;
    if (HRESULT injected = TakeInjectedFailure())
        return injected;
    return HandOut(new D3d9IndexBuffer(this, length, usage, format), buffer);
}

HRESULT D3d9Device::CreateRenderTarget(UINT width, UINT height, D3DFORMAT format, D3DMULTISAMPLE_TYPE, DWORD, BOOL,
                                       IDirect3DSurface9** surface, void** sharedHandle)
{
    if (!surface || sharedHandle || width == 0 || height == 0)
        return D3DERR_INVALIDCALL;
    *surface = nullptr;
    const D3d9FormatInfo* info = D3d9FindFormat(format, m_caps.s3tc);
    if (!info || info->depth || info->blockBytes || info->conversion != D3d9Conversion::kNone)
        return D3DERR_INVALIDCALL;
    if (HRESULT injected = TakeInjectedFailure())
        return injected;
    return HandOut(new D3d9Surface(this, D3d9SurfaceKind::kColourBuffer, info, width, height, D3DPOOL_DEFAULT,
                                D3DUSAGE_RENDERTARGET),
                surface);
}

HRESULT D3d9Device::CreateDepthStencilSurface(UINT width, UINT height, D3DFORMAT format, D3DMULTISAMPLE_TYPE,
                                              DWORD, BOOL, IDirect3DSurface9** surface, void** sharedHandle)
{
    if (!surface || sharedHandle || width == 0 || height == 0)
        return D3DERR_INVALIDCALL;
    *surface = nullptr;
    const D3d9FormatInfo* info = D3d9FindFormat(format, m_caps.s3tc);
    if (!info || !info->depth)
        return D3DERR_INVALIDCALL;
    if (HRESULT injected = TakeInjectedFailure())
        return injected;
    return HandOut(new D3d9Surface(this, D3d9SurfaceKind::kDepthBuffer, info, width, height, D3DPOOL_DEFAULT,
                                D3DUSAGE_DEPTHSTENCIL),
                surface);
}

HRESULT D3d9Device::CreateOffscreenPlainSurface(UINT width, UINT height, D3DFORMAT format, D3DPOOL pool,
                                                IDirect3DSurface9** surface, void** sharedHandle)
{
    if (!surface || sharedHandle || width == 0 || height == 0)
        return D3DERR_INVALIDCALL;
    *surface = nullptr;
    const D3d9FormatInfo* info = D3d9FindFormat(format, m_caps.s3tc);
    if (!info || info->depth || pool == D3DPOOL_MANAGED)
        return D3DERR_INVALIDCALL;
    if (HRESULT injected = TakeInjectedFailure())
        return injected;
    *surface = new D3d9Surface(this, D3d9SurfaceKind::kMemory, info, width, height, pool, 0);
    return D3D_OK;
}

// ---------------------------------------------------------------------------
// State setters. Each stores into the state block; unchanged values are
// dropped here so that the draw path only sees real changes.

HRESULT D3d9Device::SetViewport(const D3DVIEWPORT9* viewport)
{
    if (!viewport)
        return D3DERR_INVALIDCALL;
    if ((uint64_t)viewport->X + viewport->Width > m_renderTarget->Width() ||
        (uint64_t)viewport->Y + viewport->Height > m_renderTarget->Height())
        return D3DERR_INVALIDCALL;
    m_state->viewport = *viewport;
    m_gl.viewportMode = -1;
    UpdatePositionFix();
    return D3D_OK;
}

HRESULT D3d9Device::GetViewport(D3DVIEWPORT9* viewport)
{
    if (!viewport)
        return D3DERR_INVALIDCALL;
    *viewport = m_state->viewport;
    return D3D_OK;
}

static bool ValidTransform(D3DTRANSFORMSTATETYPE state)
{
    return state == D3DTS_VIEW || state == D3DTS_PROJECTION || (state >= D3DTS_TEXTURE0 && state <= D3DTS_TEXTURE7) ||
           (state >= D3DTS_WORLD && state < (DWORD)kD3d9TransformCount);
}

HRESULT D3d9Device::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix)
{
    if (!matrix || !ValidTransform(state))
        return D3DERR_INVALIDCALL;
    D3DMATRIX& slot = m_state->transform[state];
    if (std::memcmp(&slot, matrix, sizeof slot) == 0)
        return D3D_OK;
    slot = *matrix;
    if (state >= D3DTS_WORLD) {
        UINT index = state - D3DTS_WORLD;
        if (!(m_state->dirty & kD3d9DirtyWorld)) {
            m_state->worldDirtyFirst = m_state->worldDirtyLast = index;
        } else {
            if (index < m_state->worldDirtyFirst)
                m_state->worldDirtyFirst = index;
            if (index > m_state->worldDirtyLast)
                m_state->worldDirtyLast = index;
        }
        m_state->dirty |= kD3d9DirtyWorld;
    } else if (state >= D3DTS_TEXTURE0) {
        m_state->dirty |= kD3d9DirtyTextureTransform;
    } else {
        m_state->dirty |= kD3d9DirtyViewProjection;
    }
    return D3D_OK;
}

HRESULT D3d9Device::GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix)
{
    if (!matrix || !ValidTransform(state))
        return D3DERR_INVALIDCALL;
    *matrix = m_state->transform[state];
    return D3D_OK;
}

HRESULT D3d9Device::SetMaterial(const D3DMATERIAL9* material)
{
    if (!material)
        return D3DERR_INVALIDCALL;
    if (std::memcmp(&m_state->material, material, sizeof *material) != 0) {
        m_state->material = *material;
        m_state->dirty |= kD3d9DirtyMaterial;
    }
    return D3D_OK;
}

HRESULT D3d9Device::GetMaterial(D3DMATERIAL9* material)
{
    if (!material)
        return D3DERR_INVALIDCALL;
    *material = m_state->material;
    return D3D_OK;
}

HRESULT D3d9Device::SetLight(DWORD index, const D3DLIGHT9* light)
{
    if (!light || index >= (DWORD)kD3d9LightCount)
        return D3DERR_INVALIDCALL;
    if (light->Type < D3DLIGHT_POINT || light->Type > D3DLIGHT_DIRECTIONAL)
        return D3DERR_INVALIDCALL;
    if (std::memcmp(&m_state->light[index], light, sizeof *light) != 0) {
        m_state->light[index] = *light;
        m_state->dirty |= kD3d9DirtyLights;
    }
    return D3D_OK;
}

HRESULT D3d9Device::GetLight(DWORD index, D3DLIGHT9* light)
{
    if (!light || index >= (DWORD)kD3d9LightCount)
        return D3DERR_INVALIDCALL;
    *light = m_state->light[index];
    return D3D_OK;
}

HRESULT D3d9Device::LightEnable(DWORD index, BOOL enable)
{
    if (index >= (DWORD)kD3d9LightCount)
        return D3DERR_INVALIDCALL;
    BOOL value = enable ? TRUE : FALSE;
    if (m_state->lightEnabled[index] != value) {
        m_state->lightEnabled[index] = value;
        m_state->dirty |= kD3d9DirtyLights;
    }
    return D3D_OK;
}

HRESULT D3d9Device::GetLightEnable(DWORD index, BOOL* enable)
{
    if (!enable || index >= (DWORD)kD3d9LightCount)
        return D3DERR_INVALIDCALL;
    *enable = m_state->lightEnabled[index];
    return D3D_OK;
}

HRESULT D3d9Device::SetRenderState(D3DRENDERSTATETYPE state, DWORD value)
{
    if (state >= (DWORD)kD3d9RenderStateCount)
        return D3DERR_INVALIDCALL;
    DWORD& slot = m_state->renderState[state];
    if (slot == value)
        return D3D_OK;
    slot = value;
    m_state->dirty |= kD3d9DirtyRenderState;
    MarkRenderStateGroup(state);
    return D3D_OK;
}

HRESULT D3d9Device::GetRenderState(D3DRENDERSTATETYPE state, DWORD* value)
{
    if (!value || state >= (DWORD)kD3d9RenderStateCount)
        return D3DERR_INVALIDCALL;
    *value = m_state->renderState[state];
    return D3D_OK;
}

HRESULT D3d9Device::SetTexture(DWORD stage, IDirect3DBaseTexture9* texture)
{
    if (stage >= (DWORD)kD3d9StageCount)
        return D3DERR_INVALIDCALL;
    D3d9Texture* ours = D3d9OurResource<D3d9Texture>(texture, this);
    if (texture && !ours)
        return D3DERR_INVALIDCALL;
    if (m_textures[stage] == ours)
        return D3D_OK;
    D3d9HoldResource(m_textures[stage], ours);
    m_state->textureFormat[stage] = ours ? ours->Info().format : D3DFMT_UNKNOWN;
    m_state->dirty |= kD3d9DirtyTextures;
    return D3D_OK;
}

HRESULT D3d9Device::GetTexture(DWORD stage, IDirect3DBaseTexture9** texture)
{
    if (!texture || stage >= (DWORD)kD3d9StageCount)
        return D3DERR_INVALIDCALL;
    *texture = m_textures[stage];
    if (*texture)
        (*texture)->AddRef();
    return D3D_OK;
}

HRESULT D3d9Device::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value)
{
    if (stage >= (DWORD)kD3d9StageCount || type >= (DWORD)kD3d9StageStateCount)
        return D3DERR_INVALIDCALL;
    DWORD& slot = m_state->stageState[stage][type];
    if (slot != value) {
        slot = value;
        m_state->dirty |= kD3d9DirtyStageState;
    }
    return D3D_OK;
}

HRESULT D3d9Device::GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value)
{
    if (!value || stage >= (DWORD)kD3d9StageCount || type >= (DWORD)kD3d9StageStateCount)
        return D3DERR_INVALIDCALL;
    *value = m_state->stageState[stage][type];
    return D3D_OK;
}

HRESULT D3d9Device::SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value)
{
    if (sampler >= (DWORD)kD3d9StageCount || type >= (DWORD)kD3d9SamplerStateCount)
        return D3DERR_INVALIDCALL;
    DWORD& slot = m_state->samplerState[sampler][type];
    if (slot != value) {
        slot = value;
        m_gl.samplerDirty |= 1u << sampler;
    }
    return D3D_OK;
}

HRESULT D3d9Device::GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value)
{
    if (!value || sampler >= (DWORD)kD3d9StageCount || type >= (DWORD)kD3d9SamplerStateCount)
        return D3DERR_INVALIDCALL;
    *value = m_state->samplerState[sampler][type];
    return D3D_OK;
}

HRESULT D3d9Device::SetPixelShader(IDirect3DPixelShader9* shader)
{
    // Only the fixed-function pipeline exists here.
    return shader ? D3DERR_INVALIDCALL : D3D_OK;
}

HRESULT D3d9Device::SetFVF(DWORD fvf)
{
    if (fvf != m_layout.fvf) {
        m_layout = D3d9ParseFvf(fvf);
        m_state->fvf = fvf;
        m_state->dirty |= kD3d9DirtyFvf;
    }
    return D3D_OK;
}

HRESULT D3d9Device::GetFVF(DWORD* fvf)
{
    if (!fvf)
        return D3DERR_INVALIDCALL;
    *fvf = m_state->fvf;
    return D3D_OK;
}

HRESULT D3d9Device::SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offset, UINT stride)
{
    if (stream != 0)
        return D3DERR_INVALIDCALL;
    D3d9VertexBuffer* ours = D3d9OurResource<D3d9VertexBuffer>(buffer, this);
    if (buffer && !ours)
        return D3DERR_INVALIDCALL;
    D3d9HoldResource(m_stream, ours);
    m_streamOffset = offset;
    m_streamStride = stride;
    return D3D_OK;
}

HRESULT D3d9Device::SetIndices(IDirect3DIndexBuffer9* buffer)
{
    D3d9IndexBuffer* ours = D3d9OurResource<D3d9IndexBuffer>(buffer, this);
    if (buffer && !ours)
        return D3DERR_INVALIDCALL;
    D3d9HoldResource(m_indices, ours);
    return D3D_OK;
}
