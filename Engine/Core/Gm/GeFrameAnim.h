// The frame-animation player: walks a frame position forward, backward or
// back and forth between a first and a last frame at a speed, with optional
// per-frame durations, and tells its owner that play ended through a small
// event queue.
//
// Positions are in frame units; speed 1.0 moves one unit per unit of the
// frame timer's smoothed delta (25 a second at the timer's default scale), and
// its sign is the direction. A non-looping play ends after its passes and
// queues event 0; the looping modes (+16) never end by themselves. The queue
// holds 32 events: an event that finds it full is dropped. The owner reads and
// empties it.
#pragma once

#include "Engine/Core/Common/GeArray.h"

#include <cstdint>

class CGeFrameAnim {
public:
    enum Mode : uint32_t {
        FORWARD = 1,
        BACKWARD = 2,
        WIGWAG = 3, // first to last and back
        WAGWIG = 4, // last to first and back
        LOOP = 16,  // added to a mode: play without end
    };
    static constexpr uint32_t kMaxEvents = 32;
    static constexpr uint32_t kEventEnded = 0;

    explicit CGeFrameAnim(uint32_t frames = 0) { Init(frames); }
    CGeFrameAnim(const CGeFrameAnim& other) = default;
    // Copies every field, the events and durations included.
    CGeFrameAnim& operator=(const CGeFrameAnim& other) = default;

    // Idle over n frames: range 0 .. n - 1, speed 1, mode FORWARD, one pass,
    // no durations, no events.
    void Init(uint32_t frames);
    // The played range; last is kept within first .. frame count - 1.
    void SetRange(uint32_t first, uint32_t last);
    // Plays from the start of the mode's direction; a non-looping mode with
    // no passes, or a player without frames, stops instead. Unknown modes
    // change nothing.
    void Start(uint32_t mode, uint32_t repeats);
    // Idle at the start of the mode's direction; queues event 0.
    void Stop();
    // The frame under the position.
    uint32_t GetFrame() const;
    // Moves to frame n (within the frames and the played range).
    void SetFrame(uint32_t n);
    // One step of delta x speed, by the frame timer's smoothed delta.
    void Advance();
    void Advance(float delta);

    // Appends an event; false (and the event dropped) when the queue is full.
    bool PushEvent(uint32_t event);

    uint32_t events[kMaxEvents] = {};
    uint32_t eventCount = 0;
    uint32_t frameCount = 0;
    float speed = 1.0f;
    float position = 0.0f;
    uint32_t firstIndex = 0;
    float firstPosition = 0.0f;
    uint32_t lastIndex = 0;
    float lastPosition = 0.0f;
    float length = 0.0f;
    uint32_t mode = FORWARD;
    uint32_t repeats = 1;
    uint8_t playing = 0;
    CGeArray<float> durations; // optional length of each frame in position units

private:
    // The sum of the durations of frames 0 .. n - 1.
    float DurationsBefore(uint32_t n) const;
    // Ends the play at the given position.
    void End(float at);
};
