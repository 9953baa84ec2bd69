// What the game processor calls of its two members from the game features:
// the hint panel and the 3D pointer arrow. Both come with the game features;
// until then they keep the fields the processor touches and do nothing else.
#pragma once

#include <cstdint>

class CQmHints {
public:
    // Per frame with the frame time, and with 0 around the save preview: the
    // shown hint's time moves on, and its picture and text are hidden once
    // it reaches the show time. (The hint's end event comes with the panel.)
    void Update(float frameTime)
    {
        elapsed += frameTime;
        if (elapsed >= showTime) {
            pictureShown = 0;
            textShown = 0;
        }
    }
    // The hint's two visuals, drawn by the location's render pass.
    void Render() {}

    // A location change or a new game: the three timers to 0, both visuals
    // hidden.
    void Reset()
    {
        elapsed = 0.0f;
        showTime = 0.0f;
        eventDelay = 0.0f;
        pictureShown = 0;
        textShown = 0;
    }

    float elapsed = 0.0f;
    float showTime = 0.0f;
    float eventDelay = 0.0f;
    uint8_t pictureShown = 0;
    uint8_t textShown = 0;
};

class CQm3dArrow {
public:
    // Per frame (the arrow mesh comes with the game features).
    void Update(float /*frameTime*/) {}

    uint8_t shown = 0;
};
