#include "Engine/Core/Gm/GeFrameAnim.h"

#include "Engine/Core/Common/GeTimer.h"

#include <cmath>

namespace {

bool StartsAtFirst(uint32_t mode)
{
    return mode == 1 || mode == 3 || mode == 17 || mode == 19;
}

bool StartsAtLast(uint32_t mode)
{
    return mode == 2 || mode == 4 || mode == 18 || mode == 20;
}

} // namespace

void CGeFrameAnim::Init(uint32_t frames)
{
    eventCount = 0;
    frameCount = frames;
    speed = 1.0f;
    position = 0.0f;
    firstIndex = 0;
    firstPosition = 0.0f;
    lastIndex = frames ? frames - 1 : 0;
    lastPosition = (float)lastIndex;
    length = (float)frames;
    mode = FORWARD;
    repeats = 1;
    playing = 0;
    durations.Clear();
}

float CGeFrameAnim::DurationsBefore(uint32_t n) const
{
    float sum = 0.0f;
    for (uint32_t i = 0; i < n && i < durations.Count(); ++i)
        sum += durations[i];
    return sum;
}

void CGeFrameAnim::SetRange(uint32_t first, uint32_t last)
{
    const bool timed = durations.Count() != 0;
    firstIndex = first;
    firstPosition = timed ? DurationsBefore(first) : (float)first;
    if (last < first)
        last = first;
    if (frameCount && last > frameCount - 1)
        last = frameCount - 1;
    lastIndex = last;
    lastPosition = timed ? DurationsBefore(last + 1) - 1.0f : (float)last;
}

void CGeFrameAnim::Start(uint32_t newMode, uint32_t newRepeats)
{
    if (frameCount == 0 || (newMode < LOOP && newRepeats == 0)) {
        Stop();
        return;
    }
    speed = std::fabs(speed);
    if (StartsAtFirst(newMode)) {
        position = firstPosition;
    } else if (StartsAtLast(newMode)) {
        position = lastPosition;
        speed = -speed;
    } else {
        return;
    }
    mode = newMode;
    repeats = newRepeats;
    playing = 1;
}

void CGeFrameAnim::Stop()
{
    playing = 0;
    if (StartsAtFirst(mode))
        position = firstPosition;
    else if (StartsAtLast(mode))
        position = lastPosition;
    PushEvent(kEventEnded);
}

bool CGeFrameAnim::PushEvent(uint32_t event)
{
    if (eventCount >= kMaxEvents)
        return false;
    events[eventCount++] = event;
    return true;
}

uint32_t CGeFrameAnim::GetFrame() const
{
    if (durations.Count() == 0)
        return position > 0.0f ? (uint32_t)position : 0;
    // Frame i spans [sum of 0 .. i - 1, sum of 0 .. i).
    float rest = position;
    uint32_t frame = 0;
    while (frame + 1 < durations.Count() && rest >= durations[frame]) {
        rest -= durations[frame];
        ++frame;
    }
    return frame;
}

void CGeFrameAnim::SetFrame(uint32_t n)
{
    if (frameCount && n > frameCount - 1)
        n = frameCount - 1;
    position = durations.Count() ? DurationsBefore(n) : (float)n;
    if (position < firstPosition)
        position = firstPosition;
    if (position > lastPosition)
        position = lastPosition;
}

void CGeFrameAnim::End(float at)
{
    playing = 0;
    position = at;
    PushEvent(kEventEnded);
}

void CGeFrameAnim::Advance()
{
    Advance(g_geTimer ? g_geTimer->smoothedDelta : 0.0f);
}

void CGeFrameAnim::Advance(float delta)
{
    const float first = firstPosition;
    const float last = lastPosition;
    // A range of one position cannot be wrapped round: the passes are
    // counted off at once and the position rests on it.
    const float span = last - first;
    position += delta * speed;
    switch (mode) {
    case FORWARD:
        while (playing && position > last) {
            if (--repeats == 0)
                End(last);
            else
                position = span > 0.0f ? position - span : first;
        }
        break;
    case BACKWARD:
        while (playing && position < first) {
            if (--repeats == 0)
                End(first);
            else
                position = span > 0.0f ? position + span : last;
        }
        break;
    case WIGWAG:
        if (position > last) {
            position = 2.0f * last - position;
            speed = -speed;
        }
        if (position < first) {
            if (--repeats == 0) {
                End(first);
            } else {
                position = 2.0f * first - position;
                speed = -speed;
            }
        }
        break;
    case WAGWIG:
        if (position < first) {
            position = 2.0f * first - position;
            speed = -speed;
        }
        if (position > last) {
            if (--repeats == 0) {
                End(last);
            } else {
                position = 2.0f * last - position;
                speed = -speed;
            }
        }
        break;
    case FORWARD + LOOP:
        while (span > 0.0f && position > last)
            position -= span;
        break;
    case BACKWARD + LOOP:
        while (span > 0.0f && position < first)
            position += span;
        break;
    case WIGWAG + LOOP:
    case WAGWIG + LOOP:
        if (position > last) {
            position = 2.0f * last - position;
            speed = -speed;
        }
        if (position < first) {
            position = 2.0f * first - position;
            speed = -speed;
        }
        break;
    default:
        break;
    }
    if (position < first)
        position = first;
    if (position > last)
        position = last;
}
