// The data source base, WAV files and the generated silence.
//
// Only the canonical 44-byte RIFF/WAVE layout is read: "RIFF" at 0, "WAVE" at
// 8, the PCM format at 20, "data" at 36 and its size at 40, PCM from 44. The
// "fmt " identifier and the chunk sizes are not checked and no chunk is
// skipped. Beyond the game's own checks a file shorter than its header, a
// format without channels, rate or block size, and a data size larger than the
// file are refused or cut, so that nothing reads past the file or divides by 0.
#include "Engine/Core/Sound/SmSoundData.h"

#include "Engine/Core/Common/GeError.h"
#include "Engine/Core/Common/GeLittleEndian.h"
#include "Engine/Core/Common/GeLog.h"

#include <cstdlib>
#include <cstring>

CSmSoundData::CSmSoundData()
{
    subTypeId = GE_RES_SOUND;
}

CSmSoundData::~CSmSoundData() = default;

void CSmSoundData::Unload()
{
    pcm = nullptr;
    pcmBytes = 0;
    memoryBytes = 0;
    format = {};
    name = "";
}

uint32_t CSmSoundData::GetDuration() const
{
    if (format.nAvgBytesPerSec == 0)
        return 0;
    return static_cast<uint32_t>(static_cast<uint64_t>(pcmBytes) * 1000 / format.nAvgBytesPerSec);
}

CSmWave::~CSmWave()
{
    CSmWave::Unload();
}

void CSmWave::Unload()
{
    free(fileBuffer);
    fileBuffer = nullptr;
    CSmSoundData::Unload();
}

// Raises the check's message followed by the sound's name, frees the file and
// leaves the source empty.
static bool RefuseWave(const char* message, const CGeString& name, CGeFileData& file)
{
    GE_ERROR_REPORT("%s%s", message, name.c_str());
    FreeFileData(file);
    return false;
}

bool CSmWave::Load(const CGeString& soundName, CGeFileData& file)
{
    Unload();
    if (!file.data || file.size == 0) {
        GE_ERROR_REPORT("unexpected:: CSmWave: data is null with '%s'", soundName.c_str());
        FreeFileData(file);
        return false;
    }
    const uint8_t* bytes = file.data;
    if (file.size < 44)
        return RefuseWave("CSmWave: data is shorter than a WAVE header with ", soundName, file);
    if (memcmp(bytes, "RIFF", 4) != 0)
        return RefuseWave("CSmWave: data is not RIFF fmt with ", soundName, file);
    if (memcmp(bytes + 8, "WAVE", 4) != 0)
        return RefuseWave("CSmWave: data is RIFF but not WAVE fmt with ", soundName, file);
    WAVEFORMATEX wave = {};
    wave.wFormatTag = (WORD)ReadLe16(bytes + 20);
    wave.nChannels = (WORD)ReadLe16(bytes + 22);
    wave.nSamplesPerSec = ReadLe32(bytes + 24);
    wave.nAvgBytesPerSec = ReadLe32(bytes + 28);
    wave.nBlockAlign = (WORD)ReadLe16(bytes + 32);
    wave.wBitsPerSample = (WORD)ReadLe16(bytes + 34);
    if (wave.wFormatTag != WAVE_FORMAT_PCM)
        return RefuseWave("CSmWave: WAVE type is not simple with ", soundName, file);
    if (wave.nChannels == 0 || wave.nSamplesPerSec == 0 || wave.nBlockAlign == 0 || wave.nAvgBytesPerSec == 0)
        return RefuseWave("CSmWave: WAVE format has no channels, rate or block size with ", soundName, file);
    if (memcmp(bytes + 36, "data", 4) != 0)
        return RefuseWave("CSmWave: WAVE-sample has not valid id 'data' with ", soundName, file);
    uint32_t size = ReadLe32(bytes + 40);
    if (size > file.size - 44) {
        GeLog(1, "CSmWave: the data size %u runs past the end of the file, cut to %u with %s\n", size, file.size - 44,
              soundName.c_str());
        size = file.size - 44;
    }
    // A trailing part of a frame is never played; without it every offset the
    // sounds compute stays on a frame.
    size -= size % wave.nBlockAlign;
    fileBuffer = file.data;
    file.data = nullptr;
    file.size = 0;
    FreeFileData(file);
    pcm = fileBuffer + 44;
    pcmBytes = size;
    memoryBytes = size;
    format = wave;
    name = soundName;
    return true;
}

const uint8_t* CSmWave::GetBytes(uint32_t offset, uint32_t count)
{
    if (!pcm || static_cast<uint64_t>(offset) + count > pcmBytes)
        return nullptr;
    return pcm + offset;
}

bool CSmGeneratedSound::Load(const CGeString& soundName, CGeFileData& file)
{
    Unload();
    FreeFileData(file);
    const uint32_t kBytes = 11024;
    fileBuffer = static_cast<uint8_t*>(calloc(kBytes, 1));
    if (!fileBuffer)
        return false;
    pcm = fileBuffer;
    pcmBytes = kBytes;
    memoryBytes = kBytes;
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 1;
    format.nSamplesPerSec = 22050;
    format.nAvgBytesPerSec = 44100;
    format.nBlockAlign = 2;
    format.wBitsPerSample = 16;
    name = soundName;
    return true;
}
