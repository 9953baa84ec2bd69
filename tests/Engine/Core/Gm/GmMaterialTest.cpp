// MATERIAL files read into shader passes: colours, shadows, textures, REF and
// PARAM with "%" substitution, and the words of every keyword table.
#include "Engine/Core/Common/GePath.h"
#include "Engine/Core/Gm/GmResCollector.h"
#include "Engine/Core/Gm/GmShaderPass.h"
#include "Engine/Core/Gm/GmTexture.h"
#include "Engine/Core/Pack/Harvester.h"
#include "tests/Support/ErrorBoxRecorder.h"
#include "tests/Support/TestTempDir.h"
#include "tools/fpk/FpkWriter.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

class GmMaterial : public ::testing::Test {
protected:
    void SetUp() override { g_pGmResCollector = new CGmResCollector(); }

    void TearDown() override
    {
        delete g_pGmResCollector;
        g_pGmResCollector = nullptr;
        CHarvester::Unmount();
        g_packPath = "";
    }

    // A pass read from the text, as the collector reads one.
    std::unique_ptr<CGmShaderPass> Read(const std::string& text, const char* path = "materials/test.xml")
    {
        std::unique_ptr<CGmShaderPass> pass(new CGmShaderPass());
        CGeFileData file;
        file.path = path;
        file.data = reinterpret_cast<uint8_t*>(const_cast<char*>(text.data()));
        file.size = uint32_t(text.size());
        pass->LoadFromXml(file);
        return pass;
    }

    void PackFiles(const std::map<std::string, std::string>& files)
    {
        for (const auto& [name, text] : files)
            dir.Write("tree/" + name, text);
        std::string error;
        ASSERT_TRUE(WritePackFromDirectory((dir / "resource.fpk").c_str(), (dir / "tree").c_str(), &error)) << error;
        g_packPath = (dir / "resource.fpk").c_str();
        ASSERT_TRUE(CHarvester::MountSinglePack(g_packPath));
    }

    // The name the collector holds a texture under.
    std::string TextureName(const CGmTexture* texture) const
    {
        const auto& map = g_pGmResCollector->reverse[GM_RES_KIND_TEXTURE];
        const auto* node = map.Find(reinterpret_cast<uintptr_t>(static_cast<const CGeResource*>(texture)));
        return node ? node->value.c_str() : "";
    }

    CTestTempDir dir;
    CErrorBoxRecorder errorBoxes;
};

TEST_F(GmMaterial, DefaultsWithoutRenderState)
{
    auto pass = Read("<MATERIAL><COLORS/></MATERIAL>");
    EXPECT_EQ(CGeString("materials/test.xml"), pass->name);
    EXPECT_EQ(1u, pass->zTest);
    EXPECT_EQ(1u, pass->zWrite);
    EXPECT_EQ(1u, pass->alphaBlend);
    EXPECT_EQ(1u, pass->alphaTest);
    EXPECT_EQ(0u, pass->alphaRef);
    EXPECT_EQ(2u, pass->srcBlend);
    EXPECT_EQ(1u, pass->destBlend);
    EXPECT_EQ(1u, pass->cullMode);
    EXPECT_EQ(1u, pass->passCount);
    EXPECT_EQ(0u, pass->fixedFunctionValid); // no FFP_GROUP
    EXPECT_EQ(1.0f, pass->diffuse.a);
    EXPECT_EQ(0.0f, pass->emissive.r);
    EXPECT_EQ(1.0f, pass->specularPower);
    EXPECT_EQ(1u, pass->GetPassCount());
}

TEST_F(GmMaterial, ColoursShadowsAndCase)
{
    const char* text =
        "<material name=\"Brass\"><colors diffuse=\"0.5 1 0 0\" ambient=\"1 0.25 0.5 0.75\" specularpower=\"8\" "
        "emissive=\"\" reflection=\"0.5\"/><shadow_declaration><shadow_caster/><shadow_receiver/>"
        "</shadow_declaration><trilinear_filter/><renderstate/></material>";
    auto lower = Read(text);
    std::string upper = text;
    for (char& c : upper)
        c = char(toupper(c));
    auto upperPass = Read(upper);
    for (const CGmShaderPass* pass : {lower.get(), upperPass.get()}) {
        EXPECT_EQ(CGeString("BRASS"), pass->name);
        EXPECT_EQ(1.0f, pass->diffuse.r);
        EXPECT_EQ(0.0f, pass->diffuse.g);
        EXPECT_EQ(0.5f, pass->diffuse.a);
        EXPECT_EQ(0.25f, pass->ambient.r);
        EXPECT_EQ(0.75f, pass->ambient.b);
        EXPECT_EQ(0.0f, pass->emissive.a); // empty text keeps the default
        EXPECT_EQ(8.0f, pass->specularPower);
        EXPECT_EQ(1, pass->castsShadows);
        EXPECT_EQ(1, pass->receivesShadows);
        EXPECT_EQ(1, pass->trilinear);
        EXPECT_EQ(0x7F000000u, pass->textureFactor); // from the reflection
        EXPECT_EQ(8.0f, pass->deviceMaterial.Power);
        EXPECT_EQ(0.5f, pass->deviceMaterial.Diffuse.a);
    }
    // A receiver outside the declaration does nothing.
    auto loose = Read("<MATERIAL><COLORS/><SHADOW_RECEIVER/></MATERIAL>");
    EXPECT_EQ(0, loose->receivesShadows);
}

TEST_F(GmMaterial, NoColoursMeansNoTexturesNorStates)
{
    auto pass = Read("<MATERIAL NAME=\"N\"><TEXTURES><SAMPLER FILENAME=\"A.TGA\"/></TEXTURES>"
                     "<RENDERSTATE ZTEST=\"0\"/></MATERIAL>");
    EXPECT_EQ(CGeString("N"), pass->name);
    EXPECT_EQ(0u, pass->textures.Count());
    EXPECT_EQ(1u, pass->zTest);
    auto none = Read("<OTHER/>");
    EXPECT_EQ(CGeString(""), none->name);
}

TEST_F(GmMaterial, AtMostNineTextures)
{
    std::string text = "<MATERIAL><COLORS/><TEXTURES>";
    for (int i = 0; i < 10; ++i)
        text += "<SAMPLER FILENAME=\"t" + std::to_string(i) + ".tga\"/>";
    text += "<SAMPLER/></TEXTURES></MATERIAL>";
    auto pass = Read(text);
    ASSERT_EQ(9u, pass->textures.Count());
    EXPECT_EQ("t8.tga", TextureName(pass->textures[8])); // names reach the collector upper-cased
}

TEST_F(GmMaterial, ReferenceWithParameters)
{
    PackFiles({{"materials/base.xml",
                "<MATERIAL NAME=\"%NAME\"><COLORS DIFFUSE=\"%COLOUR\"/><TEXTURES>"
                "<SAMPLER FILENAME=\"%TEX\"/><SAMPLER FILENAME=\"%MISSING\"/></TEXTURES>"
                "<RENDERSTATE SRCBLEND=\"%BLEND\"/></MATERIAL>"},
               {"a.tga", "not really a tga"}});
    auto pass = Read("<MATERIAL REF=\"materials/base.xml\"><PARAM NAME=\"TEX\" VALUE=\"A.TGA\"/>"
                     "<PARAM NAME=\"name\" VALUE=\"first\"/><PARAM NAME=\"NAME\" VALUE=\"second\"/>"
                     "<PARAM NAME=\"COLOUR\" VALUE=\"0.25 1 1 1\"/><PARAM NAME=\"BLEND\" VALUE=\"srcalpha\"/>"
                     "<PARAM VALUE=\"no name\"/></MATERIAL>");
    EXPECT_EQ(CGeString("SECOND"), pass->name);
    EXPECT_EQ(0.25f, pass->diffuse.a);
    EXPECT_EQ(5u, pass->srcBlend);
    ASSERT_EQ(2u, pass->textures.Count());
    EXPECT_EQ("a.tga", TextureName(pass->textures[0]));
    EXPECT_EQ("%missing", TextureName(pass->textures[1])); // left as it was, "%" included

    // An unreadable referred file leaves the defaults.
    auto lost = Read("<MATERIAL REF=\"materials/none.xml\" NAME=\"X\"/>");
    EXPECT_EQ(CGeString(""), lost->name);
    EXPECT_EQ(1.0f, lost->diffuse.r);
}

// Every word of the four tables, and an unknown word that keeps the field.
TEST_F(GmMaterial, KeywordTables)
{
    const std::pair<const char*, uint32_t> renderWords[] = {
        {"ZERO", 1},         {"ONE", 2},          {"SRCCOLOR", 3},        {"INVSRCCOLOR", 4},    {"SRCALPHA", 5},
        {"INVSRCALPHA", 6},  {"DESTALPHA", 7},    {"INVDESTALPHA", 8},    {"DESTCOLOR", 9},      {"INVDESTCOLOR", 10},
        {"SRCALPHASAT", 11}, {"BOTHSRCALPHA", 12}, {"BOTHINVSRCALPHA", 13}, {"BLENDFACTOR", 14}, {"INVBLENDFACTOR", 15},
        {"NONE", 1},         {"CW", 2},           {"CCW", 3},             {"MATERIAL", 0},       {"VERTEX_COLOR1", 1},
        {"VERTEX_COLOR2", 2}, {"BOGUS", 2}};
    for (const auto& [word, value] : renderWords) {
        auto pass = Read(std::string("<MATERIAL><COLORS/><RENDERSTATE SRCBLEND=\"") + word + "\" DESTBLEND=\"" +
                         word + "\" DIFFUSE_MATERIAL_SRC=\"" + word + "\"/></MATERIAL>");
        EXPECT_EQ(value, pass->srcBlend) << word;
        EXPECT_EQ(std::string(word) == "BOGUS" ? 1u : value, pass->destBlend) << word;
        EXPECT_EQ(std::string(word) == "BOGUS" ? 0u : value, pass->diffuseMaterialSource) << word;
    }
    const std::pair<const char*, uint32_t> operations[] = {
        {"DISABLE", 1},
        {"SELECTARG1", 2},
        {"SELECTARG2", 3},
        {"MODULATE", 4},
        {"MODULATE2X", 5},
        {"MODULATE4X", 6},
        {"ADD", 7},
        {"ADDSIGNED", 8},
        {"ADDSIGNED2X", 9},
        {"SUBTRACT", 10},
        {"ADDSMOOTH", 11},
        {"BLENDDIFFUSEALPHA", 12},
        {"BLENDTEXTUREALPHA", 13},
        {"BLENDFACTORALPHA", 14},
        {"BLENDTEXTUREALPHAPM", 15},
        {"BLENDCURRENTALPHA", 16},
        {"PREMODULATE", 17},
        {"MODULATEALPHA_ADDCOLOR", 18},
        {"MODULATECOLOR_ADDALPHA", 19},
        {"MODULATEINVALPHA_ADDCOLOR", 20},
        {"MODULATEINVCOLOR_ADDALPHA", 21},
        {"BUMPENVMAP", 22},
        {"MULTIPLYADD", 25},
        {"LERP", 26},
        {"DOTPRODUCT3", 1}, // not a word of the table
    };
    std::string text = "<MATERIAL><COLORS/><FFP_GROUP>";
    for (const auto& op : operations)
        text += std::string("<SAMPLERSTATE COLOROP=\"") + op.first + "\" ALPHAOP=\"" + op.first + "\"/>";
    const std::pair<const char*, uint32_t> arguments[] = {
        {"DIFFUSE", 0}, {"CURRENT", 1}, {"TEXTURE", 2}, {"TFACTOR", 3}, {"SPECULAR", 4}, {"OTHER", 1}};
    for (const auto& arg : arguments) {
        text += "<SAMPLERSTATE";
        for (const char* name : {"CARG1", "CARG2", "CARG3", "AARG1", "AARG2", "AARG3"})
            text += std::string(" ") + name + "=\"" + arg.first + "\"";
        text += "/>";
    }
    text += "</FFP_GROUP></MATERIAL>";
    auto pass = Read(text);
    ASSERT_EQ(25u + 6u, pass->stages.Count());
    EXPECT_EQ(1, pass->fixedFunctionValid);
    for (uint32_t i = 0; i < 25; ++i) {
        EXPECT_EQ(operations[i].second, pass->stages[i].colorOp) << operations[i].first;
        EXPECT_EQ(operations[i].second, pass->stages[i].alphaOp) << operations[i].first;
    }
    for (uint32_t i = 0; i < 6; ++i) {
        const CGmStageRecord& s = pass->stages[25 + i];
        for (uint32_t v : {s.colorArg1, s.colorArg2, s.colorArg0, s.alphaArg1, s.alphaArg2, s.alphaArg0})
            EXPECT_EQ(arguments[i].second, v) << arguments[i].first;
    }
}

TEST_F(GmMaterial, RenderStateValues)
{
    struct Case {
        const char* attributes;
        const char* group;
        uint32_t CGmShaderPass::*field;
        uint32_t expected;
    } cases[] = {
        {"CULLMODE=\"NONE\"", "", &CGmShaderPass::cullMode, 0},
        {"CULLMODE=\"CW\"", "", &CGmShaderPass::cullMode, 1},
        {"CULLMODE=\"CCW\"", "", &CGmShaderPass::cullMode, 2},
        {"CULLMODE=\"MATERIAL\"", "", &CGmShaderPass::cullMode, 0},
        {"CULLMODE=\"NONE\"", "", &CGmShaderPass::passCount, 2},
        {"CULLMODE=\"NONE\" ALPHABLEND=\"0\"", "", &CGmShaderPass::passCount, 1},
        {"ALPHAREF=\"0.5\"", "", &CGmShaderPass::alphaRef, 127},
        {"TEXTUREFACTOR=\"1 0 0 1\"", "", &CGmShaderPass::textureFactor, 0xFFFF0000},
        {"TEXTUREFACTOR=\"2 0.5 -1 0\"", "", &CGmShaderPass::textureFactor, 0x00FF8000},
        {"ZTEST=\"0\" ZWRITE=\"5\"", "", &CGmShaderPass::zWrite, 5},
        {"TEXADDRESSU=\"CLAMP\"", "", &CGmShaderPass::addressU, 0}, // no stages: not read
        {"TEXADDRESSU=\"CLAMP\"", "<SAMPLERSTATE/>", &CGmShaderPass::addressU, 2},
        {"TEXADDRESSV=\"MIRROR\"", "<SAMPLERSTATE/>", &CGmShaderPass::addressV, 1},
    };
    for (const Case& c : cases) {
        auto pass = Read(std::string("<MATERIAL><COLORS/><RENDERSTATE ") + c.attributes + "/><FFP_GROUP>" + c.group +
                         "</FFP_GROUP></MATERIAL>");
        EXPECT_EQ(c.expected, (*pass).*c.field) << c.attributes << " " << c.group;
    }
}

TEST_F(GmMaterial, StageCoordinatesAndScale)
{
    auto pass = Read("<MATERIAL><COLORS/><FFP_GROUP><SAMPLERSTATE TEXGEN=\"camera_reflect\" TEXCOORDINDEX=\"1\" "
                     "TEXSCALE=\"2 0.5\"/><SAMPLERSTATE TEXGEN=\"SPHERE\" TEXCOORDINDEX=\"x\"/></FFP_GROUP>"
                     "</MATERIAL>");
    ASSERT_EQ(2u, pass->stages.Count());
    EXPECT_EQ(0x30001u, pass->stages[0].texCoordIndex);
    EXPECT_EQ(2.0f, pass->stages[0].texScaleU);
    EXPECT_EQ(0.5f, pass->stages[0].texScaleV);
    EXPECT_EQ(0u, pass->stages[1].texCoordIndex);
    EXPECT_EQ(1.0f, pass->stages[1].texScaleU);
    EXPECT_EQ(1u, pass->stages[1].colorOp);
}

} // namespace
