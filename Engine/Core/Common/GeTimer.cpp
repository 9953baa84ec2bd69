#include "Engine/Core/Common/GeTimer.h"

#include "Platform/System/SysClock.h"

CGeTimer* g_geTimer = nullptr;

namespace {

class CGeSystemClock : public CGeClock {
public:
    int64_t Counter() override { return Sys_QueryPerformanceCounter(); }
    int64_t Frequency() override { return Sys_QueryPerformanceFrequency(); }
};

} // namespace

CGeClock* GeSystemClock()
{
    static CGeSystemClock clock;
    return &clock;
}

CGeTimer::CGeTimer(float scale_, CGeClock* clock)
    : scale(scale_),
      fps(scale_),
      smoothedDelta(1.0f),
      prevSmoothedDelta(1.0f),
      delta(0.0f),
      maxDelta(0.5f),
      fpsLastSecond(scale_),
      speed(1.0f),
      smoothing(0.0f),
      frames(0),
      frequency(0),
      now(0),
      last(0),
      secondTime(0.0f),
      secondFrames(0.0f),
      m_clock(clock ? clock : GeSystemClock())
{
    frequency = m_clock->Frequency();
    last = m_clock->Counter();
    now = last;
}

float CGeTimer::GetElapsed()
{
    now = m_clock->Counter();
    if (frequency <= 0)
        return 0.0f;
    const float seconds = static_cast<float>(static_cast<double>(now - last) / static_cast<double>(frequency));
    return seconds < 0.0f ? 0.0f : seconds;
}

void CGeTimer::Update()
{
    const float t = GetElapsed();
    prevSmoothedDelta = smoothedDelta;
    last = now;
    const float d = speed * t;

    // fpsLastSecond counts real time, not game time scaled by speed.
    secondTime += t;
    secondFrames += 1.0f;
    if (secondTime >= 1.0f) {
        secondTime = 0.0f;
        fpsLastSecond = secondFrames;
        secondFrames = 0.0f;
    }

    frames += 1;
    delta = d;
    // A zero-length frame keeps the previous rate rather than an infinity.
    if (d != 0.0f)
        fps = 1.0f / d;

    const float scaled = d * scale;
    smoothedDelta = (1.0f - smoothing) * scaled + smoothing * prevSmoothedDelta;

    // Only the delta is clamped: smoothedDelta and fps keep the real frame.
    if (maxDelta < d)
        delta = maxDelta;
}
