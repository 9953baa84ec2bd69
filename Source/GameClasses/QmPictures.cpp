#include "Source/GameClasses/QmPictures.h"

#include "Engine/Core/Common/GeFileData.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmDeviceWrapper.h"
#include "Engine/Core/Gm/GmImage.h"
#include "Engine/Core/Gm/GmImageSet.h"
#include "Engine/Core/Gm/GmSprite.h"
#include "Engine/Core/Gm/GmTexture.h"

namespace {

// Alpha blending with the alpha test.
const uint32_t kPictureBlendMode = 5;

// Takes the caller's texture reference.
QmPicture* MakePicture(CGmTexture* texture, float x, float y, const float* size)
{
    CGmImageSet images;
    images.Init(texture, 1, 1);
    QmPicture* picture = new QmPicture();
    picture->texture = texture;
    CGmSprite* sprite = new CGmSprite(images);
    picture->sprite = sprite;
    sprite->SetBlendMode(kPictureBlendMode);
    if (size) {
        sprite->SetSize(size[0], size[1]);
        sprite->hotPoints[0] = {0.0f, 0.0f};
    } else {
        sprite->SetSize(sprite->size[0], sprite->size[1]);
        sprite->hotPoints[0] = {sprite->size[0] * 0.5f, sprite->size[1] * 0.5f};
    }
    picture->width = sprite->size[0];
    picture->height = sprite->size[1];
    picture->x = x - sprite->hotPoints[0].x;
    picture->y = y - sprite->hotPoints[0].y;
    sprite->frame.SetPosition({x, y, 0.0f});
    sprite->frame.UpdateWorldMatrix();
    return picture;
}

} // namespace

QmPicture* QmMakePicture(const char* path, bool fromDisk, float x, float y, const float* size)
{
    if (!path || !*path)
        return nullptr;
    CGeFileData file = fromDisk ? ReadWholeFile(path, false) : LoadFileData(path, false);
    if (!file.data || file.size == 0) {
        FreeFileData(file);
        return nullptr;
    }
    CGmTexture* texture = new CGmTexture();
    const bool loaded = texture->LoadFromFile(file, false);
    FreeFileData(file);
    if (!loaded || !texture->Image()) {
        texture->Release();
        return nullptr;
    }
    return MakePicture(texture, x, y, size);
}

QmPicture* QmMakePictureOfTexture(CGmTexture* texture, float x, float y)
{
    if (!texture)
        return nullptr;
    if (!texture->Image()) {
        texture->Release();
        return nullptr;
    }
    return MakePicture(texture, x, y, nullptr);
}

void QmDeletePicture(QmPicture*& picture)
{
    if (!picture)
        return;
    delete picture->sprite;
    if (picture->texture)
        picture->texture->Release();
    delete picture;
    picture = nullptr;
}

void QmSetPictureAlpha(QmPicture* picture, uint8_t alpha)
{
    if (!picture)
        return;
    picture->alpha = alpha;
    picture->sprite->SetAlpha(alpha);
}

void QmShowPicture(QmPicture* picture, bool shown)
{
    if (!picture)
        return;
    picture->shown = shown;
    picture->sprite->visible = shown ? 1 : 0;
}

void QmUpdatePicture(QmPicture* picture)
{
    if (picture)
        picture->sprite->Update();
}

void QmDrawPicture(QmPicture* picture)
{
    if (!picture || !picture->shown || picture->alpha == 0 || !g_pGmDevice || !g_pGmDevice->GetDevice())
        return;
    picture->sprite->Render();
}
