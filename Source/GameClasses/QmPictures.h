// The game processor's pictures: logos, loading screens and effect pictures,
// each one texture drawn with blend mode 5 on the reference screen.
//
// A stand-in for the engine's sprites until they exist: a picture is a
// texture with a place, a size, an opacity and a shown flag, drawn as one
// pre-transformed quad scaled from the reference screen to the back buffer.
// It has no frames, hot-spot table or animation; when the sprites come, these
// functions make and drive sprites instead and the callers stay as they are.
#pragma once

#include <cstdint>

class CGmTexture;

struct QmPicture {
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
// Advances the picture's animation: a single-frame picture has none.
void QmUpdatePicture(QmPicture* picture);
// Draws a shown picture with a non-zero opacity inside the current scene;
// nothing without a device.
void QmDrawPicture(QmPicture* picture);
