// Internal header of the platform layer (sound): the audio output that pulls the mixer's blocks
// on its own thread. Only DSoundOutput.cpp sees the audio library.
#pragma once

#include "Platform/DSound/DSound.h"
#include "Platform/DSound/DSoundMixer.h"

#include <memory>

class CDsOutput {
public:
    virtual ~CDsOutput() = default;
};

// Opens the device with the GUID that enumeration gave it (null: the default)
// at the mixer's format and starts pulling blocks. Null when no output opens.
std::unique_ptr<CDsOutput> DsOpenOutput(LPCGUID device, std::shared_ptr<CDsMixer> mixer);

// Calls back once per output device with its name and GUID, while the
// callback returns TRUE. False when the audio library could not start.
bool DsEnumerateOutputs(LPDSENUMCALLBACKA callback, void* context);
