// The game runtime's calls into sound: focus muting, the listener and the
// per-frame updates, the start-up and the shutdown of the sound devices.
//
// QmSoundLink.cpp is the one place that wires them to the sound manager and
// the background-sound manager (made at start-up with the music volume,
// updated after each frame, destroyed before the sound manager).
#pragma once

class CGmCamera;

// Mutes every sound or restores the volumes; the current state.
void QmSoundSetFocusMute(bool mute);
bool QmSoundIsMuted();
// After a frame: the listener follows the camera (when there is one), the
// sound manager updates, the deferred 3D settings are committed, and the
// background-sound manager updates.
void QmSoundAfterFrame(CGmCamera* listenerCamera);
// The listener takes the camera's place at once (a location change).
void QmSoundUpdateListener(CGmCamera* camera);
// Start-up: enumerates the devices, starts the manager on the default device,
// the listener (0.01, 1.0, 0.0), the background sound at musicVolume, the
// data budget and the master volume.
void QmSoundStart(float musicVolume, float soundVolume);
// Shutdown: the background sound, then the manager (its streaming thread).
void QmSoundStop();
// Whether the sound manager exists.
bool QmSoundIsStarted();
