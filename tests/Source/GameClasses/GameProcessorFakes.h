// Recording stand-ins for the parts the game processor drives (location,
// inventory, menu, dialog system, puzzle manager, mini-game), and a fixture
// that builds a processor over them with a dispatcher, a script state and a
// frame timer moved by hand. Every call is appended to one journal, so that
// tests can check what happened and in which order.
#pragma once

#include "Engine/Core/Common/CiDispatcher.h"
#include "Engine/Core/Common/GeCpuInfo.h"
#include "Engine/Core/Common/GeSimd.h"
#include "Engine/Core/Gm/GmColorFader.h"
#include "Engine/Gui/GeKeyboard.h"
#include "Engine/Gui/GeMouse.h"
#include "Engine/Gui/GuiControl.h"
#include "Engine/Gui/GuiManager.h"
#include "Source/GameClasses/QmBaseArcade.h"
#include "Source/GameClasses/QmDelayedCalls.h"
#include "Source/GameClasses/QmDialogSystem.h"
#include "Source/GameClasses/QmGameVars.h"
#include "Source/GameClasses/QmInputCodes.h"
#include "Source/GameClasses/QmInventory.h"
#include "Source/GameClasses/QmLocationManager.h"
#include "Source/GameClasses/QmMenu.h"
#include "Source/GameClasses/QmPuzzleManager.h"
#include "Source/GameClasses/QmQuests.h"
#include "tests/Source/GameClasses/ScriptTestFixture.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

inline std::vector<std::string> g_journal;

inline void Note(const std::string& what)
{
    g_journal.push_back(what);
}

// True when the journal holds the entries in this order (others may stand
// between them).
inline bool InOrder(const std::vector<std::string>& expected)
{
    auto at = g_journal.begin();
    for (const std::string& entry : expected) {
        at = std::find(at, g_journal.end(), entry);
        if (at == g_journal.end())
            return false;
        ++at;
    }
    return true;
}

class FakeLocation : public CQmLocation {
public:
    explicit FakeLocation(const char* name) : CQmLocation(name) {}
    void Update(float) override { Note("location.update"); }
    void Render(uint32_t mask) override { Note("location.render " + std::to_string(mask)); }
    void Stop() override { Note("location.stop"); }
    void Restart() override { Note("location.restart"); }
};

class FakeInventory : public IQmInventory {
public:
    void Update(float) override { Note("inventory.update"); }
    void AddItem(CQmInventoryItem*, float, float, const CGeString&) override {}
    void AddItemDefault(CQmInventoryItem*, const CGeString&) override {}
    void Unselect() override
    {
        Note("inventory.unselect");
        selected = nullptr;
    }
    void RemoveItem(const char*) override {}
    void Clear() override { Note("inventory.clear"); }
    CQmInventoryItem* FindItem(const CGeString&) override { return nullptr; }
    void SetOpen(bool value) override { open = value ? 1 : 0; }
    bool CanHide() override { return true; }
    void SetActive(bool value) override { input = value; }
    void SetEnabled(bool value) override { active = value; }
    bool IsEnabled() override { return active; }
    void Draw() override { Note("inventory.render"); }
    void Blink() override { Note("inventory.blink"); }
    void StopItemFlight() override { Note("inventory.release"); }
    void RefreshCells() override {}
    uint32_t Save(uint8_t** out) override
    {
        *out = static_cast<uint8_t*>(malloc(3));
        memcpy(*out, "inv", 3);
        return 3;
    }
    void Load(const uint8_t* data, uint32_t size) override { loaded.assign((const char*)data, size); }
    // Holds an item: the selection points at a record of its own.
    void Hold(bool held) { selected = held ? &heldItem : nullptr; }

    bool input = true, active = true;
    std::string loaded = "none";
    CQmInventoryItem heldItem{CGeString("held"), CGeWString(), nullptr};
};

class FakeMenu : public IQmMenu {
public:
    void Update() override { Note("menu.update"); }
    void Render() override { Note("menu.render"); }
    void Open(uint32_t page) override { Note("menu.open " + std::to_string(page)); }
    void ShowLoadPage() override { Note("menu.load"); }
    void ShowSavePage() override { Note("menu.save"); }
    void ShowSettingsPage() override { Note("menu.settings"); }
    void SetDisabledItems(uint32_t mask) override { disabled = mask; }
    bool IsPageOpen() const override { return pageOpen; }

    uint32_t disabled = 0;
    bool pageOpen = false;
};

class FakeDialog : public CQmDialogSystem {
public:
    void Update() override { Note("dialog.update"); }
    void RestoreAvailableTopics() override { Note("dialog.reset"); }
};

class FakePuzzles : public CQmPuzzleManager {
public:
    void Update() override { Note("puzzles.update"); }
    void Reset() override { Note("puzzles.reset"); }
};

class FakeArcade : public CQmBaseArcade {
public:
    explicit FakeArcade(const char* arcadeName) : CQmBaseArcade(CGeString(arcadeName)) {}
    void StartGame() override
    {
        CQmBaseArcade::StartGame();
        Note("arcade.start");
    }
    void Update() override { Note("arcade.update"); }
    void SetParameter(const char* text) override { Note(std::string("arcade.parameter ") + text); }
    bool CanOpenMenu() override { return allowMenu; }
    void Pause() override
    {
        CQmBaseArcade::Pause();
        Note("arcade.pause");
    }
    void Resume() override
    {
        CQmBaseArcade::Resume();
        Note("arcade.resume");
    }
    void Render() override { Note("arcade.render"); }

    bool allowMenu = true;
};

// Note(text): appends a script's line to the journal.
inline int NoteProbe(lua_State* L)
{
    Note(ScriptArgText(L, 1));
    return 0;
}

const QmScriptFunctionEntry kProcessorProbes[] = {
    {"Note", ScriptEntryPoint<NoteProbe>},
    {nullptr, nullptr},
};

// A keyboard that only sends: the test sets its last key; its update, which
// the GUI manager's frame calls first, goes to the journal (or to a probe).
class FakeKeyboard : public CGeKeyboardState {
public:
    void Update() override
    {
        if (onUpdate)
            onUpdate();
        else
            Note("gui.update");
    }
    void (*onUpdate)() = nullptr;
};

class GameProcessorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The processor's hint panel makes a sprite when it is constructed,
        // which needs the kernel object that the program makes first.
        if (!g_pGeCpuInfo)
            GeCpuProbeCreate();
        if (!g_pGeSimd)
            GeSimdCreate();
        g_journal.clear();
        g_dispatcher = m_dispatcher.get();
        g_geTimer = &m_timer;
        g_locationManager = &m_locations;
        g_inventory = &m_inventory;
        g_menu = &m_menu;
        g_dialogSystem = &m_dialog;
        g_puzzleManager = &m_puzzles;
        m_gui.dispatcher = m_dispatcher.get();
        m_gui.keyboard = &m_keyboard;
        m_gui.mouse = &m_mouse;
        g_guiManager = &m_gui;
        g_keyboard = &m_keyboard;
        g_mouse = &m_mouse;
        SetExtraScriptFunctionList(kProcessorProbes);
        ScriptInit();
        m_processor = std::make_unique<CQmGameProcessor>();
        m_processor->mainScreenControl = &m_screen;
        g_gameProcessor = m_processor.get();
        // Script events land in the journal.
        Run("function global_on_location_load(n) Note('event location_load ' .. n) end");
    }

    void TearDown() override
    {
        m_processor.reset();
        g_gameProcessor = nullptr;
        ScriptShutdown();
        SetExtraScriptFunctionList();
        CQmDelayedCalls::Clear();
        CQmGameVars::Clear();
        CQmQuests::Clear();
        m_locations.Clear();
        g_locationManager = nullptr;
        g_inventory = nullptr;
        g_menu = nullptr;
        g_dialogSystem = nullptr;
        g_puzzleManager = nullptr;
        g_guiManager = nullptr;
        g_keyboard = nullptr;
        g_mouse = nullptr;
        g_quitRequested = 0;
        g_geTimer = nullptr;
        g_dispatcher = nullptr;
    }

    void Run(const std::string& text)
    {
        CGeString error;
        EXPECT_TRUE(ScriptRunString(text.c_str(), error)) << error.c_str();
    }

    // Makes a bare location the current one.
    FakeLocation* EnterLocation(const char* name)
    {
        auto* location = new FakeLocation(name);
        m_locations.Adopt(location);
        m_locations.SetCurrentLocation(name);
        return location;
    }

    // Moves the clock so that the next timer update reads this frame time.
    void Advance(double seconds) { m_clock.ticks += static_cast<int64_t>(seconds * 1000.0 + 0.5); }

    // One update of the given length.
    void UpdateFor(double seconds)
    {
        Advance(seconds);
        m_processor->Update();
    }

    void Key(uint32_t virtualKey)
    {
        m_keyboard.lastPressedKey = virtualKey;
        m_processor->HandleMessage(&m_keyboard, QM_MSG_KEY_DOWN);
    }

    bool Journal(const std::string& what) const
    {
        for (const std::string& entry : g_journal)
            if (entry == what)
                return true;
        return false;
    }

    std::unique_ptr<CCiDispatcher> m_dispatcher = std::make_unique<CCiDispatcher>();
    ScriptTestClock m_clock;
    CGeTimer m_timer{25.0f, &m_clock};
    CQmLocationManager m_locations;
    FakeInventory m_inventory;
    FakeMenu m_menu;
    FakeDialog m_dialog;
    FakePuzzles m_puzzles;
    FakeKeyboard m_keyboard;
    CGeMouseState m_mouse;
    CGuiControl m_screen{1280.0f, 1024.0f};
    CGuiManager m_gui;
    std::unique_ptr<CQmGameProcessor> m_processor;
};
