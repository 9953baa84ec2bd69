#include "Engine/Core/Gm/GmImageSet.h"

#include "Engine/Core/Common/GeMath.h"
#include "Engine/Core/Gm/GmImage.h"
#include "Engine/Core/Gm/GmTexture.h"
#include "Engine/Core/Gm/GmVideoDecoder.h"

CGmImageSet::CGmImageSet()
{
    InitPlain();
}

CGmImageSet::CGmImageSet(const CGmImageSet& other)
{
    InitPlain();
    Assign(other);
}

CGmImageSet& CGmImageSet::operator=(const CGmImageSet& other)
{
    Assign(other);
    return *this;
}

CGmImageSet::~CGmImageSet()
{
    Release();
}

void CGmImageSet::ReadImage(const CGmTexture* image, float* size)
{
    const CGmImage* picture = image ? image->Image() : nullptr;
    if (!picture || !picture->width || !picture->height) {
        uvScale[0] = 1.0f;
        uvScale[1] = 1.0f;
        size[0] = 1.0f;
        size[1] = 1.0f;
        return;
    }
    uvScale[0] = (float)picture->width / (float)NextPowerOfTwo(picture->width);
    uvScale[1] = (float)picture->height / (float)NextPowerOfTwo(picture->height);
    size[0] = (float)picture->width;
    size[1] = (float)picture->height;
}

void CGmImageSet::InitPlain()
{
    Release();
    kind = KIND_PLAIN;
    frameCount = 1;
    framesPerLine = 1;
    lineCount = 1;
    currentFrame = 0;
    uvOrigin[0] = uvOrigin[1] = 0.0f;
    uvExtent[0] = uvExtent[1] = 0.0f;
    framePixelSize[0] = framePixelSize[1] = 0.0f;
    uvScale[0] = uvScale[1] = 1.0f;
    frameUvSize[0] = frameUvSize[1] = 0.0f;
}

void CGmImageSet::Init(CGmTexture* image, uint32_t count, uint32_t perLine)
{
    InitPlain();
    kind = KIND_GRID;
    frameCount = count ? count : 1;
    framesPerLine = perLine ? perLine : 1;
    lineCount = (frameCount - 1) / framesPerLine + 1;
    if (!image) {
        currentFrame = 0;
        return;
    }
    texture = image;
    texture->AddRef();
    float size[2];
    ReadImage(image, size);
    framePixelSize[0] = size[0] / (float)framesPerLine;
    framePixelSize[1] = size[1] / (float)lineCount;
    frameUvSize[0] = uvScale[0] / (float)framesPerLine;
    frameUvSize[1] = uvScale[1] / (float)lineCount;
    uvExtent[0] = frameUvSize[0];
    uvExtent[1] = frameUvSize[1];
    currentFrame = kNoFrame;
    SetFrame(0);
}

void CGmImageSet::InitFromList(CGmTexture* const* textures, uint32_t count)
{
    InitPlain();
    kind = KIND_LIST;
    frameCount = count;
    for (uint32_t i = 0; i < count; ++i) {
        frames.Add(textures[i]);
        if (textures[i])
            textures[i]->AddRef();
    }
    texture = count ? frames[0] : nullptr;
    ReadImage(texture, framePixelSize);
    currentFrame = kNoFrame;
    SetFrame(0);
}

void CGmImageSet::InitFromVideo(CGmVideoDecoder* decoder)
{
    InitPlain();
    if (!decoder)
        return;
    kind = KIND_VIDEO;
    source = decoder;
    source->AddRef();
    texture = decoder->GetTexture();
    frameCount = decoder->GetFrameCount();
    ReadImage(texture, framePixelSize);
    uvExtent[0] = uvScale[0];
    uvExtent[1] = uvScale[1];
    currentFrame = kNoFrame;
    SetFrame(0);
}

void CGmImageSet::InitFromRect(CGmTexture* image, float x, float y, float w, float h)
{
    InitPlain();
    kind = KIND_RECT;
    texture = image;
    if (texture)
        texture->AddRef();
    float size[2];
    ReadImage(image, size);
    framePixelSize[0] = w;
    framePixelSize[1] = h;
    uvOrigin[0] = x * uvScale[0] / size[0];
    uvOrigin[1] = y * uvScale[1] / size[1];
    uvExtent[0] = w * uvScale[0] / size[0];
    uvExtent[1] = h * uvScale[1] / size[1];
    currentFrame = kNoFrame;
    SetFrame(0);
}

void CGmImageSet::SetFrame(int32_t n)
{
    if (n < 0 || frameCount == 0)
        n = 0;
    else if ((uint32_t)n > frameCount - 1)
        n = (int32_t)(frameCount - 1);
    currentFrame = (uint32_t)n;
    switch (kind) {
    case KIND_GRID:
        uvOrigin[0] = (float)(currentFrame % framesPerLine) / (float)framesPerLine * uvScale[0];
        uvOrigin[1] = (float)(currentFrame / framesPerLine) / (float)lineCount * uvScale[1];
        break;
    case KIND_LIST:
        texture = currentFrame < frames.Count() ? frames[currentFrame] : nullptr;
        ReadImage(texture, framePixelSize);
        uvOrigin[0] = uvOrigin[1] = 0.0f;
        uvExtent[0] = uvScale[0];
        uvExtent[1] = uvScale[1];
        break;
    case KIND_VIDEO:
        if (source) {
            source->NextFrame(n);
            source->CopyFrameToTexture();
        }
        break;
    case KIND_RECT:
        currentFrame = 0;
        break;
    default:
        break;
    }
}

void CGmImageSet::TakeReferences()
{
    if (kind == KIND_GRID || kind == KIND_RECT) {
        if (texture)
            texture->AddRef();
    }
    for (CGmTexture* frame : frames)
        if (frame)
            frame->AddRef();
    if (source)
        source->AddRef();
}

void CGmImageSet::Assign(const CGmImageSet& other)
{
    if (this == &other)
        return;
    // Take the new references before the old ones go: the two sets may share
    // a texture whose last reference is ours.
    CGmImageSet old;
    old.kind = kind;
    old.texture = texture;
    old.frames.Swap(frames);
    old.source = source;

    kind = other.kind;
    texture = other.texture;
    frameCount = other.frameCount;
    framesPerLine = other.framesPerLine;
    lineCount = other.lineCount;
    frames = other.frames;
    source = other.source;
    currentFrame = other.currentFrame;
    for (int i = 0; i < 2; ++i) {
        uvOrigin[i] = other.uvOrigin[i];
        uvExtent[i] = other.uvExtent[i];
        framePixelSize[i] = other.framePixelSize[i];
        uvScale[i] = other.uvScale[i];
        frameUvSize[i] = other.frameUvSize[i];
    }
    TakeReferences();
    // old releases what this set held when it goes.
}

void CGmImageSet::Release()
{
    if ((kind == KIND_GRID || kind == KIND_RECT) && texture)
        texture->Release();
    for (CGmTexture* frame : frames)
        if (frame)
            frame->Release();
    frames.Clear();
    if (source)
        source->Release();
    source = nullptr;
    texture = nullptr;
    kind = KIND_PLAIN;
}
