// Internal header of the platform layer (sound): a secondary buffer, its ring of sample bytes and
// play state, with the notify and 3D interfaces that share its lifetime.
//
// The buffer's recursive mutex guards everything but the 3D settings (the
// mixer's 3D lock) and the 3D gains (the rendering thread's own). A Lock holds
// the mutex until the matching Unlock, so the mixer never reads bytes that are
// being written.
#pragma once

#include "Platform/DSound/DSound.h"
#include "Platform/DSound/DSoundMixer.h"
#include "Platform/DSound/DSoundRefCounted.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class CDsSecondaryBuffer;

class CDsBufferNotify : public CDsPartOf<IDirectSoundNotify, CDsSecondaryBuffer> {
public:
    using CDsPartOf::CDsPartOf;
    HRESULT SetNotificationPositions(DWORD count, const DSBPOSITIONNOTIFY* positions) override;
};

class CDsBuffer3d : public CDsPartOf<IDirectSound3DBuffer, CDsSecondaryBuffer> {
public:
    using CDsPartOf::CDsPartOf;
    HRESULT GetAllParameters(DS3DBUFFER* parameters) override;
    HRESULT SetAllParameters(const DS3DBUFFER* parameters, DWORD apply) override;
    HRESULT SetConeAngles(DWORD insideDegrees, DWORD outsideDegrees, DWORD apply) override;
    HRESULT SetConeOrientation(float x, float y, float z, DWORD apply) override;
    HRESULT SetConeOutsideVolume(LONG volume, DWORD apply) override;
    HRESULT SetMaxDistance(float distance, DWORD apply) override;
    HRESULT SetMinDistance(float distance, DWORD apply) override;
    HRESULT SetMode(DWORD mode, DWORD apply) override;
    HRESULT SetPosition(float x, float y, float z, DWORD apply) override;
    HRESULT SetVelocity(float x, float y, float z, DWORD apply) override;

private:
    // Validates the changed copy and stores it as pending, and as active too
    // when applied at once.
    template <class Change>
    HRESULT Update(DWORD apply, Change change);
};

class CDsSecondaryBuffer : public WinRefCounted<IDirectSoundBuffer> {
public:
    // Checks a description of a secondary buffer: DS_OK or the error to return.
    static HRESULT Validate(const DSBUFFERDESC& desc);
    CDsSecondaryBuffer(std::shared_ptr<CDsMixer> mixer, const DSBUFFERDESC& desc);

    HRESULT QueryInterface(REFIID iid, void** object) override;
    HRESULT GetCurrentPosition(DWORD* playCursor, DWORD* writeCursor) override;
    HRESULT GetStatus(DWORD* status) override;
    HRESULT Lock(DWORD offset, DWORD bytes, void** first, DWORD* firstBytes, void** second, DWORD* secondBytes,
                 DWORD flags) override;
    HRESULT Play(DWORD reserved, DWORD priority, DWORD flags) override;
    HRESULT SetCurrentPosition(DWORD playCursor) override;
    HRESULT SetFormat(const WAVEFORMATEX* format) override;
    HRESULT SetVolume(LONG volume) override;
    HRESULT SetPan(LONG pan) override;
    HRESULT Stop() override;
    HRESULT Unlock(void* first, DWORD firstBytes, void* second, DWORD secondBytes) override;
    HRESULT Restore() override;

    // Mixer side, with the buffer list locked. Computes the 3D gains for the
    // next block from the active 3D settings (3D lock held by the caller).
    void Prepare3dGains(const CDs3dListener& listener);
    // Adds the buffer's next frames into mix (interleaved stereo floats) and
    // advances it; events to signal are appended to events.
    void MixInto(float* mix, DWORD frames, std::vector<HANDLE>* events);
    // Stop without the virtual call, for the mixer.
    void StopPlaying();

    bool Is3d() const { return (m_flags & DSBCAPS_CTRL3D) != 0; }
    // Guarded by the mixer's 3D lock.
    DS3DBUFFER pending3d;
    DS3DBUFFER active3d;

private:
    friend class CDsBufferNotify;
    friend class CDsBuffer3d;

    ~CDsSecondaryBuffer() override;
    uint8_t* Bytes() { return reinterpret_cast<uint8_t*>(m_samples.data()); }
    void UpdateGains();
    // Collects the stop notifications; the caller signals them once unlocked.
    void CollectStopEvents(std::vector<HANDLE>* events) const;
    template <class Sample>
    void MixFrames(float* mix, DWORD count, float left, float right);

    std::shared_ptr<CDsMixer> m_mixer;
    const DWORD m_flags;
    CDsBufferNotify m_notify;
    CDsBuffer3d m_3d;

    std::recursive_mutex m_mutex;
    // Kept as 16-bit words so that 16-bit samples are read as what they are.
    std::vector<int16_t> m_samples;
    DWORD m_bufferBytes;
    WORD m_channels;
    WORD m_bits;
    DWORD m_frameBytes;
    DWORD m_frameCount;
    // 32.32 fixed point, in frames of the buffer.
    uint64_t m_position = 0;
    uint64_t m_step;
    bool m_playing = false;
    bool m_looping = false;
    LONG m_volume = 0;
    LONG m_pan = 0;
    float m_volumeGain = 1.0f;
    float m_leftGain = 1.0f;
    float m_rightGain = 1.0f;
    std::vector<DSBPOSITIONNOTIFY> m_notifications;
    // Outstanding Lock calls, matched by Unlock.
    struct CLockedRegion {
        void* first;
        void* second;
        std::thread::id owner;
    };
    std::vector<CLockedRegion> m_locks;

    // Written by the rendering thread only.
    CDs3dGains m_3dGains = {1.0f, 1.0f};
};
