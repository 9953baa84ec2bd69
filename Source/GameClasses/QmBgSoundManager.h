// The background-sound manager: what the location uses of it so far, the
// main-music flag, stopping the main music and the ambient sounds. Playing,
// fading, the sixteen ambient slots and the script functions come with the
// background music's own work; until then the stops have nothing to stop.
#pragma once

class CQmBgSoundManager {
public:
    virtual ~CQmBgSoundManager() = default;

    // Stops the main track, fading out over fadeSeconds.
    virtual void StopMain(float /*fadeSeconds*/) {}
    virtual void StopAllAmbient() {}

    // Set by each start of a main track; cleared and read by the location.
    bool mainStarted = false;
};

// Null until start-up creates it.
extern CQmBgSoundManager* g_bgSoundManager;
