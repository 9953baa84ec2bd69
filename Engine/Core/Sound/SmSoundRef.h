// A caller's handle on a playing sound: the sound holds the handle's address
// and clears it when the sound is destroyed (purged, removed with its entry,
// shut down), so the handle never dangles. Releasing the handle forgets the
// sound and the sound forgets the handle; the sound itself plays on until its
// entry purges it.
//
// The sound keeps the address of `sound`, so a handle is never copied or moved
// while it holds one; owners keep it in place (a field or a heap record).
#pragma once

#include "Engine/Core/Sound/SmSound.h"

struct SmSoundRef {
    SmSoundRef() = default;
    ~SmSoundRef() { Release(); }
    SmSoundRef(const SmSoundRef&) = delete;
    SmSoundRef& operator=(const SmSoundRef&) = delete;

    // Where CSmSound::PlayEx stores the new sound.
    CSmSound** Slot() { return &sound; }
    void Release()
    {
        if (sound && sound->handle == &sound)
            sound->handle = nullptr;
        sound = nullptr;
    }

    CSmSound* sound = nullptr;
};
