// The background sound: one main music track at a time, switched with a
// cross-fade, and up to sixteen ambient sounds beside it, all scaled by the
// music volume of the settings. The sounds are the sound manager's
// (g_soundManager); this object only keeps handles on them.
//
// Main music states: silent (no track), playing (current only), switching
// (current fading out, incoming fading in) and fading out (current only, a
// fade running). Track volumes, with m the master volume and r the part of
// the fade that has passed: current = main factor x m without a fade;
// during one current = previous factor x (1 - r) x m, incoming = r x main
// factor x m.
//
// Choices:
// - A seventeenth ambient sound while sixteen live ones hold the slots is
//   refused: -1 and a debug trace, nothing played.
// - An ambient sound is heard at its own volume times the music volume (its
//   secondary factor is the master volume), from its start and after every
//   SetVolume; it never goes as its volume squared.
// - StartAmbient's parameter reaches the play call as an option of no kind
//   the sound knows, so it changes nothing (scripts pass a fade time there).
// - A fade time of 0 or less becomes 0.01 s; a switch with that time runs one
//   Update at once, which completes it when the frame's delta is >= 0.01 s.
#pragma once

#include "Engine/Core/Common/GeString.h"
#include "Engine/Core/Sound/SmSoundRef.h"

#include <cstdint>

class CQmBgSoundManager {
public:
    static constexpr int kAmbientSlots = 16;
    static constexpr float kInstantFade = 0.01f;

    struct AmbientRecord {
        SmSoundRef ref;
        float factor = 0.0f; // the ambient sound's own volume
    };

    CQmBgSoundManager() = default;
    // Stops and releases every sound it holds.
    virtual ~CQmBgSoundManager();
    CQmBgSoundManager(const CQmBgSoundManager&) = delete;
    CQmBgSoundManager& operator=(const CQmBgSoundManager&) = delete;

    // The single instance, made on the first call (g_bgSoundManager).
    static CQmBgSoundManager* Create();
    // Stops both main tracks and every ambient sound and deletes the manager;
    // g_bgSoundManager becomes null when it was this one.
    static void Destroy(CQmBgSoundManager* manager);

    // The master volume, clamped to 0.001..1, applied at once to every sound.
    void SetVolume(float volume);
    // Starts or switches the main track (see the lead comment). volume is
    // clamped to 0..1 and, when relative, divided by the master volume;
    // position is the start position in milliseconds.
    void StartMain(const char* fileName, float volume, float fadeSeconds, bool loop, uint32_t position, bool relative);
    // fadeSeconds <= 0: silence at once. Otherwise a running switch ends at
    // once on the incoming track, which then fades out over fadeSeconds.
    virtual void StopMain(float fadeSeconds);
    // Advances a running fade by the frame timer's delta.
    void Update();
    // The slot (0..15) of the new ambient sound, or -1.
    int StartAmbient(const char* fileName, float volume, float parameter, bool loop);
    virtual void StopAllAmbient();
    // The incoming track, else the current one: its file relative to the data
    // root, its play position and the main factor. False (outputs untouched)
    // when there is no track.
    bool GetMainState(CGeString& fileName, uint32_t& position, float& factor) const;

    float master = 1.0f;
    float fadeTime = 0.0f;
    float fadeElapsed = 0.0f;
    float mainFactor = 1.0f;
    float previousFactor = 1.0f;
    SmSoundRef tracks[2];
    SmSoundRef* current = nullptr;
    SmSoundRef* incoming = nullptr;
    AmbientRecord* ambient[kAmbientSlots] = {};
    // Set by each start of a main track; cleared and read by the location.
    bool mainStarted = false;
    // Counts the starts of a main track: a holder of the track's sound
    // (the video player) sees from it that the music changed hands.
    uint32_t mainStarts = 0;

private:
    // Both main-track volumes by the rule of the lead comment.
    void ApplyTrackVolumes();
    static void StopAndRelease(SmSoundRef* ref);
};

// Null until start-up creates it.
extern CQmBgSoundManager* g_bgSoundManager;
