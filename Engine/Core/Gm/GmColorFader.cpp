#include "Engine/Core/Gm/GmColorFader.h"

#include "Engine/Core/Common/GeTimer.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmDeviceWrapper.h"
#include "Engine/Core/Gm/GeHub.h"
#include "Engine/Core/Gm/GmCamera.h"
#include "Engine/Core/Gm/GmSprite.h"

namespace {

constexpr uint32_t kFaderBlendMode = 3; // the target times the colour

Vec4 SplitArgb(uint32_t argb)
{
    return {float((argb >> 16) & 0xFF) / 255.0f, float((argb >> 8) & 0xFF) / 255.0f, float(argb & 0xFF) / 255.0f,
            float(argb >> 24) / 255.0f};
}

} // namespace

void CGmColorSource::PushEvent(uint32_t event)
{
    if (eventCount < kMaxEvents)
        events[eventCount++] = event;
}

void CGmColorSource::Advance()
{
    if (done || paused)
        return;
    time += (g_geTimer ? g_geTimer->delta : 0.0f) * speed;
    const float end = curve && curve->GetNumValues() ? curve->GetTime(curve->GetNumValues() - 1) : 0.0f;
    time = Clamp(0.0f, end, time);
    if ((time >= end && speed > 0.0f) || (time <= 0.0f && speed < 0.0f)) {
        done = 1;
        PushEvent(CGmColorFader::kEventFinished);
    }
}

CGmColorFader::CGmColorFader() : curve(new idCurve_PolyLine<Vec4>())
{
    curve->AddKnot(0.0f, Vec4{0.0f, 0.0f, 0.0f, 0.0f});
    curve->AddKnot(1.0f, Vec4{1.0f, 1.0f, 1.0f, 1.0f});
    source.curve = curve.get();
}

void CGmColorFader::ResetSprite() const
{
    sprite->SetColor(color);
    sprite->SetBlendMode(kFaderBlendMode);
    sprite->frame.SetPosition({0.0f, 0.0f, 0.0f});
    if (CGmCamera* camera = CGeHub::s_cameras2d[CGeHub::s_currentSlot])
        sprite->SetSize(camera->boundWidth, camera->boundHeight);
    sprite->frame.UpdateWorldMatrix();
}

CGmColorFader::~CGmColorFader() = default;

void CGmColorFader::PushEvent(uint32_t event)
{
    if (eventCount < kMaxEvents)
        events[eventCount++] = event;
}

void CGmColorFader::Start(uint8_t keep, uint32_t from, uint32_t to, float seconds)
{
    keepUpdating = keep;
    endReported = 0;
    curve->SetValue(0, SplitArgb(from));
    curve->SetValue(1, SplitArgb(to));
    // A negative time would put the end knot before the start.
    curve->SetUniformTimes(seconds > 0.0f ? seconds : 0.0f);

    activeSource = &source;
    source.time = 0.0f;
    source.done = 0;
    source.eventCount = 0;
    state = 1;
    color = 0;
    if (sprite)
        ResetSprite();
}

void CGmColorFader::StartScreenEffect(uint32_t from, uint32_t to, float seconds)
{
    Start(0, from, to, seconds);
    endReported = 0;
}

void CGmColorFader::Update()
{
    if (!keepUpdating && (!activeSource || activeSource->done))
        return;
    if (state != 1 || !activeSource)
        return;
    activeSource->Advance();
    color = GetColorArgb();
    if (sprite)
        sprite->SetColor(color);
    if (activeSource->done && !endReported) {
        PushEvent(kEventFinished);
        endReported = keepUpdating;
    }
}

void CGmColorFader::Stop()
{
    state = 0;
    keepUpdating = 0;
    endReported = 0;
    activeSource = nullptr;
}

uint32_t CGmColorFader::GetColorArgb() const
{
    if (!curve)
        return 0xFFFFFFFF;
    const Vec4 c = curve->GetValue(source.time);
    return ColorToArgb(c.x, c.y, c.z, c.w);
}

float CGmColorFader::Progress() const
{
    const float end = curve->GetTime(curve->GetNumValues() - 1);
    if (end <= 0.0f)
        return activeSource ? 1.0f : 0.0f;
    return Clamp(0.0f, 1.0f, source.time / end);
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
    if (!g_pGmDevice)
        return; // nothing to draw on
    if (!sprite) {
        sprite.reset(new CGmSprite());
        ResetSprite();
    }
    sprite->Render();
}
