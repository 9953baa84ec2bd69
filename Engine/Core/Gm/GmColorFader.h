// A full-screen colour fade: the screen's colour runs from one ARGB colour to
// another over a given time, and the fader queues event 1 when the fade ends.
// Its owner (the game processor) updates it once per frame and reads and
// empties the event queue.
//
// Only the fade's course and its events live here so far; covering the screen
// with the colour comes with the render layers' full-screen sprite, and Draw
// draws nothing until then.
#pragma once

#include <cstdint>

class CGmColorFader {
public:
    static constexpr uint32_t kMaxEvents = 32;
    static constexpr uint32_t kEventFinished = 1;

    // Fades from `from` to `to` (0xAARRGGBB) over seconds. With keepUpdating
    // the fader keeps holding the end colour after the end (and reports the
    // end once); without it, it stops touching anything once done.
    void Start(uint8_t keep, uint32_t from, uint32_t to, float seconds);
    // Start without keepUpdating.
    void StartScreenEffect(uint32_t from, uint32_t to, float seconds);
    // One frame: the fade's time advances by the frame timer's delta.
    void Update();
    // Switches the fader off: no fade, no flags.
    void Stop();

    // The colour at the fade's time; 0xFFFFFFFF before any start.
    uint32_t GetColorArgb() const;
    // How far the fade has come, 0 to 1 (1 for a fade of no length).
    float Progress() const;
    // Takes the newest queued event and empties the queue; false when empty.
    bool TakeLastEvent(uint32_t& event);
    void Draw() const;

    uint32_t events[kMaxEvents] = {};
    uint32_t eventCount = 0;
    uint32_t state = 0;           // 1 while a fade has been begun
    uint8_t keepUpdating = 0;
    uint8_t endReported = 0;
    uint8_t hasCurve = 0;         // a fade was started once
    uint8_t done = 0;             // the fade's time reached its end
    float time = 0.0f;
    float duration = 0.0f;
    float from[4] = {0.0f, 0.0f, 0.0f, 0.0f}; // r, g, b, a
    float to[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    uint32_t color = 0;           // the colour of the last update
};
