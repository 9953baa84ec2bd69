// Every program the generator can produce must compile and link on GL 3.3
// core: one state per operation, argument, coordinate source, fog and blend
// mode is pushed through the generator and the driver's compiler.
#include "Platform/D3d9/FixedFunctionShader.h"
#include "Platform/D3d9/FixedFunction.h"
#include "Platform/Win32/WinSdl.h"

#ifndef GL_GLEXT_PROTOTYPES
#define GL_GLEXT_PROTOTYPES 1
#endif
#include <GL/glcorearb.h>
#include <SDL.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

namespace {

class FixedFunctionShader : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (!WinEnsureSdlVideo())
            return;
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
        s_window = SDL_CreateWindow("ffp", 0, 0, 8, 8, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
        if (s_window)
            s_context = SDL_GL_CreateContext(s_window);
    }
    // The context lives to the end of the process, like the GL library that
    // the window layer keeps loaded.
    void SetUp() override
    {
        if (!s_context)
            GTEST_SKIP() << "no GL 3.3 context: " << SDL_GetError();
    }

    // Empty when both stages compile and link.
    static std::string Build(const FfpKey& key)
    {
        std::string error;
        GLuint program = FfpCompileProgram(key, &error);
        if (program)
            glDeleteProgram(program);
        return error;
    }

    static SDL_Window* s_window;
    static SDL_GLContext s_context;
};

SDL_Window* FixedFunctionShader::s_window = nullptr;
SDL_GLContext FixedFunctionShader::s_context = nullptr;

std::unique_ptr<D3d9State> LitState()
{
    auto state = std::make_unique<D3d9State>();
    D3d9StateSetDefaults(state.get(), 8, 8);
    state->fvf = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX2;
    state->renderState[D3DRS_SPECULARENABLE] = TRUE;
    for (int s = 0; s < kD3d9StageCount; ++s)
        state->textureFormat[s] = D3DFMT_A8R8G8B8;
    return state;
}

} // namespace

TEST_F(FixedFunctionShader, EveryStageOperationCompiles)
{
    for (DWORD op = D3DTOP_SELECTARG1; op <= D3DTOP_LERP; ++op) {
        auto state = LitState();
        for (int s = 0; s < 3; ++s) {
            state->stageState[s][D3DTSS_COLOROP] = op;
            state->stageState[s][D3DTSS_ALPHAOP] = op;
            state->stageState[s][D3DTSS_COLORARG0] = D3DTA_TFACTOR | D3DTA_ALPHAREPLICATE;
            state->stageState[s][D3DTSS_COLORARG2] = D3DTA_CONSTANT | D3DTA_COMPLEMENT;
            state->stageState[s][D3DTSS_ALPHAARG2] = D3DTA_SPECULAR;
            state->stageState[s][D3DTSS_RESULTARG] = s == 1 ? D3DTA_TEMP : D3DTA_CURRENT;
        }
        state->stageState[2][D3DTSS_COLORARG1] = D3DTA_TEMP;
        EXPECT_EQ("", Build(FfpBuildKey(*state))) << "op " << op;
    }
}

TEST_F(FixedFunctionShader, EveryVertexPathCompiles)
{
    const std::function<void(D3d9State&)> variants[] = {
        [](D3d9State& s) { s.fvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1; },
        [](D3d9State& s) {
            s.fvf = D3DFVF_XYZRHW | D3DFVF_TEX1 | D3DFVF_TEXCOORDSIZE3(0);
            s.stageState[0][D3DTSS_TEXTURETRANSFORMFLAGS] = D3DTTFF_COUNT3 | D3DTTFF_PROJECTED;
        },
        [](D3d9State& s) { s.renderState[D3DRS_LIGHTING] = FALSE; },
        [](D3d9State& s) { s.fvf = D3DFVF_XYZ | D3DFVF_TEX1; },
        [](D3d9State& s) {
            s.fvf = D3DFVF_XYZB3 | D3DFVF_LASTBETA_UBYTE4 | D3DFVF_NORMAL | D3DFVF_TEX1;
            s.renderState[D3DRS_VERTEXBLEND] = D3DVBF_3WEIGHTS;
            s.renderState[D3DRS_INDEXEDVERTEXBLENDENABLE] = TRUE;
        },
        [](D3d9State& s) {
            s.fvf = D3DFVF_XYZB2 | D3DFVF_TEX1;
            s.renderState[D3DRS_VERTEXBLEND] = D3DVBF_1WEIGHTS;
            s.renderState[D3DRS_LIGHTING] = FALSE;
        },
        [](D3d9State& s) {
            s.stageState[0][D3DTSS_TEXCOORDINDEX] = D3DTSS_TCI_CAMERASPACEREFLECTIONVECTOR | 1;
            s.stageState[0][D3DTSS_TEXTURETRANSFORMFLAGS] = D3DTTFF_COUNT2;
        },
        [](D3d9State& s) { s.stageState[0][D3DTSS_TEXCOORDINDEX] = D3DTSS_TCI_CAMERASPACENORMAL; },
        [](D3d9State& s) {
            s.stageState[0][D3DTSS_TEXCOORDINDEX] = D3DTSS_TCI_CAMERASPACEPOSITION;
            s.stageState[0][D3DTSS_TEXTURETRANSFORMFLAGS] = D3DTTFF_COUNT4 | D3DTTFF_PROJECTED;
        },
        [](D3d9State& s) { s.stageState[0][D3DTSS_TEXCOORDINDEX] = D3DTSS_TCI_SPHEREMAP; },
        [](D3d9State& s) {
            s.fvf = D3DFVF_XYZ | D3DFVF_TEX1 | D3DFVF_TEXCOORDSIZE1(0);
            s.stageState[0][D3DTSS_TEXTURETRANSFORMFLAGS] = D3DTTFF_COUNT1;
        },
        [](D3d9State& s) {
            s.renderState[D3DRS_FOGENABLE] = TRUE;
            s.renderState[D3DRS_FOGVERTEXMODE] = D3DFOG_EXP2;
            s.renderState[D3DRS_RANGEFOGENABLE] = TRUE;
        },
        [](D3d9State& s) {
            s.renderState[D3DRS_FOGENABLE] = TRUE;
            s.renderState[D3DRS_FOGTABLEMODE] = D3DFOG_LINEAR;
            s.transform[D3DTS_PROJECTION]._34 = 1.0f;
        },
        [](D3d9State& s) {
            s.renderState[D3DRS_ALPHATESTENABLE] = TRUE;
            s.renderState[D3DRS_ALPHAFUNC] = D3DCMP_NOTEQUAL;
            s.renderState[D3DRS_SHADEMODE] = D3DSHADE_FLAT;
        },
        [](D3d9State& s) {
            s.stageState[0][D3DTSS_COLOROP] = D3DTOP_BUMPENVMAPLUMINANCE;
            s.stageState[1][D3DTSS_COLOROP] = D3DTOP_MODULATE;
            s.stageState[1][D3DTSS_TEXCOORDINDEX] = 1;
        },
        [](D3d9State& s) {
            s.stageState[0][D3DTSS_COLOROP] = D3DTOP_PREMODULATE;
            s.stageState[0][D3DTSS_ALPHAOP] = D3DTOP_PREMODULATE;
            s.stageState[1][D3DTSS_COLOROP] = D3DTOP_SELECTARG2;
            s.stageState[1][D3DTSS_ALPHAOP] = D3DTOP_SELECTARG2;
        },
    };
    int index = 0;
    for (const auto& variant : variants) {
        auto state = LitState();
        variant(*state);
        EXPECT_EQ("", Build(FfpBuildKey(*state))) << "variant " << index;
        ++index;
    }
}
