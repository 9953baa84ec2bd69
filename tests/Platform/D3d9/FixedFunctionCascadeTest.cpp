// The texture-stage cascade through the device: a 1 x 1 texture T, a vertex
// diffuse colour D and the texture factor F, combined by every operation and
// read back from the render target. Expected values are Direct3D's formulas
// worked out by hand (8-bit, one step of tolerance).
#include "tests/Platform/D3d9/FixedFunctionTestDevice.h"

using namespace ffptest;

namespace {

constexpr D3DCOLOR kDiffuse = 0xCC669933; // A 204, R 102, G 153, B 51
constexpr D3DCOLOR kTexel = 0x80CC3399;   // A 128, R 204, G 51, B 153

struct CascadeCase {
    const char* name;
    std::function<void(IDirect3DDevice9*)> setup;
    int r, g, b;
    int a; // -1: not checked
};

class FixedFunctionCascade : public Device {
protected:
    D3DCOLOR Run(const CascadeCase& c, bool bindTexture = true)
    {
        Baseline();
        if (bindTexture)
            dev->SetTexture(0, Texture(1, 1, &kTexel));
        c.setup(dev);
        Clear();
        DrawRhwQuad(kDiffuse);
        return Pixel(3, 4);
    }

    template <size_t N>
    void Expect(const CascadeCase (&cases)[N], bool bindTexture = true)
    {
        for (const CascadeCase& c : cases) {
            D3DCOLOR pixel = Run(c, bindTexture);
            EXPECT_TRUE(RgbNear(pixel, c.r, c.g, c.b)) << c.name;
            if (c.a >= 0) {
                EXPECT_TRUE(Near(c.a, A(pixel))) << c.name << " alpha";
            }
        }
    }
};

void ColorOp(IDirect3DDevice9* d, D3DTEXTUREOP op)
{
    d->SetTextureStageState(0, D3DTSS_COLOROP, op);
}

} // namespace

TEST_P(FixedFunctionCascade, EveryColourOperation)
{
    const CascadeCase cases[] = {
        {"SELECTARG1", [](IDirect3DDevice9* d) { ColorOp(d, D3DTOP_SELECTARG1); }, 204, 51, 153, 128},
        {"SELECTARG2", [](IDirect3DDevice9* d) { ColorOp(d, D3DTOP_SELECTARG2); }, 102, 153, 51, 128},
        {"MODULATE", [](IDirect3DDevice9* d) { ColorOp(d, D3DTOP_MODULATE); }, 82, 31, 31, -1},
        {"MODULATE2X", [](IDirect3DDevice9* d) { ColorOp(d, D3DTOP_MODULATE2X); }, 163, 61, 61, -1},
        {"MODULATE4X", [](IDirect3DDevice9* d) { ColorOp(d, D3DTOP_MODULATE4X); }, 255, 122, 122, -1},
        {"ADD", [](IDirect3DDevice9* d) { ColorOp(d, D3DTOP_ADD); }, 255, 204, 204, -1},
        {"SUBTRACT", [](IDirect3DDevice9* d) { ColorOp(d, D3DTOP_SUBTRACT); }, 102, 0, 102, -1},
        {"ADDSMOOTH", [](IDirect3DDevice9* d) { ColorOp(d, D3DTOP_ADDSMOOTH); }, 224, 173, 173, -1},
        // Exact values 178.5 and 76.5: either neighbour is right.
        {"ADDSIGNED", [](IDirect3DDevice9* d) { ColorOp(d, D3DTOP_ADDSIGNED); }, 178, 77, 77, -1},
        {"ADDSIGNED2X", [](IDirect3DDevice9* d) { ColorOp(d, D3DTOP_ADDSIGNED2X); }, 255, 153, 153, -1},
        {"BLENDDIFFUSEALPHA", [](IDirect3DDevice9* d) { ColorOp(d, D3DTOP_BLENDDIFFUSEALPHA); }, 184, 71, 133, -1},
        {"BLENDTEXTUREALPHA", [](IDirect3DDevice9* d) { ColorOp(d, D3DTOP_BLENDTEXTUREALPHA); }, 153, 102, 102, -1},
        {"BLENDFACTORALPHA", [](IDirect3DDevice9* d) { ColorOp(d, D3DTOP_BLENDFACTORALPHA); }, 128, 127, 77, -1},
        {"BLENDTEXTUREALPHAPM", [](IDirect3DDevice9* d) { ColorOp(d, D3DTOP_BLENDTEXTUREALPHAPM); }, 255, 127, 178, -1},
        // In stage 0 CURRENT is the diffuse colour.
        {"BLENDCURRENTALPHA", [](IDirect3DDevice9* d) { ColorOp(d, D3DTOP_BLENDCURRENTALPHA); }, 184, 71, 133, -1},
        {"MODULATEALPHA_ADDCOLOR", [](IDirect3DDevice9* d) { ColorOp(d, D3DTOP_MODULATEALPHA_ADDCOLOR); }, 255, 128,
         179, -1},
        {"MODULATECOLOR_ADDALPHA", [](IDirect3DDevice9* d) { ColorOp(d, D3DTOP_MODULATECOLOR_ADDALPHA); }, 210, 159,
         159, -1},
        {"MODULATEINVALPHA_ADDCOLOR", [](IDirect3DDevice9* d) { ColorOp(d, D3DTOP_MODULATEINVALPHA_ADDCOLOR); }, 255,
         127, 178, -1},
        {"MODULATEINVCOLOR_ADDALPHA", [](IDirect3DDevice9* d) { ColorOp(d, D3DTOP_MODULATEINVCOLOR_ADDALPHA); }, 148,
         250, 148, -1},
        {"MULTIPLYADD with ARG0 TFACTOR",
         [](IDirect3DDevice9* d) {
             ColorOp(d, D3DTOP_MULTIPLYADD);
             d->SetTextureStageState(0, D3DTSS_COLORARG0, D3DTA_TFACTOR);
         },
         255, 159, 31, -1},
        {"LERP by TFACTOR",
         [](IDirect3DDevice9* d) {
             ColorOp(d, D3DTOP_LERP);
             d->SetTextureStageState(0, D3DTSS_COLORARG0, D3DTA_TFACTOR);
         },
         204, 102, 51, -1},
        // Signed dot product, scaled by 4, written to every channel.
        {"DOTPRODUCT3",
         [](IDirect3DDevice9* d) {
             ColorOp(d, D3DTOP_DOTPRODUCT3);
             d->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_TEXTURE);
         },
         194, 194, 194, 194},
    };
    Expect(cases);
}

TEST_P(FixedFunctionCascade, ModifiersAlphaAndStageRules)
{
    const CascadeCase cases[] = {
        {"COMPLEMENT",
         [](IDirect3DDevice9* d) {
             ColorOp(d, D3DTOP_SELECTARG1);
             d->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE | D3DTA_COMPLEMENT);
         },
         51, 204, 102, -1},
        {"ALPHAREPLICATE",
         [](IDirect3DDevice9* d) {
             ColorOp(d, D3DTOP_SELECTARG1);
             d->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE | D3DTA_ALPHAREPLICATE);
         },
         128, 128, 128, -1},
        {"ALPHAOP MODULATE",
         [](IDirect3DDevice9* d) {
             d->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
             d->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
         },
         82, 31, 31, 102},
        {"COLOROP DISABLE in stage 0 gives the diffuse colour", [](IDirect3DDevice9* d) { ColorOp(d, D3DTOP_DISABLE); },
         102, 153, 51, 204},
        {"a stage after DISABLE has no effect",
         [](IDirect3DDevice9* d) {
             ColorOp(d, D3DTOP_SELECTARG1);
             d->SetTextureStageState(2, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
             d->SetTextureStageState(2, D3DTSS_COLORARG1, D3DTA_TFACTOR);
         },
         204, 51, 153, -1},
        {"two stages: TFACTOR added to the first stage's result",
         [](IDirect3DDevice9* d) {
             ColorOp(d, D3DTOP_SELECTARG1);
             d->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_ADD);
             d->SetTextureStageState(1, D3DTSS_COLORARG1, D3DTA_TFACTOR);
             d->SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
             d->SetTextureStageState(1, D3DTSS_ALPHAARG1, D3DTA_CURRENT);
         },
         255, 179, 153, 128},
        {"RESULTARG TEMP keeps CURRENT for the next stage",
         [](IDirect3DDevice9* d) {
             ColorOp(d, D3DTOP_SELECTARG1);
             d->SetTextureStageState(0, D3DTSS_RESULTARG, D3DTA_TEMP);
             d->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_ADD);
             d->SetTextureStageState(1, D3DTSS_COLORARG1, D3DTA_CURRENT); // still the diffuse colour
             d->SetTextureStageState(1, D3DTSS_COLORARG2, D3DTA_TEMP);    // the texture
             d->SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
             d->SetTextureStageState(1, D3DTSS_ALPHAARG1, D3DTA_TEMP);
         },
         255, 204, 204, 128},
        // Engine 2D mode 1: alpha is passed through when ALPHAOP is DISABLE.
        {"2D mode 1 with a texture",
         [](IDirect3DDevice9* d) {
             ColorOp(d, D3DTOP_MODULATE);
             d->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
             d->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_TEXTURE);
             d->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
         },
         82, 31, 31, 204},
    };
    Expect(cases);
}

// A stage whose operation reads a texture that is not bound is not processed:
// the output is the colour reaching it (the vertex diffuse colour here).
TEST_P(FixedFunctionCascade, StageWithoutItsTextureIsSkipped)
{
    const CascadeCase cases[] = {
        {"default MODULATE of TEXTURE", [](IDirect3DDevice9*) {}, 102, 153, 51, 204},
        {"2D mode 1 without a texture",
         [](IDirect3DDevice9* d) {
             d->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
             d->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_TEXTURE);
             d->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
         },
         102, 153, 51, 204},
    };
    Expect(cases, false);
}

// BUMPENVMAP moves the next stage's coordinates by its (du, dv) through the
// bump matrix; it has no colour of its own, so CURRENT passes it by.
TEST_P(FixedFunctionCascade, BumpMappingOffsetsTheNextStage)
{
    const int8_t offset[2] = {64, 0}; // du = 0.5
    IDirect3DTexture9* bump = MakeTexture(1, 1, D3DFMT_V8U8, offset, 2);
    const D3DCOLOR texels[2] = {0xFF000000, 0xFFFFFFFF};
    for (float m00 : {0.0f, 1.0f}) {
        Baseline();
        dev->SetTexture(0, bump);
        dev->SetTexture(1, Texture(2, 1, texels));
        dev->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_BUMPENVMAP);
        dev->SetTextureStageState(0, D3DTSS_BUMPENVMAT00, D3d9FloatBits(m00));
        dev->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        dev->SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
        dev->SetTextureStageState(1, D3DTSS_ALPHAARG1, D3DTA_CURRENT);
        dev->SetTextureStageState(1, D3DTSS_TEXCOORDINDEX, 0);
        dev->SetSamplerState(1, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
        Clear();
        DrawRhwQuad(kDiffuse, 0.2f, 0.5f);
        D3DCOLOR pixel = Pixel(2, 2);
        EXPECT_EQ(m00 == 0.0f ? 0 : 255, R(pixel)) << "M00 " << m00; // u 0.2, or 0.2 + 0.5
        EXPECT_EQ(204, A(pixel)) << "CURRENT after the bump stage is the diffuse colour";
    }
    dev->SetTexture(0, nullptr);
    bump->Release();
}

// PREMODULATE passes ARG1 on, and the next stage reads CURRENT multiplied by
// its own texture.
TEST_P(FixedFunctionCascade, PremodulateMultipliesIntoTheNextStage)
{
    Baseline();
    dev->SetTexture(1, Texture(1, 1, &kTexel));
    dev->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_PREMODULATE);
    dev->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
    dev->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
    dev->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    dev->SetTextureStageState(1, D3DTSS_COLORARG1, D3DTA_CURRENT);
    dev->SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    dev->SetTextureStageState(1, D3DTSS_ALPHAARG1, D3DTA_CURRENT);
    dev->SetTextureStageState(1, D3DTSS_TEXCOORDINDEX, 0);
    Clear();
    DrawRhwQuad(kDiffuse);
    D3DCOLOR pixel = Pixel(6, 6);
    EXPECT_TRUE(RgbNear(pixel, 82, 31, 31));
    EXPECT_TRUE(Near(204, A(pixel))); // the alpha operation was not PREMODULATE
}

TEST_P(FixedFunctionCascade, SpecularIsAddedOnlyWhenEnabledAndPresent)
{
    struct SpecularCase {
        const char* name;
        BOOL enable;
        bool inVertex;
        int r, g, b;
    } cases[] = {
        {"enabled", TRUE, true, 134, 217, 147},
        {"disabled", FALSE, true, 102, 153, 51},
        {"enabled, vertex without specular", TRUE, false, 102, 153, 51},
    };
    for (const SpecularCase& c : cases) {
        Baseline();
        dev->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        dev->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
        dev->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
        dev->SetRenderState(D3DRS_SPECULARENABLE, c.enable);
        Clear();
        if (c.inVertex)
            DrawRhwQuadWithSpecular(kDiffuse, 0x00204060);
        else
            DrawRhwQuad(kDiffuse);
        D3DCOLOR pixel = Pixel(5, 2);
        EXPECT_TRUE(RgbNear(pixel, c.r, c.g, c.b)) << c.name;
        EXPECT_TRUE(Near(204, A(pixel))) << c.name; // specular never touches alpha
    }
}

TEST_P(FixedFunctionCascade, AlphaTestComparesEightBitValues)
{
    struct AlphaCase {
        DWORD func, ref;
        D3DCOLOR diffuse;
        bool drawn;
    } cases[] = {
        {D3DCMP_GREATER, 0x80, 0x80FFFFFF, false},
        {D3DCMP_GREATER, 0x80, 0x81FFFFFF, true},
        {D3DCMP_GREATEREQUAL, 0, 0x00FFFFFF, true},
        {D3DCMP_EQUAL, 0x1C0, 0xC0FFFFFF, true}, // only the low byte of the reference counts
        {D3DCMP_NEVER, 0, 0xFFFFFFFF, false},
    };
    for (const AlphaCase& c : cases) {
        Baseline();
        dev->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        dev->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
        dev->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
        dev->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
        dev->SetRenderState(D3DRS_ALPHAFUNC, c.func);
        dev->SetRenderState(D3DRS_ALPHAREF, c.ref);
        Clear();
        DrawRhwQuad(c.diffuse);
        EXPECT_EQ(c.drawn, R(Pixel(1, 1)) == 255) << "func " << c.func << " ref " << c.ref;
    }
}

D3D9_FIXTURE_PATHS(FixedFunctionCascade);
