// The device side of a texture: its Direct3D texture and the flags that say
// how it is made and when it is filled. The image behind it and the loaders
// live with CGmTexture, above the device layer; the resource manager and the
// device wrapper need no more than this.
#pragma once

#include "Engine/Core/Gm/GLibLoc/D3d/GmGpuResource.h"
#include "Platform/D3d9/D3d9.h"

#include <cstdint>

class CGmImage;

class CGmTextureBase : public CGmGpuResource {
public:
    CGmTextureBase() { subTypeId = GE_RES_TEXTURE; }

    // Makes the Direct3D texture; false at the device-object limit, for lack
    // of video memory (silently) or on any other error (traced when loud or
    // not a memory shortage).
    virtual bool CreateD3dTexture(uint32_t width, uint32_t height, uint32_t levels, uint32_t engineFormat,
                                  uint32_t usage, bool loud) = 0;

    // Whether the other texture's Direct3D texture would do for this one: same
    // render-target flag, both raw images, same power-of-two size and format.
    virtual bool IsCompatible(const CGmTextureBase& other) const = 0;

    // The size of the picture the texture holds; its Direct3D texture may be
    // larger (sides rounded up to powers of two), the picture in its top-left
    // corner. 0 by 0 when unknown.
    virtual void ContentSize(uint32_t* width, uint32_t* height) const
    {
        *width = 0;
        *height = 0;
    }

    // Hand-over: this texture takes the other's Direct3D texture and refills
    // it at its next upload; the other is left without one. The count of
    // device objects does not change.
    void TakeDeviceTexture(CGmTextureBase& other)
    {
        m_texture = other.m_texture;
        other.m_texture = nullptr;
        m_needsUpload = 1;
    }

    CGmImage* m_image = nullptr;          // owned; null only while being replaced
    uint8_t m_renderTarget = 0;           // the Direct3D texture is a render target
    uint8_t m_needsUpload = 0;            // the image goes into the texture at the next Upload
    uint8_t m_imageWritten = 0;           // GetFrameImage handed out the pixels
    IDirect3DTexture9* m_texture = nullptr;
    uint32_t m_usage = 0;                 // Direct3D usage of the last creation
};
