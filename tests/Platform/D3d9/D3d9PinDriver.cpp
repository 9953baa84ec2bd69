// Mesa's software rasteriser keeps a few allocations for the life of the
// process. SDL unloads the GL driver when the last GL window goes, after which
// the leak checker can no longer name the module and so cannot be told to
// ignore it (lsan.supp). Keeping SDL's video and GL library loaded for the
// whole run keeps the driver's name for the report.
#include <SDL.h>

#include <gtest/gtest.h>

namespace {

class KeepGlLoaded : public ::testing::Environment {
public:
    void SetUp() override
    {
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) == 0)
            SDL_GL_LoadLibrary(nullptr);
    }
};

const ::testing::Environment* const s_keepGlLoaded = ::testing::AddGlobalTestEnvironment(new KeepGlLoaded);

}  // namespace
