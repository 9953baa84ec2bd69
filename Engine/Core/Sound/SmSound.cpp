// Sounds: static and streamed playback, the volume law and 3D sounds.
#include "Engine/Core/Sound/SmSound.h"

#include "Engine/Core/Common/GeError.h"
#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GeSimd.h"
#include "Engine/Core/Sound/SmSoundData.h"
#include "Engine/Core/Sound/SmSoundManager.h"
#include "Platform/Win32/WinTime.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstring>

// Flag words of the secondary buffers.
static const DWORD kStaticFlags =
    DSBCAPS_LOCSOFTWARE | DSBCAPS_CTRLPAN | DSBCAPS_CTRLVOLUME | DSBCAPS_GLOBALFOCUS | DSBCAPS_GETCURRENTPOSITION2;
static const DWORD kStatic3dFlags =
    DSBCAPS_CTRL3D | DSBCAPS_CTRLVOLUME | DSBCAPS_GLOBALFOCUS | DSBCAPS_GETCURRENTPOSITION2;
static const DWORD kStreamFlags = kStaticFlags | DSBCAPS_CTRLPOSITIONNOTIFY;
static const DWORD kStream3dFlags = DSBCAPS_LOCSOFTWARE | DSBCAPS_CTRL3D | DSBCAPS_CTRLVOLUME |
                                    DSBCAPS_CTRLPOSITIONNOTIFY | DSBCAPS_GLOBALFOCUS | DSBCAPS_GETCURRENTPOSITION2 |
                                    DSBCAPS_MUTE3DATMAXDISTANCE;

CSmPlayOption CSmPlayOption::Uint(uint32_t kind, uint32_t value)
{
    CSmPlayOption option;
    option.kind = kind;
    option.values[0] = value;
    return option;
}

CSmPlayOption CSmPlayOption::Float(uint32_t kind, float value)
{
    return Vector(kind, value, 0.0f, 0.0f);
}

CSmPlayOption CSmPlayOption::Vector(uint32_t kind, float x, float y, float z)
{
    CSmPlayOption option;
    option.kind = kind;
    memcpy(&option.values[0], &x, 4);
    memcpy(&option.values[1], &y, 4);
    memcpy(&option.values[2], &z, 4);
    return option;
}

float CSmPlayOption::FloatAt(int i) const
{
    float value;
    memcpy(&value, &values[i], 4);
    return value;
}

void CSmPlayOption::ApplyTo(CSmPlayParams& p) const
{
    const Vec3 v = {FloatAt(0), FloatAt(1), FloatAt(2)};
    switch (kind) {
    case kStartPosition: p.startPosition = values[0]; break;
    case kLoop: p.loop = 1; break;
    case kPan: p.pan = FloatAt(0); break;
    case kVolume: p.volume = FloatAt(0); break;
    case k3d: p.is3d = 1; break;
    case kVelocity: p.velocity = v; break;
    case kPosition: p.position = v; break;
    case kInsideConeAngle: p.insideConeAngle = values[0]; break;
    case kOutsideConeAngle: p.outsideConeAngle = values[0]; break;
    case kConeOutsideVolume: p.coneOutsideVolume = FloatAt(0); break;
    case kConeOrientation: p.coneOrientation = v; break;
    case kMaxDistance: p.maxDistance = FloatAt(0); break;
    case kMinDistance: p.minDistance = FloatAt(0); break;
    default: break;
    }
}

Vec3 SmVelocity(const Vec3& now, const Vec3& before, float seconds)
{
    if (!(seconds > 0.0f))
        return {0, 0, 0};
    const float inverse = 1.0f / seconds;
    return {(now.x - before.x) * inverse, (now.y - before.y) * inverse, (now.z - before.z) * inverse};
}

LONG SmVolumeToAttenuation(float volume)
{
    const double v = std::min(1.0, std::max(0.000000001, static_cast<double>(volume)));
    const double mB = -10000.0 * std::log(v) / std::log(0.0001);
    LONG result = static_cast<LONG>(mB);
    return std::min<LONG>(0, std::max<LONG>(-10000, result));
}

CSmSound::CSmSound() = default;

CSmSound::~CSmSound()
{
    if (handle)
        *handle = nullptr;
    if (streamed)
        CSmSoundManager::RemoveStream(this);
    if (buffer) {
        buffer->Stop();
        buffer->Release();
        buffer = nullptr;
    }
    for (HANDLE& event : events) {
        if (event)
            CloseHandle(event);
        event = nullptr;
    }
}

uint32_t CSmSound::PlayEx(CSmSoundEntry* entry, CSmSound** handle, const CSmPlayOption* option, ...)
{
    if (handle)
        *handle = nullptr;
    CSmPlayParams params;
    va_list args;
    va_start(args, option);
    for (const CSmPlayOption* o = option; o; o = va_arg(args, const CSmPlayOption*))
        o->ApplyTo(params);
    va_end(args);
    params.managed = 1;
    CSmSound* sound = Play(entry, params);
    if (!entry)
        return 0;
    if (handle && sound && entry->played.Count() > 0) {
        *handle = sound;
        sound->handle = handle;
    }
    return entry->played.Count();
}

// The start position in bytes: aligned down to a frame, within the source.
static uint32_t StartOffsetOf(const CSmSoundData* data, uint32_t startMs)
{
    const WAVEFORMATEX* f = data->GetFormat();
    const uint32_t size = data->GetSize();
    uint64_t offset = static_cast<uint64_t>(startMs) * f->nAvgBytesPerSec / 1000;
    offset -= offset % f->nBlockAlign;
    return size ? static_cast<uint32_t>(offset % size) : 0;
}

// Whether the source can be played at all: data and a usable format.
static bool IsPlayable(const CSmSoundData* data)
{
    const WAVEFORMATEX* f = data->GetFormat();
    if (data->GetSize() > 0 && f->nAvgBytesPerSec > 0 && f->nBlockAlign > 0)
        return true;
    GeLog(1, "CSmSound: '%s' holds no sound to play\n", data->GetName());
    return false;
}

CSmSound* CSmSound::Play(CSmSoundEntry* entry, const CSmPlayParams& params)
{
    if (!entry)
        return nullptr;
    if (!entry->data) {
        GE_ERROR_REPORT("Play() : Error while trying to play CSmSound with no sound file");
        return nullptr;
    }
    if (!CSmSoundManager::soundEnabled || !IsPlayable(entry->data))
        return nullptr;
    const CSmSoundData* data = entry->data;
    const uint64_t avg = data->GetFormat()->nAvgBytesPerSec;
    bool stream;
    if (params.loop) {
        stream = data->GetDuration() >= 3000;
    } else {
        const uint64_t offset = static_cast<uint64_t>(params.startPosition) * avg / 1000;
        const uint64_t remaining = data->GetSize() > offset ? data->GetSize() - offset : 0;
        stream = remaining * 1000 / avg >= 3000;
    }
    return stream ? PlayStreamingSound(entry, params) : PlaySound(entry, params);
}

bool CSmSound::CreateBuffer(DWORD flags, DWORD bytes)
{
    desc = {};
    desc.dwSize = 36;
    desc.dwFlags = flags;
    desc.dwBufferBytes = bytes;
    desc.lpwfxFormat = &format;
    desc.guid3DAlgorithm = DS3DALG_DEFAULT;
    const HRESULT hr = CSmSoundManager::directSound->CreateSoundBuffer(&desc, &buffer, nullptr);
    if (FAILED(hr)) {
        GeLog(1, "CSmSound: cannot create a sound buffer (0x%08X) for '%s'\n", static_cast<unsigned>(hr),
              entry && entry->data ? entry->data->GetName() : "");
        buffer = nullptr;
        return false;
    }
    return true;
}

void CSmSound::Silence(uint8_t* dst, uint32_t count)
{
    memset(dst, format.wBitsPerSample == 8 ? 0x80 : 0, count);
}

void CSmSound::CopySource(uint8_t* dst, uint32_t from, uint32_t count)
{
    if (count == 0)
        return;
    const uint8_t* bytes = entry->data->GetBytes(from, count);
    if (bytes)
        memcpy(dst, bytes, count);
    else
        Silence(dst, count);
}

void CSmSound::FillFrom(uint8_t* dst, uint64_t rel, uint32_t count)
{
    const uint32_t size = entry->data->GetSize();
    if (loop) {
        uint64_t from = (rel + startOffset) % size;
        while (count > 0) {
            const uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(count, size - from));
            CopySource(dst, static_cast<uint32_t>(from), n);
            dst += n;
            count -= n;
            from = 0;
        }
        return;
    }
    const uint32_t n = rel >= totalBytes ? 0 : static_cast<uint32_t>(std::min<uint64_t>(count, totalBytes - rel));
    CopySource(dst, static_cast<uint32_t>(startOffset + rel), n);
    Silence(dst + n, count - n);
}

void CSmSound::Start(uint32_t playFlags)
{
    if (!buffer)
        return;
    if (!is3d)
        buffer->SetPan(static_cast<LONG>(params.pan * 10000.0f));
    ApplyVolume();
    Apply3dParameters();
    const HRESULT hr = buffer->Play(0, 0, playFlags);
    if (FAILED(hr))
        GeLog(1, "CSmSound: cannot play '%s' (0x%08X)\n", entry->data->GetName(), static_cast<unsigned>(hr));
}

CSmSound* CSmSound::PlaySound(CSmSoundEntry* entry, const CSmPlayParams& params)
{
    if (!entry || !entry->data) {
        GE_ERROR_REPORT("PlaySound() : Error while trying to play CSmSound with no sound file");
        return nullptr;
    }
    if (!CSmSoundManager::soundEnabled || !IsPlayable(entry->data))
        return nullptr;
    CSmSoundData* data = entry->data;
    const uint32_t size = data->GetSize();
    CSmSound* sound = nullptr;
    if (params.managed) {
        for (CSmSound* s : entry->played) {
            if (s && !s->streamed && !s->paused && s->is3d == params.is3d && !s->IsPlaying()) {
                sound = s;
                break;
            }
        }
    }
    if (!sound) {
        entry->PurgeFinished();
        sound = params.is3d ? new CSmSound3D : new CSmSound;
        sound->entry = entry;
        sound->is3d = params.is3d;
        sound->format = *data->GetFormat();
        sound->format.cbSize = 0;
        if (sound->CreateBuffer(params.is3d ? kStatic3dFlags : kStaticFlags, size)) {
            void* first = nullptr;
            DWORD firstBytes = 0;
            if (SUCCEEDED(sound->buffer->Lock(0, size, &first, &firstBytes, nullptr, nullptr, DSBLOCK_ENTIREBUFFER))) {
                sound->CopySource(static_cast<uint8_t*>(first), 0, std::min(firstBytes, size));
                sound->buffer->Unlock(first, firstBytes, nullptr, 0);
            }
        }
        if (params.managed)
            entry->played.Add(sound);
    }
    // A reused instance starts afresh: the handle of its last player no
    // longer reaches it, and that player's mute and distance factor go.
    if (sound->handle) {
        *sound->handle = nullptr;
        sound->handle = nullptr;
    }
    sound->muted = 0;
    sound->factor = 1.0f;
    sound->params = params;
    sound->loop = params.loop;
    sound->paused = 0;
    sound->totalBytes = size;
    sound->startOffset = StartOffsetOf(data, params.startPosition);
    if (sound->buffer)
        sound->buffer->SetCurrentPosition(sound->startOffset);
    sound->Start(params.loop ? DSBPLAY_LOOPING : 0);
    return sound;
}

CSmSound* CSmSound::PlayStreamingSound(CSmSoundEntry* entry, const CSmPlayParams& params)
{
    if (!entry || !entry->data) {
        GE_ERROR_REPORT("PlayStreamingSound() : Error while trying to play CSmSound with no sound file");
        return nullptr;
    }
    if (!CSmSoundManager::soundEnabled || !IsPlayable(entry->data))
        return nullptr;
    CSmSoundData* data = entry->data;
    const WAVEFORMATEX* f = data->GetFormat();
    uint32_t segment = static_cast<uint32_t>(static_cast<uint64_t>(f->nSamplesPerSec) * f->nBlockAlign * 3 / 8);
    segment -= segment % f->nBlockAlign;
    if (segment == 0)
        return nullptr;

    CSmSound* sound = params.is3d ? new CSmSound3D : new CSmSound;
    sound->entry = entry;
    sound->params = params;
    sound->streamed = 1;
    sound->loop = params.loop;
    sound->is3d = params.is3d;
    sound->format = *f;
    sound->format.cbSize = 0;
    sound->segmentBytes = segment;
    sound->bufferBytes = kSegments * segment;
    sound->startOffset = StartOffsetOf(data, params.startPosition);
    sound->totalBytes = params.loop ? data->GetSize() : data->GetSize() - sound->startOffset;
    for (HANDLE& event : sound->events)
        event = CreateEventA(nullptr, TRUE, FALSE, nullptr);

    if (sound->CreateBuffer(params.is3d ? kStream3dFlags : kStreamFlags, sound->bufferBytes)) {
        IDirectSoundNotify* notify = nullptr;
        if (SUCCEEDED(sound->buffer->QueryInterface(IID_IDirectSoundNotify, reinterpret_cast<void**>(&notify)))) {
            DSBPOSITIONNOTIFY positions[kSegments];
            for (int k = 0; k < kSegments; k++) {
                positions[k].dwOffset = (k + 1) * segment - 1;
                positions[k].hEventNotify = sound->events[k];
            }
            if (FAILED(notify->SetNotificationPositions(kSegments, positions)))
                GeLog(1, "CSmSound: cannot set the notifications of '%s'\n", data->GetName());
            notify->Release();
        } else {
            GeLog(1, "CSmSound: no position notification for '%s'\n", data->GetName());
        }
        void* first = nullptr;
        DWORD firstBytes = 0;
        if (SUCCEEDED(sound->buffer->Lock(0, sound->bufferBytes, &first, &firstBytes, nullptr, nullptr,
                                          DSBLOCK_ENTIREBUFFER))) {
            sound->FillFrom(static_cast<uint8_t*>(first), 0, firstBytes);
            sound->buffer->Unlock(first, firstBytes, nullptr, 0);
        }
        sound->Start(DSBPLAY_LOOPING);
        CSmSoundManager::AddStream(sound);
    }
    if (params.managed)
        entry->played.Add(sound);
    return sound;
}

bool CSmSound::RestoreBuffer()
{
    DWORD status = 0;
    if (!buffer || FAILED(buffer->GetStatus(&status)) || !(status & DSBSTATUS_BUFFERLOST))
        return false;
    for (int tries = 0; tries < 100 && buffer->Restore() == DSERR_BUFFERLOST; tries++)
        Sleep(10);
    return true;
}

void CSmSound::UpdateStreaming()
{
    if (!buffer || segmentBytes == 0)
        return;
    if (RestoreBuffer()) {
        void* first = nullptr;
        DWORD firstBytes = 0;
        if (SUCCEEDED(buffer->Lock(0, bufferBytes, &first, &firstBytes, nullptr, nullptr, DSBLOCK_ENTIREBUFFER))) {
            FillFrom(static_cast<uint8_t*>(first), static_cast<uint64_t>(segmentsPlayed / kSegments) * bufferBytes,
                     firstBytes);
            buffer->Unlock(first, firstBytes, nullptr, 0);
        }
    }
    if (segmentsPlayed == 0) {
        segmentsPlayed = 1; // the first fill covered the whole ring
        return;
    }
    if ((segmentsPlayed + 1) % kSegments == 0) {
        wrapFlag.exchange(1);
        passesAtWrap.exchange(passes.load());
        passes.exchange(passes.load() + 1);
    }
    const uint32_t k = segmentsPlayed & (kSegments - 1);
    const uint32_t offset = (k == 0 ? kSegments - 1 : k - 1) * segmentBytes;
    const uint64_t rel = static_cast<uint64_t>(segmentsPlayed + kSegments - 1) * segmentBytes;
    if (!loop) {
        const uint32_t whole = totalBytes / segmentBytes;
        const uint32_t rest = totalBytes % segmentBytes;
        if ((rest == 0 && whole == segmentsPlayed) || (rest != 0 && whole + 1 == segmentsPlayed)) {
            buffer->Stop();
            return;
        }
    }
    void* first = nullptr;
    DWORD firstBytes = 0;
    if (SUCCEEDED(buffer->Lock(offset, segmentBytes, &first, &firstBytes, nullptr, nullptr, 0))) {
        FillFrom(static_cast<uint8_t*>(first), rel, firstBytes);
        buffer->Unlock(first, firstBytes, nullptr, 0);
    }
    segmentsPlayed++;
}

void CSmSound::Stop()
{
    if (CSmSoundManager::soundEnabled && buffer && FAILED(buffer->Stop()))
        GeLog(1, "CSmSound: cannot stop '%s'\n", entry && entry->data ? entry->data->GetName() : "");
}

uint32_t CSmSound::GetStatus()
{
    DWORD status = 0;
    if (!CSmSoundManager::soundEnabled || !buffer || FAILED(buffer->GetStatus(&status)))
        return 0;
    return status;
}

bool CSmSound::IsPlaying()
{
    return !IsStopped();
}

bool CSmSound::IsStopped()
{
    if (!CSmSoundManager::soundEnabled || !buffer || paused)
        return true;
    if (!(GetStatus() & DSBSTATUS_PLAYING))
        return true;
    if (!streamed || loop)
        return false;
    // A stream's counters belong to the streaming pass: read them under its
    // lock (which the pass itself already holds).
    CSmSoundManager::LockStreams();
    bool stopped = false;
    DWORD cursor = 0;
    if (FAILED(buffer->GetCurrentPosition(&cursor, nullptr))) {
        stopped = true;
    } else if (segmentsPlayed == totalBytes / segmentBytes &&
               cursor / segmentBytes == (segmentsPlayed & (kSegments - 1)) &&
               cursor % segmentBytes >= totalBytes % segmentBytes) {
        stopped = true;
    }
    if (stopped)
        buffer->Stop();
    CSmSoundManager::UnlockStreams();
    return stopped;
}

uint32_t CSmSound::GetPlayTime()
{
    const CSmSoundData* data = entry ? entry->data : nullptr;
    if (!data)
        return 0;
    const uint32_t avg = format.nAvgBytesPerSec;
    DWORD cursor = 0;
    if (!IsPlaying() || avg == 0 || FAILED(buffer->GetCurrentPosition(&cursor, nullptr)))
        return data->GetDuration();
    uint64_t position = cursor;
    if (streamed) {
        // The segment the cursor is in, counted from the start: the ring's
        // segment of the cursor at or after the segments already refilled
        // (fewer than eight can be pending between two passes).
        CSmSoundManager::LockStreams();
        const uint32_t done = segmentsPlayed;
        CSmSoundManager::UnlockStreams();
        const uint32_t ring = cursor / segmentBytes;
        const uint64_t segment = done + ((ring - done) & (kSegments - 1));
        position = startOffset + segment * segmentBytes + cursor % segmentBytes;
        position = loop ? position % data->GetSize() : std::min<uint64_t>(position, data->GetSize());
    }
    return static_cast<uint32_t>(position * 1000 / avg);
}

void CSmSound::ApplyVolume()
{
    if (!CSmSoundManager::soundEnabled || !buffer)
        return;
    const CSmSoundGroup* group = entry ? entry->group : nullptr;
    LONG attenuation = DSBVOLUME_MIN;
    if (!CSmSoundManager::focusMuted && !(group && group->muted) && !muted)
        attenuation = SmVolumeToAttenuation((group ? group->volume : 1.0f) * params.volume * factor);
    if (FAILED(buffer->SetVolume(attenuation)))
        GeLog(1, "CSmSound: cannot set the volume of '%s'\n", entry && entry->data ? entry->data->GetName() : "");
}

void CSmSound::SetPan(float pan)
{
    if (pan == params.pan || !CSmSoundManager::soundEnabled)
        return;
    if (buffer && !is3d)
        buffer->SetPan(static_cast<LONG>(pan * 10000.0f));
    params.pan = pan;
}

void CSmSound::SetVolume(float volume)
{
    params.volume = std::min(1.0f, std::max(0.00001f, volume));
    ApplyVolume();
}

CSmSound3D::~CSmSound3D()
{
    // Out of the streaming list before any part of the sound goes.
    if (streamed)
        CSmSoundManager::RemoveStream(this);
    if (buffer3d) {
        buffer3d->Release();
        buffer3d = nullptr;
    }
}

void CSmSound3D::Apply3dParameters()
{
    velocity3d = params.velocity;
    position3d = params.position;
    previousPosition = params.position;
    coneOrientation = params.coneOrientation;
    insideConeAngle = params.insideConeAngle;
    outsideConeAngle = params.outsideConeAngle;
    minDistance = params.minDistance;
    maxDistance = params.maxDistance;
    coneOutsideVolume = params.coneOutsideVolume;
    if (!buffer)
        return;
    if (!buffer3d && FAILED(buffer->QueryInterface(IID_IDirectSound3DBuffer, reinterpret_cast<void**>(&buffer3d)))) {
        buffer3d = nullptr;
        return;
    }
    DS3DBUFFER all = {};
    all.dwSize = sizeof(all);
    all.vPosition = {position3d.x, position3d.y, position3d.z};
    all.vVelocity = {velocity3d.x, velocity3d.y, velocity3d.z};
    all.dwInsideConeAngle = insideConeAngle;
    all.dwOutsideConeAngle = outsideConeAngle;
    all.vConeOrientation = {coneOrientation.x, coneOrientation.y, coneOrientation.z};
    all.lConeOutsideVolume = SmVolumeToAttenuation(coneOutsideVolume);
    all.flMinDistance = minDistance;
    all.flMaxDistance = maxDistance;
    all.dwMode = DS3DMODE_NORMAL;
    // At once: the sound starts where it is, not at the next commit.
    buffer3d->SetAllParameters(&all, DS3D_IMMEDIATE);
}

void CSmSound3D::SetPosition(const Vec3& p)
{
    previousPosition = position3d;
    position3d = p;
    if (CSmSoundManager::soundEnabled && buffer3d)
        buffer3d->SetPosition(p.x, p.y, p.z, DS3D_DEFERRED);
}

void CSmSound3D::SetVelocity(const Vec3& v)
{
    velocity3d = v;
    if (CSmSoundManager::soundEnabled && buffer3d)
        buffer3d->SetVelocity(v.x, v.y, v.z, DS3D_DEFERRED);
}

void CSmSound3D::SetConeOrientation(const Vec3& o)
{
    coneOrientation = o;
    if (CSmSoundManager::soundEnabled && buffer3d)
        buffer3d->SetConeOrientation(o.x, o.y, o.z, DS3D_DEFERRED);
}

void CSmSound3D::SetDistances(float minimum, float maximum)
{
    minDistance = minimum;
    maxDistance = maximum;
    if (CSmSoundManager::soundEnabled && buffer3d) {
        buffer3d->SetMinDistance(minimum, DS3D_DEFERRED);
        buffer3d->SetMaxDistance(maximum, DS3D_DEFERRED);
    }
}

void CSmSound3D::SetConeOutsideVolume(float volume)
{
    coneOutsideVolume = volume;
    if (CSmSoundManager::soundEnabled && buffer3d)
        buffer3d->SetConeOutsideVolume(SmVolumeToAttenuation(volume), DS3D_DEFERRED);
}

void CSmSound3D::UpdateVelocity(float frameDelta)
{
    previousSmoothedTime = smoothedTime;
    smoothedTime = previousSmoothedTime * smoothingWeight + (1.0f - smoothingWeight) * frameDelta;
    SetVelocity(SmVelocity(position3d, previousPosition, smoothedTime));
}
