#include "Source/GameClasses/QmPictures.h"

#include "Engine/Core/Common/GeFileData.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmDeviceWrapper.h"
#include "Engine/Core/Gm/GeHub.h"
#include "Engine/Core/Gm/GmImage.h"
#include "Engine/Core/Gm/GmRenderStateCache.h"
#include "Engine/Core/Gm/GmTexture.h"
#include "Source/GameClasses/QmGameProcessor.h"

namespace {

// Blend mode 5: alpha blending with the alpha test; the stage modulates the
// texture's colour and alpha with the vertex colour that carries the opacity.
const uint32_t kPictureBlendMode = GM_BLEND_ALPHA_TESTED;
const uint32_t kPictureStageMode = 2;

struct PictureVertex {
    float x, y, z, rhw;
    uint32_t colour;
    float u, v;
};

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
    QmPicture* picture = new QmPicture();
    picture->texture = texture;
    if (size) {
        picture->width = size[0];
        picture->height = size[1];
        picture->x = x;
        picture->y = y;
    } else {
        picture->width = (float)texture->Image()->width;
        picture->height = (float)texture->Image()->height;
        picture->x = x - picture->width * 0.5f;
        picture->y = y - picture->height * 0.5f;
    }
    return picture;
}

QmPicture* QmMakePictureOfTexture(CGmTexture* texture, float x, float y)
{
    if (!texture)
        return nullptr;
    if (!texture->Image()) {
        texture->Release();
        return nullptr;
    }
    QmPicture* picture = new QmPicture();
    picture->texture = texture;
    picture->width = (float)texture->Image()->width;
    picture->height = (float)texture->Image()->height;
    picture->x = x - picture->width * 0.5f;
    picture->y = y - picture->height * 0.5f;
    return picture;
}

void QmDeletePicture(QmPicture*& picture)
{
    if (!picture)
        return;
    if (picture->texture)
        picture->texture->Release();
    delete picture;
    picture = nullptr;
}

void QmSetPictureAlpha(QmPicture* picture, uint8_t alpha)
{
    if (picture)
        picture->alpha = alpha;
}

void QmShowPicture(QmPicture* picture, bool shown)
{
    if (picture)
        picture->shown = shown;
}

void QmUpdatePicture(QmPicture*) {}

void QmDrawPicture(QmPicture* picture)
{
    if (!picture || !picture->shown || picture->alpha == 0 || !g_pGmDevice || !g_pGmDevice->GetDevice())
        return;
    const CGmImage* image = picture->texture->Image();
    if (!image || !picture->texture->Bind(0))
        return;
    // Reference-screen coordinates to back-buffer pixels.
    const float sx = (float)g_pGmDevice->BackBufferWidth() / (float)g_referenceScreenSize[0];
    const float sy = (float)g_pGmDevice->BackBufferHeight() / (float)g_referenceScreenSize[1];
    const float left = picture->x * sx - 0.5f;
    const float top = picture->y * sy - 0.5f;
    const float right = (picture->x + picture->width) * sx - 0.5f;
    const float bottom = (picture->y + picture->height) * sy - 0.5f;
    // The texture's sides are rounded up to powers of two: the image fills
    // the top-left part of it.
    const float u = (float)image->width / (float)GetImageWidthPow2(picture->texture);
    const float v = (float)image->height / (float)GetImageHeightPow2(picture->texture);
    const uint32_t colour = (uint32_t)picture->alpha << 24 | 0x00FFFFFF;
    const PictureVertex quad[4] = {
        {left, top, 0.0f, 1.0f, colour, 0.0f, 0.0f},
        {right, top, 0.0f, 1.0f, colour, u, 0.0f},
        {left, bottom, 0.0f, 1.0f, colour, 0.0f, v},
        {right, bottom, 0.0f, 1.0f, colour, u, v},
    };
    if (g_pGmRenderStateCache) {
        g_pGmRenderStateCache->SetBlendMode(kPictureBlendMode, 0);
        g_pGmRenderStateCache->SetTextureStageMode(kPictureStageMode, 0);
    }
    IDirect3DDevice9* device = g_pGmDevice->GetDevice();
    if (!g_pGmDevice->CanCall())
        return;
    device->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
    device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(PictureVertex));
}
