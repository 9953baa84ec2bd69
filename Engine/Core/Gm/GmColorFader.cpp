#include "Engine/Core/Gm/GmColorFader.h"

#include "Engine/Core/Common/GeTimer.h"

namespace {

void SplitArgb(uint32_t argb, float* rgba)
{
    rgba[0] = (float)((argb >> 16) & 0xFF) / 255.0f;
    rgba[1] = (float)((argb >> 8) & 0xFF) / 255.0f;
    rgba[2] = (float)(argb & 0xFF) / 255.0f;
    rgba[3] = (float)(argb >> 24) / 255.0f;
}

uint32_t PackChannel(float value)
{
    value = value < 0.0f ? 0.0f : (value > 1.0f ? 1.0f : value);
    return (uint32_t)(value * 255.0f);
}

} // namespace

void CGmColorFader::Start(uint8_t keep, uint32_t fromArgb, uint32_t toArgb, float seconds)
{
    keepUpdating = keep;
    endReported = 0;
    SplitArgb(fromArgb, from);
    SplitArgb(toArgb, to);
    duration = seconds > 0.0f ? seconds : 0.0f;
    hasCurve = 1;
    time = 0.0f;
    done = 0;
    state = 1;
    color = 0;
}

void CGmColorFader::StartScreenEffect(uint32_t fromArgb, uint32_t toArgb, float seconds)
{
    Start(0, fromArgb, toArgb, seconds);
}

void CGmColorFader::Update()
{
    if (!keepUpdating && (!hasCurve || done))
        return;
    if (state != 1)
        return;
    if (!done) {
        time += g_geTimer ? g_geTimer->delta : 0.0f;
        if (time >= duration) {
            time = duration;
            done = 1;
        }
    }
    color = GetColorArgb();
    if (done && !endReported) {
        if (eventCount < kMaxEvents)
            events[eventCount++] = kEventFinished;
        endReported = keepUpdating;
    }
}

void CGmColorFader::Stop()
{
    state = 0;
    keepUpdating = 0;
    endReported = 0;
}

uint32_t CGmColorFader::GetColorArgb() const
{
    if (!hasCurve)
        return 0xFFFFFFFF;
    const float t = Progress();
    float rgba[4];
    for (int i = 0; i < 4; ++i)
        rgba[i] = from[i] + (to[i] - from[i]) * t;
    return PackChannel(rgba[3]) << 24 | PackChannel(rgba[0]) << 16 | PackChannel(rgba[1]) << 8 | PackChannel(rgba[2]);
}

float CGmColorFader::Progress() const
{
    if (duration <= 0.0f)
        return hasCurve ? 1.0f : 0.0f;
    return time / duration;
}

bool CGmColorFader::TakeLastEvent(uint32_t& event)
{
    if (eventCount == 0)
        return false;
    event = events[eventCount - 1];
    eventCount = 0;
    return true;
}

void CGmColorFader::Draw() const
{
}
