// The pre-rendered background of one camera-group state: the colour picture
// cut into power-of-two tiles and drawn behind the scene, the depth picture
// rasterised once into a depth surface of its own and copied into the
// device's depth buffer each frame, and the picking picture that answers
// HitTest and PickPoint. 2D sprites are drawn around it: plain ones after the
// tiles, glow hotspots that light up under the cursor, late ones, overlays
// after the scene.
//
// Depth pictures ("zimage", "zmaskimage") are uncompressed 32-bit TGA files
// whose pixels are little-endian floats: the view-space depth of the painted
// scene along the camera's forward axis; 1e20 and above marks pixels without
// geometry. They are read unchanged, rescaled bilinearly as floats to the
// camera's viewport, and never drawn.
//
// Choices:
// - A zero near distance takes the nearest depth sample (taking the smaller
//   of the samples and the current 0 would leave it at 0).
// - Tiling has no limit on the number of tiles (1023 x 767 needs 90).
// - Picking reads only inside the picture: a point outside misses (no hit,
//   no pick). A glow mask is read only inside its own picture.
// - A missing colour picture gives no tiles, a missing depth picture no
//   depth copy, a missing picking picture no hits.
// - The depth surface takes the device's own depth format and multisampling,
//   so that the per-frame copy (a framebuffer blit on this platform) matches.
// - The depth grid is drawn with the alpha test off and stage 0's alpha from
//   the vertex colour (the states before it come back afterwards): a sprite's
//   alpha test and texture left over from the frame would drop the grid.
// - The resource slots are EnsureCreated (Create) and ReleaseDeviceObject
//   (ReleaseDepth): Release is the reference count's.
#pragma once

#include "Engine/Core/Common/GeArray.h"
#include "Engine/Core/Common/GeMath.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmGpuResource.h"

#include <cstdint>

class CGmCamera;
class CGmImage;
class CGmSprite;
class CGmTexture;
class IDirect3DSurface9;

struct QmTileRect {
    uint32_t x, y, w, h;
};

struct QmGlowRecord {
    CGmSprite* sprite = nullptr; // owned
    CGmImage* mask = nullptr;    // owned, or null
    float phase = 0.0f;
};

class CQmBackGround : public CGmGpuResource {
public:
    // Full highlight of a glow sprite, in seconds.
    static constexpr float kGlowTime = 0.3f;

    CQmBackGround(const char* colourPath, const char* depthPath, const char* pickingPath, CGmCamera* camera);
    ~CQmBackGround() override;

    bool EnsureCreated() override { return Create(); }
    void ReleaseDeviceObject() override { ReleaseDepth(); }
    void Upload() override {}

    // Rasterises the depth picture into the background depth surface.
    bool Create();
    void ReleaseDepth();
    // Marks the background used (creating it when needed) and copies its
    // depth surface into the device's.
    void RestoreDepth();
    void DrawColour();
    void DrawOverlays();
    // The tiles alone (the save-game thumbnail).
    void DrawTiles();

    // Points are in picture pixels.
    bool HitTest(float x, float y) const;
    // The world point under (x, y); false outside the picture.
    bool PickPoint(float x, float y, Vec3& point) const;
    // The glow of one record: the cursor over it (inside its own picture and
    // its mask) and the frame time.
    static void StepGlow(QmGlowRecord& record, bool over, float frameTime);

    // A texture's raw picture as an image of our own, resampled to
    // width x height (kept for 0 x 0); floats need 4-byte pixels and are
    // resampled as floats. Null when the picture cannot be used.
    static CGmImage* CopyPicture(const CGmTexture& texture, uint32_t width, uint32_t height, bool floats);
    // Power-of-two rectangles covering width x height, widths cut first.
    static void CutTiles(uint32_t width, uint32_t height, CGeArray<QmTileRect>& tiles);
    // The camera's zero near or far distance from the depth samples.
    static void NearFarFromDepth(const CGmImage& depth, float& nearPlane, float& farPlane);
    // The window depth of a view depth d with near n and far f.
    static float ProjectedDepth(float d, float n, float f);

    CGeArray<CGmTexture*> tileTextures;
    CGeArray<CGmSprite*> tileSprites;
    CGeArray<QmTileRect> tiles;
    CGeArray<CGmSprite*> plainSprites;
    CGeArray<CGmSprite*> lateSprites;
    CGeArray<CGmSprite*> overlaySprites;
    CGeArray<CGmSprite*> lateOverlaySprites;
    CGeArray<QmGlowRecord> glows;
    CGmImage* depth = nullptr;   // owned, one float per pixel, or null
    CGmImage* picking = nullptr; // owned, or null
    CGmCamera* camera = nullptr;
    IDirect3DSurface9* depthSurface = nullptr;

private:
    bool Sample(float x, float y, float& value) const;
    void DrawDepthGrid(const CGmImage& picture);
};

// Live background depth surfaces, program-wide.
extern int32_t g_backgroundDepthSurfaces;
