#include "Source/GameClasses/QmSoundLink.h"

#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GeTimer.h"
#include "Engine/Core/Gm/GmCamera.h"
#include "Engine/Core/Sound/SmSoundManager.h"

// The game's calls into the sound manager. The mute state is kept here as
// well, so that the frame's focus test sees it change even without a device.
namespace {
bool s_muted = false;
} // namespace

void QmSoundSetFocusMute(bool mute)
{
    s_muted = mute;
    CSmSoundManager::SetFocusMute(mute);
}

bool QmSoundIsMuted()
{
    return s_muted;
}

void QmSoundAfterFrame(CGmCamera* listenerCamera)
{
    if (!g_soundManager)
        return;
    if (listenerCamera)
        CSmListener::Update(listenerCamera->eye, listenerCamera->target, listenerCamera->up,
                            g_geTimer ? g_geTimer->delta : 0.0f);
    CSmSoundManager::Update();
    CSmListener::CommitDeferredSettings();
}

void QmSoundStart(float, float soundVolume)
{
    if (g_soundManager)
        return;
    CSmSoundManager::flags3d = 1;
    CSmSoundManager::EnumerateDevices();
    for (auto* node = CSmSoundManager::devices.first; node; node = CSmSoundManager::devices.Next(node))
        GeTrace("sound device: %s", node->key.c_str());
    CSmSoundManager::deviceGuid = nullptr;
    g_soundManager = new CSmSoundGroup;
    CSmListener::Init(0.01f, 1.0f, 0.0f);
    CSmSoundManager::budget = 32000000;
    g_soundManager->SetVolume(soundVolume);
}

void QmSoundStop()
{
    delete g_soundManager;
    g_soundManager = nullptr;
    s_muted = false;
}

bool QmSoundIsStarted()
{
    return g_soundManager != nullptr;
}
