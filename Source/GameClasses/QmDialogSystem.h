// What the game runtime calls of the dialog system, by its operation numbers.
// The dialog system comes with the game features; until it exists
// g_dialogSystem stays null and every caller skips it.
#pragma once

#include <cstdint>

class CQmDialogSystem {
public:
    virtual ~CQmDialogSystem() = default;
    virtual void Stop() {}                      // 3: stops the running dialog
    virtual bool IsRunning() const { return false; } // 5
    virtual void Update() {}                    // 7
    virtual void Render() {}                    // 8
    virtual void Reset() {}                     // 9

    // Horizontal position of replica text in reference pixels.
    float replicaTextX = 10.0f;
};

extern CQmDialogSystem* g_dialogSystem;
