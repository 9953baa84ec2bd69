// Delayed script calls: a script function called once by name, with typed
// arguments, after a delay ("SysDelayedCall"). The game processor's update
// counts the delays down once per frame and calls what is due, in the order
// the calls were scheduled. Pending calls are not saved.
//
// The table is fixed: 64 entries, names of at most 63 bytes, eight arguments.
// A call that does not fit (a 65th, a longer name, more arguments) is refused
// with a level-1 log, and so is an entry put back after an update that no
// longer fits because the update's calls filled the table.
#pragma once

#include "Engine/Core/Common/GeValue.h"

#include <cstdint>

struct QmDelayedCall {
    char name[64];
    CGeValue args[8];
    uint32_t count;
    float delay;
};

class CQmDelayedCalls {
public:
    static constexpr uint32_t kMaxCalls = 64;
    static constexpr uint32_t kMaxArgs = 8;
    static constexpr uint32_t kNameSize = 64;

    // False (level-1 log) when the call does not fit.
    static bool Add(const char* name, float delay, uint32_t count, const CGeValue* args);
    // One frame: counts every pending delay down by the frame time, calls the
    // due functions in order, and keeps the rest after the calls added meanwhile.
    static void Update();
    static void Clear();

    static uint32_t s_count;
    static QmDelayedCall s_calls[kMaxCalls];
};
