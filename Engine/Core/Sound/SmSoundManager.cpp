// The sound manager's state, groups and entries, the streaming pass and the
// listener.
#include "Engine/Core/Sound/SmSoundManager.h"

#include "Engine/Core/Common/GeError.h"
#include "Engine/Core/Common/GeFileData.h"
#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GePath.h"
#include "Engine/Core/Sound/SmOggVorbis.h"
#include "Engine/Core/Sound/SmSoundData.h"
#include "Platform/Win32/WinGdi.h"
#include "Platform/Win32/WinTime.h"
#include "Platform/Win32/WinWindow.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

CSmSoundGroup* g_soundManager = nullptr;

uint8_t CSmSoundManager::soundEnabled = 0;
uint8_t CSmSoundManager::focusMuted = 0;
uint32_t CSmSoundManager::flags3d = 0;
IDirectSound* CSmSoundManager::directSound = nullptr;
IDirectSoundBuffer* CSmSoundManager::primaryBuffer = nullptr;
IDirectSound3DListener* CSmSoundManager::listener = nullptr;
const GUID* CSmSoundManager::deviceGuid = nullptr;
uint8_t CSmSoundManager::speakerGeometry = 0;
std::vector<CSmSoundGroup*> CSmSoundManager::groups;
CGeStringMap<GUID*> CSmSoundManager::devices;
uint32_t CSmSoundManager::budget = 32000000;
bool CSmSoundManager::streamThreadWanted = true;
std::vector<CSmSoundManager::CStreamRecord> CSmSoundManager::streams;
uintptr_t CSmSoundManager::thread = 0;
std::atomic<bool> CSmSoundManager::runFlag{false};
CRITICAL_SECTION CSmSoundManager::streamSection = {};
bool CSmSoundManager::sectionReady = false;
thread_local bool CSmSoundManager::s_onStreamThread = false;

Vec3 CSmListener::position = {0, 0, 0};
Vec3 CSmListener::previousPosition = {0, 0, 0};
Vec3 CSmListener::velocity = {0, 0, 0};
Vec3 CSmListener::front = {1, 0, 0};
Vec3 CSmListener::top = {0, 1, 0};
float CSmListener::smoothedTime = 0.0f;

// ---------------------------------------------------------------------------
// The catalogue of loaded sources

namespace {

CGeString CatalogKey(const CGeString& name)
{
    return CGeString::ReplaceAll(ToLowerString(name), "\\", "/");
}

// The sound library's own catalogue: sources by normalised name, not owned
// (the entries hold the references); a source leaves when it is destroyed.
class CLocalCatalog : public IGeResourceOwner {
public:
    void UnregisterResource(CGeResource* resource, uint16_t) override
    {
        for (auto* node = sources.first; node; node = sources.Next(node)) {
            if (node->value == resource) {
                sources.Erase(node);
                return;
            }
        }
    }

    CGeStringMap<CSmSoundData*> sources;
};

CLocalCatalog& Local()
{
    static CLocalCatalog catalog;
    return catalog;
}

CSmSoundData* LocalLoadSound(const CGeString& name)
{
    const CGeString key = CatalogKey(name);
    if (CSmSoundData* found = Local().sources.Lookup(key)) {
        found->AddRef();
        return found;
    }
    CSmSoundData* data = SmCreateSoundData(key);
    data->collector = &Local();
    Local().sources[key] = data;
    return data;
}

bool LocalFindSound(const CGeString& name)
{
    return Local().sources.Lookup(CatalogKey(name)) != nullptr;
}

uint32_t LocalSumSoundValues()
{
    uint32_t sum = 0;
    for (auto* node = Local().sources.first; node; node = Local().sources.Next(node))
        sum += node->value->GetMemoryBytes();
    return sum;
}

const CSmSoundCatalog kLocalCatalog = {LocalLoadSound, LocalFindSound, LocalSumSoundValues};
const CSmSoundCatalog* s_catalog = &kLocalCatalog;

} // namespace

void SmSetSoundCatalog(const CSmSoundCatalog* catalog)
{
    s_catalog = catalog ? catalog : &kLocalCatalog;
}

const CSmSoundCatalog& SmSoundCatalog()
{
    return *s_catalog;
}

CSmSoundData* SmCreateSoundData(const CGeString& name)
{
    const CGeString ext = ToLowerString(GetPathExtension(name));
    CGeFileData file = LoadFileData(name.c_str(), false);
    CSmSoundData* data = nullptr;
    if (ext == "wav") {
        if (file.data) {
            data = new CSmWave;
        } else {
            const CGeString ogg = name.Mid(0, name.Length() - 3) + "ogg";
            FreeFileData(file);
            file = LoadFileData(ogg.c_str(), false);
            if (file.data)
                data = new CSmOggVorbis;
        }
    } else if (ext == "ogg" && file.data) {
        data = new CSmOggVorbis;
    }
    if (!data) {
        GeTrace("sound '%s' not found: silence plays instead", name.c_str());
        data = new CSmGeneratedSound;
    }
    data->Load(name, file);
    FreeFileData(file);
    return data;
}

// ---------------------------------------------------------------------------
// Entries and groups

CSmSoundEntry::~CSmSoundEntry()
{
    for (CSmSound* sound : played)
        delete sound;
    played.Clear();
    for (CSmSound* sound : second)
        delete sound;
    second.Clear();
    if (data)
        data->Release();
    data = nullptr;
}

void CSmSoundEntry::PurgeFinished()
{
    bool anySecond = false;
    for (CSmSound* sound : second)
        anySecond = anySecond || sound;
    if (!anySecond)
        second.Clear();
    CGeArray<CSmSound*> keep;
    for (CSmSound* sound : played) {
        if (sound && CSmSoundManager::soundEnabled && (sound->paused || sound->IsPlaying()))
            keep.Add(sound);
        else
            delete sound;
    }
    played = std::move(keep);
}

CSmSoundGroup::CSmSoundGroup()
{
    CSmSoundManager::groups.push_back(this);
    if (CSmSoundManager::groups.size() == 1)
        CSmSoundManager::CreateDirectSound();
}

CSmSoundGroup::~CSmSoundGroup()
{
    CSmSoundManager::Shutdown(this);
}

void CSmSoundGroup::SetVolume(float value)
{
    if (!CSmSoundManager::soundEnabled || value == volume)
        return;
    volume = value;
    for (uint32_t e = 0; e < count; e++) {
        for (CSmSound* sound : entries[e]->played) {
            if (sound)
                sound->ApplyVolume();
        }
        for (CSmSound* sound : entries[e]->second) {
            if (sound)
                sound->ApplyVolume();
        }
    }
}

// ---------------------------------------------------------------------------
// Device

static BOOL EnumerateDevice(LPGUID guid, LPCSTR description, LPCSTR module, void*)
{
    CGeString key = module ? module : "";
    key.Append(": ");
    key.Append(description ? description : "");
    if (!CSmSoundManager::devices.Find(key))
        CSmSoundManager::devices[key] = guid ? new GUID(*guid) : nullptr;
    return TRUE;
}

static void ClearDevices()
{
    auto& devices = CSmSoundManager::devices;
    for (auto* node = devices.first; node; node = devices.Next(node))
        delete node->value;
    devices.Clear();
}

void CSmSoundManager::EnumerateDevices()
{
    ClearDevices();
    if (FAILED(DirectSoundEnumerateA(EnumerateDevice, nullptr))) {
        GeLog(1, "CSmSoundManager: the sound devices cannot be enumerated\n");
        soundEnabled = 0;
        directSound = nullptr;
        primaryBuffer = nullptr;
    }
}

static void ReleaseDevice()
{
    CSmListener::Release();
    if (CSmSoundManager::primaryBuffer)
        CSmSoundManager::primaryBuffer->Release();
    if (CSmSoundManager::directSound)
        CSmSoundManager::directSound->Release();
    CSmSoundManager::primaryBuffer = nullptr;
    CSmSoundManager::directSound = nullptr;
    CSmSoundManager::soundEnabled = 0;
}

void CSmSoundManager::CreateDirectSound()
{
    if (soundEnabled)
        return;
    HRESULT hr = DirectSoundCreate(deviceGuid, &directSound, nullptr);
    const char* step = "DirectSoundCreate";
    if (SUCCEEDED(hr)) {
        step = "SetSpeakerConfig";
        hr = directSound->SetSpeakerConfig(DSSPEAKER_STEREO | (static_cast<DWORD>(speakerGeometry) << 16));
    }
    if (SUCCEEDED(hr)) {
        step = "SetCooperativeLevel";
        HWND window = GetForegroundWindow();
        hr = directSound->SetCooperativeLevel(window ? window : GetDesktopWindow(), DSSCL_EXCLUSIVE);
    }
    if (SUCCEEDED(hr)) {
        step = "CreateSoundBuffer";
        DSBUFFERDESC desc = {};
        desc.dwSize = 36;
        desc.dwFlags = (flags3d & 1) ? (DSBCAPS_PRIMARYBUFFER | DSBCAPS_CTRL3D | DSBCAPS_CTRLVOLUME)
                                     : (DSBCAPS_PRIMARYBUFFER | DSBCAPS_LOCSOFTWARE | DSBCAPS_CTRLVOLUME);
        desc.guid3DAlgorithm = DS3DALG_DEFAULT;
        hr = directSound->CreateSoundBuffer(&desc, &primaryBuffer, nullptr);
    }
    if (SUCCEEDED(hr)) {
        step = "SetFormat";
        WAVEFORMATEX format = {WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0};
        hr = primaryBuffer->SetFormat(&format);
    }
    if (FAILED(hr)) {
        GeLog(1, "CSmSoundManager: %s failed (0x%08X); the game plays without sound\n", step,
              static_cast<unsigned>(hr));
        if (!SUCCEEDED(hr) && std::string(step) == "DirectSoundCreate")
            directSound = nullptr;
        ReleaseDevice();
        return;
    }
    soundEnabled = 1;
    InitializeCriticalSection(&streamSection);
    sectionReady = true;
    if (streamThreadWanted) {
        // exit() without a shutdown (Xlib's when the display dies, a tool's
        // error path) destroys the stream list while the thread reads it;
        // registered now, the hook runs before the statics made earlier die.
        static bool exitHookRegistered = false;
        if (!exitHookRegistered)
            exitHookRegistered = std::atexit(JoinStreamThread) == 0;
        runFlag.store(true);
        thread = _beginthread(StreamThreadProc, 0, nullptr);
        if (thread == static_cast<uintptr_t>(-1)) {
            GeLog(1, "CSmSoundManager: the streaming thread cannot start\n");
            thread = 0;
            runFlag.store(false);
        }
    }
}

void CSmSoundManager::JoinStreamThread()
{
    runFlag.store(false);
    // An exit from the thread's own pass cannot wait for itself.
    if (thread && !s_onStreamThread) {
        WaitForSingleObject(reinterpret_cast<HANDLE>(thread), INFINITE);
        CloseHandle(reinterpret_cast<HANDLE>(thread));
        thread = 0;
    }
}

void CSmSoundManager::StopStreamThread()
{
    ClearDevices();
    JoinStreamThread();
    if (sectionReady) {
        streams.clear();
        DeleteCriticalSection(&streamSection);
        sectionReady = false;
    }
    ReleaseDevice();
}

void CSmSoundManager::Shutdown(CSmSoundGroup* group)
{
    DestroyPlayedSounds(group);
    RemoveAllSounds(group);
    auto at = std::find(groups.begin(), groups.end(), group);
    if (at != groups.end()) {
        *at = groups.back();
        groups.pop_back();
    }
    if (groups.empty())
        StopStreamThread();
    group->names.Destroy();
}

// ---------------------------------------------------------------------------
// Entries by name

static CGeString EntryKey(const CGeString& path)
{
    return CGeString::ReplaceAll(ToLowerString(path), "\\", "/");
}

CSmSoundEntry* CSmSoundManager::FindSound(CSmSoundGroup* group, const CGeString& path)
{
    return group ? group->names.Lookup(EntryKey(path)) : nullptr;
}

CSmSoundEntry* CSmSoundManager::CreateSound(CSmSoundGroup* group, const CGeString& path)
{
    if (!group)
        return nullptr;
    const CGeString key = EntryKey(path);
    if (CSmSoundEntry* found = group->names.Lookup(key))
        return found;
    if (group->count >= CSmSoundGroup::kMaxEntries) {
        GeLog(1, "CSmSoundManager: no room for the sound '%s' (%u entries)\n", path.c_str(), group->count);
        return nullptr;
    }
    CGeString full = DataRootPrefix;
    full.Append(path.c_str());
    bool exists = false;
    const uint32_t size = QueryFileSize(full.c_str(), exists);
    if (!SmSoundCatalog().findSound(full))
        TrimLoadedSounds(size);
    CSmSoundEntry* entry = new CSmSoundEntry;
    entry->group = group;
    entry->data = SmSoundCatalog().loadSound(full);
    group->entries[group->count++] = entry;
    group->names[key] = entry;
    return entry;
}

void CSmSoundManager::RemoveEntryAt(CSmSoundGroup* group, uint32_t index)
{
    CSmSoundEntry* entry = group->entries[index];
    for (auto* node = group->names.first; node; node = group->names.Next(node)) {
        if (node->value == entry) {
            group->names.Erase(node);
            break;
        }
    }
    group->entries[index] = group->entries[group->count - 1];
    group->entries[--group->count] = nullptr;
    delete entry; // stops and destroys its sounds, releases its source
}

void CSmSoundManager::RemoveSound(CSmSoundGroup* group, const CGeString& path)
{
    CSmSoundEntry* entry = FindSound(group, path);
    if (!entry)
        return;
    for (uint32_t i = 0; i < group->count; i++) {
        if (group->entries[i] == entry) {
            RemoveEntryAt(group, i);
            return;
        }
    }
}

void CSmSoundManager::RemoveSoundsOfOwner(CSmSoundGroup* group, uintptr_t ownerKey)
{
    if (!group)
        return;
    // From the last slot to the first: the last entry moves into a freed slot,
    // and has been looked at already.
    for (uint32_t i = group->count; i-- > 0;) {
        if (group->entries[i]->ownerKey == ownerKey)
            RemoveEntryAt(group, i);
    }
}

void CSmSoundManager::RemoveAllSounds(CSmSoundGroup* group)
{
    if (!group)
        return;
    for (uint32_t i = 0; i < group->count; i++) {
        delete group->entries[i];
        group->entries[i] = nullptr;
    }
    group->count = 0;
    group->names.Clear();
}

void CSmSoundManager::DestroyPlayedSounds(CSmSoundGroup* group)
{
    if (!soundEnabled || !group)
        return;
    for (uint32_t e = 0; e < group->count; e++) {
        CSmSoundEntry* entry = group->entries[e];
        for (CSmSound* sound : entry->played) {
            if (sound)
                sound->Stop();
            delete sound;
        }
        entry->played.Clear();
    }
}

void CSmSoundManager::PauseGroup(CSmSoundGroup* group)
{
    if (!soundEnabled || !group)
        return;
    for (uint32_t e = 0; e < group->count; e++) {
        for (CSmSound* sound : group->entries[e]->played) {
            if (sound && !sound->paused && (sound->GetStatus() & DSBSTATUS_PLAYING)) {
                sound->paused = 1;
                if (FAILED(sound->buffer->Stop()))
                    GeLog(1, "CSmSoundManager: cannot pause '%s'\n", group->entries[e]->data->GetName());
            }
        }
    }
}

void CSmSoundManager::ResumeGroup(CSmSoundGroup* group)
{
    if (!group)
        return;
    for (uint32_t e = 0; e < group->count; e++) {
        for (CSmSound* sound : group->entries[e]->played) {
            if (!sound || !sound->paused)
                continue;
            sound->paused = 0;
            if (soundEnabled && sound->buffer) {
                const DWORD flags = (sound->streamed || sound->loop) ? DSBPLAY_LOOPING : 0;
                if (FAILED(sound->buffer->Play(0, 0, flags)))
                    GeLog(1, "CSmSoundManager: cannot resume '%s'\n", group->entries[e]->data->GetName());
            }
        }
    }
}

void CSmSoundManager::SetFocusMute(bool mute)
{
    if (!soundEnabled || focusMuted == static_cast<uint8_t>(mute))
        return;
    focusMuted = mute ? 1 : 0;
    ForEachSound([](CSmSound* sound) { sound->ApplyVolume(); });
}

bool CSmSoundManager::IsSoundAlive(const CSmSound* sound)
{
    bool alive = false;
    if (sound)
        ForEachSound([&](CSmSound* s) { alive = alive || s == sound; });
    return alive;
}

float CSmSoundManager::DistanceFactor(const Vec3& sound, const Vec3& listenerAt, float minDistance, float maxDistance)
{
    const Vec3 d = {sound.x - listenerAt.x, sound.y - listenerAt.y, sound.z - listenerAt.z};
    const float distance = d.Length();
    if (distance > maxDistance)
        return 0.0f;
    if (distance <= minDistance)
        return 1.0f;
    return (maxDistance - distance) / (maxDistance - minDistance);
}

void CSmSoundManager::Update()
{
    if (!soundEnabled)
        return;
    float rolloff = 0.0f;
    if (listener && SUCCEEDED(listener->GetRolloffFactor(&rolloff)) && rolloff != 0.0f)
        return;
    ForEachSound([](CSmSound* sound) {
        if (!sound->is3d || !sound->IsPlaying())
            return;
        CSmSound3D* sound3d = static_cast<CSmSound3D*>(sound);
        sound->factor =
            DistanceFactor(sound3d->position3d, CSmListener::position, sound3d->minDistance, sound3d->maxDistance);
        sound->ApplyVolume();
    });
}

void CSmSoundManager::TrimLoadedSounds(uint32_t newSize)
{
    const uint64_t total = SmSoundCatalog().sumSoundValues();
    if (total + newSize < budget)
        return;
    // Candidates by name: sources none of whose instances plays or is paused.
    CGeStringMap<CSmSoundData*> candidates;
    for (CSmSoundGroup* group : groups) {
        for (uint32_t e = 0; e < group->count; e++) {
            CSmSoundEntry* entry = group->entries[e];
            if (!entry->data)
                continue;
            bool inUse = false;
            for (CSmSound* sound : entry->played)
                inUse = inUse || (sound && (sound->paused || sound->IsPlaying()));
            const CGeString name = entry->data->GetName();
            if (inUse)
                candidates[name] = nullptr;
            else if (!candidates.Find(name))
                candidates[name] = entry->data;
        }
    }
    struct CCandidate {
        CGeString name;
        uint32_t bytes;
    };
    std::vector<CCandidate> sorted;
    for (auto* node = candidates.first; node; node = candidates.Next(node)) {
        if (!node->value)
            continue;
        const uint32_t bytes = node->value->GetMemoryBytes();
        auto at = std::lower_bound(sorted.begin(), sorted.end(), bytes,
                                   [](const CCandidate& c, uint32_t b) { return c.bytes < b; });
        sorted.insert(at, CCandidate{node->key, bytes});
    }
    uint64_t freed = 0;
    for (const CCandidate& c : sorted) {
        const CGeString relative = IsPathUnderBase(c.name) ? GetPathRelativeToBase(c.name) : c.name;
        for (CSmSoundGroup* group : groups)
            RemoveSound(group, relative);
        GeTrace("sound trimmed: %s (%u bytes)", c.name.c_str(), c.bytes);
        freed += c.bytes;
        if (total - freed + newSize < budget)
            break;
    }
}

// ---------------------------------------------------------------------------
// Streaming

void CSmSoundManager::LockStreams()
{
    if (sectionReady)
        EnterCriticalSection(&streamSection);
}

void CSmSoundManager::UnlockStreams()
{
    if (sectionReady)
        LeaveCriticalSection(&streamSection);
}

void CSmSoundManager::AddStream(CSmSound* sound)
{
    if (!sectionReady)
        return;
    EnterCriticalSection(&streamSection);
    streams.push_back(CStreamRecord{sound->events, sound, -1});
    LeaveCriticalSection(&streamSection);
}

void CSmSoundManager::RemoveStream(CSmSound* sound)
{
    if (!sectionReady)
        return;
    EnterCriticalSection(&streamSection);
    streams.erase(
        std::remove_if(streams.begin(), streams.end(), [sound](const CStreamRecord& r) { return r.sound == sound; }),
        streams.end());
    LeaveCriticalSection(&streamSection);
}

size_t CSmSoundManager::GetStreamCount()
{
    LockStreams();
    const size_t count = streams.size();
    UnlockStreams();
    return count;
}

void CSmSoundManager::ServiceStream(size_t index)
{
    CStreamRecord& record = streams[index];
    const DWORD result = WaitForMultipleObjects(CSmSound::kSegments, record.events, FALSE, 0);
    // A time-out, an abandoned or a failed wait all end the service.
    if (result >= WAIT_OBJECT_0 + CSmSound::kSegments)
        return;
    if (record.next < 0)
        record.next = static_cast<int32_t>(result - WAIT_OBJECT_0);
    do {
        record.sound->UpdateStreaming();
        ResetEvent(record.events[record.next]);
        record.next = (record.next + 1) & (CSmSound::kSegments - 1);
    } while (WaitForSingleObject(record.events[record.next], 0) == WAIT_OBJECT_0);
}

void CSmSoundManager::RunStreamPass()
{
    if (!sectionReady)
        return;
    EnterCriticalSection(&streamSection);
    for (size_t i = 0; i < streams.size(); i++) {
        if (!streams[i].sound->IsStopped())
            ServiceStream(i);
    }
    LeaveCriticalSection(&streamSection);
}

void CSmSoundManager::StreamThreadProc(void*)
{
    s_onStreamThread = true;
    while (runFlag.load()) {
        RunStreamPass();
        Sleep(10);
    }
}

// ---------------------------------------------------------------------------
// Listener

bool CSmListener::Init(float distanceFactor, float rolloffFactor, float dopplerFactor)
{
    IDirectSound3DListener*& listener = CSmSoundManager::listener;
    if (listener || !CSmSoundManager::primaryBuffer)
        return false;
    if (FAILED(CSmSoundManager::primaryBuffer->QueryInterface(IID_IDirectSound3DListener,
                                                              reinterpret_cast<void**>(&listener)))) {
        listener = nullptr;
        return false;
    }
    listener->SetDistanceFactor(distanceFactor, DS3D_DEFERRED);
    listener->SetRolloffFactor(rolloffFactor, DS3D_DEFERRED);
    listener->SetDopplerFactor(dopplerFactor, DS3D_DEFERRED);
    front = {1, 0, 0};
    top = {0, 1, 0};
    listener->SetOrientation(1, 0, 0, 0, 1, 0, DS3D_DEFERRED);
    listener->CommitDeferredSettings();
    return true;
}

void CSmListener::Update(const Vec3& eye, const Vec3& target, const Vec3& up, float frameDelta)
{
    IDirectSound3DListener* listener = CSmSoundManager::listener;
    if (!listener)
        return;
    smoothedTime = smoothedTime * 0.7f + frameDelta * 0.3f;
    front = {target.x - eye.x, target.y - eye.y, target.z - eye.z};
    front.Normalize();
    const Vec3 side = Vec3::Cross(up, front);
    top = Vec3::Cross(front, side);
    top.Normalize();
    listener->SetOrientation(front.x, front.y, front.z, top.x, top.y, top.z, DS3D_DEFERRED);
    previousPosition = position;
    position = eye;
    listener->SetPosition(eye.x, eye.y, eye.z, DS3D_DEFERRED);
    velocity = SmVelocity(position, previousPosition, smoothedTime);
    listener->SetVelocity(velocity.x, velocity.y, velocity.z, DS3D_DEFERRED);
}

void CSmListener::CommitDeferredSettings()
{
    if (CSmSoundManager::soundEnabled && CSmSoundManager::listener)
        CSmSoundManager::listener->CommitDeferredSettings();
}

void CSmListener::Release()
{
    if (CSmSoundManager::listener)
        CSmSoundManager::listener->Release();
    CSmSoundManager::listener = nullptr;
    position = previousPosition = velocity = {0, 0, 0};
    front = {1, 0, 0};
    top = {0, 1, 0};
    smoothedTime = 0.0f;
}
