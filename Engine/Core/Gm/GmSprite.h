// The two concrete 2D visuals.
//
// CGmSprite is the screen sprite of menus, the GUI, cursors and loading
// screens: its quad is placed in reference-screen pixels through the 2D
// camera of the current device slot, its hot point (per frame) is the pixel
// of the frame that sits on the sprite's position, and with pixel snapping its
// corners are rounded outward to whole device pixels.
//
// CGmAnimSprite is a sprite standing in the 3D scene: its origin goes through
// the 3D camera's view, and the quad is drawn facing the camera at that
// point's projection, sized by its world scale (turned within the screen
// plane by its world rotation) and shrinking with distance.
#pragma once

#include "Engine/Core/Gm/GmVisual2D.h"

class CGmSprite : public CGmVisual2D {
public:
    explicit CGmSprite(const CGmImageSet& images = CGmImageSet(), uint16_t typeId = 0)
        : CGmVisual2D(images, typeId)
    {
    }

    // Placement 1: the world matrix; 2: the 2D camera's matrix; 3: the
    // camera's matrix times the world matrix.
    void PlaceQuad(uint32_t placement) override;
    // The 2D camera of the current device slot.
    CGmCamera* GetCamera() override;
    void CopyFrom(const CGmSprite& other);

    uint8_t pixelSnapping = 0;
    // Snapping for every sprite.
    static uint8_t s_globalPixelSnapping;
};

class CGmAnimSprite : public CGmVisual2D {
public:
    explicit CGmAnimSprite(const CGmImageSet& images = CGmImageSet(), uint16_t typeId = 0)
        : CGmVisual2D(images, typeId)
    {
    }

    // Placement 1: the world matrix with y flipped; 2: a camera-facing quad
    // at the origin's projection; 3: the same, turned and scaled by the
    // world matrix's 3 by 3 part. Each result divided by its w.
    void PlaceQuad(uint32_t placement) override;
    // The 3D camera of the current device slot.
    CGmCamera* GetCamera() override;
};
