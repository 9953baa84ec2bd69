#include "Source/GameClasses/QmPictures.h"

// Stand-ins until the engine's sprites exist: no picture is made, so every
// caller sees a missing picture and draws nothing.
CGmSprite* QmMakePicture(const char*, bool, float, float, const float*)
{
    return nullptr;
}

void QmDeletePicture(CGmSprite*& picture)
{
    picture = nullptr;
}

void QmSetPictureAlpha(CGmSprite*, uint8_t)
{
}

void QmShowPicture(CGmSprite*, bool)
{
}

void QmUpdatePicture(CGmSprite*)
{
}

void QmDrawPicture(CGmSprite*)
{
}
