// The game-control script functions through the real script processor, over
// the game processor with recording stand-ins for the location, inventory,
// menu and mini-game: argument checks, the frame timer and game time, the end
// of the game, screen effects, loading pictures, location changes, saving,
// the settings' mini-games and a scene update run from inside a script call.
// Pictures are TGA files in a temporary working directory; the per-user
// folder is temporary too.
#include "Engine/Core/Common/GeCpuInfo.h"
#include "Engine/Core/Common/GeDeviceConfig.h"
#include "Engine/Core/Common/GeSimd.h"
#include "Engine/Core/Gm/GmTexture.h"
#include "Engine/Core/Gm/GmVisual2D.h"
#include "Source/GameClasses/QmGameConfig.h"
#include "Source/GameClasses/QmPictures.h"
#include "Source/GameClasses/QmScriptGameControl.h"
#include "tests/Engine/Core/Gm/ImageFixtures.h"
#include "tests/Source/GameClasses/GameProcessorFakes.h"
#include "tests/Support/TestTempDir.h"

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

// A mini-game that notes the script events it receives.
class EventArcade : public FakeArcade {
public:
    explicit EventArcade(const char* arcadeName) : FakeArcade(arcadeName) {}
    void OnScriptEvent(int32_t code) override { Note("arcade.event " + std::to_string(code)); }
};

// A message client that notes every message it receives; the message 102
// fires the script event "on_probe_message".
class NotingClient : public CCiMessageClient {
public:
    void HandleMessage(CCiMessageClient*, uint32_t code) override
    {
        Note("message " + std::to_string(code));
        if (code == 102)
            ScriptCallFunction("on_probe_message", nullptr, 0, true);
    }
};

// HasLoadingScreen(): whether the processor holds a loading screen now.
int HasLoadingScreen(lua_State* L)
{
    return ScriptPushBool(L, g_gameProcessor && g_gameProcessor->loadingScreen);
}

// A one-colour 32-bit TGA of the given size.
std::string Picture(uint32_t width, uint32_t height)
{
    imagefixture::TgaSpec spec;
    spec.width = width;
    spec.height = height;
    spec.pixels.assign((size_t)width * height * 4, 0x80);
    const imagefixture::Bytes bytes = imagefixture::MakeTga(spec);
    return std::string(bytes.begin(), bytes.end());
}

class ScriptGameControlTest : public GameProcessorTest {
protected:
    void SetUp() override
    {
        // The picture decoder copies rows through the SIMD kernels.
        if (!g_pGeCpuInfo)
            GeCpuProbeCreate();
        if (!g_pGeSimd)
            GeSimdCreate();
        m_previous = std::filesystem::current_path();
        std::filesystem::current_path(m_data.Path());
        setenv("XDG_DATA_HOME", m_home.Path().c_str(), 1);
        SetDefaultDeviceConfig(m_settings);
        g_videoSettings = &m_settings;
        CQmGameConfig::ResetToProgramStart();
        ScriptResetGameTime();
        GameProcessorTest::SetUp();
        lua_register(g_luaState, "HasLoadingScreen", HasLoadingScreen);
        m_data.Write("Textures/card.tga", Picture(64, 32));
        m_data.Write("Textures/other.tga", Picture(16, 16));
    }

    void TearDown() override
    {
        GameProcessorTest::TearDown();
        CQmGameConfig::ResetToProgramStart();
        g_videoSettings = nullptr;
        unsetenv("XDG_DATA_HOME");
        std::filesystem::current_path(m_previous);
    }

    // The values a script call returns, as text ("nil" for nil).
    std::vector<std::string> Results(const std::string& call)
    {
        Run("results = {n = 0} local function keep(...) results.n = select('#', ...) "
            "for i = 1, results.n do results[i] = tostring((select(i, ...))) end end keep(" +
            call + ")");
        std::vector<std::string> values;
        lua_State* L = g_luaState;
        lua_getfield(L, LUA_GLOBALSINDEX, "results");
        lua_getfield(L, -1, "n");
        const int count = (int)lua_tonumber(L, -1);
        lua_pop(L, 1);
        for (int i = 1; i <= count; ++i) {
            lua_rawgeti(L, -1, i);
            values.push_back(lua_tostring(L, -1));
            lua_pop(L, 1);
        }
        lua_pop(L, 1);
        return values;
    }

    int Count(const std::string& what) const
    {
        int count = 0;
        for (const std::string& entry : g_journal)
            count += entry == what;
        return count;
    }

    std::string ConfigPath() const { return m_home / "qasimar/config.cfg"; }

    CTestTempDir m_data;
    CTestTempDir m_home;
    std::filesystem::path m_previous;
    GeDeviceConfig m_settings;
};

// What a refused call must leave as it was.
struct Observed {
    float speed, maxDelta, walkLimit;
    uint8_t finish, enabled, shown;
    uint32_t effectState;
    QmPicture *loadingPicture, *loadingScreen, *effect;
    CQmBaseArcade* arcade;
    std::string nextLocation;
    uint32_t menuMask;
    int32_t minigames;
    size_t journal;
    bool inventoryOpen;

    bool operator==(const Observed& o) const
    {
        return speed == o.speed && maxDelta == o.maxDelta && walkLimit == o.walkLimit && finish == o.finish &&
               enabled == o.enabled && shown == o.shown && effectState == o.effectState &&
               loadingPicture == o.loadingPicture && loadingScreen == o.loadingScreen && effect == o.effect &&
               arcade == o.arcade && nextLocation == o.nextLocation && menuMask == o.menuMask &&
               minigames == o.minigames && journal == o.journal && inventoryOpen == o.inventoryOpen;
    }
};

Observed Observe(const CQmGameProcessor& p, const FakeMenu& menu, const FakeInventory& inventory)
{
    return {g_geTimer->speed,     g_geTimer->maxDelta,
            p.walkLengthLimit,    p.finishRequested,
            p.gameEnabled,        p.loadingShown,
            p.effectFader->state, p.loadingPicture,
            p.loadingScreen,      p.effectOverlay,
            p.currentArcade,      p.nextLocation.c_str(),
            menu.disabled,        CQmGameConfig::s_minigames,
            g_journal.size(),     inventory.IsOpen()};
}

} // namespace

// Wrong counts and types change nothing; a number stands for a text, a
// numeric string for a number.
TEST_F(ScriptGameControlTest, RefusedCallsChangeNothingAndNumericTextsAreAccepted)
{
    EnterLocation("harbour");
    auto* arcade = new EventArcade("darts");
    m_processor->arcades[CGeString("darts")] = arcade;
    m_processor->currentArcade = arcade;
    m_menu.disabled = 0xABC;
    CQmGameConfig::s_minigames = 4;
    const char* const refused[] = {
        "SysSetTimeScale()",
        "SysSetTimeScale('fast')",
        "SysSetTimeScale(1, 2)",
        "SysSetMaxTimeQuantum({})",
        "SysSetMaxTimeQuantum()",
        "GameEnable(0)",
        "GameEnable(nil)",
        "GameEnable('false')",
        "GameEnable()",
        "GameEnable(false, 1)",
        "GetDist3D(0, 0, 0, 3, 4)",
        "GetDist3D(0, 0, 0, 3, 4, 'z')",
        "Get2DScaleFactor(1)",
        "SendActiveArcadeEvent('x')",
        "SendActiveArcadeEvent()",
        "SendActiveArcadeEvent(1, 2)",
        "SetWalkerTrajectoryLength('far')",
        "SetWalkerTrajectoryLength()",
        "SetLoadingScreenImage()",
        "SetLoadingScreenImage({})",
        "SetLoadingScreenImage('Textures/card.tga', 1)",
        "StartScreenEffect('fading')",
        "StartScreenEffect('fading', 1, 0.5)",
        "StartScreenEffect('fading', 'x')",
        "StartScreenEffect({}, 1)",
        "StartScreenEffect('fading', 1, 0.5, 'x')",
        "StartScreenEffect('a', 1, 2, 3, 4)",
        "StartArcadeGame()",
        "StartArcadeGame('darts', 'p', 'q')",
        "StartArcadeGame({})",
        "GlobalCommand()",
        "GlobalCommand(':show_inventory', 1)",
        "GlobalCommand({})",
        "ChangeLocation('deck')",
        "ChangeLocation('deck', 'door', 'Textures/card.tga', 1)",
        "ChangeLocation({}, 'door')",
        "ChangeLocation('deck', nil)",
        "ActivateMinigame('x')",
        "ActivateMinigame()",
        "ActivateMinigame(1, 2)",
        "DisableMenuItems()",
        "DisableMenuItems(1, 2)",
    };
    for (const char* call : refused) {
        const Observed before = Observe(*m_processor, m_menu, m_inventory);
        Run(call);
        EXPECT_TRUE(before == Observe(*m_processor, m_menu, m_inventory)) << call;
    }
    EXPECT_FALSE(std::filesystem::exists(ConfigPath())) << "a refused ActivateMinigame writes no settings";
    EXPECT_TRUE(Results("GetDist3D(0, 0, 0, 3, 4)").empty());
    EXPECT_EQ((std::vector<std::string>{"0", "0"}), Results("Get2DScaleFactor(1)"));

    // The two functions with their own log line for a refused call.
    GeLogClearLast();
    Run("SendActiveArcadeEvent('x')");
    EXPECT_STREQ("SendActiveArcadeEvent : argument error!", GeLogLastMessage().c_str());
    EXPECT_EQ(2, GeLogLastLevel());
    Run("SetWalkerTrajectoryLength({})");
    EXPECT_STREQ("SetWalkerTrajectoryLength : argument error!", GeLogLastMessage().c_str());

    // Numeric texts and numbers given for texts.
    Run("SysSetTimeScale('0.5') SysSetMaxTimeQuantum('0.25') SetWalkerTrajectoryLength('12.5') "
        "SendActiveArcadeEvent('7.9') DisableMenuItems('6') ActivateMinigame('3')");
    EXPECT_FLOAT_EQ(0.5f, m_timer.speed);
    EXPECT_FLOAT_EQ(0.25f, m_timer.maxDelta);
    EXPECT_FLOAT_EQ(12.5f, m_processor->walkLengthLimit);
    EXPECT_TRUE(Journal("arcade.event 7"));
    EXPECT_EQ(6u, m_menu.disabled);
    EXPECT_EQ(4 | 8, CQmGameConfig::s_minigames);
    EXPECT_EQ((std::vector<std::string>{"5"}), Results("GetDist3D('0', 0, '0', 3, '4', 0)"));
    Run("ChangeLocation(12, 3)");
    EXPECT_STREQ("12", m_processor->nextLocation.c_str());
    EXPECT_STREQ("3", m_processor->entryPoint.c_str());
    EXPECT_TRUE(Journal("event location_load 12"));
}

TEST_F(ScriptGameControlTest, TimeScaleMaxQuantumAndGameTime)
{
    // The first reading is the counter's own time and becomes the base.
    m_clock.ticks = 12345;
    m_timer.Update();
    EXPECT_FLOAT_EQ(12.345f, std::stof(Results("SysGetTime()")[0]));
    m_clock.ticks += 400;
    m_timer.Update();
    EXPECT_FLOAT_EQ(0.4f, m_timer.delta);
    EXPECT_NEAR(12.745, std::stod(Results("SysGetTime('ignored', 1)")[0]), 1e-5);

    // At half speed the frames are half as long, and the whole span since the
    // first reading is reported at the speed in force now.
    Run("SysSetTimeScale(0.5)");
    m_clock.ticks += 200;
    m_timer.Update();
    EXPECT_FLOAT_EQ(0.1f, m_timer.delta);
    EXPECT_NEAR(12.345 + 0.6 * 0.5, std::stod(Results("SysGetTime()")[0]), 1e-5);

    // The largest step clamps a long frame.
    Run("SysSetTimeScale(1) SysSetMaxTimeQuantum(0.2)");
    m_clock.ticks += 3000;
    m_timer.Update();
    EXPECT_FLOAT_EQ(0.2f, m_timer.delta);
}

TEST_F(ScriptGameControlTest, FinishGameOpensTheMenuWithItsCodeAtTheNextUpdate)
{
    const struct {
        const char* call;
        uint32_t code;
    } cases[] = {
        {"FinishGame()", 0},    {"FinishGame('the end')", 0}, {"FinishGame(2.7)", 2},
        {"FinishGame('5')", 5}, {"FinishGame(3, 4)", 0},
    };
    int index = 0;
    for (const auto& c : cases) {
        EnterLocation(("harbour" + std::to_string(index++)).c_str());
        g_journal.clear();
        Run(c.call);
        EXPECT_EQ(1, m_processor->finishRequested) << c.call;
        EXPECT_FALSE(Journal("menu.open " + std::to_string(c.code))) << "not before the update: " << c.call;
        UpdateFor(0.1);
        EXPECT_TRUE(Journal("location.stop")) << c.call;
        EXPECT_TRUE(Journal("menu.open " + std::to_string(c.code))) << c.call;
        EXPECT_EQ(nullptr, m_locations.current) << c.call;
        EXPECT_EQ(0, m_processor->finishRequested) << c.call;
        m_processor->menuOpen = 0;
        m_processor->renderMask = QM_RENDER_ALL;
    }
}

TEST_F(ScriptGameControlTest, GameEnableStopsDrawingAndSteppingTheLocation)
{
    EnterLocation("harbour");
    Run("GameEnable(false)");
    UpdateFor(0.1);
    m_processor->Render(false);
    EXPECT_FALSE(Journal("location.update"));
    EXPECT_FALSE(Journal("location.render 119"));
    Run("GameEnable(1)"); // refused: not a boolean
    UpdateFor(0.1);
    EXPECT_FALSE(Journal("location.update"));
    Run("GameEnable(true)");
    UpdateFor(0.1);
    m_processor->Render(false);
    EXPECT_TRUE(Journal("location.update"));
    EXPECT_TRUE(Journal("location.render 119"));
}

TEST_F(ScriptGameControlTest, ScreenEffectsRunTheFaderOrThePictureEffect)
{
    const uint32_t white = 0xFFFFFFFF, black = 0xFF000000, grey = 0xFF808080;
    const struct {
        const char* call;
        uint32_t from, to;
        float seconds;
    } fades[] = {
        {"StartScreenEffect('fading', 2)", white, black, 2.0f},
        {"StartScreenEffect('fading', -2)", black, white, 2.0f},
        {"StartScreenEffect('lighting', 3)", black, white, 3.0f},
        {"StartScreenEffect('lighting', -3)", white, black, 3.0f},
        {"StartScreenEffect('fading', 1, 0.5, 0)", grey, black, 1.0f},
        {"StartScreenEffect('lighting', 1, 0.5, 0)", grey, black, 1.0f},
        {"StartScreenEffect('fading', 1, 2, -1)", white, black, 1.0f}, // grey levels are clamped
    };
    CGmColorFader& fader = *m_processor->effectFader;
    for (const auto& f : fades) {
        fader.Stop();
        Run(f.call);
        EXPECT_EQ(1u, fader.state) << f.call;
        const Vec4 a = fader.curve->GetKnotValue(0), b = fader.curve->GetKnotValue(1);
        EXPECT_EQ(f.from, ColorToArgb(a.x, a.y, a.z, a.w)) << f.call;
        EXPECT_EQ(f.to, ColorToArgb(b.x, b.y, b.z, b.w)) << f.call;
        EXPECT_FLOAT_EQ(f.seconds, fader.curve->GetTime(1)) << f.call;
        EXPECT_EQ(nullptr, m_processor->effectOverlay) << f.call;
    }

    // Any other name is a picture shown as a full-screen effect, held for
    // the duration.
    fader.Stop();
    Run("StartScreenEffect('Textures/card.tga', -3)");
    ASSERT_NE(nullptr, m_processor->effectOverlay);
    EXPECT_FLOAT_EQ(3.0f, m_processor->effectHoldTime);
    EXPECT_EQ(1, m_processor->effectInProgress);
    EXPECT_EQ(1u, fader.state);

    // "stop" stops the fader, then goes to the picture effect, which finds no
    // picture of that name and leaves the running picture alone.
    QmPicture* const running = m_processor->effectOverlay;
    Run("StartScreenEffect('stop', 1)");
    EXPECT_EQ(0u, fader.state);
    EXPECT_EQ(running, m_processor->effectOverlay);

    // A picture that does not exist changes nothing.
    Run("StartScreenEffect('Textures/none.tga', 1)");
    EXPECT_EQ(0u, fader.state);
    EXPECT_EQ(running, m_processor->effectOverlay);
}

TEST_F(ScriptGameControlTest, ChangeLocationWithAndWithoutALoadingPicture)
{
    Run("function global_on_location_load(n) Note('event location_load ' .. n .. ' ' .. "
        "tostring(HasLoadingScreen())) end");
    Run("ChangeLocation('deck', 'ladder')");
    EXPECT_TRUE(Journal("event location_load deck false"));
    EXPECT_STREQ("deck", m_processor->nextLocation.c_str());
    EXPECT_STREQ("ladder", m_processor->entryPoint.c_str());
    EXPECT_EQ(1, m_processor->loadingShown);

    // With a picture: the loading screen is in place before the request fires,
    // one frame of the picture's size centred on the view.
    g_journal.clear();
    Run("ChangeLocation('hold', '', 'Textures/card.tga')");
    EXPECT_TRUE(Journal("event location_load hold true"));
    const QmPicture* screen = m_processor->loadingScreen;
    ASSERT_NE(nullptr, screen);
    EXPECT_FLOAT_EQ(64.0f, screen->width);
    EXPECT_FLOAT_EQ(32.0f, screen->height);
    EXPECT_FLOAT_EQ(640.0f - 32.0f, screen->x);
    EXPECT_FLOAT_EQ(512.0f - 16.0f, screen->y);

    // A picture that cannot be loaded changes nothing at all.
    g_journal.clear();
    m_processor->inputLockTime = 0.0f;
    Run("ChangeLocation('cellar', '', 'Textures/missing.tga')");
    EXPECT_TRUE(g_journal.empty());
    EXPECT_STREQ("hold", m_processor->nextLocation.c_str());
    EXPECT_EQ(screen, m_processor->loadingScreen);
    EXPECT_EQ(0.0f, m_processor->inputLockTime);
}

// A change asked for before any location is current (from "global_init")
// still fades the loading screen in and is carried out.
TEST_F(ScriptGameControlTest, TheFirstChangeHappensWithoutACurrentLocation)
{
    m_locations.Adopt(new FakeLocation("deck"));
    Run("ChangeLocation('deck', '')");
    for (int frame = 0; frame < 10 && !m_processor->changePending; ++frame)
        UpdateFor(0.1);
    EXPECT_EQ(1, m_processor->changePending);
}

TEST_F(ScriptGameControlTest, SetLoadingScreenImageReplacesTheDefaultPicture)
{
    Run("SetLoadingScreenImage('Textures/card.tga')");
    QmPicture* first = m_processor->loadingPicture;
    ASSERT_NE(nullptr, first);
    EXPECT_FLOAT_EQ(640.0f - 32.0f, first->x);
    CGmTexture* firstTexture = first->texture;
    firstTexture->AddRef(); // to watch the picture let go of it

    Run("SetLoadingScreenImage('Textures/other.tga')");
    ASSERT_NE(nullptr, m_processor->loadingPicture);
    EXPECT_NE(first, m_processor->loadingPicture);
    EXPECT_FLOAT_EQ(16.0f, m_processor->loadingPicture->width);
    EXPECT_EQ(1, firstTexture->refCount) << "the first picture gave its texture back once";

    // A missing file keeps the picture there is.
    QmPicture* second = m_processor->loadingPicture;
    Run("SetLoadingScreenImage('Textures/missing.tga')");
    EXPECT_EQ(second, m_processor->loadingPicture);
    firstTexture->Release();
}

TEST_F(ScriptGameControlTest, ActivateMinigameUnlocksABitAndSavesTheSettings)
{
    Run("ActivateMinigame(33) ActivateMinigame(10.8)"); // 33 AND 31 is 1
    EXPECT_EQ(0x402, CQmGameConfig::s_minigames);

    // The file in the per-user folder holds the mask.
    ASSERT_TRUE(std::filesystem::exists(ConfigPath()));
    EXPECT_FALSE(std::filesystem::exists(ConfigPath() + ".tmp"));
    CQmGameConfig::s_minigames = 0;
    EXPECT_TRUE(CQmGameConfig::Load(ConfigPath().c_str()));
    EXPECT_EQ(0x402, CQmGameConfig::s_minigames);

    // Bit 31 (-1 AND 31) would make the mask negative, which the file reads
    // back as no mini-game at all: it is left alone and the file kept.
    const std::string before = CTestTempDir::Read(ConfigPath());
    Run("ActivateMinigame(-1) ActivateMinigame(63)");
    EXPECT_EQ(0x402, CQmGameConfig::s_minigames);
    EXPECT_EQ(before, CTestTempDir::Read(ConfigPath()));
}

TEST_F(ScriptGameControlTest, DisableMenuItemsTakesTheLow32BitsOfTheMask)
{
    const struct {
        const char* mask;
        uint32_t disabled;
    } cases[] = {
        {"5", 5}, {"5.9", 5}, {"4294967297", 1}, {"-1", 0xFFFFFFFF}, {"'many'", 0}, {"2^70", 0xFFFFFFFF}, {"0/0", 0},
    };
    for (const auto& c : cases) {
        m_menu.disabled = 0x1234;
        Run(std::string("DisableMenuItems(") + c.mask + ")");
        EXPECT_EQ(c.disabled, m_menu.disabled) << c.mask;
    }
    g_menu = nullptr;
    Run("DisableMenuItems(3)"); // no menu: nothing to do
}

TEST_F(ScriptGameControlTest, MiniGameCallsReachTheCurrentMiniGame)
{
    Run("SendActiveArcadeEvent(3)"); // none running: nothing
    EXPECT_TRUE(g_journal.empty());

    auto* darts = new EventArcade("darts");
    m_processor->arcades[CGeString("darts")] = darts;
    Run("StartArcadeGame('darts')");
    EXPECT_EQ(darts, m_processor->currentArcade);
    EXPECT_TRUE(Journal("arcade.start"));
    EXPECT_EQ(0, Count("arcade.parameter "));
    Run("SendActiveArcadeEvent(-2.5)");
    EXPECT_TRUE(Journal("arcade.event -2"));

    darts->Finish();
    g_journal.clear();
    Run("StartArcadeGame('darts', 'hard')");
    EXPECT_TRUE(Journal("arcade.parameter hard"));
    EXPECT_TRUE(Journal("arcade.start"));
}

TEST_F(ScriptGameControlTest, GlobalCommandWalkingLimitScaleAndAutoSave)
{
    Run("GlobalCommand(':show_inventory')");
    EXPECT_TRUE(m_inventory.open);
    Run("GlobalCommand(':blink_inventory')"); // open: no blink
    EXPECT_FALSE(Journal("inventory.blink"));
    Run("GlobalCommand(':hide_inventory') GlobalCommand(':blink_inventory') GlobalCommand(':unknown')");
    EXPECT_FALSE(m_inventory.open);
    EXPECT_TRUE(Journal("inventory.release"));
    EXPECT_TRUE(Journal("inventory.blink"));

    Run("SetWalkerTrajectoryLength(40)");
    EXPECT_FLOAT_EQ(40.0f, m_processor->walkLengthLimit);

    g_gm2dScale[0][0] = 2.0f;
    g_gm2dScale[0][1] = 0.5f;
    EXPECT_EQ((std::vector<std::string>{"2", "0.5"}), Results("Get2DScaleFactor()"));
    g_gm2dScale[0][0] = g_gm2dScale[0][1] = 1.0f;

    // The auto-save is slot 0, and only with a current location.
    const std::string slot = m_home / "qasimar/save/slot_0.s";
    Run("AutoSaveGame('ignored')");
    EXPECT_FALSE(std::filesystem::exists(slot));
    EnterLocation("harbour");
    Run("AutoSaveGame()");
    const std::string saved = CTestTempDir::Read(slot);
    ASSERT_GE(saved.size(), 200u);
    EXPECT_EQ(0, saved.compare(8, 8, std::string("harbour\0", 8)));
}

// "UpdateScene" from a delayed call, a timer and a message, each with others
// pending: every call, timer and message runs once, in order, and the outer
// frame keeps its own time for what follows.
TEST_F(ScriptGameControlTest, UpdateSceneFromInsideAnUpdateRunsNothingTwice)
{
    EnterLocation("harbour");
    Run("function d1() Note('d1') UpdateScene() end function d2() Note('d2') end "
        "function t1() Note('t1') UpdateScene() end function t2() Note('t2') end "
        "SysDelayedCall('d1', 0) SysDelayedCall('d2', 0) SysDelayedCall('d2', 5) "
        "SysSetTimer('t1', 0.03) SysSetTimer('t2', 0.03)");
    UpdateFor(0.1);
    std::vector<std::string> calls;
    for (const std::string& entry : g_journal)
        if (entry.size() == 2)
            calls.push_back(entry);
    EXPECT_EQ((std::vector<std::string>{"d1", "d2", "t1", "t2"}), calls);
    EXPECT_EQ(3, Count("location.update")) << "two nested updates and the outer one";
    EXPECT_FLOAT_EQ(0.1f, m_timer.delta) << "the outer frame's time is back";
    EXPECT_EQ(1u, CQmDelayedCalls::s_count) << "the later call waits";

    // The next frame: each timer once more, the waiting call still waits.
    g_journal.clear();
    UpdateFor(0.05);
    EXPECT_EQ(1, Count("t1"));
    EXPECT_EQ(1, Count("t2"));
    EXPECT_EQ(0, Count("d2"));
    ScriptRemoveAllTimers();

    // Messages: the one that runs the scene is delivered once, and so are the
    // ones around it, in posting order.
    NotingClient listener;
    CCiMessageClient poster;
    Run("function on_probe_message() Note('event') UpdateScene() end");
    m_dispatcher->deliveryEnabled = 1;
    for (uint32_t code : {101u, 102u, 103u})
        m_dispatcher->PostMessage(m_dispatcher->PendingQueue(), &poster, code);
    g_journal.clear();
    UpdateFor(0.1);
    std::vector<std::string> messages;
    for (const std::string& entry : g_journal)
        if (entry.rfind("message", 0) == 0 || entry == "event")
            messages.push_back(entry);
    EXPECT_EQ((std::vector<std::string>{"message 101", "message 102", "event", "message 103"}), messages);
}

// A control's event that runs the scene from inside the GUI's update: the
// nested update does not read the input devices again, and an "UpdateScene"
// inside the nested update is ignored.
TEST_F(ScriptGameControlTest, UpdateSceneFromTheGuiReadsTheInputOnce)
{
    EnterLocation("harbour");
    Run("function from_gui() Note('gui event') UpdateScene() end");
    m_keyboard.onUpdate = [] {
        Note("keyboard");
        ScriptCallFunction("from_gui", nullptr, 0, true);
    };
    UpdateFor(0.1);
    EXPECT_EQ(1, Count("keyboard"));
    EXPECT_EQ(1, Count("gui event"));
    EXPECT_EQ(2, Count("location.update"));
    m_keyboard.onUpdate = nullptr;

    // A delayed call that schedules itself again and runs the scene recurses
    // no further than the one nested update.
    Run("function again() Note('again') SysDelayedCall('again', 0) UpdateScene() end SysDelayedCall('again', 0)");
    g_journal.clear();
    UpdateFor(0.1);
    EXPECT_EQ(2, Count("again"));
    CQmDelayedCalls::Clear();
}
