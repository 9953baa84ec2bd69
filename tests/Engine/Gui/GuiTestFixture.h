// The GUI as the game runs it, headless: the device window of the recording
// device at 1280 by 1024 (one 2D-view unit per client pixel), the real
// keyboard and mouse hooked into it, a GUI manager with the current set
// "main", a frame timer whose delta the test drives, and a dispatcher client
// that records every control event as {sender category, sender name, code}.
//
// Input goes to the device window as window messages; Frame then runs the
// manager's update and one dispatch pass, as a frame of the game does.
#pragma once

#include "Engine/Core/Common/GeSimd.h"
#include "Engine/Core/Common/GeTimer.h"
#include "Engine/Gui/GeKeyboard.h"
#include "Engine/Gui/GeMouse.h"
#include "Engine/Gui/GuiControl.h"
#include "Engine/Gui/GuiControlSet.h"
#include "Engine/Gui/GuiManager.h"
#include "Engine/Gui/GuiValues.h"
#include "GuiDeviceFixture.h"
#include "Platform/Win32/WinCursor.h"

#include <memory>
#include <string>
#include <vector>

struct GuiRecord {
    uint32_t category;
    std::string name;
    uint32_t code;
};

// Registered with any sender and any type; keeps what it is given.
class CGuiRecorder : public CCiMessageClient {
public:
    void HandleMessage(CCiMessageClient* sender, uint32_t code) override
    {
        const uint32_t category = sender ? sender->GetTypeId() >> 16 : 0;
        std::string name;
        if (category == GUI_CONTROL_CATEGORY)
            name = static_cast<CGuiControl*>(sender)->name.c_str();
        log.push_back({category, name, code});
    }
    std::vector<GuiRecord> log;
};

class GuiTest : public GuiDeviceTest {
protected:
    void SetUp() override
    {
        if (!g_pGeSimd)
            GeSimdCreate(); // sprites write their vertices through the kernels
        GuiDeviceTest::SetUp();
        CreateAt(1280, 1024);
        m_previousTimer = g_geTimer;
        g_geTimer = &timer;
        timer.delta = 0.0f;
        keyboard.reset(new CGeKeyboard());
        mouse.reset(new CGeMouse());
        manager.reset(new CGuiManager());
        manager->dispatcher = &dispatcher;
        manager->mouse = mouse.get();
        manager->keyboard = keyboard.get();
        set = manager->CreateControlSet("main");
        recorder.reset(new CGuiRecorder());
    }

    void TearDown() override
    {
        recorder.reset();
        manager.reset();
        mouse.reset();
        keyboard.reset();
        ClipCursor(nullptr);
        g_geTimer = m_previousTimer;
        GuiDeviceTest::TearDown();
    }

    CGuiControl* Make(const char* name, float x, float y, float w, float h, CGuiControl* parent = nullptr,
                      uint32_t type = EGCT_CONTROL, CGuiControlSet* in = nullptr)
    {
        CGuiControl* c = (in ? in : set)->CreateControl(name, type);
        if (!c)
            return nullptr;
        if (parent)
            c->SetParent(parent);
        c->SetSize(w, h);
        c->SetPosition(x, y);
        return c;
    }

    // One frame: the GUI manager's pass, then the dispatch pass.
    void Frame(float delta = 0.01f)
    {
        timer.delta = delta;
        manager->Update();
        dispatcher.RunPass();
    }

    void MoveTo(int x, int y, float delta = 0.01f)
    {
        Send(WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
        Frame(delta);
    }
    void Press(int x, int y, float delta = 0.01f)
    {
        Send(WM_LBUTTONDOWN, 0, MAKELPARAM(x, y));
        Frame(delta);
    }
    void Release(int x, int y, float delta = 0.01f)
    {
        Send(WM_LBUTTONUP, 0, MAKELPARAM(x, y));
        Frame(delta);
    }
    void Click(int x, int y)
    {
        Press(x, y);
        Release(x, y);
    }
    // A key typed: down, the character, up, in one frame.
    void Type(WPARAM key, WPARAM character)
    {
        Send(WM_KEYDOWN, key, 0);
        Send(WM_CHAR, character, 0);
        Send(WM_KEYUP, key, 0);
        Frame();
    }

    // The codes the named control sent since the last call, and forgets them.
    std::vector<uint32_t> Events(const std::string& name)
    {
        std::vector<uint32_t> codes;
        std::vector<GuiRecord> rest;
        for (const GuiRecord& r : recorder->log) {
            if (r.category == GUI_CONTROL_CATEGORY && r.name == name)
                codes.push_back(r.code);
            else
                rest.push_back(r);
        }
        recorder->log = rest;
        return codes;
    }
    void Forget() { recorder->log.clear(); }

    CGeTimer timer{25.0f};
    std::unique_ptr<CGeKeyboard> keyboard;
    std::unique_ptr<CGeMouse> mouse;
    std::unique_ptr<CGuiManager> manager;
    CGuiControlSet* set = nullptr;
    std::unique_ptr<CGuiRecorder> recorder;

private:
    CGeTimer* m_previousTimer = nullptr;
};

using Codes = std::vector<uint32_t>;
