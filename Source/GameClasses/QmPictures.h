// The game processor's pictures: logos, loading screens and effect pictures.
//
// A picture is one screen sprite (CGmSprite) of a texture's single frame,
// drawn with blend mode 5 through the 2D camera of the current device slot,
// with an opacity and a shown flag. Placed by its hot spot: at the picture's
// centre when it takes the texture's own size (which sprites keep on screen
// at any back-buffer size), at its top-left corner when it is given a size on
// the reference screen (the logos'). The picture holds one reference on its
// texture, its sprite another.
#pragma once

#include <cstdint>

class CGmSprite;
class CGmTexture;

struct QmPicture {
    CGmSprite* sprite = nullptr;
    CGmTexture* texture = nullptr;
    float x = 0.0f; // top-left corner on the reference screen
    float y = 0.0f;
    float width = 0.0f; // size on the reference screen
    float height = 0.0f;
    uint8_t alpha = 255;
    bool shown = true;
};

// A picture of the texture at path (a data name, or a disk path with
// fromDisk). With size null it takes the texture's pixel size and its hot
// spot at its centre, placed at (x, y); with a size, its top-left corner is
// placed at (x, y). Null when the file cannot be read or decoded.
QmPicture* QmMakePicture(const char* path, bool fromDisk, float x, float y, const float* size);
// A picture of a texture whose reference the caller hands over, at the
// texture's pixel size with its hot spot at its centre, placed at (x, y).
// Null (the reference released) for a texture without an image.
QmPicture* QmMakePictureOfTexture(CGmTexture* texture, float x, float y);
// Deletes the picture (null is fine) and nulls the pointer.
void QmDeletePicture(QmPicture*& picture);
void QmSetPictureAlpha(QmPicture* picture, uint8_t alpha);
void QmShowPicture(QmPicture* picture, bool shown);
// Advances the sprite's frame animation (a single frame has none to run).
void QmUpdatePicture(QmPicture* picture);
// Draws a shown picture with a non-zero opacity inside the current scene;
// nothing without a device.
void QmDrawPicture(QmPicture* picture);
