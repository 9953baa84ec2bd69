// Present: the back buffer drawn into the window the right way up, through
// the gamma ramp (X servers such as Xvfb ignore SDL's hardware gamma, and
// windowed Direct3D games set the ramp for the whole desktop, so the ramp is
// applied here for this window only), at the pace of the presentation
// interval.
#include "Platform/D3d9/D3d9Device.h"

#include "Platform/Win32/WinSdl.h"

#include <cstring>
#include <thread>
#include <vector>

// Unit for the gamma lookup; unit kD3d9StageCount is the work unit.
static const GLenum kGammaUnit = kD3d9StageCount + 1;

static const char* const kPresentVertexShader = R"(#version 330 core
uniform float u_flipY;
out vec2 v_uv;
void main()
{
    // One triangle over the whole window.
    vec2 p = vec2(gl_VertexID == 1 ? 3.0 : -1.0, gl_VertexID == 2 ? 3.0 : -1.0);
    v_uv = vec2(0.5 + 0.5 * p.x, 0.5 - 0.5 * u_flipY * p.y);
    gl_Position = vec4(p, 0.0, 1.0);
}
)";

static const char* const kPresentFragmentShader = R"(#version 330 core
uniform sampler2D u_image;
uniform sampler2D u_ramp;
in vec2 v_uv;
out vec4 o_colour;
float Ramp(float c, int channel)
{
    return texelFetch(u_ramp, ivec2(int(c * 255.0 + 0.5), 0), 0)[channel];
}
void main()
{
    vec3 c = texture(u_image, v_uv).rgb;
    o_colour = vec4(Ramp(c.r, 0), Ramp(c.g, 1), Ramp(c.b, 2), 1.0);
}
)";

void D3d9Device::UploadGammaRamp()
{
    WinGammaRamp ramp;
    m_gammaSerial = WinGetGammaRamp(&ramp);
    std::vector<WORD> texels(256 * 3);
    for (int i = 0; i < 256; ++i) {
        texels[i * 3 + 0] = ramp.red[i];
        texels[i * 3 + 1] = ramp.green[i];
        texels[i * 3 + 2] = ramp.blue[i];
    }
    glActiveTexture(GL_TEXTURE0 + kGammaUnit);
    glBindTexture(GL_TEXTURE_2D, m_gammaTexture);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 2);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB16, 256, 1, 0, GL_RGB, GL_UNSIGNED_SHORT, texels.data());
}

bool D3d9Device::InitPresentProgram()
{
    m_presentProgram = D3d9LinkProgram(kPresentVertexShader, kPresentFragmentShader);
    if (!m_presentProgram)
        return false;
    glUseProgram(m_presentProgram);
    glUniform1i(glGetUniformLocation(m_presentProgram, "u_image"), kD3d9StageCount);
    glUniform1i(glGetUniformLocation(m_presentProgram, "u_ramp"), (GLint)kGammaUnit);
    // Upper-left clip origin turns the window upside down as well.
    glUniform1f(glGetUniformLocation(m_presentProgram, "u_flipY"), m_caps.clipControl ? -1.0f : 1.0f);
    glUseProgram(0);
    glGenVertexArrays(1, &m_presentVao);

    glGenTextures(1, &m_gammaTexture);
    glActiveTexture(GL_TEXTURE0 + kGammaUnit);
    glBindTexture(GL_TEXTURE_2D, m_gammaTexture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    UploadGammaRamp();
    return true;
}

// Full screen takes the desktop as it is (no display mode switch) and scales
// the back buffer into it; windowed shows it 1:1 in the window as created.
void D3d9Device::ApplyWindowMode(bool fullScreen)
{
    bool isFullScreen = (SDL_GetWindowFlags(m_window) & SDL_WINDOW_FULLSCREEN) != 0;
    if (fullScreen && !isFullScreen) {
        // On X, asking the window manager is not enough where there is none
        // (a bare X server): the window also covers its display by itself, and
        // gets its own place back when it leaves full screen. Other drivers
        // keep the size (the headless one could not grow its GL surface).
        SDL_GetWindowPosition(m_window, &m_windowedRect.x, &m_windowedRect.y);
        SDL_GetWindowSize(m_window, &m_windowedRect.w, &m_windowedRect.h);
        const char* driver = SDL_GetCurrentVideoDriver();
        SDL_Rect display;
        if (driver && strcmp(driver, "x11") == 0 &&
            SDL_GetDisplayBounds(SDL_GetWindowDisplayIndex(m_window), &display) == 0) {
            SDL_SetWindowPosition(m_window, display.x, display.y);
            SDL_SetWindowSize(m_window, display.w, display.h);
        }
        if (SDL_SetWindowFullscreen(m_window, SDL_WINDOW_FULLSCREEN_DESKTOP) != 0)
            SDL_Log("Direct3D device: no full screen: %s", SDL_GetError());
    } else if (!fullScreen && isFullScreen) {
        SDL_SetWindowFullscreen(m_window, 0);
        SDL_SetWindowSize(m_window, m_windowedRect.w, m_windowedRect.h);
        SDL_SetWindowPosition(m_window, m_windowedRect.x, m_windowedRect.y);
    }
    int width = fullScreen ? (int)m_backBuffer->Width() : 0;
    int height = fullScreen ? (int)m_backBuffer->Height() : 0;
    WinSetBackBufferScaling(m_window, width, height);
}

void D3d9Device::PresentToWindow()
{
    int width = 0, height = 0;
    SDL_GL_GetDrawableSize(m_window, &width, &height);
    // Windowed, the back buffer fills the window; full screen keeps its shape.
    SDL_Rect dest = {0, 0, width, height};
    if (!m_params.Windowed)
        dest = WinLetterbox((int)m_backBuffer->Width(), (int)m_backBuffer->Height(), width, height);

    if (WinGetGammaRamp(nullptr) != m_gammaSerial)
        UploadGammaRamp();

    GLint program = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &program);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDrawBuffer(GL_BACK);
    glDisable(GL_SCISSOR_TEST);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    if (dest.w != width || dest.h != height) {
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    glViewport(dest.x, height - dest.y - dest.h, dest.w, dest.h);
    glDisable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_STENCIL_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_POLYGON_OFFSET_FILL);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);

    BindWorkTexture(m_backBuffer->GlTexture());
    bool sameSize = (UINT)dest.w == m_backBuffer->Width() && (UINT)dest.h == m_backBuffer->Height();
    GLint filter = sameSize ? GL_NEAREST : GL_LINEAR;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glActiveTexture(GL_TEXTURE0 + kGammaUnit);
    glBindTexture(GL_TEXTURE_2D, m_gammaTexture);
    glUseProgram(m_presentProgram);
    glBindVertexArray(m_presentVao);
    glDrawArrays(GL_TRIANGLES, 0, 3);

    if (m_capturePixels) {
        // The window's rows run bottom-up.
        UINT w = m_captureWidth < (UINT)width ? m_captureWidth : (UINT)width;
        UINT h = m_captureHeight < (UINT)height ? m_captureHeight : (UINT)height;
        std::vector<uint32_t> rows((size_t)w * h);
        glReadBuffer(GL_BACK);
        glPixelStorei(GL_PACK_ALIGNMENT, 4);
        glPixelStorei(GL_PACK_ROW_LENGTH, 0);
        glReadPixels(0, height - (GLint)h, (GLsizei)w, (GLsizei)h, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, rows.data());
        for (UINT y = 0; y < h; ++y)
            for (UINT x = 0; x < w; ++x)
                m_capturePixels[y * m_captureWidth + x] = rows[(size_t)(h - 1 - y) * w + x];
        m_capturePixels = nullptr;
    }

    SDL_GL_SwapWindow(m_window);

    // Back to the device's own GL state.
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, m_drawFbo);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, m_readFbo);
    glEnable(GL_SCISSOR_TEST);
    glBindVertexArray(m_vao);
    glUseProgram((GLuint)program);
    InvalidateRasterCache();
}

// The display refreshes a Present waits for: none when immediate, one for the
// default and interval one, n for intervals two to four.
static int RefreshesPerPresent(UINT interval)
{
    if (interval == D3DPRESENT_INTERVAL_IMMEDIATE)
        return 0;
    return interval >= 1 && interval <= 4 ? (int)interval : 1;
}

// The driver's swap interval where it has one; the period of the display's
// refresh (60 Hz where the display does not say) for the layer's own pacing.
void D3d9Device::StartPresentPacing()
{
    const int refreshes = RefreshesPerPresent(m_params.PresentationInterval);
    SDL_GL_SetSwapInterval(refreshes);
    SDL_DisplayMode mode = {};
    int hertz = 60;
    if (SDL_GetCurrentDisplayMode(SDL_GetWindowDisplayIndex(m_window), &mode) == 0 && mode.refresh_rate > 0)
        hertz = mode.refresh_rate;
    m_presentPeriod = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::nanoseconds(1000000000LL * refreshes / hertz));
    m_lastPresent = {};
}

// Many drivers give no swap interval (the headless one, a bare X server) and
// would show frames as fast as they come, keeping a core busy for nothing:
// the layer then waits out the rest of the period itself. Where the swap
// already waited for the display, Present is on time and nothing is added.
void D3d9Device::PaceToRefresh()
{
    if (m_presentPeriod == std::chrono::steady_clock::duration::zero())
        return;
    const auto now = std::chrono::steady_clock::now();
    const auto due = m_lastPresent + m_presentPeriod;
    // A millisecond's slack, so that a swap that waited is not held again for
    // the jitter between the display's clock and ours.
    if (due - now > std::chrono::milliseconds(1)) {
        std::this_thread::sleep_until(due);
        m_lastPresent = due;  // the next frame is due a whole period later, however long the sleep overran
    } else {
        m_lastPresent = now;
    }
}

HRESULT D3d9Device::Present(const RECT*, const RECT*, HWND, const void*)
{
    if (m_lost)
        return D3DERR_DEVICELOST;
    PresentToWindow();
    PaceToRefresh();
    return D3D_OK;
}
