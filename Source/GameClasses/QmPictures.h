// The game processor's pictures: logos, loading screens and effect pictures,
// each a sprite of one texture with blend mode 5, on the reference screen.
#pragma once

#include <cstdint>

class CGmSprite;

// A picture of the texture at path (a data name, or a disk path with
// fromDisk). With size null it takes the texture's pixel size and its hot
// spot at its centre, placed at (x, y); with a size, its top-left corner is
// placed at (x, y). Null when the texture cannot be loaded.
CGmSprite* QmMakePicture(const char* path, bool fromDisk, float x, float y, const float* size);
// Deletes the picture and nulls the pointer.
void QmDeletePicture(CGmSprite*& picture);
void QmSetPictureAlpha(CGmSprite* picture, uint8_t alpha);
void QmShowPicture(CGmSprite* picture, bool shown);
void QmUpdatePicture(CGmSprite* picture);
void QmDrawPicture(CGmSprite* picture);
