// Public header of the platform layer: the sound layer's test hooks, for tests above Platform/
// that never see the audio library. The program itself does not use them.
#pragma once

#include "Platform/DSound/DSound.h"

#include <cstdint>

enum class DSoundTestBackend {
    Audio,  // the platform's audio output (the default)
    Manual, // no output: the test pulls mixed frames with DSoundTestPull
    None,   // no device: DirectSoundCreate answers DSERR_NODRIVER
};

// Chooses the backend of devices created from now on.
void DSoundTestSetBackend(DSoundTestBackend backend);

// Mixes the next frames of a Manual device into output (interleaved stereo,
// 16-bit, 44100 Hz) on the calling thread, advancing every buffer and
// signalling notifications as the audio thread would. False for other devices.
bool DSoundTestPull(IDirectSound* sound, int16_t* output, DWORD frames);
