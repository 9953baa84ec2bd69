// For test programs that create GL devices: Mesa's software rasteriser keeps a
// few allocations for the life of the process, and once SDL unloads the GL
// driver (with the last GL window) the leak checker can no longer name the
// module that tests/Platform/D3d9/lsan.supp tells it to ignore. Keeping SDL's
// video and GL library loaded for the whole run keeps the name. Include this
// header in exactly one source file of the test program.
#pragma once

#include <SDL.h>

#include <gtest/gtest.h>

namespace {

class CKeepGlLoaded : public ::testing::Environment {
public:
    void SetUp() override
    {
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) == 0)
            SDL_GL_LoadLibrary(nullptr);
    }
};

const ::testing::Environment* const s_keepGlLoaded = ::testing::AddGlobalTestEnvironment(new CKeepGlLoaded);

} // namespace
