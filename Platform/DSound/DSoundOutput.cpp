#include "Platform/DSound/DSoundOutput.h"

#include <SDL.h>

#include <cstdio>
#include <string>

namespace {

// A stable GUID for a device name (FNV-1a), so that the GUID enumeration
// hands out opens the same device later.
GUID GuidForName(const char* name)
{
    uint64_t hash = 1469598103934665603ull;
    for (const char* c = name; *c; c++) {
        hash ^= (uint8_t)*c;
        hash *= 1099511628211ull;
    }
    GUID guid = {};
    guid.Data1 = 0x51534E44; // keeps every device GUID distinct from the null GUID
    guid.Data2 = (WORD)(hash >> 48);
    guid.Data3 = (WORD)(hash >> 32);
    for (int i = 0; i < 8; i++)
        guid.Data4[i] = (BYTE)(hash >> (8 * (i % 4)) ^ (BYTE)(i * 37));
    return guid;
}

bool IsNullGuid(LPCGUID guid)
{
    return !guid || IsEqualGUID(*guid, DS3DALG_DEFAULT);
}

// SDL's audio subsystem counts its users: each output and each enumeration
// starts it and quits it once.
bool StartAudio()
{
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        std::fprintf(stderr, "Sound: no audio driver: %s\n", SDL_GetError());
        return false;
    }
    return true;
}

class CDsSdlOutput : public CDsOutput {
public:
    CDsSdlOutput(SDL_AudioDeviceID device, std::shared_ptr<CDsMixer> mixer)
        : m_device(device), m_mixer(std::move(mixer))
    {
    }

    ~CDsSdlOutput() override
    {
        // Closing waits for a running callback, so the mixer outlives it.
        if (m_device != 0) {
            SDL_CloseAudioDevice(m_device);
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
        }
    }

    static void Callback(void* self, Uint8* stream, int bytes)
    {
        CDsSdlOutput* output = static_cast<CDsSdlOutput*>(self);
        const DWORD frames = (DWORD)bytes / (kDsOutputChannels * sizeof(int16_t));
        output->m_mixer->Render(reinterpret_cast<int16_t*>(stream), frames);
    }

    SDL_AudioDeviceID m_device;
    std::shared_ptr<CDsMixer> m_mixer;
};

} // namespace

std::unique_ptr<CDsOutput> DsOpenOutput(LPCGUID device, std::shared_ptr<CDsMixer> mixer)
{
    if (!StartAudio())
        return nullptr;
    std::string name;
    if (!IsNullGuid(device)) {
        const int count = SDL_GetNumAudioDevices(0);
        for (int i = 0; i < count && name.empty(); i++) {
            const char* candidate = SDL_GetAudioDeviceName(i, 0);
            if (candidate) {
                const GUID guid = GuidForName(candidate);
                if (IsEqualGUID(guid, *device))
                    name = candidate;
            }
        }
        if (name.empty()) {
            std::fprintf(stderr, "Sound: the chosen output device is gone\n");
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            return nullptr;
        }
    }

    std::unique_ptr<CDsSdlOutput> output(new CDsSdlOutput(0, std::move(mixer)));
    SDL_AudioSpec want = {};
    want.freq = (int)kDsOutputRate;
    want.format = AUDIO_S16SYS;
    want.channels = kDsOutputChannels;
    // About 23 ms a block: the play cursor moves in these steps, far below
    // what the streaming code's slack of two seconds needs.
    want.samples = 1024;
    want.callback = &CDsSdlOutput::Callback;
    want.userdata = output.get();
    SDL_AudioSpec have;
    // No changes allowed: SDL converts if the hardware plays another format.
    output->m_device = SDL_OpenAudioDevice(name.empty() ? nullptr : name.c_str(), 0, &want, &have, 0);
    if (output->m_device == 0) {
        std::fprintf(stderr, "Sound: cannot open the audio output: %s\n", SDL_GetError());
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return nullptr;
    }
    // DirectSound plays secondary buffers whether or not the primary buffer
    // was touched, so the output runs from the start.
    SDL_PauseAudioDevice(output->m_device, 0);
    return output;
}

bool DsEnumerateOutputs(LPDSENUMCALLBACKA callback, void* context)
{
    if (!StartAudio())
        return false;
    const int count = SDL_GetNumAudioDevices(0);
    for (int i = 0; i < count; i++) {
        const char* name = SDL_GetAudioDeviceName(i, 0);
        if (!name)
            continue;
        const std::string copy = name; // SDL's string may change under the callback
        GUID guid = GuidForName(copy.c_str());
        if (!callback(&guid, copy.c_str(), "", context))
            break;
    }
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return true;
}
