// The engine's texture: an image in system memory (CGmImage) mirrored into a
// Direct3D texture of the default pool whose sides are the image's rounded up
// to powers of two.
//
// The Direct3D texture is made at the first Bind through the resource manager
// and filled from the image whenever the image changed; it can be taken away
// at any time (eviction, hand-over to a compatible texture, device reset) and
// is then made and filled again at the next Bind. Images come in three kinds:
// raw pixels, packed files (".gep" payloads and JPEG files, decoded straight
// into the upload) and DDS files (copied level by level). A render-target
// texture works the other way round: every upload reads its rendered content
// back into its image, the right way up.
//
// A texture always has an image: a file that cannot be used gives a 1 by 1
// black, transparent image instead.
#pragma once

#include "Engine/Core/Common/GeFileData.h"
#include "Engine/Core/Common/GeString.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmTextureBase.h"

#include <cstdint>

// Image scaling modes of ScaleImage.
enum : uint32_t {
    GM_SCALE_NEAREST = 0,
    GM_SCALE_BILINEAR = 1,
    GM_SCALE_STRETCH = 2,       // 4-byte pixels, nearest
    GM_SCALE_BILINEAR_FLOAT = 3 // one float per pixel
};

class CGmTexture : public CGmTextureBase {
public:
    // A 1 by 1 A8R8G8B8 texture.
    CGmTexture();
    // LoadFromFile; a file that cannot be used gives the 1 by 1 texture.
    CGmTexture(const CGeFileData& file, bool forceRaw);
    ~CGmTexture() override;

    // A raw image of zeroed pixels (pitch = bytes per pixel x width).
    void Create(uint32_t width, uint32_t height, uint32_t engineFormat, bool renderTarget);

    // TGA files, and any file when forceRaw is set, are decoded now; ".gep"
    // and JPEG files are kept packed and decoded at upload; DDS files are kept
    // whole. False (with the 1 by 1 image) for an empty, unknown or
    // undecodable file.
    bool LoadFromFile(const CGeFileData& file, bool forceRaw);

    // Makes the texture resident and uploads, then sets it on the sampler
    // stage (null when there is no Direct3D texture). True when SetTexture
    // succeeded.
    bool Bind(uint32_t stage);

    // The pixels of a raw image with a non-zero area, for whoever writes
    // frames into the texture (the video decoder); null otherwise. The
    // texture uploads them again at its next Bind.
    uint8_t* GetFrameImage(uint32_t* pitch);

    // The alpha of the image's pixel (x, y) of a raw image, for hit tests on
    // a picture's opaque parts: the image stays in system memory after the
    // upload, so the read needs no device. False, with alpha 0, for a point
    // outside the image and for an image that is not raw (packed, DDS).
    bool TexelAlpha(uint32_t x, uint32_t y, uint8_t* alpha) const;

    // Resamples a raw image to (int)(width x xFactor + 0.1) by
    // (int)(height x yFactor + 0.1) pixels with a GM_SCALE_* mode.
    void ScaleImage(float xFactor, float yFactor, uint32_t mode);

    // Keeps the part of a raw image inside the margins, with up to one pixel
    // of the cut-off neighbourhood on each side: the new width is the smaller
    // of the cropped width + 2 and the cropped width rounded up to a power of
    // two (the same for the height). The cropped area starts at column 1 (row
    // 1) when there is room for a border pixel before it, else at 0; a border
    // with nothing beyond the margin repeats the edge pixel.
    void CropImage(uint32_t left, uint32_t right, uint32_t top, uint32_t bottom);

    bool IsCompatible(const CGmTextureBase& other) const override;
    // The image's size.
    void ContentSize(uint32_t* width, uint32_t* height) const override;

    bool EnsureCreated() override;
    void ReleaseDeviceObject() override;
    void Upload() override;
    bool CreateD3dTexture(uint32_t width, uint32_t height, uint32_t levels, uint32_t engineFormat, uint32_t usage,
                          bool loud) override;

    const CGmImage* Image() const { return m_image; }

private:
    // Drops the Direct3D texture and the image before the image is replaced.
    void BeginReplacingImage();
    void MakeFallbackImage();
    void UploadRaw();
    void UploadDds();
    void ReadBackRenderTarget();
};

// The image's width, and its width and height rounded up to powers of two;
// 1 for a texture without an image.
uint32_t GetImageWidth(const CGmTexture* texture);
uint32_t GetImageWidthPow2(const CGmTexture* texture);
uint32_t GetImageHeightPow2(const CGmTexture* texture);

// Writes the texture's raw image as an uncompressed TGA file (the save-slot
// preview); nothing for a packed or DDS image or a file that cannot be made.
void CaptureSurfaceToTga(const CGmTexture* texture, const CGeString& path);
