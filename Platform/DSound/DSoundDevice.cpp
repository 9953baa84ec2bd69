// The device, its primary buffer and the 3D listener, device enumeration and
// creation, and the test hooks that choose how a device outputs.
#include "Platform/DSound/DSound.h"
#include "Platform/DSound/DSoundBuffer.h"
#include "Platform/DSound/DSoundMixer.h"
#include "Platform/DSound/DSoundOutput.h"
#include "Platform/DSound/DSoundRefCounted.h"
#include "Platform/DSound/DSoundTesting.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <new>

const IID IID_IDirectSound = {0x279AFA83, 0x4981, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};
const IID IID_IDirectSoundBuffer = {0x279AFA85, 0x4981, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};
const IID IID_IDirectSound3DListener = {0x279AFA84, 0x4981, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};
const IID IID_IDirectSound3DBuffer = {0x279AFA86, 0x4981, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};
const IID IID_IDirectSoundNotify = {0xB0210783, 0x89CD, 0x11D0, {0xAF, 0x08, 0x00, 0xA0, 0xC9, 0x25, 0xCD, 0x16}};
const GUID DS3DALG_DEFAULT = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};

namespace {

std::atomic<DSoundTestBackend> g_backend{DSoundTestBackend::Audio};

// Smallest DSBUFFERDESC a caller can mean: everything up to the format pointer
// of a 32-bit build.
const DWORD kMinimumDescSize = 20;

bool IsValidApply(DWORD apply)
{
    return apply == DS3D_IMMEDIATE || apply == DS3D_DEFERRED;
}

class CDsPrimaryBuffer;

class CDsListener : public CDsPartOf<IDirectSound3DListener, CDsPrimaryBuffer> {
public:
    CDsListener(CDsPrimaryBuffer* owner, CDsMixer* mixer) : CDsPartOf(owner), m_mixer(mixer) {}

    HRESULT CommitDeferredSettings() override
    {
        m_mixer->CommitDeferred3d();
        return DS_OK;
    }

    HRESULT GetRolloffFactor(float* rolloff) override
    {
        if (!rolloff)
            return DSERR_INVALIDPARAM;
        std::lock_guard<std::mutex> lock(m_mixer->ThreeDLock());
        *rolloff = m_mixer->ActiveListener().rolloffFactor;
        return DS_OK;
    }

    HRESULT SetDistanceFactor(float metresPerUnit, DWORD apply) override
    {
        if (!(metresPerUnit > 0.0f))
            return DSERR_INVALIDPARAM;
        return Update(apply, [=](CDs3dListener& l) { l.distanceFactor = metresPerUnit; });
    }

    HRESULT SetDopplerFactor(float doppler, DWORD apply) override
    {
        if (!(doppler >= 0.0f && doppler <= 10.0f))
            return DSERR_INVALIDPARAM;
        return Update(apply, [=](CDs3dListener& l) { l.dopplerFactor = doppler; });
    }

    HRESULT SetOrientation(float frontX, float frontY, float frontZ, float topX, float topY, float topZ,
                           DWORD apply) override
    {
        const D3DVECTOR front = {frontX, frontY, frontZ};
        const D3DVECTOR top = {topX, topY, topZ};
        // Without a plane there is no left and right: keep the last orientation.
        if (!Ds3dIsValidOrientation(front, top))
            return DSERR_INVALIDPARAM;
        return Update(apply, [=](CDs3dListener& l) {
            l.front = front;
            l.top = top;
        });
    }

    HRESULT SetPosition(float x, float y, float z, DWORD apply) override
    {
        return Update(apply, [=](CDs3dListener& l) { l.position = {x, y, z}; });
    }

    HRESULT SetRolloffFactor(float rolloff, DWORD apply) override
    {
        if (!(rolloff >= 0.0f && rolloff <= 10.0f))
            return DSERR_INVALIDPARAM;
        return Update(apply, [=](CDs3dListener& l) { l.rolloffFactor = rolloff; });
    }

    HRESULT SetVelocity(float x, float y, float z, DWORD apply) override
    {
        return Update(apply, [=](CDs3dListener& l) { l.velocity = {x, y, z}; });
    }

private:
    template <class Change>
    HRESULT Update(DWORD apply, Change change)
    {
        if (!IsValidApply(apply))
            return DSERR_INVALIDPARAM;
        std::lock_guard<std::mutex> lock(m_mixer->ThreeDLock());
        change(m_mixer->PendingListener());
        if (apply == DS3D_IMMEDIATE)
            change(m_mixer->ActiveListener());
        return DS_OK;
    }

    CDsMixer* m_mixer;
};

// The device's output. It holds no samples: its format is the mixer's, its
// volume scales the whole mix, and it gives the listener when made with 3D.
class CDsPrimaryBuffer : public WinRefCounted<IDirectSoundBuffer> {
public:
    CDsPrimaryBuffer(std::shared_ptr<CDsMixer> mixer, DWORD flags)
        : m_mixer(std::move(mixer)), m_flags(flags), m_listener(this, m_mixer.get())
    {
    }

    HRESULT QueryInterface(REFIID iid, void** object) override
    {
        if (!object)
            return DSERR_INVALIDPARAM;
        *object = nullptr;
        if (IsEqualGUID(iid, IID_IDirectSoundBuffer))
            *object = static_cast<IDirectSoundBuffer*>(this);
        else if (IsEqualGUID(iid, IID_IDirectSound3DListener) && (m_flags & DSBCAPS_CTRL3D))
            *object = static_cast<IDirectSound3DListener*>(&m_listener);
        else
            return DSERR_NOINTERFACE;
        AddRef();
        return DS_OK;
    }

    HRESULT GetCurrentPosition(DWORD* playCursor, DWORD* writeCursor) override
    {
        if (playCursor)
            *playCursor = 0;
        if (writeCursor)
            *writeCursor = 0;
        return DS_OK;
    }

    HRESULT GetStatus(DWORD* status) override
    {
        if (!status)
            return DSERR_INVALIDPARAM;
        *status = DSBSTATUS_PLAYING | DSBSTATUS_LOOPING;
        return DS_OK;
    }

    // Writing the primary buffer directly is not supported.
    HRESULT Lock(DWORD, DWORD, void**, DWORD*, void**, DWORD*, DWORD) override { return DSERR_INVALIDCALL; }
    HRESULT Unlock(void*, DWORD, void*, DWORD) override { return DSERR_INVALIDCALL; }
    HRESULT SetCurrentPosition(DWORD) override { return DSERR_INVALIDCALL; }
    HRESULT Play(DWORD, DWORD, DWORD) override { return DS_OK; }
    HRESULT Stop() override { return DS_OK; }
    HRESULT Restore() override { return DS_OK; }

    // The mixer keeps rendering 44100 Hz stereo 16-bit (the engine's choice);
    // another valid format is accepted and converted, as DirectSound does when
    // the hardware cannot take it.
    HRESULT SetFormat(const WAVEFORMATEX* format) override
    {
        if (!format)
            return DSERR_INVALIDPARAM;
        if (m_mixer->cooperativeLevel.load() < DSSCL_PRIORITY)
            return DSERR_PRIOLEVELNEEDED;
        if (format->wFormatTag != WAVE_FORMAT_PCM || (format->nChannels != 1 && format->nChannels != 2)
            || (format->wBitsPerSample != 8 && format->wBitsPerSample != 16) || format->nSamplesPerSec < 100
            || format->nSamplesPerSec > 200000)
            return DSERR_BADFORMAT;
        return DS_OK;
    }

    HRESULT SetVolume(LONG volume) override
    {
        if (!(m_flags & DSBCAPS_CTRLVOLUME))
            return DSERR_CONTROLUNAVAIL;
        if (volume < DSBVOLUME_MIN || volume > DSBVOLUME_MAX)
            return DSERR_INVALIDPARAM;
        m_mixer->masterGain.store(DsMilliBelsToGain(volume));
        return DS_OK;
    }

    HRESULT SetPan(LONG pan) override
    {
        if (!(m_flags & DSBCAPS_CTRLPAN))
            return DSERR_CONTROLUNAVAIL;
        return pan < DSBPAN_LEFT || pan > DSBPAN_RIGHT ? DSERR_INVALIDPARAM : DS_OK;
    }

private:
    ~CDsPrimaryBuffer() override = default;

    std::shared_ptr<CDsMixer> m_mixer;
    const DWORD m_flags;
    CDsListener m_listener;
};

class CDsDevice : public WinRefCounted<IDirectSound> {
public:
    CDsDevice(std::shared_ptr<CDsMixer> mixer, std::unique_ptr<CDsOutput> output)
        : m_mixer(std::move(mixer)), m_output(std::move(output))
    {
    }

    HRESULT QueryInterface(REFIID iid, void** object) override
    {
        if (!object)
            return DSERR_INVALIDPARAM;
        *object = nullptr;
        if (!IsEqualGUID(iid, IID_IDirectSound))
            return DSERR_NOINTERFACE;
        *object = static_cast<IDirectSound*>(this);
        AddRef();
        return DS_OK;
    }

    HRESULT CreateSoundBuffer(const DSBUFFERDESC* desc, IDirectSoundBuffer** buffer, void* outer) override
    {
        if (!buffer)
            return DSERR_INVALIDPARAM;
        *buffer = nullptr;
        if (outer)
            return DSERR_NOAGGREGATION;
        if (!desc || desc->dwSize < kMinimumDescSize)
            return DSERR_INVALIDPARAM;
        if (desc->dwFlags & DSBCAPS_PRIMARYBUFFER) {
            if (desc->dwBufferBytes != 0 || desc->lpwfxFormat)
                return DSERR_INVALIDPARAM;
            // One primary buffer per device; asking again gives the same one.
            if (!m_primary)
                m_primary = new (std::nothrow) CDsPrimaryBuffer(m_mixer, desc->dwFlags);
            if (!m_primary)
                return DSERR_OUTOFMEMORY;
            m_primary->AddRef();
            *buffer = m_primary;
            return DS_OK;
        }
        const HRESULT valid = CDsSecondaryBuffer::Validate(*desc);
        if (FAILED(valid))
            return valid;
        CDsSecondaryBuffer* created = nullptr;
        try {
            created = new CDsSecondaryBuffer(m_mixer, *desc);
        } catch (const std::bad_alloc&) {
            return DSERR_OUTOFMEMORY;
        }
        m_mixer->AddBuffer(created);
        *buffer = created;
        return DS_OK;
    }

    HRESULT SetCooperativeLevel(HWND window, DWORD level) override
    {
        // The window only matters for focus, and every buffer of the engine
        // plays with global focus.
        (void)window;
        if (level < DSSCL_NORMAL || level > DSSCL_WRITEPRIMARY)
            return DSERR_INVALIDPARAM;
        m_mixer->cooperativeLevel.store(level);
        return DS_OK;
    }

    HRESULT SetSpeakerConfig(DWORD config) override
    {
        // Output is always stereo; the setting is the user's to keep.
        m_speakerConfig = config;
        return DS_OK;
    }

    bool IsManual() const { return !m_output; }
    CDsMixer* Mixer() { return m_mixer.get(); }

private:
    ~CDsDevice() override
    {
        // The output's thread ends first, then buffers the engine still holds
        // fall silent; they stay valid until their own Release.
        m_output.reset();
        m_mixer->StopAll();
        if (m_primary)
            m_primary->Release();
    }

    std::shared_ptr<CDsMixer> m_mixer;
    std::unique_ptr<CDsOutput> m_output;
    CDsPrimaryBuffer* m_primary = nullptr;
    DWORD m_speakerConfig = DSSPEAKER_STEREO;
};

} // namespace

HRESULT DirectSoundEnumerateA(LPDSENUMCALLBACKA callback, void* context)
{
    if (!callback)
        return DSERR_INVALIDPARAM;
    if (!callback(nullptr, "Primary Sound Driver", "", context))
        return DS_OK;
    if (g_backend.load() == DSoundTestBackend::Audio)
        DsEnumerateOutputs(callback, context);
    return DS_OK;
}

HRESULT DirectSoundCreate(LPCGUID device, IDirectSound** sound, void* outer)
{
    if (!sound)
        return DSERR_INVALIDPARAM;
    *sound = nullptr;
    if (outer)
        return DSERR_NOAGGREGATION;
    const DSoundTestBackend backend = g_backend.load();
    if (backend == DSoundTestBackend::None)
        return DSERR_NODRIVER;
    std::shared_ptr<CDsMixer> mixer = std::make_shared<CDsMixer>();
    std::unique_ptr<CDsOutput> output;
    if (backend == DSoundTestBackend::Audio) {
        output = DsOpenOutput(device, mixer);
        if (!output)
            return DSERR_NODRIVER;
    }
    *sound = new CDsDevice(mixer, std::move(output));
    return DS_OK;
}

void DSoundTestSetBackend(DSoundTestBackend backend)
{
    g_backend.store(backend);
}

bool DSoundTestPull(IDirectSound* sound, int16_t* output, DWORD frames)
{
    CDsDevice* device = dynamic_cast<CDsDevice*>(sound);
    if (!device || !device->IsManual())
        return false;
    device->Mixer()->Render(output, frames);
    return true;
}
