// The settings file "config.cfg": the device and audio part of the settings
// record (GeDeviceConfig) and the game's own settings, in one XML file of the
// per-user folder. It is read from disk only, never from the packs.
//
// Reading is forgiving: a missing section or section element leaves that
// section's fields as they were; a missing attribute takes its
// missing-attribute default, which is not always the initial default (a missing
// "vertex_processing" means software, a missing "music_volume" means 1.0).
// Loaded settings never ask for a window: "windowed" always reads as false.
//
// Writing replaces the file through a temporary file beside it, so that a
// failed write never leaves a cut settings file behind.
#pragma once

#include "Engine/Core/Common/GeDeviceConfig.h"

#include <cstdint>

class TiXmlElement;

class CQmGameConfig {
public:
    // Background-music volume, 0 to 1.
    static float s_musicVolume;
    // Whether shadow volumes are drawn.
    static bool s_shadowVolumesOn;
    // Bit n set: mini-game n is unlocked in the mini-games menu. Never below 0.
    static int32_t s_minigames;

    // Fills g_videoSettings with the initial defaults, then reads the file.
    // A file that cannot be read or parsed, or has no root "config", is written
    // anew from the current values. True only when all three sections were
    // found.
    static bool Load(const char* path);
    // Writes the whole file from the current values; false when it cannot be
    // written (the old file then stays as it was).
    static bool Save(const char* path);

    static bool ReadLocal(TiXmlElement* config);
    static void WriteLocal(TiXmlElement* config);

    // The game settings' values at program start (music 0.5, shadows on, no
    // mini-games), for tests and a new run.
    static void ResetToProgramStart();
};

// The device and audio sections, over a settings record.
bool ReadAudioConfig(TiXmlElement* config, GeDeviceConfig& settings);
bool ReadVideoConfig(TiXmlElement* config, GeDeviceConfig& settings);
void WriteAudioConfig(TiXmlElement* config, const GeDeviceConfig& settings);
void WriteVideoConfig(TiXmlElement* config, const GeDeviceConfig& settings);
