// Internal header of the platform layer (sound): the software mixer that every buffer of a
// device plays into, and the state the device's objects share with it.
//
// Threads: the mixer renders on the audio thread (or on a test's thread with
// the manual backend) while the engine's main and streaming threads call the
// buffers. Locks, always taken in this order: the buffer list, one buffer,
// the 3D state. The mixer holds the list for a whole block, each buffer while
// it mixes that buffer, and sets notification events only after the buffer's
// lock is released. It never waits on anything else.
#pragma once

#include "Platform/DSound/DSound.h"
#include "Platform/DSound/Ds3dModel.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

class CDsSecondaryBuffer;

// The output format the mixer renders: the primary format the engine sets.
const DWORD kDsOutputRate = 44100;
const int kDsOutputChannels = 2;

// Amplitude gain of an attenuation in mB: 10^(mB / 2000); -10000 and below is 0.
float DsMilliBelsToGain(double milliBels);

class CDsMixer {
public:
    CDsMixer();

    // Renders frames of interleaved stereo 16-bit output and advances every
    // playing buffer by the same time.
    void Render(int16_t* output, DWORD frames);

    void AddBuffer(CDsSecondaryBuffer* buffer);
    void RemoveBuffer(CDsSecondaryBuffer* buffer);
    // Stops every buffer: the device is going away.
    void StopAll();

    // The listener's settings; the 3D lock guards them and every 3D buffer's.
    std::mutex& ThreeDLock() { return m_3dMutex; }
    CDs3dListener& PendingListener() { return m_pendingListener; }
    CDs3dListener& ActiveListener() { return m_activeListener; }
    // Applies every deferred listener and buffer setting.
    void CommitDeferred3d();

    std::atomic<DWORD> cooperativeLevel{0};
    std::atomic<float> masterGain{1.0f};

private:
    std::mutex m_listMutex;
    std::vector<CDsSecondaryBuffer*> m_buffers;
    // Used only by the rendering thread, under the list lock.
    std::vector<float> m_mix;
    std::vector<HANDLE> m_eventsToSet;

    std::mutex m_3dMutex;
    CDs3dListener m_pendingListener;
    CDs3dListener m_activeListener;
};
