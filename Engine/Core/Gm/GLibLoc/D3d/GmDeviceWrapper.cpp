// The device wrapper's life: construction, device creation, reset and
// lost-device recovery, presenting, clearing, the viewport and the gamma ramp.
#include "Engine/Core/Gm/GLibLoc/D3d/GmDeviceWrapper.h"

#include "Engine/Core/Common/GeError.h"
#include "Engine/Core/Common/GeErrorNames.h"
#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmGpuResource.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmResourceManager.h"
#include "Platform/Win32/WinGdi.h"
#include "Platform/Win32/WinTime.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

CGmDeviceWrapper* g_pGmDevice = nullptr;

namespace {

// A lost device is given this many further Reset attempts, 50 ms apart.
const int kResetRetries = 20;
const DWORD kResetRetryDelay = 50;

IDirect3D9* DefaultDirect3DCreate(UINT sdkVersion)
{
    return Direct3DCreate9(sdkVersion);
}

void DefaultSleep(DWORD milliseconds)
{
    Sleep(milliseconds);
}

GmDirect3DCreateFunction g_direct3DCreate = DefaultDirect3DCreate;
GmSleepFunction g_sleep = DefaultSleep;
GmTraceFunction g_trace = nullptr;

} // namespace

GmDirect3DCreateFunction GmSetDirect3DCreateFunction(GmDirect3DCreateFunction function)
{
    GmDirect3DCreateFunction previous = g_direct3DCreate;
    g_direct3DCreate = function ? function : DefaultDirect3DCreate;
    return previous;
}

GmSleepFunction GmSetSleepFunction(GmSleepFunction function)
{
    GmSleepFunction previous = g_sleep;
    g_sleep = function ? function : DefaultSleep;
    return previous;
}

GmTraceFunction GmSetTraceFunction(GmTraceFunction function)
{
    GmTraceFunction previous = g_trace;
    g_trace = function;
    return previous;
}

void GmTrace(const char* format, ...)
{
    if (!g_trace)
        return;
    char text[1024];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof(text), format, args);
    va_end(args);
    g_trace(text);
}

void GmSleep(DWORD milliseconds)
{
    g_sleep(milliseconds);
}

// ---------------------------------------------------------------------------
// The guarded-call rule.

bool CGmDeviceWrapper::CanCall() const
{
    // A wrapper whose device could not be created has nothing to call.
    return m_device && !m_failed && !m_minimised;
}

void CGmDeviceWrapper::CheckResult(HRESULT result, const char* callText, const char* file, int line)
{
    if (result == D3D_OK)
        return;
    char format[512];
    snprintf(format, sizeof(format), "%s failed: (file %%s, %%i) Error: %%s\n", callText);
    GmTrace(format, file, line, GetD3dErrorName(result));
    if (FAILED(result) && result != D3DERR_DEVICELOST)
        m_failed = 1;
}

// ---------------------------------------------------------------------------
// Construction and destruction.

CGmDeviceWrapper::CGmDeviceWrapper(const GeDeviceConfig& settings)
{
    m_windowed = settings.windowed;
    m_settings = settings;
    memset(m_world, 0, sizeof(m_world));
    memset(m_worldD3d, 0, sizeof(m_worldD3d));
    memset(m_view, 0, sizeof(m_view));
    memset(&m_viewD3d, 0, sizeof(m_viewD3d));
    memset(m_projection, 0, sizeof(m_projection));
    memset(&m_projectionD3d, 0, sizeof(m_projectionD3d));
    memset(m_texCoordIndex, 0, sizeof(m_texCoordIndex));
    memset(m_filters, 0, sizeof(m_filters));
    memset(m_addressU, 0, sizeof(m_addressU));
    memset(m_addressV, 0, sizeof(m_addressV));
    memset(m_savedFilters, 0, sizeof(m_savedFilters));
    memset(&m_presentParams, 0, sizeof(m_presentParams));
    memset(&m_caps, 0, sizeof(m_caps));

    m_d3d = g_direct3DCreate(D3D_SDK_VERSION);
    if (!m_d3d) {
        // Without Direct3D there is neither a window nor a device; the run
        // flag stays clear, so the main loop ends at once.
        GE_ERROR_REPORT("Direct3D initialization failed!");
        return;
    }
    if (m_modes.IsEmpty())
        EnumerateModes();
    InitDevice();
}

CGmDeviceWrapper::~CGmDeviceWrapper()
{
    for (CGeResource* owned : m_owned)
        delete owned;
    m_owned.Clear();
    if (m_device) {
        ReleaseDepthSurface();
        SetGamma(1.0f);
        ReleaseSavedSurfaces();
        m_device->Release();
        m_device = nullptr;
    }
    if (m_d3d)
        m_d3d->Release();
    m_d3d = nullptr;
    // The window goes with its wrapper, so that no message can reach a
    // wrapper that no longer exists.
    if (m_window && IsWindow(m_window))
        DestroyWindow(m_window);
    if (g_pGmDevice == this)
        g_pGmDevice = nullptr;
}

void CGmDeviceWrapper::InitDevice()
{
    GmDisplayMode mode = ChooseMode(m_settings.width, m_settings.height, m_settings.refreshRate);
    m_settings.width = (int32_t)mode.width;
    m_settings.height = (int32_t)mode.height;
    m_settings.refreshRate = (int32_t)mode.refreshRate;

    const DWORD windowedStyle = WS_POPUP | WS_OVERLAPPEDWINDOW;
    RECT outer = {0, 0, m_settings.width, m_settings.height};
    AdjustWindowRectEx(&outer, windowedStyle, FALSE, 0);
    const int outerWidth = outer.right - outer.left;
    const int outerHeight = outer.bottom - outer.top;
    // The top right corner of the primary screen.
    CreateDeviceWindow(GetSystemMetrics(SM_CXSCREEN) - outerWidth, 0, outerWidth, outerHeight);

    if (FAILED(CreateD3dDevice()))
        GE_ERROR_REPORT("D3D device initialization failed!");
    ApplyDefaultStates();
}

HRESULT CGmDeviceWrapper::CreateD3dDevice()
{
    memset(&m_presentParams, 0, sizeof(m_presentParams));
    D3DDISPLAYMODE displayMode;
    memset(&displayMode, 0, sizeof(displayMode));
    m_d3d->GetAdapterDisplayMode(m_settings.adapter, &displayMode);

    D3DPRESENT_PARAMETERS& pp = m_presentParams;
    pp.BackBufferCount = m_settings.backBufferCount;
    pp.Windowed = m_settings.windowed;
    pp.hDeviceWindow = m_window;
    pp.BackBufferWidth = m_settings.width;
    pp.BackBufferHeight = m_settings.height;
    pp.BackBufferFormat = m_settings.windowed ? displayMode.Format : D3DFORMAT(GetD3DFormat(m_settings.backBufferFormat));
    pp.PresentationInterval = m_settings.vsync ? D3DPRESENT_INTERVAL_ONE : D3DPRESENT_INTERVAL_IMMEDIATE;
    pp.AutoDepthStencilFormat = D3DFORMAT(GetD3DFormat(m_settings.depthStencilFormat));
    pp.EnableAutoDepthStencil = FALSE;
    pp.SwapEffect = pp.BackBufferCount > 1 && !pp.Windowed ? D3DSWAPEFFECT_FLIP : D3DSWAPEFFECT_DISCARD;
    pp.MultiSampleType = D3DMULTISAMPLE_TYPE(m_settings.multisampleType);

    const DWORD behaviour = m_settings.vertexProcessing == 0x1001 ? D3DCREATE_HARDWARE_VERTEXPROCESSING
                                                                   : D3DCREATE_SOFTWARE_VERTEXPROCESSING;
    const D3DDEVTYPE type = m_settings.deviceType == 1 ? D3DDEVTYPE_REF : D3DDEVTYPE_HAL;
    HRESULT result = m_d3d->CreateDevice(m_settings.adapter, type, m_window, behaviour, &pp, &m_device);
    if (FAILED(result) || !m_device) {
        m_device = nullptr;
        GE_ERROR_REPORT("m_d3d->CreateDevice() failed: %s\n", GetD3dErrorName(result));
        return FAILED(result) ? result : D3DERR_INVALIDCALL;
    }
    // On a fresh device the reset creates and binds the depth-stencil surface.
    ResetDevice();
    GmTrace("CreateDevice: %s\n", GetD3dErrorName(result));

    const DWORD clearFlags = pp.AutoDepthStencilFormat ? D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER : D3DCLEAR_TARGET;
    m_device->Clear(0, nullptr, clearFlags, 0, 1.0f, 0);

    ReadDeviceInfo();
    m_d3d->GetDeviceCaps(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, &m_caps);
    return result;
}

void CGmDeviceWrapper::ReadDeviceInfo()
{
    D3DCAPS9 caps;
    memset(&caps, 0, sizeof(caps));
    m_d3d->GetDeviceCaps(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, &caps);
    m_info.deviceType = m_settings.deviceType;
    m_info.vertexProcessing = m_settings.vertexProcessing;
    m_info.vertexBlendIndexing = (uint8_t)caps.MaxVertexBlendMatrixIndex;
    m_info.maxPrimitiveCount = caps.MaxPrimitiveCount;
    m_info.vertexShaderVersion = caps.VertexShaderVersion;
    m_info.pixelShaderVersion = caps.PixelShaderVersion;
}

// The depth-stencil surface made at the previous reset: one reference from the
// fetch, one from its creation, which the wrapper keeps until now.
void CGmDeviceWrapper::ReleaseDepthSurface()
{
    IDirect3DSurface9* surface = nullptr;
    m_device->GetDepthStencilSurface(&surface);
    if (surface) {
        surface->Release();
        surface->Release();
    }
}

// ---------------------------------------------------------------------------
// Reset and presentation.

void CGmDeviceWrapper::ResetDevice()
{
    if (!m_device)
        return;
    // Every device object lives in the default pool: none survives a reset.
    if (g_pGmResourceManager) {
        g_pGmResourceManager->AgeScores();
        g_pGmResourceManager->ReleaseByType(GE_RES_TEXTURE);
        g_pGmResourceManager->ReleaseByType(GE_RES_VERTEX_BUFFER);
        g_pGmResourceManager->ReleaseByType(GE_RES_INDEX_BUFFER);
        g_pGmResourceManager->ReleaseByType(GE_RES_BACKGROUND);
    }
    ReleaseDepthSurface();

    HRESULT result = m_device->Reset(&m_presentParams);
    for (int retries = 0; result != D3D_OK && retries < kResetRetries; ++retries) {
        GmSleep(kResetRetryDelay);
        result = m_device->Reset(&m_presentParams);
    }

    const int32_t depthCode = g_videoSettings ? g_videoSettings->depthStencilFormat : m_settings.depthStencilFormat;
    IDirect3DSurface9* depth = nullptr;
    m_device->CreateDepthStencilSurface(m_presentParams.BackBufferWidth, m_presentParams.BackBufferHeight,
                                        D3DFORMAT(GetD3DFormat(depthCode)), D3DMULTISAMPLE_NONE, 0, FALSE, &depth, nullptr);
    if (depth)
        m_device->SetDepthStencilSurface(depth);

    // The flag is settled before the default states go out: a reset puts the
    // device back to Direct3D's defaults, and the guarded setters must reach
    // it, or the caches would claim states the device does not have.
    m_failed = result != D3D_OK;
    ApplyDefaultStates();

    if (m_afterReset)
        m_afterReset();
    GmTrace("ResetDevice: %s\n", GetD3dErrorName(result));
}

void CGmDeviceWrapper::Present()
{
    if (m_minimised) {
        GmSleep(1);
        return;
    }
    // A full-screen program in the background shows nothing; a window does.
    if (!m_active && !m_windowed) {
        GmSleep(1);
        return;
    }
    if (!m_running || !m_device)
        return;
    HRESULT result = m_device->Present(nullptr, nullptr, nullptr, nullptr);
    if (FAILED(result))
        GmTrace("Present failed: %s\n", GetD3dErrorName(result));
    if (result == D3DERR_DEVICELOST || m_failed) {
        m_failed = 1;
        if (!m_minimised && m_active)
            ResetDevice();
    }
}

HRESULT CGmDeviceWrapper::Clear(uint8_t engineFlags, uint32_t color, float depth)
{
    if (!m_device)
        return D3DERR_INVALIDCALL;
    DWORD flags = 0;
    if (engineFlags & GE_CLEAR_TARGET)
        flags |= D3DCLEAR_TARGET;
    if (engineFlags & GE_CLEAR_ZBUFFER)
        flags |= D3DCLEAR_ZBUFFER;
    if (engineFlags & GE_CLEAR_STENCIL)
        flags |= D3DCLEAR_STENCIL;
    return m_device->Clear(0, nullptr, flags, color, depth, 0);
}

void CGmDeviceWrapper::SetViewPort(const GeViewport& viewport)
{
    if (viewport.Width && viewport.Height &&
        ((uint64_t)viewport.X + viewport.Width > m_presentParams.BackBufferWidth ||
         (uint64_t)viewport.Y + viewport.Height > m_presentParams.BackBufferHeight))
        GE_ERROR_REPORT("CGmDeviceWrapper::SetViewPort failed: out of range\n");
    if (!m_device)
        return;
    D3DVIEWPORT9 d3dViewport = {viewport.X, viewport.Y, viewport.Width, viewport.Height, viewport.MinZ,
                                viewport.MaxZ};
    HRESULT result = m_device->SetViewport(&d3dViewport);
    if (FAILED(result))
        GE_ERROR_REPORT("CGmDeviceWrapper::SetViewPort failed: %s\n", GetD3dErrorName(result));
}

void CGmDeviceWrapper::SetGamma(float gamma)
{
    if (gamma < 0.5f)
        gamma = 0.5f;
    if (gamma > 1.5f)
        gamma = 1.5f;
    if (gamma == m_gamma || !m_device)
        return;
    m_gamma = gamma;

    D3DGAMMARAMP ramp;
    for (int i = 0; i < 256; ++i) {
        // The small bias keeps exact values (the linear ramp's 257 i) from
        // truncating one below.
        double value = pow(i / 255.0, 2.0 - (double)gamma) * 65535.0 + 1e-9;
        ramp.red[i] = ramp.green[i] = ramp.blue[i] = (WORD)value;
    }
    const bool windowed = g_videoSettings ? g_videoSettings->windowed != 0 : m_windowed != 0;
    if (windowed) {
        HWND desktop = GetDesktopWindow();
        HDC dc = GetDC(desktop);
        SetDeviceGammaRamp(dc, &ramp);
        ReleaseDC(desktop, dc);
    } else {
        m_device->SetGammaRamp(0, D3DSGR_NO_CALIBRATION, &ramp);
    }
}
