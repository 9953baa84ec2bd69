// Script timers: named global script functions called again and again at a
// fixed period, advanced once per frame by the game processor.
//
// A timer is keyed by its function's name; setting an existing one again only
// changes its period and keeps the time it has gathered. Timers have no end of
// their own: all of them go at a location change and at shutdown.
#pragma once

#include "Engine/Core/Common/GePoolList.h"

#include <cstdint>

struct QmScriptTimer {
    char name[32];   // the function to call, zero-terminated; also the key
    float period;    // seconds between calls
    float elapsed;   // seconds gathered since the last call
    bool removed;    // removed during a pass; freed when the pass ends
    uint32_t calledInFrame; // the outermost pass that called it last
};

using ScriptTimerList = CGePoolList<QmScriptTimer>;

// In creation order; names are unique.
extern ScriptTimerList g_scriptTimers;

// Starts the timer name or retunes it. Refused (debug trace) without a script
// state and for a name of 32 characters or more: cut to fit, it would call
// another function.
void ScriptSetTimer(const char* name, float period);

// Adds the frame delta to every timer and calls each one whose gathered time
// is strictly greater than its period, at most once per pass; the rest carries
// over. A timer that a called function appends runs in the same pass.
// A pass run from inside a timer's call (a script that runs the whole game
// update) counts its own frame time too, but calls no timer that the passes
// around it have called already: that one waits for the next frame with the
// time it has gathered, so no timer runs twice in a frame or calls itself.
void ScriptUpdateTimers();

// Removes every timer. Asked for while a pass is running (a handler that reached
// the location change), the timers stop at once and their nodes are freed when
// the pass ends; timers set after the removal stay.
void ScriptRemoveAllTimers();
