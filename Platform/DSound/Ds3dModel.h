// Internal header of the platform layer (sound): the 3D model that turns a listener and a 3D
// buffer's settings into the gains of the left and right output channels. The
// choices it makes where DirectSound is silent are listed in DSound.h.
#pragma once

#include "Platform/DSound/DSound.h"

struct CDs3dListener {
    D3DVECTOR position = {0, 0, 0};
    D3DVECTOR velocity = {0, 0, 0};
    D3DVECTOR front = {0, 0, 1};
    D3DVECTOR top = {0, 1, 0};
    float distanceFactor = 1.0f;
    float rolloffFactor = 1.0f;
    float dopplerFactor = 1.0f;
};

// DirectSound's defaults for a new 3D buffer.
DS3DBUFFER Ds3dDefaultBuffer();

// True when the values lie in DirectSound's ranges; the engine's settings of a
// sound without distances (minimum or maximum 0) are accepted.
bool Ds3dIsValidBuffer(const DS3DBUFFER& parameters);

// True when front and top span a plane, so that a right-hand direction exists.
bool Ds3dIsValidOrientation(const D3DVECTOR& front, const D3DVECTOR& top);

struct CDs3dGains {
    float left;
    float right;
};

// Linear gains of a 3D source for each channel (1 = unchanged); the buffer's
// own volume is not included.
CDs3dGains Ds3dSourceGains(const CDs3dListener& listener, const DS3DBUFFER& source, bool muteAtMaxDistance);
