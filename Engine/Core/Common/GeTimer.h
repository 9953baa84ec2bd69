// The frame timer: measures real time between frames and turns it into the
// delta that per-frame code reads (animations, movement, faders, particles,
// script timers). The delta is scaled by a game-speed factor, never negative,
// and clamped to maxDelta so that a long stall does not make the world jump.
#pragma once

#include <cstdint>

// Where the timer reads its counter. The engine uses the system's monotonic
// counter; tests drive the timer with a counter of their own.
class CGeClock {
public:
    virtual ~CGeClock() = default;
    virtual int64_t Counter() = 0;
    virtual int64_t Frequency() = 0; // counts per second
};

// The monotonic system counter, shared by every timer that is given no clock.
CGeClock* GeSystemClock();

class CGeTimer {
public:
    explicit CGeTimer(float scale, CGeClock* clock = nullptr);

    // Seconds since the last update; reads the counter into now and leaves last
    // alone. A counter that went backwards gives 0.
    float GetElapsed();

    // One frame tick; called once per pass of every loop that renders.
    void Update();

    float scale;             // seconds to smoothed frame units (25 at start-up)
    float fps;               // 1 / unclamped delta of the last update
    float smoothedDelta;     // delta * scale, smoothed by "smoothing"
    float prevSmoothedDelta; // smoothedDelta before the last update
    float delta;             // seconds * speed, clamped to maxDelta: what frames read
    float maxDelta;          // largest delta in seconds
    float fpsLastSecond;     // updates counted in the last full second
    float speed;             // game-speed factor
    float smoothing;         // weight of the previous smoothed value, 0..1
    uint32_t frames;         // updates since creation
    int64_t frequency;       // counter ticks per second, read once
    int64_t now;             // counter at the last reading
    int64_t last;            // counter at the previous update

    // Real time and updates since the last full second, for fpsLastSecond.
    float secondTime;
    float secondFrames;

private:
    CGeClock* m_clock;
};

// The one frame timer of the program, created by the engine core's start-up.
extern CGeTimer* g_geTimer;
