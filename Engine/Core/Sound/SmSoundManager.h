// The sound manager: program-wide state (no object of its own) that owns the
// DirectSound device, the primary buffer, the 3D listener, the sound groups
// and the one streaming thread.
//
// A group (CSmSoundGroup) holds up to 512 named entries; an entry
// (CSmSoundEntry) binds one data source from the sound catalogue to the
// instances (CSmSound) played from it. The first group constructed creates the
// device and starts the streaming thread; the last one destroyed stops the
// thread and releases the device. Without a device every call does nothing and
// the game runs silent.
//
// Threads: everything here runs on the main thread, except the streaming pass,
// which every 10 ms refills the streamed sounds under the streaming critical
// section (the main thread takes it to add or remove a streamed sound). The
// run flag is atomic and set before the thread starts; shutdown joins the
// thread at once, without the original's extra sleep, and so does an exit()
// that comes without a shutdown, before the static stream list is destroyed.
// Tests leave the thread off (streamThreadWanted) and run RunStreamPass
// between mixer pulls.
//
// Choices:
// - A wait result outside the eight events (a failed wait) ends the service of
//   a sound for that pass, like a time-out.
// - Trimming the loaded sounds counts paused instances as in use (the menu
//   pauses the whole game group; its sounds must survive to resume).
// - The owner key of an entry holds an object's address: pointer-sized.
#pragma once

#include "Engine/Core/Common/GeArray.h"
#include "Engine/Core/Common/GeMap.h"
#include "Engine/Core/Common/GeMath.h"
#include "Engine/Core/Common/GeString.h"
#include "Platform/DSound/DSound.h"
#include "Platform/Win32/WinThreads.h"

#include <atomic>
#include <cstdint>
#include <vector>

class CSmSound;
class CSmSoundData;
class CSmSoundGroup;

class CSmSoundEntry {
public:
    CSmSoundEntry() = default;
    ~CSmSoundEntry();
    CSmSoundEntry(const CSmSoundEntry&) = delete;
    CSmSoundEntry& operator=(const CSmSoundEntry&) = delete;

    // Keeps in the played array only the instances that play or are paused,
    // in their order, and destroys the others (all of them without sound);
    // frees the second array when all its slots are null.
    void PurgeFinished();

    uintptr_t ownerKey = 0;
    CSmSoundData* data = nullptr; // one reference
    CGeArray<CSmSound*> played;   // the managed instances made from this entry
    CGeArray<CSmSound*> second;   // walked like played; nothing here adds to it
    CSmSoundGroup* group = nullptr;
};

class CSmSoundGroup {
public:
    static const uint32_t kMaxEntries = 512;

    // Appends the group to the group table; the first group creates the device
    // and starts the streaming thread.
    CSmSoundGroup();
    // CSmSoundManager::Shutdown.
    ~CSmSoundGroup();
    CSmSoundGroup(const CSmSoundGroup&) = delete;
    CSmSoundGroup& operator=(const CSmSoundGroup&) = delete;

    // When sound is enabled and the value differs: stores it and re-applies
    // the volume of every sound of the group.
    void SetVolume(float value);
    uint32_t GetCount() const { return count; }
    CSmSoundEntry* GetEntry(uint32_t index) const { return index < count ? entries[index] : nullptr; }

    CSmSoundEntry* entries[kMaxEntries] = {};
    uint32_t count = 0;
    CGeStringMap<CSmSoundEntry*> names; // lower-cased relative path -> entry
    uint8_t muted = 0;
    float volume = 1.0f;
};

// The program-wide group: start-up creates it, shutdown destroys it; its
// volume is the sound-volume setting.
extern CSmSoundGroup* g_soundManager;

// What the manager needs of the resource collector; the collector installs
// its functions at start-up. Until then (and in tests) a small catalogue of
// the sound library's own answers: sources made by extension, cached by name.
struct CSmSoundCatalog {
    CSmSoundData* (*loadSound)(const CGeString& name); // never null; one reference for the caller
    bool (*findSound)(const CGeString& name);          // cached already?
    uint32_t (*sumSoundValues)();                      // GetMemoryBytes over every cached source
};
void SmSetSoundCatalog(const CSmSoundCatalog* catalog);
const CSmSoundCatalog& SmSoundCatalog();
// The collector's choice of source by extension: ".wav" (else the ".ogg" of
// the same name), ".ogg", else the generated silence; loaded from the file.
CSmSoundData* SmCreateSoundData(const CGeString& name);

class CSmSoundManager {
public:
    // The device map; the device GUID to open (null: the default device).
    static void EnumerateDevices();
    static void CreateDirectSound();
    // The group's destruction: its played sounds, entries and data sources;
    // the thread and the device when it was the last group.
    static void Shutdown(CSmSoundGroup* group);
    static void StopStreamThread();

    static CSmSoundEntry* CreateSound(CSmSoundGroup* group, const CGeString& path);
    static CSmSoundEntry* FindSound(CSmSoundGroup* group, const CGeString& path);
    static void RemoveSound(CSmSoundGroup* group, const CGeString& path);
    static void RemoveSoundsOfOwner(CSmSoundGroup* group, uintptr_t ownerKey);
    static void RemoveAllSounds(CSmSoundGroup* group);
    static void DestroyPlayedSounds(CSmSoundGroup* group);
    static void PauseGroup(CSmSoundGroup* group);
    static void ResumeGroup(CSmSoundGroup* group);
    static void SetFocusMute(bool mute);
    static bool IsSoundAlive(const CSmSound* sound);
    // Once a frame: software distance attenuation of the 3D sounds, unless the
    // listener's rolloff factor makes the mixer do it.
    static void Update();
    // Before loading newSize bytes: frees sounds nobody plays until the loaded
    // bytes plus newSize are under the budget.
    static void TrimLoadedSounds(uint32_t newSize);
    // Linear distance law of the software attenuation.
    static float DistanceFactor(const Vec3& sound, const Vec3& listener, float minDistance, float maxDistance);

    // One pass of the streaming thread: every streamed sound that is not
    // stopped is serviced, under the streaming critical section.
    static void RunStreamPass();
    static void StreamThreadProc(void*);
    static void ServiceStream(size_t record);

    // Called by the sounds: a new streamed sound, and its removal.
    static void AddStream(CSmSound* sound);
    static void RemoveStream(CSmSound* sound);
    static size_t GetStreamCount();
    // The streaming critical section (re-entrant), for reads of a stream's
    // counters outside the pass.
    static void LockStreams();
    static void UnlockStreams();

    // Calls fn(sound) for every instance in both arrays of every entry of
    // every group.
    template <typename Fn>
    static void ForEachSound(Fn&& fn);

    static uint8_t soundEnabled;
    static uint8_t focusMuted;
    static uint32_t flags3d;
    static IDirectSound* directSound;
    static IDirectSoundBuffer* primaryBuffer;
    static IDirectSound3DListener* listener;
    static const GUID* deviceGuid;
    static uint8_t speakerGeometry;
    static std::vector<CSmSoundGroup*> groups;
    static CGeStringMap<GUID*> devices;
    static uint32_t budget;
    // Whether the first group starts the streaming thread; tests clear it and
    // run the passes themselves.
    static bool streamThreadWanted;

private:
    struct CStreamRecord {
        HANDLE* events;
        CSmSound* sound;
        int32_t next;
    };
    static std::vector<CStreamRecord> streams;
    static uintptr_t thread;
    static std::atomic<bool> runFlag;
    static CRITICAL_SECTION streamSection;
    static bool sectionReady;
    static thread_local bool s_onStreamThread;

    // Clears the run flag and waits for the thread to end; also the exit hook.
    static void JoinStreamThread();

    static void RemoveEntryAt(CSmSoundGroup* group, uint32_t index);
};

// The 3D listener that follows the camera.
class CSmListener {
public:
    // Queries the listener from the primary buffer when there is none and sets
    // the factors and the orientation front (1, 0, 0), top (0, 1, 0),
    // deferred, and commits. Whether the listener was created.
    static bool Init(float distanceFactor, float rolloffFactor, float dopplerFactor);
    // From a camera's eye, target and up vectors and the frame time: the
    // orientation, the position and the velocity over the smoothed frame time
    // (zero while it is 0), deferred.
    static void Update(const Vec3& eye, const Vec3& target, const Vec3& up, float frameDelta);
    static void CommitDeferredSettings();
    // Forgets the listener (the device is going).
    static void Release();

    static Vec3 position;
    static Vec3 previousPosition;
    static Vec3 velocity;
    static Vec3 front;
    static Vec3 top;
    static float smoothedTime;
};

#include "Engine/Core/Sound/SmSound.h"

template <typename Fn>
void CSmSoundManager::ForEachSound(Fn&& fn)
{
    for (CSmSoundGroup* group : groups) {
        for (uint32_t e = 0; e < group->count; e++) {
            CSmSoundEntry* entry = group->entries[e];
            for (uint32_t i = 0; i < entry->played.Count(); i++) {
                if (entry->played[i])
                    fn(entry->played[i]);
            }
            for (uint32_t i = 0; i < entry->second.Count(); i++) {
                if (entry->second[i])
                    fn(entry->second[i]);
            }
        }
    }
}
