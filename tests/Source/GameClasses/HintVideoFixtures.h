// Fixtures of the tests of the hint panel and the video player (with the TGA
// of one colour from tests/Support): a font of solid white 16 by 16 blocks for the characters " X"
// registered under a name, so that text shows as boxes whose place can be
// measured by pixels; the 2D pixel fixture over a scratch data root; and the
// background music on the mixer's manual backend.
#pragma once

#include "Engine/Core/Gm/GLibLoc/D3d/GmFormatTable.h"
#include "Engine/Core/Gm/GmTexture.h"
#include "Engine/Core/Gm/GuiFont.h"
#include "Engine/Core/Sound/SmSoundManager.h"
#include "Engine/Gui/GuiResources.h"
#include "Platform/DSound/DSoundTesting.h"
#include "Source/GameClasses/QmBgSoundManager.h"
#include "Source/GameClasses/QmGameProcessor.h"
#include "tests/Engine/Core/Gm/Screen2dFixture.h"
#include "tests/Support/SolidTga.h"
#include "tests/Support/TestTempDir.h"

#include <string>
#include <vector>

inline CGuiFont* RegisterBlockFont(const char* name)
{
    CGmTexture* texture = new CGmTexture();
    texture->Create(32, 16, GM_FMT_A8R8G8B8, false);
    uint32_t pitch = 0;
    uint8_t* bytes = texture->GetFrameImage(&pitch);
    for (uint32_t y = 0; y < 16; ++y)
        for (uint32_t x = 0; x < 32; ++x)
            reinterpret_cast<uint32_t*>(bytes + y * pitch)[x] = 0xFFFFFFFF;
    auto* font = new CGuiFont();
    font->Init(texture, 2, 2, u" X", nullptr, 0, 0);
    texture->Release();
    CGuiResources::fonts[CGeString(name)] = font;
    return font;
}

// Screen2dTest with a scratch data root; the GUI resources are freed after.
class DataScreen2dTest : public Screen2dTest {
protected:
    void SetUp() override
    {
        Screen2dTest::SetUp();
        g_dataRoot = (data.Path() + "/").c_str();
    }
    void TearDown() override
    {
        CGuiResources::FreeAll();
        g_dataRoot = "";
        Screen2dTest::TearDown();
    }
    CTestTempDir data;
};

// A sound manager on the mixer's manual backend (the test pulls the mixed
// frames, moving the play cursors) and the background music over it, for as
// long as the object lives.
class CManualMusic {
public:
    CManualMusic()
    {
        DSoundTestSetBackend(DSoundTestBackend::Manual);
        CSmSoundManager::streamThreadWanted = false;
        m_group = new CSmSoundGroup;
        g_soundManager = m_group;
        DSoundTestSetBackend(DSoundTestBackend::Audio);
        CQmBgSoundManager::Create();
    }
    ~CManualMusic()
    {
        CQmBgSoundManager::Destroy(g_bgSoundManager);
        g_soundManager = nullptr;
        delete m_group;
        CSmSoundManager::streamThreadWanted = true;
    }
    CManualMusic(const CManualMusic&) = delete;
    CManualMusic& operator=(const CManualMusic&) = delete;

    // Mixes milliseconds of output.
    static bool Pull(uint32_t milliseconds)
    {
        const uint32_t frames = milliseconds * 44100 / 1000;
        std::vector<int16_t> out(size_t(frames) * 2);
        return DSoundTestPull(CSmSoundManager::directSound, out.data(), frames);
    }

private:
    CSmSoundGroup* m_group = nullptr;
};
