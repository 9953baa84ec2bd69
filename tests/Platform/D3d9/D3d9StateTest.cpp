#include "Platform/D3d9/D3d9.h"
#include "Platform/D3d9/D3d9State.h"

#include <gtest/gtest.h>

#include <memory>

// Enumeration numbers are stored in data files and engine tables; a typo here
// would silently change what a material means.
TEST(D3d9Types, NumbersMatchDirect3D)
{
    EXPECT_EQ(0x31545844u, (DWORD)D3DFMT_DXT1);
    EXPECT_EQ(894720068u, (DWORD)D3DFMT_DXT5);
    EXPECT_EQ(HRESULT(0x88760868u), D3DERR_DEVICELOST);
    EXPECT_EQ(HRESULT(0x8876017Cu), D3DERR_OUTOFVIDEOMEMORY);
    EXPECT_EQ(300, (int)D3DTS_WORLDMATRIX(44));
    EXPECT_EQ(0x10000u << 2, (DWORD)D3DFVF_TEXCOORDSIZE3(1));
    EXPECT_EQ(3u << 16, (DWORD)D3DFVF_TEXCOORDSIZE1(0));
    EXPECT_TRUE(FAILED(D3DERR_INVALIDCALL));
    EXPECT_TRUE(SUCCEEDED(D3DOK_NOAUTOGEN));
}

TEST(D3d9State, DefaultsAreDirect3DCreationState)
{
    auto state = std::make_unique<D3d9State>();
    D3d9StateSetDefaults(state.get(), 640, 480);

    EXPECT_EQ((DWORD)D3DCULL_CCW, state->renderState[D3DRS_CULLMODE]);
    EXPECT_EQ(0xFFFFFFFFu, state->renderState[D3DRS_TEXTUREFACTOR]);
    EXPECT_EQ(1.0f, D3d9StateFloat(state->renderState[D3DRS_FOGEND]));
    EXPECT_EQ((DWORD)D3DTOP_MODULATE, state->stageState[0][D3DTSS_COLOROP]);
    EXPECT_EQ((DWORD)D3DTOP_DISABLE, state->stageState[1][D3DTSS_COLOROP]);
    EXPECT_EQ(5u, state->stageState[5][D3DTSS_TEXCOORDINDEX]);
    EXPECT_EQ((DWORD)D3DTEXF_POINT, state->samplerState[7][D3DSAMP_MINFILTER]);
    EXPECT_EQ(1.0f, state->transform[D3DTS_WORLDMATRIX(255)]._44);
    EXPECT_EQ(0.0f, state->transform[D3DTS_VIEW]._12);
    EXPECT_EQ(480u, state->viewport.Height);
    EXPECT_EQ(1.0f, state->viewport.MaxZ);
    EXPECT_EQ(kD3d9DirtyAll, state->dirty);
}
