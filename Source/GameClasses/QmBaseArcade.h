// The base of the mini-games ("arcades"), as the game processor drives it: by
// name from its arcade map, through the numbered operations. The eleven
// mini-games come with the menus and mini-games.
#pragma once

#include "Engine/Core/Common/GeString.h"

#include <cstdint>

class CQmBaseArcade {
public:
    virtual ~CQmBaseArcade() = default;
    virtual void Start() { active = 1; }                // 2
    // 3: clears the active flag and returns to the location.
    virtual void Finish();
    virtual void Update() {}                            // 4
    virtual void SetParameter(const char*) {}           // 5
    // 6: the saved state, allocated with malloc (none by default).
    virtual uint32_t SaveState(uint8_t** out)
    {
        *out = nullptr;
        return 0;
    }
    virtual void RenderDebug() {}                       // 8
    virtual bool MayOpenMenu() { return true; }         // 9
    virtual void OnScriptEvent(int32_t) {}              // 10
    virtual void Render() {}                            // 14
    virtual void Pause() {}                             // 15
    virtual void Resume() {}                            // 16

    CGeString name;
    uint8_t active = 0;
};
