#include "Platform/DSound/DSoundBuffer.h"

#include "Platform/Win32/WinThreads.h"

#include <algorithm>
#include <cstring>

namespace {

const float kFractionScale = 1.0f / 4294967296.0f;

// Frame readers for the mixing loops: one value per channel, in 16-bit units.
struct CPcm16Mono {
    static const int kChannels = 1;
    static float Left(const uint8_t* data, uint64_t frame) { return (float)((const int16_t*)data)[frame]; }
    static float Right(const uint8_t* data, uint64_t frame) { return Left(data, frame); }
};

struct CPcm16Stereo {
    static const int kChannels = 2;
    static float Left(const uint8_t* data, uint64_t frame) { return (float)((const int16_t*)data)[2 * frame]; }
    static float Right(const uint8_t* data, uint64_t frame) { return (float)((const int16_t*)data)[2 * frame + 1]; }
};

// 8-bit samples are unsigned around 0x80.
struct CPcm8Mono {
    static const int kChannels = 1;
    static float Left(const uint8_t* data, uint64_t frame) { return (float)((int)data[frame] - 128) * 256.0f; }
    static float Right(const uint8_t* data, uint64_t frame) { return Left(data, frame); }
};

struct CPcm8Stereo {
    static const int kChannels = 2;
    static float Left(const uint8_t* data, uint64_t frame) { return (float)((int)data[2 * frame] - 128) * 256.0f; }
    static float Right(const uint8_t* data, uint64_t frame)
    {
        return (float)((int)data[2 * frame + 1] - 128) * 256.0f;
    }
};

// Gains too small to reach one step of the output are silence, so that many
// quiet buffers cannot add up to noise.
float AudibleOrSilent(float gain)
{
    return gain <= 1e-5f ? 0.0f : gain;
}

bool IsValidApply(DWORD apply)
{
    return apply == DS3D_IMMEDIATE || apply == DS3D_DEFERRED;
}

} // namespace

// ---------------------------------------------------------------------------
// Creation and lifetime

HRESULT CDsSecondaryBuffer::Validate(const DSBUFFERDESC& desc)
{
    const WAVEFORMATEX* format = desc.lpwfxFormat;
    if (!format || desc.dwBufferBytes < DSBSIZE_MIN || desc.dwBufferBytes > DSBSIZE_MAX)
        return DSERR_INVALIDPARAM;
    if ((desc.dwFlags & DSBCAPS_CTRL3D) && (desc.dwFlags & DSBCAPS_CTRLPAN))
        return DSERR_INVALIDPARAM;
    if (desc.dwFlags & DSBCAPS_CTRLFX)
        return DSERR_UNSUPPORTED;
    if (format->wFormatTag != WAVE_FORMAT_PCM || (format->nChannels != 1 && format->nChannels != 2)
        || (format->wBitsPerSample != 8 && format->wBitsPerSample != 16) || format->nSamplesPerSec < 100
        || format->nSamplesPerSec > 200000)
        return DSERR_BADFORMAT;
    // 3D sounds come from one point: only mono buffers can be placed.
    if ((desc.dwFlags & DSBCAPS_CTRL3D) && format->nChannels != 1)
        return DSERR_INVALIDPARAM;
    return DS_OK;
}

CDsSecondaryBuffer::CDsSecondaryBuffer(std::shared_ptr<CDsMixer> mixer, const DSBUFFERDESC& desc)
    : m_mixer(std::move(mixer)), m_flags(desc.dwFlags), m_notify(this), m_3d(this)
{
    const WAVEFORMATEX& format = *desc.lpwfxFormat;
    m_channels = format.nChannels;
    m_bits = format.wBitsPerSample;
    // The frame size follows the sample layout, whatever nBlockAlign says; a
    // trailing partial frame is never played.
    m_frameBytes = m_channels * (m_bits / 8u);
    m_frameCount = desc.dwBufferBytes / m_frameBytes;
    m_step = ((uint64_t)format.nSamplesPerSec << 32) / kDsOutputRate;
    m_samples.assign((desc.dwBufferBytes + 1) / 2, 0);
    m_bufferBytes = desc.dwBufferBytes;
    if (m_bits == 8)
        std::memset(m_samples.data(), 0x80, m_samples.size() * 2);
    pending3d = Ds3dDefaultBuffer();
    active3d = pending3d;
}

CDsSecondaryBuffer::~CDsSecondaryBuffer()
{
    m_mixer->RemoveBuffer(this);
}

HRESULT CDsSecondaryBuffer::QueryInterface(REFIID iid, void** object)
{
    if (!object)
        return DSERR_INVALIDPARAM;
    *object = nullptr;
    if (IsEqualGUID(iid, IID_IDirectSoundBuffer))
        *object = static_cast<IDirectSoundBuffer*>(this);
    else if (IsEqualGUID(iid, IID_IDirectSoundNotify) && (m_flags & DSBCAPS_CTRLPOSITIONNOTIFY))
        *object = static_cast<IDirectSoundNotify*>(&m_notify);
    else if (IsEqualGUID(iid, IID_IDirectSound3DBuffer) && (m_flags & DSBCAPS_CTRL3D))
        *object = static_cast<IDirectSound3DBuffer*>(&m_3d);
    else
        return DSERR_NOINTERFACE;
    AddRef();
    return DS_OK;
}

// ---------------------------------------------------------------------------
// Engine side

HRESULT CDsSecondaryBuffer::GetCurrentPosition(DWORD* playCursor, DWORD* writeCursor)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    const DWORD cursor = (DWORD)(m_position >> 32) * m_frameBytes;
    if (playCursor)
        *playCursor = cursor;
    if (writeCursor)
        *writeCursor = cursor;
    return DS_OK;
}

HRESULT CDsSecondaryBuffer::GetStatus(DWORD* status)
{
    if (!status)
        return DSERR_INVALIDPARAM;
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    *status = m_playing ? DSBSTATUS_PLAYING | (m_looping ? DSBSTATUS_LOOPING : 0u) : 0u;
    return DS_OK;
}

HRESULT CDsSecondaryBuffer::Lock(DWORD offset, DWORD bytes, void** first, DWORD* firstBytes, void** second,
                                 DWORD* secondBytes, DWORD flags)
{
    if (!first || !firstBytes)
        return DSERR_INVALIDPARAM;
    m_mutex.lock();
    if (flags & DSBLOCK_FROMWRITECURSOR)
        offset = (DWORD)(m_position >> 32) * m_frameBytes;
    if (flags & DSBLOCK_ENTIREBUFFER)
        bytes = m_bufferBytes;
    if (offset >= m_bufferBytes || bytes == 0 || bytes > m_bufferBytes) {
        m_mutex.unlock();
        return DSERR_INVALIDPARAM;
    }
    uint8_t* base = Bytes();
    const DWORD firstPart = std::min(bytes, m_bufferBytes - offset);
    *first = base + offset;
    *firstBytes = firstPart;
    void* secondPointer = nullptr;
    if (second && secondBytes) {
        *secondBytes = bytes - firstPart;
        secondPointer = *secondBytes ? base : nullptr;
        *second = secondPointer;
    }
    // The mutex stays held until Unlock: the mixer waits rather than play
    // half-written data.
    m_locks.push_back({*first, secondPointer, std::this_thread::get_id()});
    return DS_OK;
}

HRESULT CDsSecondaryBuffer::Unlock(void* first, DWORD firstBytes, void* second, DWORD secondBytes)
{
    (void)firstBytes;
    (void)secondBytes;
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    for (size_t i = 0; i < m_locks.size(); i++) {
        const CLockedRegion& region = m_locks[i];
        if (region.first == first && region.second == second && region.owner == std::this_thread::get_id()) {
            m_locks.erase(m_locks.begin() + (long)i);
            m_mutex.unlock(); // the hold taken by Lock
            return DS_OK;
        }
    }
    return DSERR_INVALIDPARAM;
}

HRESULT CDsSecondaryBuffer::Play(DWORD reserved, DWORD priority, DWORD flags)
{
    if (reserved != 0 || (priority != 0 && !(m_flags & DSBCAPS_LOCDEFER)))
        return DSERR_INVALIDPARAM;
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    // On a playing buffer the new flags replace the old ones: without looping
    // it stops at its end.
    m_playing = true;
    m_looping = (flags & DSBPLAY_LOOPING) != 0;
    return DS_OK;
}

HRESULT CDsSecondaryBuffer::SetCurrentPosition(DWORD playCursor)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (playCursor >= m_bufferBytes)
        return DSERR_INVALIDPARAM;
    // A jump signals none of the positions it skips.
    m_position = (uint64_t)(playCursor / m_frameBytes) << 32;
    return DS_OK;
}

HRESULT CDsSecondaryBuffer::SetFormat(const WAVEFORMATEX* format)
{
    (void)format;
    return DSERR_INVALIDCALL;
}

HRESULT CDsSecondaryBuffer::SetVolume(LONG volume)
{
    if (!(m_flags & DSBCAPS_CTRLVOLUME))
        return DSERR_CONTROLUNAVAIL;
    if (volume < DSBVOLUME_MIN || volume > DSBVOLUME_MAX)
        return DSERR_INVALIDPARAM;
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_volume = volume;
    UpdateGains();
    return DS_OK;
}

HRESULT CDsSecondaryBuffer::SetPan(LONG pan)
{
    if (!(m_flags & DSBCAPS_CTRLPAN))
        return DSERR_CONTROLUNAVAIL;
    if (pan < DSBPAN_LEFT || pan > DSBPAN_RIGHT)
        return DSERR_INVALIDPARAM;
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_pan = pan;
    UpdateGains();
    return DS_OK;
}

void CDsSecondaryBuffer::UpdateGains()
{
    // Pan lowers the far channel and leaves the near one at the volume.
    m_volumeGain = DsMilliBelsToGain(m_volume);
    m_leftGain = DsMilliBelsToGain((double)m_volume - std::max<LONG>(m_pan, 0));
    m_rightGain = DsMilliBelsToGain((double)m_volume + std::min<LONG>(m_pan, 0));
}

HRESULT CDsSecondaryBuffer::Stop()
{
    StopPlaying();
    return DS_OK;
}

void CDsSecondaryBuffer::StopPlaying()
{
    std::vector<HANDLE> events;
    {
        std::lock_guard<std::recursive_mutex> lock(m_mutex);
        if (m_playing)
            CollectStopEvents(&events);
        m_playing = false;
    }
    for (HANDLE event : events)
        SetEvent(event);
}

HRESULT CDsSecondaryBuffer::Restore()
{
    return DS_OK;
}

void CDsSecondaryBuffer::CollectStopEvents(std::vector<HANDLE>* events) const
{
    for (const DSBPOSITIONNOTIFY& notification : m_notifications) {
        if (notification.dwOffset == DSBPN_OFFSETSTOP)
            events->push_back(notification.hEventNotify);
    }
}

// ---------------------------------------------------------------------------
// Mixer side

void CDsSecondaryBuffer::Prepare3dGains(const CDs3dListener& listener)
{
    m_3dGains = Ds3dSourceGains(listener, active3d, (m_flags & DSBCAPS_MUTE3DATMAXDISTANCE) != 0);
}

template <class Sample>
void CDsSecondaryBuffer::MixFrames(float* mix, DWORD count, float left, float right)
{
    const uint8_t* data = Bytes();
    const uint64_t step = m_step;
    uint64_t position = m_position;
    DWORD i = 0;

    // Frames whose right-hand neighbour lies inside the buffer need no checks.
    const uint64_t lastFrame = (uint64_t)(m_frameCount - 1) << 32;
    if (position < lastFrame) {
        const DWORD plain = (DWORD)std::min<uint64_t>(count, (lastFrame - position + step - 1) / step);
        for (; i < plain; i++) {
            const uint64_t frame = position >> 32;
            const float t = (float)(uint32_t)position * kFractionScale;
            const float l0 = Sample::Left(data, frame);
            const float l1 = Sample::Left(data, frame + 1);
            mix[2 * i] += (l0 + (l1 - l0) * t) * left;
            if (Sample::kChannels == 1) {
                mix[2 * i + 1] += (l0 + (l1 - l0) * t) * right;
            } else {
                const float r0 = Sample::Right(data, frame);
                const float r1 = Sample::Right(data, frame + 1);
                mix[2 * i + 1] += (r0 + (r1 - r0) * t) * right;
            }
            position += step;
        }
    }
    // The last frame: a ring continues with its first frame, a buffer played
    // once fades toward silence.
    for (; i < count; i++) {
        const uint64_t frame = position >> 32;
        const float t = (float)(uint32_t)position * kFractionScale;
        const bool wraps = frame + 1 >= m_frameCount;
        const uint64_t next = wraps ? 0 : frame + 1;
        const float l0 = Sample::Left(data, frame);
        const float r0 = Sample::Right(data, frame);
        const float l1 = wraps && !m_looping ? 0.0f : Sample::Left(data, next);
        const float r1 = wraps && !m_looping ? 0.0f : Sample::Right(data, next);
        mix[2 * i] += (l0 + (l1 - l0) * t) * left;
        mix[2 * i + 1] += (r0 + (r1 - r0) * t) * right;
        position += step;
    }
    m_position = position;
}

void CDsSecondaryBuffer::MixInto(float* mix, DWORD frames, std::vector<HANDLE>* events)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (!m_playing || m_frameCount == 0)
        return;

    float left = m_leftGain;
    float right = m_rightGain;
    if (Is3d()) {
        left = AudibleOrSilent(m_volumeGain * m_3dGains.left);
        right = AudibleOrSilent(m_volumeGain * m_3dGains.right);
    }
    const bool audible = left != 0.0f || right != 0.0f;

    const uint64_t end = (uint64_t)m_frameCount << 32;
    const uint64_t startFrame = m_position >> 32;
    uint64_t wraps = 0;
    bool ended = false;
    DWORD done = 0;
    while (done < frames) {
        const uint64_t untilEnd = (end - m_position + m_step - 1) / m_step;
        const DWORD count = (DWORD)std::min<uint64_t>(frames - done, untilEnd);
        float* at = mix + 2 * done;
        if (!audible)
            m_position += count * m_step; // silent buffers keep time all the same
        else if (m_bits == 16 && m_channels == 1)
            MixFrames<CPcm16Mono>(at, count, left, right);
        else if (m_bits == 16)
            MixFrames<CPcm16Stereo>(at, count, left, right);
        else if (m_channels == 1)
            MixFrames<CPcm8Mono>(at, count, left, right);
        else
            MixFrames<CPcm8Stereo>(at, count, left, right);
        done += count;
        if (m_position >= end) {
            if (!m_looping) {
                ended = true;
                break;
            }
            while (m_position >= end) {
                m_position -= end;
                wraps++;
            }
        }
    }

    // Every notification whose frame the cursor passed in this block fires,
    // also when the block passed several of them or wrapped round.
    const uint64_t endFrame = ended ? m_frameCount : m_position >> 32;
    const uint64_t consumed = wraps * m_frameCount + endFrame - startFrame;
    for (const DSBPOSITIONNOTIFY& notification : m_notifications) {
        if (notification.dwOffset == DSBPN_OFFSETSTOP) {
            if (ended)
                events->push_back(notification.hEventNotify);
            continue;
        }
        const uint64_t frame = notification.dwOffset / m_frameBytes;
        const uint64_t ahead = frame >= startFrame ? frame - startFrame : frame + m_frameCount - startFrame;
        if (ahead < consumed)
            events->push_back(notification.hEventNotify);
    }
    if (ended) {
        m_playing = false;
        m_position = 0;
    }
}

// ---------------------------------------------------------------------------
// Position notification

HRESULT CDsBufferNotify::SetNotificationPositions(DWORD count, const DSBPOSITIONNOTIFY* positions)
{
    if (count > DSBNOTIFICATIONS_MAX || (count > 0 && !positions))
        return DSERR_INVALIDPARAM;
    std::lock_guard<std::recursive_mutex> lock(m_whole->m_mutex);
    if (m_whole->m_playing)
        return DSERR_INVALIDCALL;
    for (DWORD i = 0; i < count; i++) {
        if (positions[i].dwOffset != DSBPN_OFFSETSTOP && positions[i].dwOffset >= m_whole->m_bufferBytes)
            return DSERR_INVALIDPARAM;
    }
    m_whole->m_notifications.assign(positions, positions + count);
    return DS_OK;
}

// ---------------------------------------------------------------------------
// 3D settings

template <class Change>
HRESULT CDsBuffer3d::Update(DWORD apply, Change change)
{
    if (!IsValidApply(apply))
        return DSERR_INVALIDPARAM;
    std::lock_guard<std::mutex> lock(m_whole->m_mixer->ThreeDLock());
    DS3DBUFFER pending = m_whole->pending3d;
    change(pending);
    if (!Ds3dIsValidBuffer(pending))
        return DSERR_INVALIDPARAM;
    m_whole->pending3d = pending;
    // Applied at once, the value also overrides what an earlier deferred call
    // left pending, so the next commit keeps it; other pending values wait.
    if (apply == DS3D_IMMEDIATE)
        change(m_whole->active3d);
    return DS_OK;
}

HRESULT CDsBuffer3d::GetAllParameters(DS3DBUFFER* parameters)
{
    if (!parameters)
        return DSERR_INVALIDPARAM;
    std::lock_guard<std::mutex> lock(m_whole->m_mixer->ThreeDLock());
    *parameters = m_whole->active3d;
    return DS_OK;
}

HRESULT CDsBuffer3d::SetAllParameters(const DS3DBUFFER* parameters, DWORD apply)
{
    if (!parameters)
        return DSERR_INVALIDPARAM;
    return Update(apply, [parameters](DS3DBUFFER& b) {
        const DWORD size = b.dwSize;
        b = *parameters;
        b.dwSize = size;
    });
}

HRESULT CDsBuffer3d::SetConeAngles(DWORD insideDegrees, DWORD outsideDegrees, DWORD apply)
{
    return Update(apply, [=](DS3DBUFFER& b) {
        b.dwInsideConeAngle = insideDegrees;
        b.dwOutsideConeAngle = outsideDegrees;
    });
}

HRESULT CDsBuffer3d::SetConeOrientation(float x, float y, float z, DWORD apply)
{
    return Update(apply, [=](DS3DBUFFER& b) { b.vConeOrientation = {x, y, z}; });
}

HRESULT CDsBuffer3d::SetConeOutsideVolume(LONG volume, DWORD apply)
{
    return Update(apply, [=](DS3DBUFFER& b) { b.lConeOutsideVolume = volume; });
}

HRESULT CDsBuffer3d::SetMaxDistance(float distance, DWORD apply)
{
    return Update(apply, [=](DS3DBUFFER& b) { b.flMaxDistance = distance; });
}

HRESULT CDsBuffer3d::SetMinDistance(float distance, DWORD apply)
{
    return Update(apply, [=](DS3DBUFFER& b) { b.flMinDistance = distance; });
}

HRESULT CDsBuffer3d::SetMode(DWORD mode, DWORD apply)
{
    return Update(apply, [=](DS3DBUFFER& b) { b.dwMode = mode; });
}

HRESULT CDsBuffer3d::SetPosition(float x, float y, float z, DWORD apply)
{
    return Update(apply, [=](DS3DBUFFER& b) { b.vPosition = {x, y, z}; });
}

HRESULT CDsBuffer3d::SetVelocity(float x, float y, float z, DWORD apply)
{
    return Update(apply, [=](DS3DBUFFER& b) { b.vVelocity = {x, y, z}; });
}
