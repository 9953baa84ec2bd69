// Debug drawing over the platform's GL device seen through the recording
// decorator: what each routine writes into its buffer, how many draws it
// makes, and that long lists are split without writing past the buffer.
#include "Engine/Core/Gm/GmDebugDraw.h"

#include "Engine/Core/Gm/GLibLoc/D3d/GmResourceManager.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmVertexBuffer.h"
#include "Engine/Core/Gm/GeHub.h"
#include "Engine/Core/Gm/GmCamera.h"
#include "Engine/Core/Gm/GmRenderStateCache.h"
#include "Engine/Physics/GeClothGeom.h"
#include "Engine/Physics/GePhysWorld.h"
#include "tests/Engine/Core/Gm/GLibLoc/D3d/DeviceTestFixture.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

class GmDebugDraw : public PlatformDeviceTest {
protected:
    void SetUp() override
    {
        PlatformDeviceTest::SetUp();
        g_pGmDevice = wrapper.get();
        g_pGmResourceManager = &manager;
        states.reset(new CGmRenderStateCache(wrapper.get()));
        g_pGmRenderStateCache = states.get();
        CreateDebugBuffers();
        Device()->ClearCalls();
    }
    void TearDown() override
    {
        ReleaseDebugBuffers();
        g_pGmRenderStateCache = nullptr;
        g_pGmResourceManager = nullptr;
        g_pGmDevice = nullptr;
        PlatformDeviceTest::TearDown();
    }

    std::vector<std::string> Draws() const { return Device()->Matching("DrawPrimitive("); }
    const GmDebugVertex* Written() const
    {
        return reinterpret_cast<const GmDebugVertex*>(GetDebugBuffer3d()->GetData());
    }

    CGmResourceManager manager;
    std::unique_ptr<CGmRenderStateCache> states;
};

} // namespace

TEST_F(GmDebugDraw, ALineIsOneDrawOfTwoVerticesInItsColourUnlit)
{
    DrawLine3D({1, 2, 3}, 0x80FF0000, {4, 5, 6});
    EXPECT_EQ((std::vector<std::string>{"DrawPrimitive(D3DPT_LINELIST, 0, 1)"}), Draws());
    EXPECT_EQ((std::vector<std::string>{"SetRenderState(D3DRS_LIGHTING, 0)"}),
              Device()->Matching("SetRenderState(D3DRS_LIGHTING,"));
    const GmDebugVertex* v = Written();
    EXPECT_EQ(1.0f, v[0].x);
    EXPECT_EQ(6.0f, v[1].z);
    EXPECT_EQ(0x80FF0000u, v[0].color);
    EXPECT_EQ(0x80FF0000u, v[1].color);

    // The next call draws only its own vertices, again from vertex 0.
    Device()->ClearCalls();
    DrawAxes(Matrix4::Identity());
    EXPECT_EQ((std::vector<std::string>{"DrawPrimitive(D3DPT_LINELIST, 0, 3)"}), Draws());
    EXPECT_EQ(0xFFFF0000u, Written()[0].color);
    EXPECT_EQ(1.0f, Written()[1].x);
    EXPECT_EQ(1.0f, Written()[5].z);
    EXPECT_EQ(0xFF0000FFu, Written()[5].color);
}

TEST_F(GmDebugDraw, AnAabbIsABoxStripAroundItsCentre)
{
    DrawAabb({0, 0, 0}, {2, 4, 6}, 0xFFFFFFFF);
    EXPECT_EQ((std::vector<std::string>{"DrawPrimitive(D3DPT_LINESTRIP, 0, 15)"}), Draws());
    const GmDebugVertex* v = Written();
    float lo[3] = {1e9f, 1e9f, 1e9f}, hi[3] = {-1e9f, -1e9f, -1e9f};
    int edges = 0;
    for (int i = 0; i < 16; ++i) {
        const float p[3] = {v[i].x, v[i].y, v[i].z};
        for (int a = 0; a < 3; ++a) {
            lo[a] = std::min(lo[a], p[a]);
            hi[a] = std::max(hi[a], p[a]);
        }
        if (i > 0) {
            // Every segment runs along one axis: a box edge, never a diagonal.
            const int changed = (v[i].x != v[i - 1].x) + (v[i].y != v[i - 1].y) + (v[i].z != v[i - 1].z);
            EXPECT_EQ(1, changed) << "segment " << i;
            edges += changed;
        }
    }
    EXPECT_EQ(15, edges);
    EXPECT_EQ(0.0f, lo[0]);
    EXPECT_EQ(2.0f, hi[0]);
    EXPECT_EQ(4.0f, hi[1]);
    EXPECT_EQ(6.0f, hi[2]);
}

TEST_F(GmDebugDraw, ShapesDrawByTheirKindAtTheirBodysPose)
{
    // A cylinder of length 4 along x, its body turned a quarter about z and
    // lifted by 5: the end rings sit at y = 3 and y = 7.
    CGeRigidBody body;
    CGeCollisionGeomCylinder cylinder;
    cylinder.radius = 1.0f;
    cylinder.length = 4.0f;
    body.Add(&cylinder);
    Matrix4 pose = MatrixRotationZ(1.57079633f);
    pose.m[7] = 5.0f;
    body.SetTransform(pose);
    DrawShape(cylinder, 0xFF00FF00);
    EXPECT_EQ((std::vector<std::string>{"DrawPrimitive(D3DPT_LINESTRIP, 0, 10)", "DrawPrimitive(D3DPT_LINESTRIP, 11, 10)",
                                        "DrawPrimitive(D3DPT_LINESTRIP, 22, 10)", "DrawPrimitive(D3DPT_LINELIST, 33, 10)"}),
              Draws());
    EXPECT_NEAR(3.0f, Written()[0].y, 1e-5f);
    EXPECT_NEAR(7.0f, Written()[22].y, 1e-5f);

    // A sphere placed in its body at (0, 10, 0): every ring point at its radius.
    Device()->ClearCalls();
    CGeCollisionGeomSphere sphere;
    sphere.radius = 3.0f;
    Matrix4 local = Matrix4::Identity();
    local.m[7] = 10.0f;
    sphere.SetRotation(local);
    body.Add(&sphere);
    body.SetTransform(Matrix4::Identity());
    DrawShape(sphere, 0xFF00FF00);
    EXPECT_EQ(2u, Draws().size());
    for (int i = 0; i < 21; ++i) {
        const GmDebugVertex& p = Written()[i];
        EXPECT_NEAR(3.0f, std::sqrt(p.x * p.x + (p.y - 10.0f) * (p.y - 10.0f) + p.z * p.z), 1e-4f);
    }

    // An oriented box turned a quarter about y: its x edge of 2 lies along z.
    Device()->ClearCalls();
    CGeCollisionGeomBox box;
    box.size = {2.0f, 4.0f, 6.0f};
    box.SetRotation(MatrixRotationY(1.57079633f));
    body.Add(&box);
    body.SetTransform(Matrix4::Identity());
    DrawShape(box, 0xFFFFFFFF);
    ASSERT_EQ(1u, Draws().size());
    float extent[3] = {0, 0, 0};
    for (int i = 0; i < 16; ++i) {
        extent[0] = std::max(extent[0], std::fabs(Written()[i].x));
        extent[1] = std::max(extent[1], std::fabs(Written()[i].y));
        extent[2] = std::max(extent[2], std::fabs(Written()[i].z));
    }
    EXPECT_NEAR(3.0f, extent[0], 1e-5f);
    EXPECT_NEAR(2.0f, extent[1], 1e-5f);
    EXPECT_NEAR(1.0f, extent[2], 1e-5f);

    // The plane and the cloth draw nothing; the capsule adds its two caps.
    Device()->ClearCalls();
    CGeCollisionGeomPlane plane;
    CGeClothGeom cloth;
    DrawShape(plane, 0xFFFFFFFF);
    DrawShape(cloth, 0xFFFFFFFF);
    CGeCollisionGeomCapsule capsule;
    capsule.radius = 1.0f;
    capsule.length = 4.0f;
    DrawShape(capsule, 0xFFFFFFFF);
    EXPECT_EQ(6u, Draws().size());
}

TEST_F(GmDebugDraw, MoreVerticesThanTheBufferAreDrawnInPieces)
{
    // A strip of 10000 vertices: two pieces, the second starting where the
    // first ended, so all 9999 segments are drawn.
    std::vector<GmDebugVertex> strip(10000);
    for (uint32_t i = 0; i < strip.size(); ++i)
        strip[i] = {float(i), 0.0f, 0.0f, 0xFFFFFFFF};
    DrawDebugLines(3, strip.data(), uint32_t(strip.size()));
    EXPECT_EQ((std::vector<std::string>{"DrawPrimitive(D3DPT_LINESTRIP, 0, 8191)",
                                        "DrawPrimitive(D3DPT_LINESTRIP, 0, 1808)"}),
              Draws());
    EXPECT_EQ(8191.0f, Written()[0].x);
    EXPECT_EQ(kGmDebugBufferVertices, GetDebugBuffer3d()->Count());

    // A cloth of 100 points and 5000 springs, one with an end beyond the
    // points: 5099 lines in list pieces, with the depth test off.
    Device()->ClearCalls();
    CGeClothGeom cloth;
    for (uint32_t i = 0; i < 100; ++i) {
        ClothPoint point = {};
        point.position = {float(i), 0.0f, 0.0f};
        point.normal = {0.0f, 1.0f, 0.0f};
        cloth.points.Add(point);
    }
    for (uint32_t i = 0; i < 5000; ++i)
        cloth.springs.Add(ClothSpring{i % 100, i == 7 ? 100u : (i + 1) % 100, 1.0f, 1.0f, 0.0f});
    DrawClothDebug(cloth, 0xFFFFFFFF);
    uint32_t lines = 0;
    for (const std::string& call : Draws()) {
        unsigned n = 0;
        ASSERT_EQ(1, sscanf(call.c_str(), "DrawPrimitive(D3DPT_LINELIST, 0, %u)", &n)) << call;
        lines += n;
    }
    EXPECT_EQ(5099u, lines);
    // The last piece ends with the last point's normal, scaled by 10.
    EXPECT_EQ(99.0f, Written()[10198 % 512 - 2].x);
    EXPECT_EQ(10.0f, Written()[10198 % 512 - 1].y);
    EXPECT_EQ((std::vector<std::string>{"SetRenderState(D3DRS_ZENABLE, 0)", "SetRenderState(D3DRS_ZENABLE, 1)"}),
              Device()->Matching("SetRenderState(D3DRS_ZENABLE,"));
}

TEST_F(GmDebugDraw, ScreenLinesGoThroughThe2dCamera)
{
    CGmStaticCamera camera;
    camera.scaleX = 0.5f;
    camera.scaleY = 0.25f;
    CGeHub::s_cameras2d[0] = &camera;
    CGeHub::s_currentSlot = 0;
    DrawScreenRect({10, 20, 30, 40}, 0xFF123456);
    CGeHub::s_cameras2d[0] = nullptr;
    EXPECT_EQ((std::vector<std::string>{"DrawPrimitive(D3DPT_LINESTRIP, 0, 4)"}), Draws());
    const GmDebugScreenVertex* v = reinterpret_cast<const GmDebugScreenVertex*>(GetDebugBufferScreen()->GetData());
    EXPECT_EQ(5.0f, v[0].x);
    EXPECT_EQ(5.0f, v[0].y);
    EXPECT_EQ(20.0f, v[2].x);
    EXPECT_EQ(15.0f, v[2].y);
    EXPECT_EQ(1.0f, v[2].rhw);
    EXPECT_EQ(v[0].x, v[4].x);
    EXPECT_EQ(0xFF123456u, v[3].color);
}
