// What CGmShaderPass::Apply sends to the device, against lists written from
// the rules, and a textured, lit mesh with its material loaded from a pack
// and drawn on the platform's GL device, checked by its pixels.
#include "Engine/Core/Gm/GLibLoc/D3d/GmIndexBuffer.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmResourceManager.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmVertexBuffer.h"
#include "Engine/Core/Gm/GmMesh.h"
#include "Engine/Core/Gm/GmResCollector.h"
#include "Engine/Core/Gm/GmShaderPass.h"
#include "Engine/Core/Gm/GmTexture.h"
#include "Engine/Core/Pack/Harvester.h"
#include "GLibLoc/D3d/DeviceTestFixture.h"
#include "ImageFixtures.h"
#include "TextureTestFixture.h"
#include "tests/Support/TestTempDir.h"
#include "tools/fpk/FpkWriter.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

using ::testing::ElementsAreArray;

namespace {

// Lights handed to every pass, and the ambient sum it reported.
class FixedLights : public IGmLightSource {
public:
    uint32_t ChooseLights(const float*, LightDesc* out, uint32_t maxLights) override
    {
        const uint32_t n = std::min<uint32_t>(uint32_t(lights.size()), maxLights);
        for (uint32_t i = 0; i < n; ++i)
            out[i] = lights[i];
        return n;
    }
    void SetAmbientSum(const float* rgba) override { memcpy(ambient, rgba, sizeof(ambient)); }

    std::vector<LightDesc> lights;
    float ambient[4] = {-1, -1, -1, -1};
};

LightDesc MakeLight(uint8_t kind, float ambientRed)
{
    LightDesc light;
    light.Init();
    memcpy(&light.f[15], &kind, 1);
    light.f[0] = light.f[1] = light.f[2] = light.f[3] = 1.0f;
    light.f[4] = ambientRed;
    light.f[12] = 0.0f;
    light.f[13] = 0.0f;
    light.f[14] = 1.0f;
    return light;
}

std::unique_ptr<CGmShaderPass> ReadPass(const std::string& text)
{
    std::unique_ptr<CGmShaderPass> pass(new CGmShaderPass());
    CGeFileData file;
    file.path = "m.xml";
    file.data = reinterpret_cast<uint8_t*>(const_cast<char*>(text.data()));
    file.size = uint32_t(text.size());
    pass->LoadFromXml(file);
    return pass;
}

// The Apply calls of a pass over the recording device.
class GmShaderPassApply : public DeviceTest {
protected:
    void SetUp() override
    {
        DeviceTest::SetUp();
        Create();
        g_pGmDevice = wrapper.get();
        g_pGmResourceManager = &manager;
        g_pGmResCollector = new CGmResCollector();
        g_pGmLightSource = &lights;
    }
    void TearDown() override
    {
        g_pGmLightSource = nullptr;
        delete g_pGmResCollector;
        g_pGmResCollector = nullptr;
        g_pGmResourceManager = nullptr;
        g_pGmDevice = nullptr;
        DeviceTest::TearDown();
    }

    // The calls of one Apply that set device state (texture creation and
    // uploads left out).
    std::vector<std::string> Apply(CGmShaderPass& pass, uint32_t passIndex = 0)
    {
        Device()->ClearCalls();
        const float position[3] = {1, 2, 3};
        pass.Apply(position, passIndex);
        std::vector<std::string> out;
        for (const std::string& call : Device()->calls) {
            for (const char* kept : {"SetRenderState(", "SetMaterial(", "SetSamplerState(", "SetTexture(",
                                     "SetTextureStageState(", "SetTransform(", "SetLight(", "LightEnable("}) {
                if (call.rfind(kept, 0) == 0) {
                    out.push_back(call);
                    break;
                }
            }
        }
        return out;
    }

    CGmResourceManager manager;
    FixedLights lights;
};

std::vector<std::string> DisabledStages(uint32_t from)
{
    std::vector<std::string> out;
    for (uint32_t i = from; i < 8; ++i) {
        out.push_back("SetTexture(" + std::to_string(i) + ", null)");
        out.push_back("SetTextureStageState(" + std::to_string(i) + ", D3DTSS_COLOROP, 1)");
        out.push_back("SetTextureStageState(" + std::to_string(i) + ", D3DTSS_ALPHAOP, 1)");
    }
    return out;
}

std::vector<std::string> Concat(std::vector<std::vector<std::string>> parts)
{
    std::vector<std::string> out;
    for (auto& part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

// A file without render states or stages: the defaults, every stage off, no
// lights.
TEST_F(GmShaderPassApply, DefaultsSequence)
{
    auto pass = ReadPass("<MATERIAL><COLORS/></MATERIAL>");
    wrapper->m_cullMode = 2;
    const std::vector<std::string> expected = Concat({
        {"SetRenderState(D3DRS_CULLMODE, 2)", "SetRenderState(D3DRS_ZENABLE, 1)",
         "SetRenderState(D3DRS_ZWRITEENABLE, 1)", "SetRenderState(D3DRS_NORMALIZENORMALS, 1)",
         "SetRenderState(D3DRS_AMBIENTMATERIALSOURCE, 0)", "SetRenderState(D3DRS_SPECULARENABLE, 1)",
         "SetRenderState(D3DRS_SPECULARMATERIALSOURCE, 0)", "SetRenderState(D3DRS_DIFFUSEMATERIALSOURCE, 0)",
         "SetMaterial()", "SetRenderState(D3DRS_ALPHABLENDENABLE, 1)", "SetRenderState(D3DRS_ALPHATESTENABLE, 1)",
         "SetRenderState(D3DRS_ALPHAREF, 0)", "SetRenderState(D3DRS_ALPHAFUNC, 7)",
         "SetRenderState(D3DRS_SRCBLEND, 2)", "SetRenderState(D3DRS_DESTBLEND, 1)",
         "SetRenderState(D3DRS_TEXTUREFACTOR, 0)"},
        DisabledStages(0),
        {"SetRenderState(D3DRS_LIGHTING, 1)", "LightEnable(0, 0)", "LightEnable(1, 0)", "LightEnable(2, 0)",
         "LightEnable(3, 0)", "SetSamplerState(0, D3DSAMP_MINFILTER, 2)", "SetSamplerState(0, D3DSAMP_MIPFILTER, 0)"},
    });
    EXPECT_THAT(Apply(*pass), ElementsAreArray(expected));
    EXPECT_EQ(0.0f, lights.ambient[0]);
}

// Two stage records and one texture: stage 0 from the first record, the
// rest off; a scale enables the texture transform; address modes on every
// stage with a record; two lights, their ambient colours summed.
TEST_F(GmShaderPassApply, StagesTransformsAndLights)
{
    auto pass = ReadPass(
        "<MATERIAL><COLORS/><TEXTURES><SAMPLER FILENAME=\"missing.tga\"/></TEXTURES><TRILINEAR_FILTER/>"
        "<RENDERSTATE CULLMODE=\"CCW\" ZTEST=\"0\" ALPHABLEND=\"0\" SRCBLEND=\"SRCALPHA\" TEXADDRESSU=\"CLAMP\"/>"
        "<FFP_GROUP><SAMPLERSTATE COLOROP=\"MODULATE\" CARG1=\"TEXTURE\" CARG2=\"DIFFUSE\" ALPHAOP=\"SELECTARG1\" "
        "AARG1=\"TEXTURE\" TEXCOORDINDEX=\"1\" TEXGEN=\"CAMERA_REFLECT\" TEXSCALE=\"2 1\"/>"
        "<SAMPLERSTATE COLOROP=\"ADD\"/></FFP_GROUP></MATERIAL>");
    lights.lights = {MakeLight(GM_LIGHT_DIRECTIONAL, 0.25f), MakeLight(GM_LIGHT_POINT, 0.5f)};
    const std::vector<std::string> expected = Concat({
        {"SetRenderState(D3DRS_CULLMODE, 3)", "SetRenderState(D3DRS_ZENABLE, 0)",
         "SetRenderState(D3DRS_ZWRITEENABLE, 1)", "SetRenderState(D3DRS_NORMALIZENORMALS, 1)",
         "SetRenderState(D3DRS_AMBIENTMATERIALSOURCE, 0)", "SetRenderState(D3DRS_SPECULARENABLE, 1)",
         "SetRenderState(D3DRS_SPECULARMATERIALSOURCE, 0)", "SetRenderState(D3DRS_DIFFUSEMATERIALSOURCE, 0)",
         "SetMaterial()", "SetRenderState(D3DRS_ALPHABLENDENABLE, 0)", "SetRenderState(D3DRS_ALPHATESTENABLE, 1)",
         "SetRenderState(D3DRS_ALPHAREF, 0)", "SetRenderState(D3DRS_ALPHAFUNC, 7)",
         "SetRenderState(D3DRS_SRCBLEND, 5)", "SetRenderState(D3DRS_DESTBLEND, 1)",
         "SetRenderState(D3DRS_TEXTUREFACTOR, 0)", "SetSamplerState(0, D3DSAMP_ADDRESSU, 3)",
         "SetSamplerState(0, D3DSAMP_ADDRESSV, 1)", "SetSamplerState(1, D3DSAMP_ADDRESSU, 3)",
         "SetSamplerState(1, D3DSAMP_ADDRESSV, 1)", "SetTexture(0, null)", // the stand-in device makes no texture
         "SetTextureStageState(0, D3DTSS_COLORARG1, 2)", "SetTextureStageState(0, D3DTSS_COLORARG2, 0)",
         "SetTextureStageState(0, D3DTSS_COLORARG0, 1)", "SetTextureStageState(0, D3DTSS_COLOROP, 4)",
         "SetTextureStageState(0, D3DTSS_ALPHAARG1, 2)", "SetTextureStageState(0, D3DTSS_ALPHAARG2, 1)",
         "SetTextureStageState(0, D3DTSS_ALPHAARG0, 1)", "SetTextureStageState(0, D3DTSS_ALPHAOP, 2)",
         "SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 196609)",
         "SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, 2)", "SetTransform(D3DTS_TEXTURE0, 0, 0, 0)"},
        DisabledStages(1),
        {"SetRenderState(D3DRS_LIGHTING, 1)", "SetLight(0)", "LightEnable(0, 1)", "SetLight(1)", "LightEnable(1, 1)",
         "LightEnable(2, 0)", "LightEnable(3, 0)", "SetSamplerState(0, D3DSAMP_MINFILTER, 2)",
         "SetSamplerState(0, D3DSAMP_MIPFILTER, 2)"},
    });
    EXPECT_THAT(Apply(*pass), ElementsAreArray(expected));
    EXPECT_FLOAT_EQ(0.75f, lights.ambient[0]);
    EXPECT_EQ(0.0f, lights.ambient[1]);
    EXPECT_EQ(2u, wrapper->m_addressU[1]); // the engine code is cached
}

// A double-sided transparent material culls clockwise faces in pass 0 and
// counter-clockwise ones in pass 1; the cull state is sent only on change.
TEST_F(GmShaderPassApply, DoubleSidedPasses)
{
    auto pass = ReadPass("<MATERIAL><COLORS/><RENDERSTATE CULLMODE=\"NONE\"/></MATERIAL>");
    ASSERT_EQ(2u, pass->passCount);
    wrapper->m_cullMode = 0;
    EXPECT_EQ("SetRenderState(D3DRS_CULLMODE, 2)", Apply(*pass, 0).front());
    EXPECT_EQ("SetRenderState(D3DRS_CULLMODE, 3)", Apply(*pass, 1).front());
    EXPECT_EQ("SetRenderState(D3DRS_ZENABLE, 1)", Apply(*pass, 1).front());
}

// A textured, lit quad: its mesh, material and texture come from a pack; one
// white directional light shines straight at it, so the drawn pixels are the
// texture's colour.
class GmShaderPassDraw : public TextureTest {
protected:
    void TearDown() override
    {
        g_pGmLightSource = nullptr;
        delete g_pGmResCollector;
        g_pGmResCollector = nullptr;
        CHarvester::Unmount();
        g_packPath = "";
        TextureTest::TearDown();
    }
};

TEST_F(GmShaderPassDraw, LitTexturedMeshFromAPack)
{
    imagefixture::TgaSpec tga;
    tga.width = 2;
    tga.height = 2;
    for (int i = 0; i < 4; ++i)
        tga.pixels.insert(tga.pixels.end(), {50, 100, 200, 255}); // B, G, R, A
    const imagefixture::Bytes image = imagefixture::MakeTga(tga);
    CTestTempDir dir;
    dir.Write("tree/textures/brick.tga", std::string(image.begin(), image.end()));
    dir.Write("tree/materials/brick.xml",
              "<material name=\"brick\"><colors diffuse=\"1 1 1 1\" ambient=\"1 0 0 0\" specular=\"1 0 0 0\"/>"
              "<textures><sampler filename=\"textures/brick\"/></textures>"
              "<renderstate cullmode=\"none\" alphablend=\"0\" ztest=\"0\" zwrite=\"0\"/>"
              "<ffp_group><samplerstate colorop=\"modulate\" carg1=\"texture\" carg2=\"diffuse\" "
              "alphaop=\"selectarg1\" aarg1=\"texture\"/></ffp_group></material>");
    dir.Write("tree/meshes/wall.xml",
              "<GE_MESH Type=\"GENERIC\" Name=\"wall\"><VERTEX_DATA>"
              "<VERTEX XYZ=\"-1 -1 0.5\" Normal=\"0 0 -1\" UV=\"0 1\"/>"
              "<VERTEX XYZ=\"1 -1 0.5\" Normal=\"0 0 -1\" UV=\"1 1\"/>"
              "<VERTEX XYZ=\"-1 1 0.5\" Normal=\"0 0 -1\" UV=\"0 0\"/>"
              "<VERTEX XYZ=\"1 1 0.5\" Normal=\"0 0 -1\" UV=\"1 0\"/>"
              "</VERTEX_DATA><INDEX_DATA><FACE VERTS=\"0 1 2\"/><FACE VERTS=\"2 1 3\"/></INDEX_DATA></GE_MESH>");
    std::string error;
    ASSERT_TRUE(WritePackFromDirectory((dir / "resource.fpk").c_str(), (dir / "tree").c_str(), &error)) << error;
    g_packPath = (dir / "resource.fpk").c_str();
    ASSERT_TRUE(CHarvester::MountSinglePack(g_packPath));
    g_pGmResCollector = new CGmResCollector();
    FixedLights lights;
    lights.lights = {MakeLight(GM_LIGHT_DIRECTIONAL, 0.0f)};
    g_pGmLightSource = &lights;

    CGmMaterial* material = rescollect::LoadMaterial("Materials/Brick.xml");
    CGmMesh* mesh = rescollect::LoadMesh("meshes/wall");
    ASSERT_NE(nullptr, material);
    ASSERT_NE(nullptr, mesh);
    ASSERT_EQ(1u, material->textures.Count());

    const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    CGmTexture target;
    target.Create(16, 16, GM_FMT_A8R8G8B8, true);
    manager.Use(&target, GE_RES_TEXTURE);
    wrapper->SetRenderTarget(&target);
    wrapper->Clear(GE_CLEAR_TARGET, 0xFF000000, 1.0f);
    wrapper->BeginScene();
    wrapper->SetTransform(identity, 0);
    wrapper->SetViewProjection(identity, identity);
    const float position[3] = {0, 0, 0};
    for (uint32_t p = 0; p < material->GetPassCount(); ++p) {
        material->Apply(position, p);
        mesh->vertexBuffer->Bind();
        mesh->indexBuffer->Bind();
        const CGmDrawRange& range = mesh->drawRanges[0];
        wrapper->DrawIndexedPrimitive(range.primitiveType, 0, range.minVertex, range.vertexCount, range.startIndex,
                                      range.primitiveCount);
    }
    wrapper->EndScene();
    wrapper->RestoreRenderTarget();
    target.Upload();
    const CGmImage* shown = target.Image();
    for (uint32_t y = 0; y < 16; ++y) {
        for (uint32_t x = 0; x < 16; ++x) {
            uint32_t pixel;
            memcpy(&pixel, shown->data + y * shown->pitch + x * 4, 4);
            ASSERT_LE(ColourDistance(0xFFC86432, pixel), 2) << x << ", " << y << ": " << std::hex << pixel;
        }
    }
    material->Release();
    mesh->Release();
}

} // namespace
