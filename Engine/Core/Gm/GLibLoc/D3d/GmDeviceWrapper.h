// The device wrapper: one device window and one Direct3D 9 device, made from
// the device settings record. It keeps the window's activity flags, feeds the
// window messages to the input devices and the game's hook, presents frames,
// recovers from a lost device, and holds the caches of the device state.
//
// Guarded calls: every device call outside creation, reset, Present, Clear,
// SetViewPort, the transforms and the sampler setters is skipped while the
// device has failed or the window is minimised. A failing call goes to the
// debug trace with its text, file, line and result name; any error other than
// D3DERR_DEVICELOST marks the device failed until a reset succeeds. Setters
// store their value in the cache before the guard, so the cache holds the last
// requested value even when the device never saw it.
#pragma once

#include "Engine/Core/Common/GeArray.h"
#include "Engine/Core/Common/GeDeviceConfig.h"
#include "Engine/Core/Common/GeString.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmD3dTables.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GeViewport.h"
#include "Platform/D3d9/D3d9.h"
#include "Platform/Win32/WinWindow.h"

#include <cstdint>
#include <cstring>

class CGeResource;
class CGmIndexBuffer;
class CGmTextureBase;
class CGmVertexBuffer;

// The game's window hook and the input devices' callbacks.
typedef LRESULT (*GmMessageHook)(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

struct GmDisplayMode {
    uint32_t width;
    uint32_t height;
    uint32_t refreshRate;
};

// Engine clear flags.
enum : uint8_t {
    GE_CLEAR_STENCIL = 0x1,
    GE_CLEAR_TARGET = 0x2,
    GE_CLEAR_ZBUFFER = 0x4,
};

// Render states that hold a float (depth bias, fog density) take its bits.
inline DWORD GmFloatBits(float value)
{
    DWORD bits = 0;
    std::memcpy(&bits, &value, sizeof(bits));
    return bits;
}

// What the wrapper learns about the device after each creation.
struct GmDeviceInfo {
    uint32_t deviceType = 0;         // the settings code
    uint32_t vertexProcessing = 0;   // the settings code
    uint8_t vertexBlendIndexing = 0; // low byte of the caps' highest blend-matrix index
    uint32_t maxPrimitiveCount = 0;
    uint32_t vertexShaderVersion = 0;
    uint32_t pixelShaderVersion = 0;
};

class CGmDeviceWrapper {
public:
    explicit CGmDeviceWrapper(const GeDeviceConfig& settings);
    ~CGmDeviceWrapper();
    CGmDeviceWrapper(const CGmDeviceWrapper&) = delete;
    CGmDeviceWrapper& operator=(const CGmDeviceWrapper&) = delete;

    // Frame.
    void Present();
    HRESULT Clear(uint8_t engineFlags, uint32_t color, float depth);
    void BeginScene();
    void EndScene();
    void SetViewPort(const GeViewport& viewport);
    void SetGamma(float gamma);

    // Appends a message callback: the window procedure calls every callback,
    // in the order they were added, for every message. A null fn is ignored.
    void AddMessageHook(GmMessageHook fn);
    // Removes the first message callback equal to fn; nothing when absent.
    void RemoveMessageHook(GmMessageHook fn);

    // Guarded render-state setters with their caches.
    void SetZEnable(uint8_t enable);
    void SetZWriteEnable(uint8_t enable);
    void SetZFunc();            // less-or-equal
    void SetLighting(uint8_t enable);
    void SetCullMode(uint32_t engineCode);
    void SetStencilEnable(uint8_t enable);
    void SetStencilRef(uint32_t value);
    void SetStencilPass(uint32_t op);
    void SetStencilZFail(uint32_t op);
    void SetStencilFail(uint32_t op);
    void SetStencilFunc();      // always
    void SetDepthBias(float bias);
    void SetTexCoordIndex(uint32_t stage, uint32_t index);

    // Sampler setters: always reach the device.
    void SetSamplerFilters(uint32_t stage, uint32_t magFilter, uint32_t minFilter);
    void SetAddressU(uint32_t stage, uint32_t engineMode);
    void SetAddressV(uint32_t stage, uint32_t engineMode);
    void RestoreSamplerFilters();

    // Binding and drawing (guarded). A null buffer, or one without its
    // Direct3D object, unbinds.
    void SetStreamSource(const CGmVertexBuffer* vertexBuffer, uint32_t stride);
    void SetIndices(const CGmIndexBuffer* indexBuffer);
    void SetFVF(uint32_t engineFlags);
    void DrawPrimitive(uint32_t engineType, uint32_t startVertex, uint32_t primitiveCount);
    void DrawIndexedPrimitive(uint32_t engineType, int32_t baseVertexIndex, uint32_t minIndex,
                              uint32_t vertexCount, uint32_t startIndex, uint32_t primitiveCount);

    // Transforms (engine layout in, the device gets the transpose).
    HRESULT SetTransform(const float* matrix, uint8_t n);
    HRESULT ResetWorldTransform();
    HRESULT SetViewProjection(const float* view, const float* projection);

    // Render targets: a texture's level 0 (null, or a texture without its
    // Direct3D texture, keeps the current target), and back.
    void SetRenderTarget(const CGmTextureBase* target);
    void RestoreRenderTarget();

    // The device state after every creation and reset.
    void ApplyDefaultStates();

    // Display modes of the settings adapter in the settings back-buffer format.
    void EnumerateModes();
    GmDisplayMode ChooseMode(uint32_t width, uint32_t height, uint32_t refreshRate) const;

    // Lost-device recovery; also run once right after creation.
    void ResetDevice();

    IDirect3DDevice9* GetDevice() const { return m_device; }
    HWND GetWindow() const { return m_window; }
    uint32_t BackBufferWidth() const { return m_presentParams.BackBufferWidth; }
    uint32_t BackBufferHeight() const { return m_presentParams.BackBufferHeight; }

    // Fields. Public: the hub, the start-up and the tests read them directly.
    uint8_t m_windowed = 0;
    GmDeviceInfo m_info;
    CGeArray<GmDisplayMode> m_modes;
    // Objects that live as long as the device: deleted with the wrapper,
    // before the device goes.
    CGeArray<CGeResource*> m_owned;
    float m_world[256][16];
    D3DMATRIX m_worldD3d[256];
    float m_view[16];
    D3DMATRIX m_viewD3d;
    float m_projection[16];
    D3DMATRIX m_projectionD3d;
    uint32_t m_texCoordIndex[8];
    uint32_t m_filters[8][2];       // per stage {magnification, minification}
    uint32_t m_addressU[8];         // engine address codes
    uint32_t m_addressV[8];
    uint32_t m_cullMode = 2;        // engine cull code
    uint8_t m_zEnabled = 0;
    uint8_t m_zWrite = 0;
    uint32_t m_zFunc = 0;
    float m_depthBias = 0.0f;
    float m_gamma = 1.0f;
    uint8_t m_stencilEnabled = 0;
    uint32_t m_stencilFunc = 0;
    uint32_t m_savedFilters[8][2];  // filled by the text renderer before it switches filters
    HWND m_window = nullptr;
    CGeString m_className;
    uint8_t m_running = 0;          // the main loop runs while this is set
    GeDeviceConfig m_settings;      // the device part is read from here on
    GmMessageHook m_messageHook = nullptr;
    CGeArray<GmMessageHook> m_callbacks;
    IDirect3DDevice9* m_device = nullptr;
    IDirect3D9* m_d3d = nullptr;
    D3DPRESENT_PARAMETERS m_presentParams;
    D3DCAPS9 m_caps;
    uint8_t m_failed = 0;
    IDirect3DSurface9* m_argbSurface = nullptr;
    IDirect3DSurface9* m_depthSurface = nullptr;
    uint8_t m_active = 1;
    uint8_t m_minimised = 0;
    // Called after every reset once the device is back, so that what lies
    // above (the hub's cameras) follows the back buffer's new size.
    void (*m_afterReset)() = nullptr;

    // The guarded-call rule: CanCall before, CheckResult after.
    bool CanCall() const;
    void CheckResult(HRESULT result, const char* callText, const char* file, int line);

private:
    void InitDevice();
    HWND CreateDeviceWindow(int x, int y, int width, int height);
    ATOM RegisterWindowClass();
    HRESULT CreateD3dDevice();
    void ReadDeviceInfo();
    void ReleaseDepthSurface();
    // Gives back the surfaces SetRenderTarget saved, if any.
    void ReleaseSavedSurfaces();
    void SetAddress(uint32_t stage, uint32_t engineMode, D3DSAMPLERSTATETYPE state, uint32_t* cache);
};

// The window procedure of every device window.
LRESULT DeviceWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Dispatches every queued window message; returns 0 when the queue is empty.
int PumpWindowMessages();

// The current device's wrapper (the engine hub keeps it).
extern CGmDeviceWrapper* g_pGmDevice;

// Test seams. Each setter returns the previous function; null restores the
// default (Direct3DCreate9, the platform's Sleep, no trace output).
typedef IDirect3D9* (*GmDirect3DCreateFunction)(UINT sdkVersion);
GmDirect3DCreateFunction GmSetDirect3DCreateFunction(GmDirect3DCreateFunction function);
typedef void (*GmSleepFunction)(DWORD milliseconds);
GmSleepFunction GmSetSleepFunction(GmSleepFunction function);
// Receives every device-layer trace line (failed calls, reset results).
typedef void (*GmTraceFunction)(const char* text);
GmTraceFunction GmSetTraceFunction(GmTraceFunction function);

// The device layer's debug trace (silent unless a trace function is set) and
// its sleep, both through the seams above.
void GmTrace(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
void GmSleep(DWORD milliseconds);
