// The mini-games that move a location's entities, under the game processor:
// a data tree in a scratch directory (layouts, meshes, tracks), a real
// location made current with a walk grid drawn as text, walking figures whose
// tracks are written as ".geat" files, and frames of 40 ms through the
// processor's own update (the location updates its entities, the current game
// its rules) followed by the dispatcher's delivery pass. Input reaches the
// game as the GUI sends it: a control's click from that control, a mouse
// release from the mouse.
#pragma once

#include "Engine/Core/Common/GeTextConvert.h"
#include "Engine/Core/Gm/GmResCollector.h"
#include "Engine/Gui/GuiControlSet.h"
#include "Engine/Gui/GuiTextControl.h"
#include "Source/GameClasses/QmAiMap.h"
#include "Source/GameClasses/QmAnimLink.h"
#include "Source/GameClasses/QmPropActor.h"
#include "Source/GameClasses/QmPropAnimController.h"
#include "Source/GameClasses/QmPropMotionController.h"
#include "Source/GameClasses/QmUnifiedCollector.h"
#include "tests/Source/GameClasses/FigureFixtures.h"
#include "tests/Source/Qasimar/ArcadeProcessorFixture.h"
#include "tests/Source/GameClasses/LocationWriter.h"
#include "tests/Source/GameClasses/ScriptEventRecorder.h"
#include "tests/Source/GameClasses/WalkGridFixtures.h"
#include "tests/Support/TestTempDir.h"

#include <memory>
#include <string>
#include <vector>

class PlacingArcadeTest : public ArcadeProcessorTest {
protected:
    // A track of a figure: frames at 10 a second, the root moving along +x
    // at speed units a second.
    struct Track {
        const char* name;
        uint32_t frames;
        float speed;
    };

    void SetUp() override
    {
        ArcadeProcessorTest::SetUp();
        location = new CQmLocation("yard");
        m_locations.Adopt(location);
        m_locations.SetCurrentLocation("yard");
    }

    // A layout file of controls: text controls for the names in texts,
    // buttons for the names in buttons, plain controls for the rest.
    void WriteLayout(const std::string& file, const std::vector<std::string>& texts,
                     const std::vector<std::string>& buttons, const std::vector<std::string>& plain)
    {
        std::string text = "<GUI><CONTROLSET>";
        auto add = [&](const std::vector<std::string>& names, const char* type) {
            for (const std::string& n : names)
                text += "<C Name='" + n + "' Type='" + type + "'/>";
        };
        add(texts, "EGCT_TEXTCONTROL");
        add(buttons, "EGCT_BUTTON");
        add(plain, "EGCT_CONTROL");
        m_data.Write(file, text + "</CONTROLSET></GUI>");
    }

    // The walk grid of the location, drawn as text, made the current one.
    CQmAiMap* Grid(const std::vector<std::string>& rows, const WalkGridOptions& options)
    {
        auto* grid = new CQmAiMap();
        EXPECT_TRUE(LoadPicture(*grid, rows, options));
        location->activeWalkGrid = location->walkGridCount;
        location->walkGrids[location->walkGridCount++] = grid;
        return grid;
    }

    // A figure of the location with an animation controller holding its
    // tracks, a motion controller walking at walkSpeed and an enabled actor.
    CQmEntity* Figure(const char* name, const Vec3& at, const std::vector<Track>& tracks, float walkSpeed)
    {
        CQmEntity* entity = figure::MakeEntity(name);
        location->AddNamedObject(entity->name, entity, false);
        entity->frame.SetPosition(at);
        entity->frame.UpdateWorldMatrix();
        auto* anim = new CQmPropAnimController(entity, 0);
        entity->SetProp(QM_PROP_ANIM_CONTROLLER, anim);
        anim->SetEnabled(true);
        for (const Track& track : tracks) {
            const std::string path = std::string("anims/") + track.name + ".geat";
            locwriter::WriteFile(m_data.Path(), path, figure::TrackBytes(track.frames, 10.0f, track.speed));
            CQmUnifiedCollector::LoadJointsAnimTrack(path.c_str(), reinterpret_cast<uintptr_t>(entity));
        }
        auto* motion = new CQmPropMotionController(entity);
        motion->velocity.x = walkSpeed;
        entity->SetProp(QM_PROP_MOTION_CONTROLLER, motion);
        auto* actor = new CQmPropActor(entity);
        entity->SetProp(QM_PROP_ACTOR, actor);
        actor->SetEnabled(true);
        return entity;
    }

    // A plain entity of the location.
    CQmEntity* Thing(const char* name, const Vec3& at)
    {
        auto* entity = new CQmEntity;
        entity->name = name;
        location->AddNamedObject(entity->name, entity, false);
        entity->frame.SetPosition(at);
        entity->frame.UpdateWorldMatrix();
        return entity;
    }

    // Each of these script events appends "event(arguments)" to the journal.
    void NoteEvents(const std::vector<std::string>& events)
    {
        for (const std::string& event : events)
            Run("function " + event +
                "(...) local t = '' for i = 1, select('#', ...) do "
                "t = t .. (i > 1 and ',' or '') .. tostring((select(i, ...))) end "
                "Note('" + event + "(' .. t .. ')') end");
    }
    int Count(const std::string& entry) const { return int(std::count(g_journal.begin(), g_journal.end(), entry)); }

    void Frame()
    {
        Advance(0.04);
        m_processor->Update();
        m_dispatcher->RunPass();
    }
    void Frames(int count)
    {
        for (int i = 0; i < count; ++i)
            Frame();
    }

    CGuiControl* Control(const char* name) const
    {
        return m_gui.currentSet ? m_gui.currentSet->FindControl(CGeString(name)) : nullptr;
    }
    // A click on the control, as the GUI reports it.
    void Click(const char* name)
    {
        CGuiControl* control = Control(name);
        ASSERT_NE(nullptr, control) << name;
        m_dispatcher->PostMessage(m_dispatcher->PendingQueue(), control, QM_MSG_LEFT_CLICK);
        m_dispatcher->RunPass();
    }
    void Mouse(uint32_t code)
    {
        m_dispatcher->PostMessage(m_dispatcher->PendingQueue(), &m_mouse, code);
        m_dispatcher->RunPass();
    }
    // What a text control shows.
    std::string Text(const char* name) const
    {
        CGuiControl* control = Control(name);
        if (!control || control->ControlType() != EGCT_TEXTCONTROL)
            return "";
        const CGeWString& text = static_cast<CGuiTextControl*>(control)->text;
        std::string ascii;
        for (uint32_t i = 0; i < text.length; ++i)
            ascii += static_cast<char>(text.data[i]);
        return ascii;
    }
    bool Visible(const char* name) const
    {
        CGuiControl* control = Control(name);
        return control && control->visible;
    }

    CQmLocation* location = nullptr;
};
