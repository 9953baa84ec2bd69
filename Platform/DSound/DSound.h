// Public header of the platform layer (sound): the DirectSound-shaped device, buffers, 3D
// interfaces and position notification that the engine's sound code plays
// through, mixed in software and played with the platform's audio output.
// Numbers (flags, status bits, result codes, structure layouts) are
// DirectSound's own, since the engine stores and compares them.
//
// Only what the engine calls is declared. Objects are reference counted like
// COM objects (the last Release frees); QueryInterface hands out the notify and
// 3D interfaces of a buffer and the listener of a primary buffer, each holding a
// reference to it.
//
// Choices where DirectSound leaves room:
// - Everything mixes in software at 44100 Hz, stereo, 16-bit; sources of 8 or
//   16 bits, mono or stereo, at any rate from 100 to 200000 Hz are converted
//   with linear interpolation. The write cursor equals the play cursor.
// - Volume is an amplitude gain of 10^(mB / 2000); -10000 is exact silence. Pan
//   lowers the far channel the same way and keeps the centre at full level.
//   Sums saturate to the 16-bit range.
// - A buffer silenced by volume, pan or distance still advances its cursor and
//   signals its notifications; with DSBCAPS_MUTE3DATMAXDISTANCE beyond the
//   maximum distance it stays playing (the engine would take it as finished).
// - Distance law: gain = min / (min + rolloff * (d - min)) for d clamped to
//   [min, max], 1 at rolloff 0 (this is min/d at the real-world rolloff 1; the
//   curve for other rolloff factors is our choice). A minimum distance of 0
//   silences everything but a source at the listener; a maximum below the
//   minimum counts as the minimum.
// - Cones fade linearly in mB between half the inside and half the outside
//   angle. Stereo placement lowers the far channel by (1 - |sin azimuth|),
//   azimuth measured in the listener's horizontal plane. Doppler and the
//   distance factor are stored, not applied.
// - DSBUFFERDESC.dwSize is not compared with sizeof: engine code written for
//   32-bit Windows passes 36, the structure is larger here.
// - A buffer's cursor after a non-looping buffer ran out is 0.
#pragma once

#include "Platform/Win32/WinTypes.h"

#include <cstdint>

#ifndef SUCCEEDED
#define SUCCEEDED(hr) (((HRESULT)(hr)) >= 0)
#define FAILED(hr) (((HRESULT)(hr)) < 0)
#endif

struct GUID {
    DWORD Data1;
    WORD Data2;
    WORD Data3;
    BYTE Data4[8];
};
typedef GUID IID;
typedef GUID* LPGUID;
typedef const GUID* LPCGUID;
typedef const IID& REFIID;

inline bool IsEqualGUID(const GUID& a, const GUID& b)
{
    if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3)
        return false;
    for (int i = 0; i < 8; i++) {
        if (a.Data4[i] != b.Data4[i])
            return false;
    }
    return true;
}

extern const IID IID_IDirectSound;
extern const IID IID_IDirectSoundBuffer;
extern const IID IID_IDirectSound3DListener;
extern const IID IID_IDirectSound3DBuffer;
extern const IID IID_IDirectSoundNotify;
// The default 3D algorithm is the null GUID.
extern const GUID DS3DALG_DEFAULT;

#ifndef D3DVECTOR_DEFINED
#define D3DVECTOR_DEFINED
struct D3DVECTOR {
    float x, y, z;
};
#endif

// Result codes.
#define DS_OK ((HRESULT)0x00000000)
#define DSERR_ALLOCATED ((HRESULT)0x8878000A)
#define DSERR_CONTROLUNAVAIL ((HRESULT)0x8878001E)
#define DSERR_INVALIDPARAM ((HRESULT)0x80070057)
#define DSERR_INVALIDCALL ((HRESULT)0x88780032)
#define DSERR_GENERIC ((HRESULT)0x80004005)
#define DSERR_PRIOLEVELNEEDED ((HRESULT)0x88780046)
#define DSERR_OUTOFMEMORY ((HRESULT)0x8007000E)
#define DSERR_BADFORMAT ((HRESULT)0x88780064)
#define DSERR_UNSUPPORTED ((HRESULT)0x80004001)
#define DSERR_NODRIVER ((HRESULT)0x88780078)
#define DSERR_NOAGGREGATION ((HRESULT)0x80040110)
#define DSERR_BUFFERLOST ((HRESULT)0x88780096)
#define DSERR_NOINTERFACE ((HRESULT)0x80004002)

// DSBUFFERDESC.dwFlags.
#define DSBCAPS_PRIMARYBUFFER 0x00000001u
#define DSBCAPS_STATIC 0x00000002u
#define DSBCAPS_LOCHARDWARE 0x00000004u
#define DSBCAPS_LOCSOFTWARE 0x00000008u
#define DSBCAPS_CTRL3D 0x00000010u
#define DSBCAPS_CTRLFREQUENCY 0x00000020u
#define DSBCAPS_CTRLPAN 0x00000040u
#define DSBCAPS_CTRLVOLUME 0x00000080u
#define DSBCAPS_CTRLPOSITIONNOTIFY 0x00000100u
#define DSBCAPS_CTRLFX 0x00000200u
#define DSBCAPS_STICKYFOCUS 0x00004000u
#define DSBCAPS_GLOBALFOCUS 0x00008000u
#define DSBCAPS_GETCURRENTPOSITION2 0x00010000u
#define DSBCAPS_MUTE3DATMAXDISTANCE 0x00020000u
#define DSBCAPS_LOCDEFER 0x00040000u

// GetStatus.
#define DSBSTATUS_PLAYING 0x00000001u
#define DSBSTATUS_BUFFERLOST 0x00000002u
#define DSBSTATUS_LOOPING 0x00000004u

#define DSBPLAY_LOOPING 0x00000001u
#define DSBLOCK_FROMWRITECURSOR 0x00000001u
#define DSBLOCK_ENTIREBUFFER 0x00000002u

#define DSSCL_NORMAL 1u
#define DSSCL_PRIORITY 2u
#define DSSCL_EXCLUSIVE 3u
#define DSSCL_WRITEPRIMARY 4u

#define DSSPEAKER_STEREO 4u

#define DSBVOLUME_MIN (-10000)
#define DSBVOLUME_MAX 0
#define DSBPAN_LEFT (-10000)
#define DSBPAN_CENTER 0
#define DSBPAN_RIGHT 10000
#define DSBSIZE_MIN 4u
#define DSBSIZE_MAX 0x0FFFFFFFu
#define DSBNOTIFICATIONS_MAX 100000u
#define DSBPN_OFFSETSTOP 0xFFFFFFFFu

#define DS3DMODE_NORMAL 0u
#define DS3DMODE_HEADRELATIVE 1u
#define DS3DMODE_DISABLE 2u
#define DS3D_IMMEDIATE 0u
#define DS3D_DEFERRED 1u

#define WAVE_FORMAT_PCM 1

// Field offsets are Windows' own (a WAV file's "fmt " chunk holds the first 16
// bytes); the structure is not packed, so it is 20 bytes rather than 18 and its
// fields stay aligned wherever it is stored.
struct WAVEFORMATEX {
    WORD wFormatTag;
    WORD nChannels;
    DWORD nSamplesPerSec;
    DWORD nAvgBytesPerSec;
    WORD nBlockAlign;
    WORD wBitsPerSample;
    WORD cbSize;
};
typedef WAVEFORMATEX* LPWAVEFORMATEX;

struct DSBUFFERDESC {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwBufferBytes;
    DWORD dwReserved;
    LPWAVEFORMATEX lpwfxFormat;
    GUID guid3DAlgorithm;
};

struct DSBPOSITIONNOTIFY {
    DWORD dwOffset;
    HANDLE hEventNotify;
};

struct DS3DBUFFER {
    DWORD dwSize;
    D3DVECTOR vPosition;
    D3DVECTOR vVelocity;
    DWORD dwInsideConeAngle;
    DWORD dwOutsideConeAngle;
    D3DVECTOR vConeOrientation;
    LONG lConeOutsideVolume;
    float flMinDistance;
    float flMaxDistance;
    DWORD dwMode;
};

class IDirectSoundBuffer;

// Reference counting and interface queries shared by every object of the layer.
class IDSoundUnknown {
public:
    virtual HRESULT QueryInterface(REFIID iid, void** object) = 0;
    virtual DWORD AddRef() = 0;
    virtual DWORD Release() = 0;

protected:
    virtual ~IDSoundUnknown() = default;
};

class IDirectSound : public IDSoundUnknown {
public:
    // outer must be null. Secondary buffers need a format; the primary buffer
    // takes none and exists once per device.
    virtual HRESULT CreateSoundBuffer(const DSBUFFERDESC* desc, IDirectSoundBuffer** buffer, void* outer) = 0;
    virtual HRESULT SetCooperativeLevel(HWND window, DWORD level) = 0;
    virtual HRESULT SetSpeakerConfig(DWORD config) = 0;
};

class IDirectSoundBuffer : public IDSoundUnknown {
public:
    // Either pointer may be null.
    virtual HRESULT GetCurrentPosition(DWORD* playCursor, DWORD* writeCursor) = 0;
    virtual HRESULT GetStatus(DWORD* status) = 0;
    // A region that runs past the end continues at the start in the second
    // pointer, when one is given. The buffer stays locked for the mixer until
    // Unlock, so keep locks short.
    virtual HRESULT Lock(DWORD offset, DWORD bytes, void** first, DWORD* firstBytes, void** second,
                         DWORD* secondBytes, DWORD flags) = 0;
    virtual HRESULT Play(DWORD reserved, DWORD priority, DWORD flags) = 0;
    virtual HRESULT SetCurrentPosition(DWORD playCursor) = 0;
    // Primary buffer only.
    virtual HRESULT SetFormat(const WAVEFORMATEX* format) = 0;
    virtual HRESULT SetVolume(LONG volume) = 0;
    virtual HRESULT SetPan(LONG pan) = 0;
    virtual HRESULT Stop() = 0;
    virtual HRESULT Unlock(void* first, DWORD firstBytes, void* second, DWORD secondBytes) = 0;
    // Buffers are never lost here: always DS_OK.
    virtual HRESULT Restore() = 0;
};

class IDirectSoundNotify : public IDSoundUnknown {
public:
    // Only on a stopped buffer; replaces the previous positions.
    virtual HRESULT SetNotificationPositions(DWORD count, const DSBPOSITIONNOTIFY* positions) = 0;
};

class IDirectSound3DBuffer : public IDSoundUnknown {
public:
    virtual HRESULT GetAllParameters(DS3DBUFFER* parameters) = 0;
    virtual HRESULT SetAllParameters(const DS3DBUFFER* parameters, DWORD apply) = 0;
    virtual HRESULT SetConeAngles(DWORD insideDegrees, DWORD outsideDegrees, DWORD apply) = 0;
    virtual HRESULT SetConeOrientation(float x, float y, float z, DWORD apply) = 0;
    virtual HRESULT SetConeOutsideVolume(LONG volume, DWORD apply) = 0;
    virtual HRESULT SetMaxDistance(float distance, DWORD apply) = 0;
    virtual HRESULT SetMinDistance(float distance, DWORD apply) = 0;
    virtual HRESULT SetMode(DWORD mode, DWORD apply) = 0;
    virtual HRESULT SetPosition(float x, float y, float z, DWORD apply) = 0;
    virtual HRESULT SetVelocity(float x, float y, float z, DWORD apply) = 0;
};

class IDirectSound3DListener : public IDSoundUnknown {
public:
    // Applies every deferred listener and 3D buffer setting at once.
    virtual HRESULT CommitDeferredSettings() = 0;
    virtual HRESULT GetRolloffFactor(float* rolloff) = 0;
    virtual HRESULT SetDistanceFactor(float metresPerUnit, DWORD apply) = 0;
    virtual HRESULT SetDopplerFactor(float doppler, DWORD apply) = 0;
    virtual HRESULT SetOrientation(float frontX, float frontY, float frontZ, float topX, float topY, float topZ,
                                   DWORD apply) = 0;
    virtual HRESULT SetPosition(float x, float y, float z, DWORD apply) = 0;
    virtual HRESULT SetRolloffFactor(float rolloff, DWORD apply) = 0;
    virtual HRESULT SetVelocity(float x, float y, float z, DWORD apply) = 0;
};

// Called with a null GUID for the default device first, then once per output
// device; returning FALSE ends the enumeration.
typedef BOOL (*LPDSENUMCALLBACKA)(LPGUID guid, LPCSTR description, LPCSTR module, void* context);

HRESULT DirectSoundEnumerateA(LPDSENUMCALLBACKA callback, void* context);

// device null (or a null GUID) opens the default device. DSERR_NODRIVER when no
// output can be opened: the caller then runs without sound.
HRESULT DirectSoundCreate(LPCGUID device, IDirectSound** sound, void* outer);
