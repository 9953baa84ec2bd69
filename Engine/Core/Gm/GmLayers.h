// The render layers: the one manager of the visual objects drawn each frame,
// created by the engine hub at start-up.
#pragma once

class CGmLayers {
public:
    CGmLayers() = default;
    virtual ~CGmLayers() = default;
    CGmLayers(const CGmLayers&) = delete;
    CGmLayers& operator=(const CGmLayers&) = delete;
};

extern CGmLayers* g_pGmLayers;
