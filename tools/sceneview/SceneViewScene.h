// The scene of the sceneview tool, shared with its pixel tests and the scene
// benchmark: a textured, lit floor; shadow-casting cubes; a skinned bar that
// sways by a looping joint-animation track; a screen sprite; a colour fade and
// a debug box and a running spark fountain (a particle effect), all drawn
// through the render layers with stencil shadows.
//
// The data (textures, GE_MESH meshes, materials, the bar's skeleton and its
// track) is written as a pack by WriteScenePack and read back through the
// resource collector, into which the scene installs the animation library's
// makers while it exists. The bar is posed by the animation library itself:
// its skeleton is a CGmMeshResource and its pose source a CJaAnimController
// playing the track on channel 0, advanced once a frame.
#pragma once

#include "Engine/Anim/GcPsysEffect.h"
#include "Engine/Anim/JaAnimController.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmD3dTables.h"
#include "Engine/Core/Gm/GmCamera.h"
#include "Engine/Core/Gm/GmColorFader.h"
#include "Engine/Core/Gm/GmScenicMesh.h"
#include "Engine/Core/Gm/GmResCollector.h"
#include "Engine/Core/Gm/GmSprite.h"

#include <memory>
#include <string>
#include <vector>

class CGmMaterial;
class CGmMesh;

// The scene's fixed sizes and colours, read by the tests.
namespace sceneview {
constexpr uint32_t kWidth = 320; // not powers of two: the capture target pads its texture
constexpr uint32_t kHeight = 240;
constexpr uint32_t kSky = 0xFF203040;
constexpr uint8_t kFloorGrey = 200;
constexpr uint32_t kFadeTo = 0xFFE0E0E0;   // the fade multiplies the picture by this
constexpr float kFadeSeconds = 0.5f;
constexpr float kFrameSeconds = 0.04f;
constexpr float kShadowAlpha = 0.5f;        // shadowed floor keeps half its light
extern const float kShadowLight[3];
extern const Vec3 kCubeCentre;              // of the first caster
constexpr float kCubeSize = 10.0f;
constexpr float kSpriteX = 10.0f, kSpriteY = 10.0f, kSpriteSize = 16.0f;
// The bar's track: joint 1 (the bar's upper half) turns about z round the
// bar's middle from 0 to kBarTurn and back, looping from frame 0.
constexpr uint32_t kBarTrackFrames = 5;
constexpr float kBarTrackRate = 5.0f;  // frames per second: one loop takes 0.8 s
constexpr float kBarTurn = 0.6f;       // radians at the middle frame
// The spark fountain: a particle effect right of the casters and in front of
// them, away from every shadow, its random numbers seeded so that two runs of
// the scene draw the same sparks.
extern const Vec3 kSparksAt;
constexpr uint32_t kSparksSeed = 1234;
} // namespace sceneview

// Writes the scene's data into a pack at packPath.
bool WriteScenePack(const std::string& packPath, std::string* error);

// A visual that draws the debug box round a mesh's world bounds.
class CSceneDebugBox final : public CGmVisualObject {
public:
    explicit CSceneDebugBox(const CGmScenicMesh* target) : target(target) {}
    void Render() override;
    const CGmScenicMesh* target;
};

struct SceneOptions {
    uint32_t casters = 1;   // shadow-casting cubes
    bool shadows = true;    // stencil shadows on
    bool decorations = true; // skinned bar, sprite, fade and debug box
    bool particles = true;   // with the decorations: the spark fountain
};

class CSceneView {
public:
    // Needs the device, the hub's layers and the collector over the pack.
    bool Build(const SceneOptions& options);
    ~CSceneView();

    // One frame: the fade, the bar's track and the sparks advance by
    // kFrameSeconds, then clear, the layers, the fade; presents when asked.
    void Frame(bool present);
    // One frame drawn into a render target of the back buffer's size: its
    // pixels (A8R8G8B8, top row first), empty when it cannot be read.
    std::vector<uint32_t> CaptureFrame();
    // CaptureFrame written as a TGA file through the screenshot writer.
    bool WriteScreenshot(const std::string& path);

    CGmPerspectiveCamera camera3d;
    CGmStaticCamera camera2d;
    LightDesc sun;
    std::unique_ptr<CGmScenicMesh> floor;
    std::vector<std::unique_ptr<CGmScenicMesh>> casters;
    std::unique_ptr<CGmScenicMesh> bar;
    CGeResource* barSkeleton = nullptr; // a CGmMeshResource, one reference
    CGeResource* barTrack = nullptr;    // a CGeJointsKeySequence, one reference
    std::unique_ptr<CJaAnimController> barAnimation;
    std::unique_ptr<CGcPsysEffect> sparks;
    std::unique_ptr<CGmSprite> sprite;
    std::unique_ptr<CSceneDebugBox> debugBox;
    std::unique_ptr<CGmColorFader> fader;
    bool decorations = true;

private:
    GmResourceMakers previousMakers;
    bool makersInstalled = false;

    std::unique_ptr<CGmScenicMesh> MakeMesh(const char* mesh, const char* material, const IGmSkeleton* skeleton);
};
