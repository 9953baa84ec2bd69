#include "Platform/DSound/DSoundMixer.h"

#include "Platform/DSound/DSoundBuffer.h"
#include "Platform/Win32/WinThreads.h"

#include <algorithm>
#include <cmath>

float DsMilliBelsToGain(double milliBels)
{
    if (milliBels <= DSBVOLUME_MIN)
        return 0.0f;
    return (float)std::pow(10.0, milliBels / 2000.0);
}

CDsMixer::CDsMixer()
{
}

void CDsMixer::AddBuffer(CDsSecondaryBuffer* buffer)
{
    std::lock_guard<std::mutex> lock(m_listMutex);
    m_buffers.push_back(buffer);
}

void CDsMixer::RemoveBuffer(CDsSecondaryBuffer* buffer)
{
    std::lock_guard<std::mutex> lock(m_listMutex);
    m_buffers.erase(std::remove(m_buffers.begin(), m_buffers.end(), buffer), m_buffers.end());
}

void CDsMixer::StopAll()
{
    std::lock_guard<std::mutex> lock(m_listMutex);
    for (CDsSecondaryBuffer* buffer : m_buffers)
        buffer->StopPlaying();
}

void CDsMixer::CommitDeferred3d()
{
    std::lock_guard<std::mutex> list(m_listMutex);
    std::lock_guard<std::mutex> lock(m_3dMutex);
    m_activeListener = m_pendingListener;
    for (CDsSecondaryBuffer* buffer : m_buffers) {
        if (buffer->Is3d())
            buffer->active3d = buffer->pending3d;
    }
}

void CDsMixer::Render(int16_t* output, DWORD frames)
{
    std::lock_guard<std::mutex> list(m_listMutex);
    m_mix.assign((size_t)frames * kDsOutputChannels, 0.0f);
    {
        // Where 3D sources sit is taken once per block.
        std::lock_guard<std::mutex> lock(m_3dMutex);
        for (CDsSecondaryBuffer* buffer : m_buffers) {
            if (buffer->Is3d())
                buffer->Prepare3dGains(m_activeListener);
        }
    }
    for (CDsSecondaryBuffer* buffer : m_buffers)
        buffer->MixInto(m_mix.data(), frames, &m_eventsToSet);

    // Events are set with no buffer locked; the list lock keeps them alive,
    // since the engine closes a buffer's events only after releasing it.
    for (HANDLE event : m_eventsToSet)
        SetEvent(event);
    m_eventsToSet.clear();

    const float gain = masterGain.load();
    for (size_t i = 0; i < m_mix.size(); i++) {
        const long sample = std::lrint(m_mix[i] * gain);
        output[i] = (int16_t)std::min(32767L, std::max(-32768L, sample));
    }
}
