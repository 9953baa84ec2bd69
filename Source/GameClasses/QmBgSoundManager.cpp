#include "Source/GameClasses/QmBgSoundManager.h"

#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GePath.h"
#include "Engine/Core/Common/GeTimer.h"
#include "Engine/Core/Sound/SmSoundData.h"
#include "Engine/Core/Sound/SmSoundManager.h"
#include "Source/GameClasses/QmLocationManager.h"

#include <algorithm>

CQmBgSoundManager* g_bgSoundManager = nullptr;

namespace {

// A play option of a kind the sound does not know: it changes nothing.
constexpr uint32_t kNoOption = 0xFFFF;

float Clamped(float lo, float hi, float v)
{
    return std::min(hi, std::max(lo, v));
}

CSmSoundEntry* FindOrCreate(const char* fileName)
{
    if (!g_soundManager || !fileName)
        return nullptr;
    const CGeString name(fileName);
    if (CSmSoundEntry* entry = CSmSoundManager::FindSound(g_soundManager, name))
        return entry;
    return CSmSoundManager::CreateSound(g_soundManager, name);
}

// Plays the entry into ref: the loop flag, a start position and a volume.
void PlayInto(CSmSoundEntry* entry, SmSoundRef* ref, bool loop, uint32_t position, float volume)
{
    const CSmPlayOption loopOption = CSmPlayOption::Uint(loop ? CSmPlayOption::kLoop : kNoOption, 0);
    const CSmPlayOption start = CSmPlayOption::Uint(CSmPlayOption::kStartPosition, position);
    const CSmPlayOption level = CSmPlayOption::Float(CSmPlayOption::kVolume, volume);
    CSmSound::PlayEx(entry, ref->Slot(), &loopOption, &start, &level, static_cast<const CSmPlayOption*>(nullptr));
}

void SetTrackVolume(SmSoundRef* ref, float volume)
{
    if (ref && ref->sound)
        ref->sound->SetVolume(volume);
}

bool IsLive(const CQmBgSoundManager::AmbientRecord* record)
{
    return record && record->ref.sound && CSmSoundManager::IsSoundAlive(record->ref.sound);
}

} // namespace

CQmBgSoundManager::~CQmBgSoundManager()
{
    tracks[0].Release();
    tracks[1].Release();
    for (AmbientRecord*& record : ambient) {
        delete record;
        record = nullptr;
    }
}

CQmBgSoundManager* CQmBgSoundManager::Create()
{
    if (!g_bgSoundManager)
        g_bgSoundManager = new CQmBgSoundManager;
    return g_bgSoundManager;
}

void CQmBgSoundManager::Destroy(CQmBgSoundManager* manager)
{
    if (!manager)
        return;
    StopAndRelease(&manager->tracks[0]);
    StopAndRelease(&manager->tracks[1]);
    manager->current = manager->incoming = nullptr;
    manager->CQmBgSoundManager::StopAllAmbient();
    if (g_bgSoundManager == manager)
        g_bgSoundManager = nullptr;
    delete manager;
}

void CQmBgSoundManager::StopAndRelease(SmSoundRef* ref)
{
    if (!ref)
        return;
    if (ref->sound)
        ref->sound->Stop();
    ref->Release();
}

void CQmBgSoundManager::ApplyTrackVolumes()
{
    if (fadeTime <= 0.0f) {
        SetTrackVolume(current, mainFactor * master);
        return;
    }
    const float r = fadeElapsed / fadeTime;
    SetTrackVolume(current, previousFactor * (1.0f - r) * master);
    SetTrackVolume(incoming, r * mainFactor * master);
}

void CQmBgSoundManager::SetVolume(float volume)
{
    master = Clamped(0.001f, 1.0f, volume);
    for (AmbientRecord* record : ambient) {
        if (!IsLive(record))
            continue;
        record->ref.sound->factor = Clamped(0.00001f, 1.0f, master);
        record->ref.sound->ApplyVolume();
    }
    ApplyTrackVolumes();
}

void CQmBgSoundManager::StartMain(const char* fileName, float volume, float fadeSeconds, bool loop, uint32_t position,
                                  bool relative)
{
    volume = Clamped(0.0f, 1.0f, volume);
    if (relative)
        volume /= master;
    CSmSoundEntry* entry = FindOrCreate(fileName);
    if (!entry) {
        GeTrace("CQmBgSoundManager::StartMain: no sound '%s'\n", fileName ? fileName : "");
        return;
    }
    const float fade = fadeSeconds <= 0.0f ? kInstantFade : fadeSeconds;
    mainStarted = true;
    ++mainStarts;

    // The track that plays already: only its volume may change.
    if (current && current->sound && current->sound->entry && current->sound->entry->data == entry->data &&
        position == 0) {
        if (volume != mainFactor) {
            mainFactor = volume;
            SetTrackVolume(current, volume * master);
        }
        return;
    }

    if (incoming) {
        // A switch is running: the new track takes the incoming place and the
        // fade goes on with its time.
        StopAndRelease(incoming);
        const float r = fadeTime > 0.0f ? fadeElapsed / fadeTime : 1.0f;
        PlayInto(entry, incoming, loop, position, r * mainFactor * master);
        return;
    }

    // Never the reference of the current track, even when its sound is gone.
    if (current == &tracks[0])
        incoming = &tracks[1];
    else if (current == &tracks[1])
        incoming = &tracks[0];
    else
        incoming = tracks[0].sound ? &tracks[1] : &tracks[0];
    incoming->Release();
    PlayInto(entry, incoming, loop, position, 0.0f);
    previousFactor = mainFactor;
    mainFactor = volume;
    fadeElapsed = 0.0f;
    fadeTime = fade;
    if (fadeTime == kInstantFade)
        Update();
}

void CQmBgSoundManager::StopMain(float fadeSeconds)
{
    if (fadeSeconds <= 0.0f) {
        StopAndRelease(current);
        StopAndRelease(incoming);
        current = incoming = nullptr;
        return;
    }
    if (current && incoming) {
        StopAndRelease(current);
        current = incoming;
        incoming = nullptr;
    }
    previousFactor = mainFactor;
    fadeElapsed = 0.0f;
    fadeTime = fadeSeconds;
}

void CQmBgSoundManager::Update()
{
    if (fadeTime <= 0.0f)
        return;
    fadeElapsed = std::min(fadeTime, fadeElapsed + (g_geTimer ? g_geTimer->delta : 0.0f));
    ApplyTrackVolumes();
    if (fadeElapsed == fadeTime) {
        StopAndRelease(current);
        current = incoming;
        incoming = nullptr;
        fadeTime = 0.0f;
    }
}

int CQmBgSoundManager::StartAmbient(const char* fileName, float volume, float parameter, bool loop)
{
    // The sweep: records of sounds that went are dropped; the finished sounds
    // of each entry are purged, which may end a record's sound too.
    for (AmbientRecord*& record : ambient) {
        if (!record || !record->ref.sound)
            continue;
        CSmSound* sound = record->ref.sound;
        if (!CSmSoundManager::IsSoundAlive(sound) || !sound->entry || !sound->entry->data) {
            delete record;
            record = nullptr;
            continue;
        }
        sound->entry->PurgeFinished();
        if (record->ref.sound && !CSmSoundManager::IsSoundAlive(record->ref.sound))
            record->ref.Release();
    }

    CSmSoundEntry* entry = nullptr;
    if (g_soundManager && fileName) {
        const CGeString name(fileName);
        entry = CSmSoundManager::FindSound(g_soundManager, ToLowerString(name));
        if (!entry) {
            entry = CSmSoundManager::CreateSound(g_soundManager, name);
            if (entry)
                entry->ownerKey = reinterpret_cast<uintptr_t>(g_locationManager ? g_locationManager->current : nullptr);
        }
    }
    if (!entry) {
        GeTrace("CQmBgSoundManager::StartAmbient: no sound '%s'\n", fileName ? fileName : "");
        return -1;
    }

    int slot = -1;
    for (int i = kAmbientSlots - 1; i >= 0 && slot < 0; --i) {
        if (ambient[i] && !ambient[i]->ref.sound)
            slot = i;
    }
    for (int i = 0; i < kAmbientSlots && slot < 0; ++i) {
        if (!ambient[i]) {
            ambient[i] = new AmbientRecord;
            slot = i;
        }
    }
    if (slot < 0) {
        GeTrace("CQmBgSoundManager::StartAmbient: all %d slots play, '%s' refused\n", kAmbientSlots, fileName);
        return -1;
    }

    AmbientRecord* record = ambient[slot];
    record->factor = volume;
    const CSmPlayOption loopOption = CSmPlayOption::Uint(loop ? CSmPlayOption::kLoop : kNoOption, 0);
    const CSmPlayOption passed = CSmPlayOption::Float(kNoOption, parameter);
    const CSmPlayOption level = CSmPlayOption::Float(CSmPlayOption::kVolume, volume);
    CSmSound::PlayEx(entry, record->ref.Slot(), &loopOption, &passed, &level,
                     static_cast<const CSmPlayOption*>(nullptr));
    if (record->ref.sound) {
        record->ref.sound->factor = Clamped(0.00001f, 1.0f, master);
        record->ref.sound->ApplyVolume();
    }
    return slot;
}

void CQmBgSoundManager::StopAllAmbient()
{
    for (AmbientRecord*& record : ambient) {
        if (!IsLive(record))
            continue;
        CSmSound* sound = record->ref.sound;
        sound->muted = 1;
        sound->ApplyVolume();
        sound->Stop();
        record->ref.Release();
        delete record;
        record = nullptr;
    }
}

bool CQmBgSoundManager::GetMainState(CGeString& fileName, uint32_t& position, float& factor) const
{
    const SmSoundRef* ref = incoming ? incoming : current;
    if (!ref || !ref->sound)
        return false;
    CSmSound* sound = ref->sound;
    if (sound->entry && sound->entry->data)
        fileName = GetPathRelativeToBase(CGeString(sound->entry->data->GetName()));
    else
        fileName = CGeString();
    position = sound->GetPlayTime();
    factor = mainFactor;
    return true;
}
