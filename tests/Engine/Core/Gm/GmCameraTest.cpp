#include "Engine/Core/Gm/GmCamera.h"
#include "tests/Engine/Core/Gm/TextureTestFixture.h"

#include <gtest/gtest.h>

namespace {

// A perspective camera on a 1280 by 1024 screen looking from (0, 0, -100)
// at the origin through the given viewport.
struct LookingCamera : CGmPerspectiveCamera {
    explicit LookingCamera(const GeViewport& viewport)
    {
        screenWidth = 1280;
        screenHeight = 1024;
        eye = {0.0f, 0.0f, -100.0f};
        target = {0.0f, 0.0f, 0.0f};
        Apply(viewport);
    }
};

}  // namespace

TEST(GmCamera, ProjectionOfNinetyDegrees)
{
    LookingCamera camera({0, 0, 1280, 1024, 0.0f, 1.0f});
    EXPECT_FLOAT_EQ(1.0f, camera.projection.At(0, 0));
    EXPECT_FLOAT_EQ(1.25f, camera.projection.At(1, 1));
    // Depth 0 at near and 1 at far, as the device expects.
    const Vec4 atNear = camera.ProjectPoint({0.0f, 0.0f, -100.0f + camera.nearPlane});
    const Vec4 atFar = camera.ProjectPoint({0.0f, 0.0f, -100.0f + camera.farPlane});
    EXPECT_NEAR(0.0f, atNear.z / atNear.w, 1e-5f);
    EXPECT_NEAR(1.0f, atFar.z / atFar.w, 1e-4f);
}

TEST(GmCamera, TargetProjectsToTheViewportCentreAndBack)
{
    LookingCamera camera({100, 200, 400, 300, 0.0f, 1.0f});
    const Vec4 centre = camera.ProjectPoint(camera.target);
    EXPECT_NEAR(300.0f, centre.x, 1e-3f);
    EXPECT_NEAR(350.0f, centre.y, 1e-3f);

    // The viewport matrix alone maps normalised (0, 0) to the same pixel.
    const Vec3 mapped = MatrixTransformPoint(camera.viewportMatrix, {0.0f, 0.0f, 0.0f});
    EXPECT_EQ(300.0f, mapped.x);
    EXPECT_EQ(350.0f, mapped.y);

    // Left-handed: world +X lands right of the centre, +Y above it.
    const Vec4 right = camera.ProjectPoint({10.0f, 0.0f, 0.0f});
    const Vec4 above = camera.ProjectPoint({0.0f, 10.0f, 0.0f});
    EXPECT_GT(right.x, 300.0f);
    EXPECT_LT(above.y, 350.0f);
}

TEST(GmCamera, ScreenToRayThroughKnownPixels)
{
    LookingCamera camera({0, 0, 400, 300, 0.0f, 1.0f});
    const Vec3 centre = camera.ScreenToRay(200.0f, 150.0f);
    EXPECT_NEAR(0.0f, centre.x, 1e-5f);
    EXPECT_NEAR(0.0f, centre.y, 1e-5f);
    EXPECT_NEAR(1.0f, centre.z, 1e-5f);

    // A world point off-axis projects to a pixel whose ray passes through it.
    const Vec3 point = {30.0f, -20.0f, 50.0f};
    const Vec4 pixel = camera.ProjectPoint(point);
    const Vec3 ray = camera.ScreenToRay(pixel.x, pixel.y);
    Vec3 toPoint = {point.x - camera.eye.x, point.y - camera.eye.y, point.z - camera.eye.z};
    toPoint.Normalize();
    EXPECT_TRUE(Vec3::EqualsWithin(toPoint, ray, 1e-4f));
}

TEST(GmCamera, SetViewportMarksTheFrameOnlyOnChange)
{
    LookingCamera camera({0, 0, 640, 512, 0.0f, 1.0f});
    EXPECT_FLOAT_EQ(0.5f, camera.scaleX);
    EXPECT_FLOAT_EQ(0.5f, camera.scaleY);
    camera.frame.localDirty = 0;
    camera.frame.worldDirty = 0;
    const GeViewport same = camera.currentViewport;
    camera.SetViewport(&same);
    EXPECT_EQ(0, camera.frame.localDirty);
    EXPECT_EQ(0, camera.frame.worldDirty);
    const GeViewport other = {0, 0, 320, 256, 0.0f, 1.0f};
    camera.SetViewport(&other);
    EXPECT_EQ(1, camera.frame.localDirty);
    EXPECT_FLOAT_EQ(0.25f, camera.scaleX);
}

// The 2D camera maps reference pixels onto a smaller device and clips to
// its bound size.
TEST(GmCamera, StaticCameraScalesAndClips)
{
    CGmStaticCamera camera;
    camera.screenWidth = 1280;
    camera.screenHeight = 1024;
    camera.boundWidth = 1280.0f;
    camera.boundHeight = 1024.0f;
    camera.SetViewportParams({0, 0, 640, 256, 0.0f, 1.0f});
    const Matrix4 m = camera.GetViewProjection();
    const Vec3 p = MatrixTransformPoint(m, {1280.0f, 1024.0f, 0.0f});
    EXPECT_FLOAT_EQ(640.0f, p.x);
    EXPECT_FLOAT_EQ(256.0f, p.y);

    const float rect[4] = {1000.0f, -10.0f, 500.0f, 100.0f};
    camera.SetClipRect(rect);
    EXPECT_EQ(1000.0f, camera.appliedClipRect[0]);
    EXPECT_EQ(0.0f, camera.appliedClipRect[1]);
    EXPECT_EQ(280.0f, camera.appliedClipRect[2]);
    EXPECT_EQ(90.0f, camera.appliedClipRect[3]);
    camera.locked = 1;
    camera.SetClipRect(nullptr);
    EXPECT_EQ(1000.0f, camera.clipRect[0]);
}

TEST(GeRect, IntersectTable)
{
    struct Case {
        CGeRect a, b, expected;
    };
    const Case cases[] = {
        {{0, 0, 10, 10}, {5, 5, 10, 10}, {5, 5, 5, 5}},
        {{0, 0, 10, 10}, {2, 3, 4, 5}, {2, 3, 4, 5}},
        {{0, 0, 10, 10}, {10, 0, 5, 5}, {0, 0, 0, 0}},   // touching edges
        {{0, 0, 10, 10}, {-5, 20, 30, 5}, {0, 0, 0, 0}}, // apart
        {{0, 0, 0.5f, 1}, {0, 0, 1, 1}, {0, 0, 0.5f, 1}},
    };
    for (const Case& c : cases) {
        const CGeRect r = CGeRect::Intersect(c.a, c.b);
        EXPECT_EQ(c.expected.x, r.x);
        EXPECT_EQ(c.expected.y, r.y);
        EXPECT_EQ(c.expected.width, r.width);
        EXPECT_EQ(c.expected.height, r.height);
    }
}

// The device takes the camera's two matrices as they stand.
class GmCameraOnDevice : public TextureTest {};

TEST_F(GmCameraOnDevice, ApplyViewProjectionHandsOverViewAndProjection)
{
    LookingCamera camera({0, 0, 64, 64, 0.0f, 1.0f});
    camera.ApplyViewProjection(wrapper.get());
    for (int i = 0; i < 16; ++i) {
        EXPECT_FLOAT_EQ(camera.view.m[i], wrapper->m_view[i]) << i;
        EXPECT_FLOAT_EQ(camera.projection.m[i], wrapper->m_projection[i]) << i;
    }
    // The device keeps the transpose: the view's translation in its last row.
    EXPECT_FLOAT_EQ(camera.view.m[11], wrapper->m_viewD3d.m[3][2]);
    camera.ApplyViewProjection(nullptr);
}
