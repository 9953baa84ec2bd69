// A skinned scenic mesh posed by a playing track, drawn headless on the
// platform's GL device and read back: a red quad bound to the second joint of
// a two-joint skeleton starts on the left half of the 32 by 16 target and,
// once the track has moved that joint by (1, 0, 0) in clip space, lands on
// the right half. Both skinning paths give the same pixels: software
// skinning into the mesh's deformed vertices (with a material) and indexed
// vertex blending with one world matrix per joint (without).
#include "Engine/Anim/GmMeshResource.h"
#include "Engine/Anim/JaAnimController.h"
#include "Engine/Core/Common/GeCpuInfo.h"
#include "Engine/Core/Common/GeSimd.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmD3dTables.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmIndexBuffer.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmResourceManager.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmVertexBuffer.h"
#include "Engine/Core/Gm/GmMaterial.h"
#include "Engine/Core/Gm/GmScenicMesh.h"
#include "tools/animwrite/AnimWriter.h"
#include "tests/Engine/Core/Gm/MeshFixtures.h"
#include "tests/Engine/Anim/AnimTestTimer.h"
#include "tests/Engine/Core/Gm/GLibLoc/D3d/DeviceTestFixture.h"

#include <cstring>
#include <vector>

using namespace animwrite;
using meshfixture::FileOver;

namespace {

const uint32_t kRed = 0xFFFF0000;
const uint32_t kBackground = 0xFF000040;

class PlainMaterial : public CGmMaterial {
public:
    void Apply(const float*, uint32_t) override {}
    void BuildDeviceMaterial() override {}
};

// Two triangles over x -0.9 .. -0.1, y -0.6 .. 0.6, every vertex fully on
// joint 1 (one stored weight of 1, index bytes 1, 0).
CGmMesh* QuadOnJointOne()
{
    const uint32_t flags = GE_VEF_XYZ | 0x8 | GE_VEF_LASTBETA_UBYTE4 | GE_VEF_DIFFUSE;
    CGmMesh* mesh = new CGmMesh();
    mesh->CreateBuffers(flags, 4, 2, 6);
    const GmVertexLayout& layout = mesh->vertexBuffer->Layout();
    const float corners[4][3] = {{-0.9f, -0.6f, 0.5f}, {-0.1f, -0.6f, 0.5f}, {-0.1f, 0.6f, 0.5f}, {-0.9f, 0.6f, 0.5f}};
    const float weight = 1.0f;
    const uint8_t indices[4] = {1, 0, 0, 0};
    EXPECT_TRUE(mesh->vertexBuffer->LockRange(0, 0));
    for (uint32_t v = 0; v < 4; ++v) {
        uint8_t* p = mesh->vertexBuffer->m_lockPointer + v * layout.stride;
        std::memcpy(p + layout.position, corners[v], 12);
        std::memcpy(p + layout.blend, &weight, 4);
        std::memcpy(p + layout.lastBlend, indices, 4);
        std::memcpy(p + layout.diffuse, &kRed, 4);
    }
    mesh->vertexBuffer->Unlock();
    const uint16_t triangles[6] = {0, 1, 2, 0, 2, 3};
    EXPECT_TRUE(mesh->indexBuffer->LockRange(0, 0));
    std::memcpy(mesh->indexBuffer->m_lockPointer, triangles, sizeof triangles);
    mesh->indexBuffer->Unlock();
    mesh->drawRanges.Add(CGmDrawRange{4, 0, 4, 0, 2});
    mesh->ComputeBounds();
    return mesh;
}

class SkinnedMeshPixels : public PlatformDeviceTest {
protected:
    void SetUp() override
    {
        PlatformDeviceTest::SetUp();
        if (!g_pGeCpuInfo)
            GeCpuProbeCreate();
        if (!g_pGeSimd)
            GeSimdCreate();
        g_pGmDevice = wrapper.get();
        g_pGmResourceManager = &manager;
    }
    void TearDown() override
    {
        g_pGmResourceManager = nullptr;
        g_pGmDevice = nullptr;
        PlatformDeviceTest::TearDown();
    }

    // One frame of the mesh with identity view and projection; the pixels.
    std::vector<uint32_t> Draw(CGmScenicMesh& object)
    {
        std::vector<uint32_t> pixels(32 * 16, 0);
        const Matrix4 identity = Matrix4::Identity();
        wrapper->Clear(GE_CLEAR_TARGET, kBackground, 1.0f);
        wrapper->BeginScene();
        wrapper->SetViewProjection(identity.m, identity.m);
        wrapper->SetLighting(0);
        wrapper->SetCullMode(0);
        wrapper->SetZEnable(0);
        object.SetWorldTransforms();
        object.Render();
        wrapper->EndScene();
        D3d9CaptureNextPresent(Device()->inner, pixels.data(), 32, 16);
        wrapper->Present();
        return pixels;
    }

    static bool RedOnlyIn(const std::vector<uint32_t>& pixels, uint32_t fromColumn, uint32_t toColumn)
    {
        bool ok = true;
        for (uint32_t x = 0; x < 32; ++x) {
            const uint32_t expected = x >= fromColumn && x < toColumn ? kRed : kBackground;
            if ((pixels[8 * 32 + x] & 0xFFFFFF) != (expected & 0xFFFFFF)) {
                ADD_FAILURE() << "column " << x << ": " << std::hex << pixels[8 * 32 + x];
                ok = false;
            }
        }
        return ok;
    }

    CGmResourceManager manager;
};

} // namespace

TEST_F(SkinnedMeshPixels, APlayingTrackMovesTheQuadOnBothSkinningPaths)
{
    CGmMeshResource skeleton;
    ASSERT_TRUE(
        LoadGeMesh(skeleton, FileOver("two.xml", FromText(WriteSkeletonXml(MakeChain(2)))))); // joint 1 at (0, 1, 0)
    // Joint 1 stays at its bind place (0, 1, 0) in frame 0 and is 1 further
    // along x in frame 1.
    TrackSpec spec = MakeTrack(2, 2, 1.0f);
    for (uint32_t f = 0; f < 2; ++f) {
        spec.keys[2 * f] = CGeJointKey();
        spec.keys[2 * f + 1] = CGeJointKey();
        spec.keys[2 * f + 1].position = {float(f), 1.0f, 0.0f};
    }
    CGeJointsKeySequence* track = new CGeJointsKeySequence();
    const Bytes bytes = WriteGeat(spec);
    ASSERT_TRUE(LoadJointsAnimTrack(*track, FileOver("slide.geat", bytes)));

    for (const bool software : {true, false}) {
        SCOPED_TRACE(software ? "software skinning" : "indexed vertex blending");
        AnimTestTimer timer;
        CJaAnimController controller(2);
        controller.StartAseq(0, 0.0f, track, 0);
        timer.SetDelta(0.0f);
        controller.Update();

        CGmMesh* mesh = QuadOnJointOne();
        CGeArray<CGmMaterial*> none;
        CGmScenicMesh object(mesh, &skeleton, none);
        PlainMaterial material;
        if (software)
            object.SetMaterial(0, &material);
        object.SetPoseSource(&controller);

        // x -0.9 .. -0.1 and, moved, 0.1 .. 0.9 on 32 pixels whose centres
        // sit on whole coordinates, as Direct3D 9 rasterises.
        object.Update();
        EXPECT_TRUE(RedOnlyIn(Draw(object), 2, 15));
        timer.SetDelta(1.0f);
        controller.Update();
        object.Update();
        EXPECT_TRUE(RedOnlyIn(Draw(object), 18, 31));
        object.SetMaterial(0, nullptr);
        mesh->Release();
    }
    track->Release();
}
