// Key normalisation and the program cache, without GL: states that draw alike
// must share one program, states that draw differently must not.
#include "Platform/D3d9/FixedFunctionKey.h"
#include "Platform/D3d9/FixedFunctionCache.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

struct StateFixture {
    std::unique_ptr<D3d9State> state = std::make_unique<D3d9State>();
    StateFixture()
    {
        D3d9StateSetDefaults(state.get(), 8, 8);
        state->fvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;
        state->renderState[D3DRS_LIGHTING] = FALSE;
        state->textureFormat[0] = D3DFMT_A8R8G8B8;
    }
    void Stage(int s, D3DTEXTURESTAGESTATETYPE type, DWORD value) { state->stageState[s][type] = value; }
    FfpKey Key() const { return FfpBuildKey(*state); }
};

using Change = std::function<void(StateFixture&)>;

struct Pair {
    const char* what;
    Change a;
    Change b;
};

void ExpectKeys(const Pair& pair, bool equal)
{
    StateFixture first, second;
    pair.a(first);
    pair.b(second);
    if (equal)
        EXPECT_TRUE(first.Key() == second.Key()) << pair.what;
    else
        EXPECT_FALSE(first.Key() == second.Key()) << pair.what;
}

void Nothing(StateFixture&) {}

} // namespace

TEST(FixedFunctionKey, DefaultStageModulatesTextureWithDiffuse)
{
    StateFixture f;
    FfpKey key = f.Key();
    ASSERT_EQ(1, key.stageCount);
    EXPECT_TRUE(key.preTransformed);
    EXPECT_EQ(D3DTOP_MODULATE, key.stages[0].colorOp);
    EXPECT_EQ(D3DTA_TEXTURE, key.stages[0].colorArg[1]);
    EXPECT_EQ(D3DTA_DIFFUSE, key.stages[0].colorArg[2]); // CURRENT in stage 0 is the diffuse colour
    EXPECT_EQ(D3DTOP_SELECTARG1, key.stages[0].alphaOp);
    EXPECT_EQ(1, key.stages[0].sampled);
    EXPECT_EQ(0, key.lighting);
    EXPECT_EQ(0, key.alphaFunc);
}

TEST(FixedFunctionKey, EqualBehaviourGivesEqualKeys)
{
    const Pair pairs[] = {
        {"an argument the op does not read", [](StateFixture& f) { f.Stage(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1); },
         [](StateFixture& f) {
             f.Stage(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
             f.Stage(0, D3DTSS_COLORARG2, D3DTA_TFACTOR);
             f.Stage(0, D3DTSS_COLORARG0, D3DTA_SPECULAR);
         }},
        {"SELECTARG2 of X is SELECTARG1 of X", [](StateFixture& f) { f.Stage(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1); },
         [](StateFixture& f) {
             f.Stage(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
             f.Stage(0, D3DTSS_COLORARG2, D3DTA_TEXTURE);
         }},
        {"CURRENT in stage 0 is DIFFUSE", Nothing,
         [](StateFixture& f) { f.Stage(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE); }},
        {"stages after the first DISABLE", Nothing,
         [](StateFixture& f) {
             f.Stage(2, D3DTSS_COLOROP, D3DTOP_ADD);
             f.Stage(2, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACEREFLECTIONVECTOR);
         }},
        {"ALPHAREPLICATE on an alpha argument", Nothing,
         [](StateFixture& f) { f.Stage(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE | D3DTA_ALPHAREPLICATE); }},
        {"ALPHAOP DISABLE passes CURRENT alpha",
         [](StateFixture& f) {
             f.Stage(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
             f.Stage(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
         },
         [](StateFixture& f) { f.Stage(0, D3DTSS_ALPHAOP, D3DTOP_DISABLE); }},
        {"texture and its transform on a stage that samples nothing",
         [](StateFixture& f) {
             f.Stage(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
             f.Stage(0, D3DTSS_ALPHAARG1, D3DTA_TFACTOR);
         },
         [](StateFixture& f) {
             f.Stage(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
             f.Stage(0, D3DTSS_ALPHAARG1, D3DTA_TFACTOR);
             f.Stage(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
             f.state->textureFormat[0] = D3DFMT_UNKNOWN;
         }},
        {"uniform values: fog distances, reference, factor, material",
         [](StateFixture& f) { f.state->renderState[D3DRS_FOGENABLE] = TRUE; },
         [](StateFixture& f) {
             f.state->renderState[D3DRS_FOGENABLE] = TRUE;
             f.state->renderState[D3DRS_FOGEND] = 0x42C80000; // 100.0f
             f.state->renderState[D3DRS_ALPHAREF] = 0x80;
             f.state->renderState[D3DRS_TEXTUREFACTOR] = 0x12345678;
             f.state->material.Power = 8.0f;
         }},
        {"alpha test with ALWAYS is no alpha test", Nothing,
         [](StateFixture& f) {
             f.state->renderState[D3DRS_ALPHATESTENABLE] = TRUE;
             f.state->renderState[D3DRS_ALPHAFUNC] = D3DCMP_ALWAYS;
         }},
        {"lighting and blending do not reach pre-transformed vertices", Nothing,
         [](StateFixture& f) {
             f.state->renderState[D3DRS_LIGHTING] = TRUE;
             f.state->renderState[D3DRS_VERTEXBLEND] = D3DVBF_2WEIGHTS;
         }},
        {"VERTEXBLEND beyond 3WEIGHTS acts as 3WEIGHTS",
         [](StateFixture& f) {
             f.state->fvf = D3DFVF_XYZB3 | D3DFVF_NORMAL;
             f.state->renderState[D3DRS_VERTEXBLEND] = 3;
         },
         [](StateFixture& f) {
             f.state->fvf = D3DFVF_XYZB3 | D3DFVF_NORMAL;
             f.state->renderState[D3DRS_VERTEXBLEND] = 5;
         }},
        {"untextured 2D mode 0 with or without a texture",
         [](StateFixture& f) {
             f.Stage(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
             f.Stage(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
             f.Stage(0, D3DTSS_ALPHAARG1, D3DTA_CURRENT);
         },
         [](StateFixture& f) {
             f.Stage(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
             f.Stage(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
             f.Stage(0, D3DTSS_ALPHAARG1, D3DTA_CURRENT);
             f.state->textureFormat[0] = D3DFMT_UNKNOWN;
         }},
        {"a stage that reads an unbound texture ends the cascade",
         [](StateFixture& f) {
             f.Stage(0, D3DTSS_COLOROP, D3DTOP_DISABLE);
             f.state->textureFormat[0] = D3DFMT_UNKNOWN;
         },
         [](StateFixture& f) { f.state->textureFormat[0] = D3DFMT_UNKNOWN; }},
        {"the texture's format is not part of the program", Nothing,
         [](StateFixture& f) { f.state->textureFormat[0] = D3DFMT_DXT5; }},
    };
    for (const Pair& pair : pairs)
        ExpectKeys(pair, true);
}

TEST(FixedFunctionKey, DifferentBehaviourGivesDifferentKeys)
{
    const Pair pairs[] = {
        {"colour operation", Nothing, [](StateFixture& f) { f.Stage(0, D3DTSS_COLOROP, D3DTOP_ADD); }},
        {"argument modifier", Nothing,
         [](StateFixture& f) { f.Stage(0, D3DTSS_COLORARG1, D3DTA_TEXTURE | D3DTA_COMPLEMENT); }},
        {"a second stage", Nothing,
         [](StateFixture& f) {
             f.Stage(1, D3DTSS_COLOROP, D3DTOP_MODULATE);
             f.Stage(1, D3DTSS_COLORARG1, D3DTA_TFACTOR);
         }},
        {"result to TEMP", Nothing, [](StateFixture& f) { f.Stage(0, D3DTSS_RESULTARG, D3DTA_TEMP); }},
        {"table fog against vertex fog",
         [](StateFixture& f) {
             f.state->renderState[D3DRS_FOGENABLE] = TRUE;
             f.state->renderState[D3DRS_FOGTABLEMODE] = D3DFOG_EXP;
         },
         [](StateFixture& f) {
             f.state->renderState[D3DRS_FOGENABLE] = TRUE;
             f.state->renderState[D3DRS_FOGVERTEXMODE] = D3DFOG_EXP;
         }},
        {"alpha test function",
         [](StateFixture& f) {
             f.state->renderState[D3DRS_ALPHATESTENABLE] = TRUE;
             f.state->renderState[D3DRS_ALPHAFUNC] = D3DCMP_GREATER;
         },
         [](StateFixture& f) {
             f.state->renderState[D3DRS_ALPHATESTENABLE] = TRUE;
             f.state->renderState[D3DRS_ALPHAFUNC] = D3DCMP_GREATEREQUAL;
         }},
        {"projected coordinates", Nothing,
         [](StateFixture& f) { f.Stage(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT3 | D3DTTFF_PROJECTED); }},
        {"specular present with SPECULARENABLE",
         [](StateFixture& f) { f.state->renderState[D3DRS_SPECULARENABLE] = TRUE; },
         [](StateFixture& f) {
             f.state->renderState[D3DRS_SPECULARENABLE] = TRUE;
             f.state->fvf |= D3DFVF_SPECULAR;
         }},
    };
    for (const Pair& pair : pairs)
        ExpectKeys(pair, false);
}

TEST(FixedFunctionKey, UntexturedStageRuleCanBeSwitchedOff)
{
    StateFixture f;
    f.state->textureFormat[0] = D3DFMT_UNKNOWN;
    EXPECT_EQ(0, FfpBuildKey(*f.state).stageCount);
    FfpOptions sampleAnyway;
    sampleAnyway.skipStagesWithoutTexture = false;
    FfpKey key = FfpBuildKey(*f.state, sampleAnyway);
    EXPECT_EQ(1, key.stageCount);
    EXPECT_EQ(1, key.stages[0].sampled);
}

TEST(FixedFunctionKey, VertexBlendFollowsTheDeclarationRule)
{
    StateFixture f;
    f.state->fvf = D3DFVF_XYZB2 | D3DFVF_LASTBETA_UBYTE4 | D3DFVF_NORMAL;
    f.state->renderState[D3DRS_INDEXEDVERTEXBLENDENABLE] = TRUE;
    f.state->renderState[D3DRS_VERTEXBLEND] = D3DVBF_2WEIGHTS;
    FfpKey key = f.Key();
    EXPECT_EQ(2, key.blendWeights);
    EXPECT_EQ(1, key.streamWeights); // the second weight is not in the vertex and reads 0
    EXPECT_EQ(1, key.blendIndexed);

    f.state->renderState[D3DRS_VERTEXBLEND] = D3DVBF_DISABLE;
    key = f.Key();
    EXPECT_EQ(0, key.blendWeights);
    EXPECT_EQ(0, key.blendIndexed); // DISABLE ignores the indices: world matrix 0

    f.state->renderState[D3DRS_VERTEXBLEND] = D3DVBF_0WEIGHTS;
    EXPECT_EQ(1, f.Key().blendIndexed);
}

TEST(FixedFunctionKey, VertexFormatHelpers)
{
    EXPECT_EQ(0, FfpStreamWeightCount(D3DFVF_XYZ));
    EXPECT_EQ(1, FfpStreamWeightCount(D3DFVF_XYZB1));
    EXPECT_EQ(1, FfpStreamWeightCount(D3DFVF_XYZB2 | D3DFVF_LASTBETA_UBYTE4));
    EXPECT_EQ(4, FfpStreamWeightCount(D3DFVF_XYZB5 | D3DFVF_LASTBETA_UBYTE4));
    EXPECT_FALSE(FfpHasBlendIndices(D3DFVF_XYZB2));
    EXPECT_TRUE(FfpHasBlendIndices(D3DFVF_XYZB2 | D3DFVF_LASTBETA_UBYTE4));
    EXPECT_EQ(2, FfpTexCoordSize(D3DFVF_TEX2, 1));
    EXPECT_EQ(1, FfpTexCoordSize(D3DFVF_TEX2 | D3DFVF_TEXCOORDSIZE1(1), 1));
    EXPECT_EQ(3, FfpTexCoordSize(D3DFVF_TEXCOORDSIZE3(0), 0));
}

TEST(FixedFunctionCache, BuildsEachKeyOnceAndCountsHits)
{
    int builds = 0;
    FfpProgramCache cache([&](const FfpKey&) { return uint32_t(++builds); });
    StateFixture f;
    FfpKey first = f.Key();
    f.Stage(0, D3DTSS_COLOROP, D3DTOP_ADD);
    FfpKey second = f.Key();

    EXPECT_EQ(1u, cache.Find(first));
    EXPECT_EQ(2u, cache.Find(second));
    EXPECT_EQ(1u, cache.Find(first));
    EXPECT_EQ(1u, cache.Find(StateFixture().Key())); // an equal key from a fresh state
    EXPECT_EQ(2, builds);
    EXPECT_EQ(2u, cache.Size());
    EXPECT_EQ(2u, cache.Hits());
    EXPECT_EQ(2u, cache.Misses());
}

TEST(FixedFunctionCache, AFailedBuildIsNotRetried)
{
    int builds = 0;
    FfpProgramCache cache([&](const FfpKey&) {
        ++builds;
        return 0u;
    });
    FfpKey key = StateFixture().Key();
    EXPECT_EQ(0u, cache.Find(key));
    EXPECT_EQ(0u, cache.Find(key));
    EXPECT_EQ(1, builds);
}
