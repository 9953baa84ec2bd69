// The device of the benchmarks that draw or upload: a 64 by 64 windowed
// device wrapper over the platform's GL device (offscreen unless
// SDL_VIDEODRIVER says otherwise) with its resource manager, made current
// for the benchmark's lifetime.
#pragma once

#include "Engine/Core/Common/GeDeviceConfig.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmDeviceWrapper.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmResourceManager.h"

#include <cstdlib>
#include <malloc.h>

class CBenchDevice {
public:
    CBenchDevice()
    {
        GeDeviceConfig settings;
        SetDefaultDeviceConfig(settings);
        settings.windowed = 1;
        settings.width = 64;
        settings.height = 64;
        settings.refreshRate = 1;
        m_wrapper = new CGmDeviceWrapper(settings);
        g_pGmDevice = m_wrapper;
        m_manager = new CGmResourceManager();
        g_pGmResourceManager = m_manager;
    }
    ~CBenchDevice()
    {
        delete m_manager;
        g_pGmResourceManager = nullptr;
        delete m_wrapper;
        g_pGmDevice = nullptr;
    }
    CBenchDevice(const CBenchDevice&) = delete;
    CBenchDevice& operator=(const CBenchDevice&) = delete;

    // Headless by default, like the tests; call before the device is made.
    static void PreferOffscreen() { setenv("SDL_VIDEODRIVER", "offscreen", 0); }

    // The process set-up of every drawing benchmark, before anything is made:
    // headless, and one rasteriser thread as the tests have (with none, Mesa
    // allocates a fresh scene at every state change). Mesa frees and
    // allocates large blocks at state changes; freed memory stays with the
    // process, so the raw GL reference and our side pay alike whichever runs
    // first.
    static void PrepareProcess()
    {
        PreferOffscreen();
        setenv("LP_NUM_THREADS", "1", 0);
        mallopt(M_MMAP_THRESHOLD, 64 << 20);
        mallopt(M_TRIM_THRESHOLD, 512 << 20);
        mallopt(M_TOP_PAD, 64 << 20);
    }

private:
    CGmDeviceWrapper* m_wrapper;
    CGmResourceManager* m_manager;
};
