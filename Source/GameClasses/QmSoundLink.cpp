#include "Source/GameClasses/QmSoundLink.h"

#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GeTimer.h"
#include "Engine/Core/Gm/GmCamera.h"
#include "Engine/Core/Gm/GmResCollector.h"
#include "Engine/Core/Sound/SmOggVorbis.h"
#include "Engine/Core/Sound/SmSoundData.h"
#include "Engine/Core/Sound/SmSoundManager.h"
#include "Source/GameClasses/QmBgSoundManager.h"

// The game's calls into the sound manager. The mute state is kept here as
// well, so that the frame's focus test sees it change even without a device.
namespace {
bool s_muted = false;

// The sound library lies below graphics, so the game joins the two: the
// collector makes its sound sources through the sound library's classes, and
// the sound manager finds its sources through the collector, so that a sound
// is cached and shared by name like every other resource.
CGeResource* NewSoundSource(uint32_t kind)
{
    switch (kind) {
    case GM_SOUND_SOURCE_WAVE:
        return new CSmWave;
    case GM_SOUND_SOURCE_OGG:
        return new CSmOggVorbis;
    default:
        return new CSmGeneratedSound;
    }
}

void LoadSoundSource(CGeResource* source, const CGeString& name, CGeFileData& file)
{
    static_cast<CSmSoundData*>(source)->Load(name, file);
}

uint32_t SoundSourceCount(const CGeResource* source)
{
    return static_cast<const CSmSoundData*>(source)->GetMemoryBytes();
}

CSmSoundData* CollectorLoadSound(const CGeString& name)
{
    return static_cast<CSmSoundData*>(rescollect::LoadSound(name));
}

const CSmSoundCatalog kCollectorCatalog = {CollectorLoadSound, rescollect::FindSound, rescollect::SumSoundValues};
GmResourceMakers s_makersBefore;
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
    if (g_bgSoundManager)
        g_bgSoundManager->Update();
}

void QmSoundUpdateListener(CGmCamera* camera)
{
    if (g_soundManager && camera)
        CSmListener::Update(camera->eye, camera->target, camera->up, 0.0f);
}

void QmSoundStart(float musicVolume, float soundVolume)
{
    if (g_soundManager)
        return;
    GmResourceMakers makers = rescollect::SetResourceMakers(GmResourceMakers());
    s_makersBefore = makers;
    makers.newSoundSource = NewSoundSource;
    makers.loadSoundSource = LoadSoundSource;
    makers.soundSourceCount = SoundSourceCount;
    rescollect::SetResourceMakers(makers);
    SmSetSoundCatalog(&kCollectorCatalog);
    CSmSoundManager::flags3d = 1;
    CSmSoundManager::EnumerateDevices();
    for (auto* node = CSmSoundManager::devices.first; node; node = CSmSoundManager::devices.Next(node))
        GeTrace("sound device: %s", node->key.c_str());
    CSmSoundManager::deviceGuid = nullptr;
    g_soundManager = new CSmSoundGroup;
    CSmListener::Init(0.01f, 1.0f, 0.0f);
    CQmBgSoundManager::Create()->SetVolume(musicVolume);
    CSmSoundManager::budget = 32000000;
    g_soundManager->SetVolume(soundVolume);
}

void QmSoundStop()
{
    CQmBgSoundManager::Destroy(g_bgSoundManager);
    if (g_soundManager) {
        delete g_soundManager;
        g_soundManager = nullptr;
        SmSetSoundCatalog(nullptr);
        rescollect::SetResourceMakers(s_makersBefore);
    }
    s_muted = false;
}

bool QmSoundIsStarted()
{
    return g_soundManager != nullptr;
}
