// Where the frames of a 2D visual come from: for the current frame, the
// texture and the rectangle of texture coordinates to show.
//
// Kinds: 0 a grid of frames in one texture; 1 a list of separate textures;
// 2 a video whose decoder writes the chosen frame into its texture; 3 one
// pixel rectangle of a texture; 4 plain, no texture. Textures are padded to
// powers of two, so the UV scale says which part of the texture holds the
// image. Every kind holds a reference on what it shows (the grid's and the
// rectangle's texture, each texture of the list, the video's decoder) and
// drops them in Release; copies take their own.
#pragma once

#include "Engine/Core/Common/GeArray.h"

#include <cstdint>

class CGmTexture;
class CGmVideoDecoder;

class CGmImageSet {
public:
    enum Kind : uint32_t {
        KIND_GRID = 0,
        KIND_LIST = 1,
        KIND_VIDEO = 2,
        KIND_RECT = 3,
        KIND_PLAIN = 4,
    };
    static constexpr uint32_t kNoFrame = 0x7FFFFFFF;

    // Plain: no texture, one frame, frame 0.
    CGmImageSet();
    CGmImageSet(const CGmImageSet& other);
    CGmImageSet& operator=(const CGmImageSet& other);
    ~CGmImageSet();

    // A grid of frameCount frames, framesPerLine to a row (0 counts as 1;
    // no frames count as one). Without a texture: frame 0 of size 0, 0.
    void Init(CGmTexture* texture, uint32_t frameCount, uint32_t framesPerLine);
    // One frame per texture; the first one shows first.
    void InitFromList(CGmTexture* const* textures, uint32_t count);
    // The decoder's frames in its texture; null gives a plain set.
    void InitFromVideo(CGmVideoDecoder* decoder);
    // One rectangle of pixels of the texture.
    void InitFromRect(CGmTexture* texture, float x, float y, float w, float h);
    void InitPlain();

    // Selects frame n, clamped to the frames; a video decodes it into its
    // texture.
    void SetFrame(int32_t n);
    // Copies the other set, references included.
    void Assign(const CGmImageSet& other);
    // Drops every reference; the set is plain afterwards.
    void Release();

    uint32_t kind = KIND_PLAIN;
    CGmTexture* texture = nullptr; // the current frame's texture
    uint32_t frameCount = 1;
    uint32_t framesPerLine = 1;
    uint32_t lineCount = 1;
    CGeArray<CGmTexture*> frames; // the list's textures
    CGmVideoDecoder* source = nullptr;
    uint32_t currentFrame = kNoFrame;
    float uvOrigin[2] = {0.0f, 0.0f};
    float uvExtent[2] = {0.0f, 0.0f};
    float framePixelSize[2] = {0.0f, 0.0f};
    float uvScale[2] = {1.0f, 1.0f};
    float frameUvSize[2] = {0.0f, 0.0f};

private:
    void TakeReferences();
    // UV scale of the texture's image; the image size, or (1, 1) without one.
    void ReadImage(const CGmTexture* image, float* size);
};
