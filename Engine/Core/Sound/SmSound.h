// Sounds: one playing instance of a sound entry in one DirectSound buffer.
//
// Sounds shorter than 3 seconds (after their start position) are copied whole
// into a static buffer; longer ones are streamed through a ring of 8 segments
// of 3/8 s that the streaming thread refills as the mixer signals each
// segment's end. CSmSound3D adds a 3D buffer. Volumes are linear factors
// (group x instance x distance factor) turned into 2500 x log10(v) hundredths
// of a decibel, clamped to -10000..0; any of the three mutes (focus, group,
// instance) plays at -10000.
//
// Choices where the original was inconsistent or unsafe:
// - A non-looping stream with a start offset plays exactly the bytes from the
//   offset to the end of the source, then silence: positions are compared
//   with the source size and the stop test uses the same byte count.
// - A refill whose segment reaches exactly the end of the data copies the
//   whole segment.
// - GetPlayTime turns bytes into milliseconds in 64 bits; it is never -1. A
//   stream's position comes from the segments refilled and the cursor, which
//   stays right however seldom it is asked (the pass counters of the original
//   are kept, but a wrap flag that only the query clears went wrong after
//   the second round of the ring).
// - A source that failed to load (size 0, no rate) plays nothing: Play
//   returns no sound, after the error box for a missing source.
// - RestoreBuffer gives up after 100 tries.
// - A static request reuses a finished instance of the entry with the same 3D
//   flag before finished instances are purged; the reused instance loses the
//   handle, the mute and the distance factor of its last player.
#pragma once

#include "Engine/Core/Common/GeMath.h"
#include "Platform/DSound/DSound.h"
#include "Platform/Win32/WinThreads.h"

#include <atomic>
#include <cstdint>

class CSmSoundEntry;

struct CSmPlayParams {
    uint32_t startPosition = 0; // milliseconds into the sound
    float pan = 0.0f;           // -1 left .. 1 right
    float volume = 1.0f;
    uint8_t loop = 0;
    uint8_t managed = 1; // kept in the entry's played array
    uint8_t is3d = 0;
    Vec3 velocity = {0, 0, 0};
    Vec3 position = {0, 0, 0};
    Vec3 coneOrientation = {0, 0, 0};
    uint32_t insideConeAngle = 360;
    uint32_t outsideConeAngle = 360;
    float minDistance = 100.0f;
    float maxDistance = 3000.0f;
    float coneOutsideVolume = 0.0f; // linear
};

// One play option: a kind and up to three 32-bit values (floats as their bits).
struct CSmPlayOption {
    enum : uint32_t {
        kStartPosition = 0,
        kLoop = 1,
        kPan = 2,
        kVolume = 3,
        k3d = 4,
        kVelocity = 5,
        kPosition = 6,
        kInsideConeAngle = 7,
        kOutsideConeAngle = 8,
        kConeOutsideVolume = 9,
        kConeOrientation = 10,
        kMaxDistance = 11,
        kMinDistance = 12,
    };
    uint32_t kind = 0;
    uint32_t values[3] = {};

    static CSmPlayOption Uint(uint32_t kind, uint32_t value);
    static CSmPlayOption Float(uint32_t kind, float value);
    static CSmPlayOption Vector(uint32_t kind, float x, float y, float z);
    float FloatAt(int i) const;
    // Applies the option to params; unknown kinds are ignored.
    void ApplyTo(CSmPlayParams& params) const;
};

// (now - before) / seconds, or the zero vector when seconds is not positive.
Vec3 SmVelocity(const Vec3& now, const Vec3& before, float seconds);

// 2500 x log10(v) hundredths of a decibel, v clamped to 1e-9..1, the result
// truncated and clamped to -10000..0.
LONG SmVolumeToAttenuation(float volume);

class CSmSound {
public:
    static const int kSegments = 8;

    CSmSound();
    virtual ~CSmSound();
    CSmSound(const CSmSound&) = delete;
    CSmSound& operator=(const CSmSound&) = delete;

    // Plays the entry with the defaults changed by the options (a list that
    // ends with a null pointer) as a managed instance; stores it in *handle
    // (when given) and remembers the handle, which is cleared when the
    // instance goes. The number of instances in the entry's played array.
    static uint32_t PlayEx(CSmSoundEntry* entry, CSmSound** handle, const CSmPlayOption* option, ...);
    // Streams or plays static by the length left after the start position.
    // The instance (managed ones stay the entry's), or null.
    static CSmSound* Play(CSmSoundEntry* entry, const CSmPlayParams& params);
    static CSmSound* PlaySound(CSmSoundEntry* entry, const CSmPlayParams& params);
    static CSmSound* PlayStreamingSound(CSmSoundEntry* entry, const CSmPlayParams& params);

    // The streaming thread's refill of the segment that just finished.
    void UpdateStreaming();
    void Stop();
    bool IsStopped();
    // True when the buffer was lost and restored (it needs a whole refill).
    bool RestoreBuffer();
    uint32_t GetPlayTime();
    void ApplyVolume();
    void SetPan(float pan);
    void SetVolume(float volume);
    bool IsPlaying();
    uint32_t GetStatus();

    IDirectSoundBuffer* buffer = nullptr;
    DSBUFFERDESC desc = {};
    WAVEFORMATEX format = {};
    CSmSoundEntry* entry = nullptr;
    uint32_t totalBytes = 0; // bytes to play (from the start offset, for a non-looping stream)
    uint32_t bufferBytes = 0;
    uint32_t segmentBytes = 0;
    uint32_t startOffset = 0;
    uint32_t segmentsPlayed = 0;
    std::atomic<uint32_t> passes{0};
    std::atomic<uint32_t> passesAtWrap{0};
    std::atomic<uint32_t> wrapFlag{0};
    uint8_t paused = 0;
    CSmPlayParams params;
    uint8_t muted = 0;
    float factor = 1.0f;
    CSmSound** handle = nullptr;
    HANDLE events[kSegments] = {};
    uint8_t streamed = 0;
    uint8_t loop = 0;
    uint8_t is3d = 0;

protected:
    bool CreateBuffer(DWORD flags, DWORD bytes);
    void Start(uint32_t playFlags);
    // Copies count source bytes from source offset `from` to dst, or silence
    // when the source has none.
    void CopySource(uint8_t* dst, uint32_t from, uint32_t count);
    void Silence(uint8_t* dst, uint32_t count);
    // Fills dst (count bytes) with what plays from relative position rel.
    void FillFrom(uint8_t* dst, uint64_t rel, uint32_t count);
    virtual void Apply3dParameters() {}
};

class CSmSound3D : public CSmSound {
public:
    ~CSmSound3D() override;

    void SetPosition(const Vec3& p);
    void SetVelocity(const Vec3& v);
    void SetConeOrientation(const Vec3& o);
    void SetDistances(float minDistance, float maxDistance);
    void SetConeOutsideVolume(float volume);
    // Velocity from the last move over the smoothed frame time (0.7 / 0.3).
    void UpdateVelocity(float frameDelta);

    Vec3 velocity3d = {0, 0, 0};
    Vec3 position3d = {0, 0, 0};
    Vec3 previousPosition = {0, 0, 0};
    Vec3 coneOrientation = {0, 0, 0};
    uint32_t insideConeAngle = 360;
    uint32_t outsideConeAngle = 360;
    float minDistance = 100.0f;
    float maxDistance = 3000.0f;
    float coneOutsideVolume = 0.0f;
    IDirectSound3DBuffer* buffer3d = nullptr;
    float previousSmoothedTime = 0.0f;
    float smoothedTime = 0.0f;
    float smoothingWeight = 0.7f;

protected:
    void Apply3dParameters() override;
};
