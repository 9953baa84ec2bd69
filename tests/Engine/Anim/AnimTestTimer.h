// A frame timer the animation tests drive by hand: each Step sets the delta
// the players read and runs the given update.
#pragma once

#include "Engine/Core/Common/GeTimer.h"

class AnimTestTimer {
public:
    AnimTestTimer() : m_timer(25.0f), m_previous(g_geTimer) { g_geTimer = &m_timer; }
    ~AnimTestTimer() { g_geTimer = m_previous; }
    AnimTestTimer(const AnimTestTimer&) = delete;
    AnimTestTimer& operator=(const AnimTestTimer&) = delete;

    void SetDelta(float seconds) { m_timer.delta = seconds; }

private:
    CGeTimer m_timer;
    CGeTimer* m_previous;
};
