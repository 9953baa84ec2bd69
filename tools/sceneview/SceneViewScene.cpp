#include "tools/sceneview/SceneViewScene.h"

#include "Engine/Anim/GeAnimMakers.h"
#include "Engine/Anim/GmMeshResource.h"
#include "Engine/Core/Common/GeRandom.h"
#include "Engine/Core/Common/GeTimer.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmDeviceWrapper.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmVertexBuffer.h"
#include "Engine/Core/Gm/GeHub.h"
#include "Engine/Core/Gm/GmDebugDraw.h"
#include "Engine/Core/Gm/GmImageSet.h"
#include "Engine/Core/Gm/GmLayers.h"
#include "Engine/Core/Gm/GmMaterial.h"
#include "Engine/Core/Gm/GmResCollector.h"
#include "Engine/Core/Gm/GmShadow.h"
#include "Engine/Core/Gm/GmImage.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmResourceManager.h"
#include "Engine/Core/Gm/GmTexture.h"
#include "Engine/Core/Gm/GmTgaWriter.h"
#include "tools/animwrite/AnimWriter.h"
#include "tools/fpk/FpkWriter.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <utility>

namespace sceneview {
const float kShadowLight[3] = {500.0f, 1000.0f, 0.0f};
const Vec3 kCubeCentre = {-15.0f, 15.0f, 0.0f};
const Vec3 kSparksAt = {32.0f, 2.0f, -22.0f};
} // namespace sceneview

using namespace sceneview;

namespace {

std::string Tga(uint32_t size, uint8_t r, uint8_t g, uint8_t b)
{
    std::string bytes(18, '\0');
    bytes[2] = 2; // uncompressed true colour
    bytes[12] = char(size & 0xFF);
    bytes[13] = char(size >> 8);
    bytes[14] = char(size & 0xFF);
    bytes[15] = char(size >> 8);
    bytes[16] = 32;
    bytes[17] = 0x28; // top row first, 8 alpha bits
    for (uint32_t i = 0; i < size * size; ++i)
        bytes += {char(b), char(g), char(r), char(0xFF)};
    return bytes;
}

std::string Number(float v)
{
    char text[32];
    snprintf(text, sizeof(text), "%g", double(v));
    return text;
}

std::string Triple(const Vec3& v)
{
    return Number(v.x) + " " + Number(v.y) + " " + Number(v.z);
}

Vec3 Add(const Vec3& a, const Vec3& b)
{
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}

Vec3 Scale(const Vec3& a, float s)
{
    return {a.x * s, a.y * s, a.z * s};
}

// One face of a box: four corners wound so that (B - A) x (C - A) is the
// outward normal, two triangles; `extra` is added to every VERTEX.
void BoxFace(const Vec3& centre, const Vec3& half, int axis, float sign, std::string& vertices, std::string& faces,
             uint32_t& count, const std::function<std::string(const Vec3&)>& extra)
{
    Vec3 n = {0, 0, 0}, u = {0, 0, 0}, v = {0, 0, 0};
    (&n.x)[axis] = sign;
    (&u.x)[(axis + 1) % 3] = 1.0f; // u x v = +axis
    (&v.x)[(axis + 2) % 3] = 1.0f;
    if (sign < 0)
        std::swap(u, v);
    const Vec3 h = {half.x, half.y, half.z};
    auto scaled = [&](const Vec3& d) { return Vec3{d.x * h.x, d.y * h.y, d.z * h.z}; };
    const Vec3 c = Add(centre, scaled(n));
    const Vec3 corners[4] = {Add(c, scaled(Add(Scale(u, -1), Scale(v, -1)))), Add(c, scaled(Add(u, Scale(v, -1)))),
                             Add(c, scaled(Add(u, v))), Add(c, scaled(Add(Scale(u, -1), v)))};
    const float uv[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    for (int k = 0; k < 4; ++k)
        vertices += "<VERTEX XYZ=\"" + Triple(corners[k]) + "\" Normal=\"" + Triple(n) + "\" UV=\"" +
                    Number(uv[k][0]) + " " + Number(uv[k][1]) + "\"" + extra(corners[k]) + "/>\n";
    const uint32_t a = count;
    faces += "<FACE VERTS=\"" + std::to_string(a) + " " + std::to_string(a + 1) + " " + std::to_string(a + 2) +
             "\"/>\n<FACE VERTS=\"" + std::to_string(a) + " " + std::to_string(a + 2) + " " + std::to_string(a + 3) +
             "\"/>\n";
    count += 4;
}

std::string BoxMesh(const char* name, const Vec3& centre, const Vec3& half, const char* rootExtra,
                    const std::function<std::string(const Vec3&)>& extra, bool topOnly = false)
{
    std::string vertices, faces;
    uint32_t count = 0;
    for (int axis = 0; axis < 3; ++axis)
        for (float sign : {1.0f, -1.0f})
            if (!topOnly || (axis == 1 && sign > 0))
                BoxFace(centre, half, axis, sign, vertices, faces, count, extra);
    return std::string("<GE_MESH Type=\"GENERIC\" Name=\"") + name + "\"" + rootExtra + "><VERTEX_DATA>\n" + vertices +
           "</VERTEX_DATA><INDEX_DATA>\n" + faces + "</INDEX_DATA></GE_MESH>\n";
}

std::string Material(const char* name, const char* texture, const char* shadows)
{
    return std::string("<material name=\"") + name +
           "\"><colors diffuse=\"1 1 1 1\" ambient=\"0.2 0.2 0.2 1\" specular=\"0 0 0 0\"/>"
           "<shadow_declaration>" +
           shadows + "</shadow_declaration><textures><sampler filename=\"" + texture +
           "\"/></textures><renderstate cullmode=\"none\" alphablend=\"0\" alphatest=\"0\"/>"
           "<ffp_group><samplerstate colorop=\"modulate\" carg1=\"texture\" carg2=\"current\" "
           "alphaop=\"selectarg1\" aarg1=\"texture\"/></ffp_group></material>";
}

bool WriteText(const std::filesystem::path& path, const std::string& text)
{
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out << text;
    return bool(out);
}

// The spark fountain: one system of sparks shot upwards in a cone, added
// together (ADD) so that they glow, started at once and never stopped.
std::string SparksEffect()
{
    auto property = [](const char* name, const char* value) {
        return std::string("<PROPERTY Name=\"") + name + "\">" + value + "</PROPERTY>";
    };
    return "<PS_COLLECTION><PARTICLE_SYSTEM Name=\"sparks\">" + property("EP_PS_ParticleCount", "48") +
           property("EP_PS_Image", "textures/spark.tga") + property("EP_PS_blendMode", "ADD") +
           property("EP_PS_initialDirectionX", "0") + property("EP_PS_initialDirectionY", "1") +
           property("EP_PS_initialDirectionZ", "0") + property("EP_PS_initialAngle", "25") +
           property("EP_PS_minInitialSpeed", "8") + property("EP_PS_maxInitialSpeed", "14") +
           property("EP_PS_minInitialSizeX", "1.5") + property("EP_PS_maxInitialSizeX", "2.5") +
           property("EP_PS_minInitialSizeY", "1.5") + property("EP_PS_maxInitialSizeY", "2.5") +
           property("EP_PS_minLiveTime", "0.6") + property("EP_PS_maxLiveTime", "1.2") +
           property("EP_PS_initialColor1", "0xFFFFC040") + property("EP_PS_initialColor2", "0xFFFF6020") +
           "</PARTICLE_SYSTEM><psys_effect><particle_system name=\"sparks\">"
           "<key time=\"0\" command=\"start\"/></particle_system></psys_effect></PS_COLLECTION>";
}

// The bar's skeleton: joint 0 at the bar's foot, joint 1 at its middle.
std::string BarSkeleton()
{
    std::vector<SkeletonJoint> joints(2);
    joints[1].parent = 0;
    joints[1].position[1] = 10.0f;
    return animwrite::WriteSkeletonXml(joints);
}

// The bar's looping track: joint 1 turned by kBarTurn x sin(pi f / (n - 1))
// about z, so the loop starts and ends at rest.
std::string BarTrack()
{
    animwrite::TrackSpec spec;
    spec.rate = kBarTrackRate;
    spec.joints = 2;
    spec.looped = 1;
    spec.loopFrame = 0;
    for (uint32_t f = 0; f < kBarTrackFrames; ++f) {
        const float angle = kBarTurn * std::sin(3.14159265f * float(f) / float(kBarTrackFrames - 1));
        CGeJointKey foot, middle;
        middle.position = {0.0f, 10.0f, 0.0f};
        middle.rotation = {0.0f, 0.0f, std::sin(angle * 0.5f), std::cos(angle * 0.5f)};
        spec.keys.push_back(foot);
        spec.keys.push_back(middle);
        spec.root.push_back({0.0f, 0.0f, 0.0f});
    }
    const animwrite::Bytes bytes = animwrite::WriteGeat(spec);
    return std::string(bytes.begin(), bytes.end());
}

} // namespace

bool WriteScenePack(const std::string& packPath, std::string* error)
{
    namespace fs = std::filesystem;
    const fs::path tree = fs::path(packPath).parent_path() / "sceneview-tree";
    const auto none = [](const Vec3&) { return std::string(); };
    const auto barWeights = [](const Vec3& p) {
        // Below the middle joint 0 holds the vertex, above it joint 1. Two
        // blend values: the weight of the first joint, then the joint indices.
        return std::string(" Weights=\"1\" Joints=\"") + (p.y > 10.0f ? "1 0" : "0 1") + "\"";
    };
    const bool ok =
        WriteText(tree / "textures/floor.tga", Tga(8, kFloorGrey, kFloorGrey, kFloorGrey)) &&
        WriteText(tree / "textures/red.tga", Tga(8, 220, 40, 40)) &&
        WriteText(tree / "textures/blue.tga", Tga(8, 40, 80, 220)) &&
        WriteText(tree / "textures/sprite.tga", Tga(16, 255, 255, 0)) &&
        WriteText(tree / "textures/spark.tga", Tga(4, 255, 255, 255)) &&
        WriteText(tree / "effects/sparks.xml", SparksEffect()) &&
        WriteText(tree / "meshes/floor.xml",
                  BoxMesh("floor", {0, 0, 0}, {50, 0, 50}, "", none, true)) &&
        WriteText(tree / "meshes/cube.xml",
                  BoxMesh("cube", {0, 0, 0}, Scale({1, 1, 1}, kCubeSize * 0.5f), "", none)) &&
        WriteText(tree / "meshes/bar.xml",
                  BoxMesh("bar", {0, 10, 0}, {2, 10, 2}, " MaxBonePerVertexCount=\"2\"", barWeights)) &&
        WriteText(tree / "materials/floor.xml", Material("floor", "textures/floor", "<shadow_receiver/>")) &&
        WriteText(tree / "materials/cube.xml", Material("cube", "textures/red", "<shadow_caster/>")) &&
        WriteText(tree / "materials/bar.xml", Material("bar", "textures/blue", "")) &&
        WriteText(tree / "meshes/bar_skeleton.xml", BarSkeleton()) &&
        WriteText(tree / "anims/bar_sway.geat", BarTrack());
    if (!ok) {
        if (error)
            *error = "cannot write the scene's files under " + tree.string();
        return false;
    }
    return WritePackFromDirectory(packPath.c_str(), tree.c_str(), error);
}

void CSceneDebugBox::Render()
{
    if (visible && target)
        DrawAabb(target->worldBounds.boxMin, target->worldBounds.boxMax, 0xFFFFFF00);
}

// ---------------------------------------------------------------------------
// The scene.

std::unique_ptr<CGmScenicMesh> CSceneView::MakeMesh(const char* meshName, const char* materialName,
                                                   const IGmSkeleton* skeleton)
{
    CGmMesh* mesh = rescollect::LoadMesh(meshName);
    CGmMaterial* material = rescollect::LoadMaterial(materialName);
    if (!mesh || !material) {
        fprintf(stderr, "sceneview: %s or %s is missing from the pack\n", meshName, materialName);
        if (mesh)
            mesh->Release();
        if (material)
            material->Release();
        return nullptr;
    }
    CGeArray<CGmMaterial*> list;
    for (uint32_t i = 0; i < mesh->drawRanges.Count(); ++i)
        list.Add(material);
    std::unique_ptr<CGmScenicMesh> object(new CGmScenicMesh(mesh, skeleton, list));
    mesh->Release();
    material->Release();
    return object;
}

bool CSceneView::Build(const SceneOptions& options)
{
    CGmDeviceWrapper* device = g_pGmDevice;
    if (!device || !g_pGmLayers)
        return false;
    decorations = options.decorations;
    const uint32_t slot = CGeHub::s_currentSlot;
    const GeViewport viewport = {0, 0, device->BackBufferWidth(), device->BackBufferHeight(), 0.0f, 1.0f};
    camera2d.screenWidth = int32_t(kWidth);
    camera2d.screenHeight = int32_t(kHeight);
    camera2d.boundWidth = float(kWidth);
    camera2d.boundHeight = float(kHeight);
    camera2d.Apply(viewport);
    camera3d.screenWidth = int32_t(kWidth);
    camera3d.screenHeight = int32_t(kHeight);
    camera3d.eye = {0.0f, 40.0f, -60.0f};
    camera3d.target = {0.0f, 0.0f, 0.0f};
    camera3d.fov = 75.0f;
    camera3d.nearPlane = 1.0f;
    camera3d.farPlane = 20000.0f;
    camera3d.Apply(viewport);
    CGeHub::s_cameras2d[slot] = &camera2d;
    CGeHub::s_cameras3d[slot] = &camera3d;

    sun.Init();
    const uint8_t directional = GM_LIGHT_DIRECTIONAL;
    memcpy(&sun.f[15], &directional, 1);
    sun.SetEnabled(true);
    for (int c = 0; c < 4; ++c) {
        sun.f[c] = 1.0f;        // diffuse
        sun.f[4 + c] = 0.2f;    // ambient
        sun.f[8 + c] = 0.0f;    // specular
    }
    sun.f[12] = 0.0f;
    sun.f[13] = -1.0f;
    sun.f[14] = 0.0f;
    g_pGmLayers->AddLight(&sun);

    floor = MakeMesh("meshes/floor", "materials/floor.xml", nullptr);
    if (!floor)
        return false;
    g_pGmLayers->Add(1, floor.get());
    for (uint32_t i = 0; i < options.casters; ++i) {
        std::unique_ptr<CGmScenicMesh> cube = MakeMesh("meshes/cube", "materials/cube.xml", nullptr);
        if (!cube)
            return false;
        // The first at its known place, the others in rows behind it.
        const float x = kCubeCentre.x + float(i % 10) * 3.0f;
        const float z = kCubeCentre.z + float(i / 10) * 4.0f;
        cube->frame.SetPosition({x, kCubeCentre.y, z});
        g_pGmLayers->Add(1, cube.get());
        casters.push_back(std::move(cube));
    }
    if (options.shadows) {
        const float shadowColour[4] = {0.0f, 0.0f, 0.0f, kShadowAlpha};
        SetShadowLight(kShadowLight, shadowColour);
    } else {
        g_shadowMode = 0;
    }

    if (decorations) {
        // The collector makes skeletons and tracks through the animation
        // library while the scene exists, as the game's start-up has it do.
        previousMakers = rescollect::SetResourceMakers(GmResourceMakers());
        rescollect::SetResourceMakers(GeAnimResourceMakers(previousMakers));
        makersInstalled = true;
        barSkeleton = rescollect::LoadMeshResource("meshes/bar_skeleton");
        barTrack = rescollect::LoadAnimTrack("anims/bar_sway");
        if (!barSkeleton || !barTrack) {
            fprintf(stderr, "sceneview: the bar's skeleton or track is missing from the pack\n");
            return false;
        }
        const CGmMeshResource* skeleton = static_cast<CGmMeshResource*>(barSkeleton);
        bar = MakeMesh("meshes/bar", "materials/bar.xml", skeleton);
        if (!bar)
            return false;
        barAnimation.reset(new CJaAnimController(skeleton->JointCount()));
        barAnimation->StartAseq(0, 0.0f, static_cast<CGeJointsKeySequence*>(barTrack), 0);
        bar->SetPoseSource(barAnimation.get());
        bar->frame.SetPosition({25.0f, 0.0f, 15.0f});
        g_pGmLayers->Add(1, bar.get());

        CGmTexture* texture = rescollect::LoadTexture("textures/sprite");
        CGmImageSet images;
        images.Init(texture, 1, 1);
        if (texture)
            texture->Release();
        sprite.reset(new CGmSprite(images));
        sprite->SetSize(kSpriteSize, kSpriteSize);
        sprite->frame.SetPosition({kSpriteX, kSpriteY, 0.0f});
        g_pGmLayers->Add(4, sprite.get());

        debugBox.reset(new CSceneDebugBox(casters.empty() ? nullptr : casters[0].get()));
        g_pGmLayers->Add(2, debugBox.get());

        fader.reset(new CGmColorFader());
        fader->Start(1, 0xFFFFFFFF, kFadeTo, kFadeSeconds);

        if (options.particles) {
            GeSrand(kSparksSeed);
            CGcPsysEffect* loaded = nullptr;
            LoadPsysEffect("effects/sparks.xml", &loaded);
            sparks.reset(loaded);
            if (!sparks) {
                fprintf(stderr, "sceneview: the spark effect is missing from the pack\n");
                return false;
            }
            sparks->frame.SetPosition(kSparksAt);
            sparks->Start();
            g_pGmLayers->Add(3, sparks.get());
        }
    }
    return true;
}

CSceneView::~CSceneView()
{
    if (g_pGmLayers) {
        g_pGmLayers->RemoveLight(&sun);
        g_pGmLayers->Remove(floor.get());
        for (auto& cube : casters)
            g_pGmLayers->Remove(cube.get());
        g_pGmLayers->Remove(bar.get());
        g_pGmLayers->Remove(sprite.get());
        g_pGmLayers->Remove(debugBox.get());
        g_pGmLayers->Remove(sparks.get());
    }
    bar.reset(); // the mesh's skeleton clone and pose source go before the controller
    barAnimation.reset();
    if (barTrack)
        barTrack->Release();
    if (barSkeleton)
        barSkeleton->Release();
    if (makersInstalled)
        rescollect::SetResourceMakers(previousMakers);
    const uint32_t slot = CGeHub::s_currentSlot;
    if (CGeHub::s_cameras2d[slot] == &camera2d)
        CGeHub::s_cameras2d[slot] = nullptr;
    if (CGeHub::s_cameras3d[slot] == &camera3d)
        CGeHub::s_cameras3d[slot] = nullptr;
}

void CSceneView::Frame(bool present)
{
    CGmDeviceWrapper* device = g_pGmDevice;
    if (!device)
        return;
    if (g_geTimer)
        g_geTimer->delta = kFrameSeconds;
    if (fader)
        fader->Update();
    if (sprite)
        sprite->Update();
    if (barAnimation)
        barAnimation->Update(); // the bar poses itself from it in the layers' first pass
    if (sparks)
        sparks->Update();
    device->Clear(GE_CLEAR_TARGET | GE_CLEAR_ZBUFFER | GE_CLEAR_STENCIL, kSky, 1.0f);
    device->BeginScene();
    device->SetZEnable(1);
    device->SetZWriteEnable(1);
    camera3d.ApplyViewProjection(device);
    g_pGmLayers->RenderAll();
    if (fader && fader->state == 1)
        fader->Draw();
    device->EndScene();
    if (present)
        device->Present();
}

std::vector<uint32_t> CSceneView::CaptureFrame()
{
    std::vector<uint32_t> pixels;
    CGmDeviceWrapper* device = g_pGmDevice;
    if (!device || !g_pGmResourceManager)
        return pixels;
    CGmTexture target;
    const uint32_t w = device->BackBufferWidth(), h = device->BackBufferHeight();
    target.Create(w, h, GM_FMT_A8R8G8B8, true);
    g_pGmResourceManager->Use(&target, GE_RES_TEXTURE);
    device->SetRenderTarget(&target);
    Frame(false);
    device->RestoreRenderTarget();
    target.Upload();
    const CGmImage* image = target.Image();
    if (!image || !image->data)
        return pixels;
    pixels.resize(size_t(w) * h);
    for (uint32_t y = 0; y < h; ++y)
        memcpy(&pixels[size_t(y) * w], image->data + size_t(y) * image->pitch, size_t(w) * 4);
    return pixels;
}

bool CSceneView::WriteScreenshot(const std::string& path)
{
    const std::vector<uint32_t> pixels = CaptureFrame();
    if (pixels.empty())
        return false;
    CGmImage image;
    image.width = g_pGmDevice->BackBufferWidth();
    image.height = g_pGmDevice->BackBufferHeight();
    image.format = GM_FMT_A8R8G8B8;
    image.pitch = image.width * 4;
    image.kind = GM_IMAGE_RAW;
    image.data = reinterpret_cast<uint8_t*>(const_cast<uint32_t*>(pixels.data()));
    const bool written = WriteImageTga(image, path.c_str());
    image.data = nullptr; // the vector keeps its pixels
    return written;
}
