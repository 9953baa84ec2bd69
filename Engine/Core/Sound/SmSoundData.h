// Sound data sources: the PCM of one sound file, handed out by byte ranges.
//
// The sounds read everything through CSmSoundData; the resource collector
// creates the sources by file extension and owns them as resources (reference
// counted, sub-type GE_RES_SOUND). Three kinds: CSmWave (canonical RIFF/WAVE
// PCM), CSmOggVorbis (decoded on demand) and CSmGeneratedSound, 0.25 s of
// silence that stands in for a sound whose file is missing.
//
// A source whose Load failed a check is empty: size 0, no bytes, a zeroed
// format; every GetBytes then returns null, and the sounds refuse to play it.
#pragma once

#include "Engine/Core/Common/GeFileData.h"
#include "Engine/Core/Common/GeString.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmGpuResource.h"
#include "Platform/DSound/DSound.h"

#include <cstdint>

// The resource sub-type of every sound data source.
constexpr uint16_t GE_RES_SOUND = 8;

class CSmSoundData : public CGeResource {
public:
    CSmSoundData();
    ~CSmSoundData() override;

    // Fills the source from a whole file in memory and takes the name; the
    // source takes over the file's bytes (file.data is cleared). False when a
    // check failed: the source is then empty and the error box has spoken.
    virtual bool Load(const CGeString& name, CGeFileData& file) = 0;
    // Frees the PCM and forgets format and name.
    virtual void Unload();
    // Total PCM bytes.
    virtual uint32_t GetSize() const { return pcmBytes; }
    // Bytes the source holds in memory; the sound manager's budget adds them up.
    virtual uint32_t GetMemoryBytes() const { return memoryBytes; }
    virtual const WAVEFORMATEX* GetFormat() const { return &format; }
    virtual const char* GetName() const { return name.c_str(); }
    // Length in milliseconds, truncated; 0 for an empty source.
    virtual uint32_t GetDuration() const;
    // count bytes from offset into the sound, or null when the range runs past
    // the end or the source has no data. The pointer is valid until the next
    // call on this source from the same thread.
    virtual const uint8_t* GetBytes(uint32_t offset, uint32_t count) = 0;

protected:
    uint8_t* pcm = nullptr; // for the kinds that hold their PCM whole
    uint32_t pcmBytes = 0;
    uint32_t memoryBytes = 0;
    WAVEFORMATEX format = {};
    CGeString name;
};

// The PCM held whole in memory: a WAV file's bytes or generated silence.
class CSmWave : public CSmSoundData {
public:
    ~CSmWave() override;
    bool Load(const CGeString& name, CGeFileData& file) override;
    void Unload() override;
    const uint8_t* GetBytes(uint32_t offset, uint32_t count) override;

protected:
    uint8_t* fileBuffer = nullptr; // the whole file; pcm points 44 bytes in
};

// 11024 bytes of silence, 22050 Hz mono 16-bit: what a missing sound plays.
class CSmGeneratedSound : public CSmWave {
public:
    // Ignores the file (the collector passes whatever it read) and frees it.
    bool Load(const CGeString& name, CGeFileData& file) override;
};
