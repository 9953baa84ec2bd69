// A full-screen colour fade: one sprite over the whole 2D space whose colour
// follows a two-knot colour curve, so the screen runs from one ARGB colour to
// another over a given time; the fader queues event 1 when the fade ends. Its
// owner (the game processor) updates it once per frame, draws it, and reads
// and empties the event queue.
//
// The sprite multiplies the screen by its colour (blend mode 3): white leaves
// the picture as it is, black covers it. The colour source walks its time
// along the curve by the frame timer's delta; its speed may be negative to
// run a fade backwards. Event queues hold 32 entries; an event that finds its
// queue full is dropped.
//
// The sprite is made at the first Draw, not with the fader: the game makes
// its faders before the graphics core is up, and the fade's colour is kept in
// `color` until there is a sprite to take it.
#pragma once

#include "Engine/Core/Common/GeCurve.h"
#include "Engine/Core/Common/GeMath.h"

#include <cstdint>
#include <memory>

class CGmSprite;

// Drives a time along a colour curve.
class CGmColorSource {
public:
    static constexpr uint32_t kMaxEvents = 32;

    // Unless done or paused: time += delta x speed, kept within the curve;
    // reaching the end (or 0 running backwards) sets done and queues event 1.
    void Advance();
    void PushEvent(uint32_t event);

    uint32_t events[kMaxEvents] = {};
    uint32_t eventCount = 0;
    float speed = 1.0f;
    float time = 0.0f;
    uint8_t done = 0;
    uint8_t paused = 0;
    idCurve<Vec4>* curve = nullptr; // the fader's; r, g, b, a in 0..1
};

class CGmColorFader {
public:
    static constexpr uint32_t kMaxEvents = 32;
    static constexpr uint32_t kEventFinished = 1;

    // The curve gets its default knots (0, black transparent) and (1, white).
    CGmColorFader();
    ~CGmColorFader();
    CGmColorFader(const CGmColorFader&) = delete;
    CGmColorFader& operator=(const CGmColorFader&) = delete;

    // Fades from `from` to `to` (0xAARRGGBB) over seconds. With keepUpdating
    // the fader keeps setting the end colour after the end (and reports the
    // end once); without it, it stops touching the sprite once done.
    void Start(uint8_t keep, uint32_t from, uint32_t to, float seconds);
    // Start without keepUpdating.
    void StartScreenEffect(uint32_t from, uint32_t to, float seconds);
    // One frame: the source advances and the sprite takes the colour.
    void Update();
    // Switches the fader off: no fade, no flags.
    void Stop();

    // The curve at the source's time; 0xFFFFFFFF without a curve.
    uint32_t GetColorArgb() const;
    // How far the fade has come, 0 to 1 (1 for a fade of no length).
    float Progress() const;
    // Takes the newest queued event and empties the queue; false when empty.
    bool TakeLastEvent(uint32_t& event);
    // Draws the full-screen sprite (made at the first call).
    void Draw() const;

    uint32_t events[kMaxEvents] = {};
    uint32_t eventCount = 0;
    uint32_t state = 0; // 1 while a fade has been begun
    uint8_t keepUpdating = 0;
    uint8_t endReported = 0;
    uint32_t color = 0; // the sprite's colour (the curve's at the last update)
    mutable std::unique_ptr<CGmSprite> sprite;
    CGmColorSource* activeSource = nullptr;
    CGmColorSource source;
    std::unique_ptr<idCurve<Vec4>> curve; // a polyline: linear between its two knots

private:
    void PushEvent(uint32_t event);
    // Colour 0, blend mode 3, at (0, 0) over the 2D camera's bound size.
    void ResetSprite() const;
};
