// The script functions of sounds and lights, driven from Lua against a
// current location whose entities carry a sound source and a light, with the
// mixer's manual backend underneath.
#include "Engine/Core/Sound/SmSoundManager.h"
#include "Platform/DSound/DSoundTesting.h"
#include "Source/GameClasses/QmBgSoundManager.h"
#include "Source/GameClasses/QmLocation.h"
#include "Source/GameClasses/QmPropLightSource.h"
#include "Source/GameClasses/QmPropSoundSource.h"
#include "tests/Engine/Core/Sound/SoundFixtures.h"
#include "tests/Source/GameClasses/LocationFixtures.h"
#include "tests/Source/GameClasses/SoundTestFixture.h"

#include <tinyxml.h>

#include <cctype>
#include <cmath>

namespace {

class ScriptSoundsTest : public LocationTest {
protected:
    void SetUp() override
    {
        LocationTest::SetUp();
        DSoundTestSetBackend(DSoundTestBackend::Manual);
        CSmSoundManager::streamThreadWanted = false;
        group = new CSmSoundGroup;
        g_soundManager = group;
        DSoundTestSetBackend(DSoundTestBackend::Audio);
        music = CQmBgSoundManager::Create();

        std::string pcm(44100 * 2, '\0'); // one second, mono: the slots play 3D
        for (size_t i = 0; i < pcm.size(); i += 2)
            pcm[i + 1] = 0x10;
        bell = sounds.Write("bell.wav", WaveFile(1, 44100, 16, pcm));
        gong = sounds.Write("gong.wav", WaveFile(1, 44100, 16, pcm));

        location = new CQmLocation("harbour");
        manager.Adopt(location);
        manager.current = location;
        auto* tower = new CQmEntity;
        tower->name = "tower";
        TiXmlDocument document;
        document.Parse(R"(<sound_source><slot name="top"><volume value="0.5"/></slot></sound_source>)");
        source = CQmPropSoundSource::CreateFromXML(tower, document.RootElement());
        location->AddNamedObject(tower->name, tower, false);

        auto* lamp = new CQmEntity;
        lamp->name = "lamp";
        document.Parse(R"(<light_source diffuse="1 1 1 1"/>)");
        light = CQmPropLightSource::CreateFromXML(lamp, document.RootElement());
        location->AddNamedObject(lamp->name, lamp, false);
        location->AddNamedObject(CGeString("rock"), new CQmEntity, false);
        GeLogClearLast();
    }

    void TearDown() override
    {
        CQmBgSoundManager::Destroy(g_bgSoundManager);
        LocationTest::TearDown();
        g_soundManager = nullptr;
        delete group;
        CSmSoundManager::streamThreadWanted = true;
    }

    // The slot's records after a script text.
    CGeArray<QmSoundPlayRecord*>& Records() { return source->FindSlot("top")->records; }

    static std::string Quote(const std::string& text) { return "'" + text + "'"; }

    CTestTempDir sounds;
    CSmSoundGroup* group = nullptr;
    CQmBgSoundManager* music = nullptr;
    CQmLocation* location = nullptr;
    CQmPropSoundSource* source = nullptr;
    CQmPropLightSource* light = nullptr;
    std::string bell, gong;
};

} // namespace

TEST_F(ScriptSoundsTest, StartSoundReadsItsLoopAsATruthValueAndAVolumeOnlyWhenItIsANumber)
{
    const struct {
        const char* args; // after entity, slot and file
        bool loop;
        float volume;
    } cases[] = {
        {"false", false, 1.0f}, {"nil, 0.5", false, 0.5f},      {"1", true, 1.0f},
        {"'x'", true, 1.0f},    {"false, 'loud'", false, 1.0f}, {"true, '0.25'", true, 0.25f},
    };
    for (const auto& c : cases) {
        Run("StartSound('tower', 'top', " + Quote(bell) + ", " + c.args + ")");
        ASSERT_EQ(1u, Records().Count()) << c.args;
        QmSoundPlayRecord* record = Records()[0];
        ASSERT_NE(nullptr, record->ref.sound) << c.args;
        EXPECT_EQ(c.loop, record->ref.sound->loop != 0) << c.args;
        EXPECT_FLOAT_EQ(c.volume, record->volume) << c.args;
        EXPECT_FLOAT_EQ(c.volume * 0.5f, record->ref.sound->params.volume) << c.args;
        EXPECT_TRUE(record->ref.sound->is3d) << c.args;
        EXPECT_EQ(reinterpret_cast<uintptr_t>(location), record->ref.sound->entry->ownerKey) << c.args;
        source->StopByName("top");
    }

    // Refused or looked up in vain: nothing plays, nothing is logged.
    const char* refused[] = {
        "StartSound('tower', 'top', " /* file */,     "StartSound('tower', 'top')",
        "StartSound('ghost', 'top', 'a.wav', true)",  "StartSound('rock', 'top', 'a.wav', true)",
        "StartSound('tower', 'side', 'a.wav', true)", "StartSound('tower', 'top', 'a.wav', true, 1, 2)",
        "StartSound({}, 'top', 'a.wav', true)"};
    for (const char* text : refused) {
        std::string script = text;
        if (script.back() == ' ')
            script += Quote(bell) + ")";
        Run(script);
        EXPECT_EQ(0u, Records().Count()) << script;
    }
    EXPECT_EQ(0, GeLogLastLevel());
}

TEST_F(ScriptSoundsTest, SoundSetVolumeAndStopSoundReachTheSlotsSounds)
{
    Run("StartSound('tower', 'top', " + Quote(bell) + ", true, 0.8)");
    Run("StartSound('tower', 'top', " + Quote(gong) + ", true)");
    CSmSound* first = Records()[0]->ref.sound;
    CSmSound* second = Records()[1]->ref.sound;

    Run("SoundSetVolume('tower', 'top', 0.25)");
    EXPECT_FLOAT_EQ(0.25f, source->FindSlot("top")->params.volume);
    EXPECT_FLOAT_EQ(0.2f, first->params.volume);
    EXPECT_FLOAT_EQ(0.25f, second->params.volume);
    Run("SoundSetVolume('tower', 'side', 1)");
    Run("SoundSetVolume('tower', 'top')");
    EXPECT_FLOAT_EQ(0.25f, source->FindSlot("top")->params.volume);

    // The file is compared exactly with the sound's (lower-cased) path.
    Run("StopSound('tower', 'top', " + Quote(gong) + ")");
    EXPECT_EQ(gong == Lower(gong), !second->IsPlaying());
    Run("StopSound('tower', 'top', " + Quote(Lower(gong)) + ")");
    EXPECT_TRUE(first->IsPlaying());
    EXPECT_FALSE(second->IsPlaying());
    EXPECT_EQ(2u, Records().Count());
    Run("StopSound('tower', 'top')");
    EXPECT_FALSE(first->IsPlaying());
    EXPECT_EQ(0u, Records().Count());
    EXPECT_EQ(0, GeLogLastLevel());
}

TEST_F(ScriptSoundsTest, BackgroundSoundFunctionsWantTrueBooleans)
{
    m_timer.delta = 0.25f; // the instant switch completes in the call
    Run("StartMainBgSound(" + Quote(bell) + ", 0.5, 0, 1)");
    EXPECT_EQ(nullptr, music->current);
    EXPECT_FALSE(music->mainStarted);
    Run("StartMainBgSound(" + Quote(bell) + ", 0.5, 0, true)");
    ASSERT_NE(nullptr, music->current);
    EXPECT_FLOAT_EQ(0.5f, music->mainFactor);
    EXPECT_TRUE(music->current->sound->loop);
    Run("StopMainBgSound('x')");
    EXPECT_NE(nullptr, music->current);
    Run("StopMainBgSound(0)");
    EXPECT_EQ(nullptr, music->current);

    Run("StartAmbBgSound(" + Quote(gong) + ", 0.5, 2, nil)");
    EXPECT_EQ(nullptr, music->ambient[0]);
    Run("StartAmbBgSound(" + Quote(gong) + ", 0.5, 2, false)");
    ASSERT_NE(nullptr, music->ambient[0]);
    CSmSound* ambient = music->ambient[0]->ref.sound;
    EXPECT_FALSE(ambient->loop);
    Run("StopAllAmbBgSounds(1)");
    EXPECT_TRUE(ambient->IsPlaying());
    Run("StopAllAmbBgSounds()");
    EXPECT_FALSE(ambient->IsPlaying());
}

TEST_F(ScriptSoundsTest, SetLightIntensityClampsAndIgnoresWhatItCannotFind)
{
    Run("SetLightIntensity('lamp', 9)");
    EXPECT_EQ(4.0f, light->intensity);
    Run("SetLightIntensity('lamp', '0.5')");
    EXPECT_EQ(0.5f, light->intensity);
    Run("SetLightIntensity('lamp', 'bright')");
    Run("SetLightIntensity('lamp')");
    Run("SetLightIntensity('ghost', 1)");
    Run("SetLightIntensity('rock', 1)");
    EXPECT_EQ(0.5f, light->intensity);
    EXPECT_EQ(0, GeLogLastLevel());

    manager.current = nullptr; // before any location: nothing happens
    Run("SetLightIntensity('lamp', 2)");
    Run("StartSound('tower', 'top', 'a.wav', true)");
    EXPECT_EQ(0.5f, light->intensity);
    manager.current = location;
}
