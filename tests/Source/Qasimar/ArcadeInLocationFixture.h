// The fixture of the mini-games that play on a location's figures: the real
// game processor over the processor fakes, a data root in a temporary
// directory, the main control set, the animation makers and a resource
// collector, a bare current location and frames of 40 ms that drive the
// current game, the figures' animation and the dispatcher, in that order.
// What a test player sees of a figure (its track) is read here too.
#pragma once

#include "Engine/Core/Gm/GmResCollector.h"
#include "Engine/Gui/GuiControlSet.h"
#include "Source/GameClasses/QmAnimLink.h"
#include "Source/GameClasses/QmGameVars.h"
#include "Source/GameClasses/QmInputCodes.h"
#include "Source/GameClasses/QmPropAnimController.h"
#include "Source/GameClasses/QmUnifiedCollector.h"
#include "tests/Source/GameClasses/FigureFixtures.h"
#include "tests/Source/Qasimar/ArcadeProcessorFixture.h"
#include "tests/Source/GameClasses/LocationWriter.h"
#include "tests/Support/TestTempDir.h"

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

class ArcadeInLocationTest : public ArcadeProcessorTest {
public:
    static constexpr double kFrameTime = 0.04;

protected:
    // A skinned figure in the location with an enabled animation controller.
    CQmEntity* AnimatedFigure(FakeLocation* location, const char* name)
    {
        CQmEntity* entity = figure::MakeEntity(name);
        location->AddNamedObject(entity->name, entity, false);
        auto* controller = new CQmPropAnimController(entity, 0);
        entity->SetProp(QM_PROP_ANIM_CONTROLLER, controller);
        controller->SetEnabled(true);
        return entity;
    }
    // Writes the track into the data root and gives it to the figure.
    void GiveTrack(CQmEntity* entity, const std::string& track, const animwrite::TrackSpec& spec)
    {
        locwriter::WriteFile(m_data.Path(), "anims/" + track + ".geat", animwrite::WriteGeat(spec));
        CQmUnifiedCollector::LoadJointsAnimTrack(("anims/" + track + ".geat").c_str(),
                                                 reinterpret_cast<uintptr_t>(entity));
    }

    // One frame: the game, the figures' animation, the messages.
    void Frame()
    {
        Advance(kFrameTime);
        m_timer.Update();
        if (m_processor->currentArcade)
            m_processor->currentArcade->Update();
        for (CQmEntity* entity : m_animated)
            entity->Update();
        m_dispatcher->RunPass();
    }
    void Frames(int count)
    {
        for (int i = 0; i < count; ++i)
            Frame();
    }
    void Press(uint32_t code)
    {
        m_dispatcher->PostMessage(m_dispatcher->PendingQueue(), &m_mouse, code);
        m_dispatcher->RunPass();
    }

    CJaAnimController* Controller(CQmEntity* entity) const
    {
        return entity->Prop<CQmPropAnimController>(QM_PROP_ANIM_CONTROLLER)->jointController;
    }
    CJaSeqPlayer* Player(CQmEntity* entity) const { return Controller(entity)->ChannelPlayer(0); }
    // The name of the track the figure plays on its first channel.
    std::string Playing(CQmEntity* entity) const
    {
        const CJaSeqPlayer* player = Player(entity);
        return player && player->sequence ? player->sequence->name.c_str() : "";
    }
    uint32_t Listeners(CQmEntity* entity) const { return Controller(entity)->clients.count; }

    // The ways out of a running game: those the processor gives (a new game,
    // a switch into the mini-game mode at another location, Escape in that
    // mode) and Finish called from outside.
    struct WayOut {
        const char* name;
        std::function<void()> leave;
    };
    std::vector<WayOut> WaysOut()
    {
        static const char* const kElsewhere = "elsewhere";
        // Both locations stay loaded: the game's figures live in the first.
        m_locations.cacheLimit = 8;
        if (!m_locations.locations.Find(CGeString(kElsewhere)))
            m_locations.Adopt(new FakeLocation(kElsewhere));
        return {
            {"new game", [this] { m_processor->StartNewGame(); }},
            {"mode switch", [this] { m_processor->SwitchMiniGameMode(kElsewhere); }},
            {"escape in mini-game mode",
             [this] {
                 CQmGameVars::Set("MiniGameMode", 1);
                 Key(QM_VK_ESCAPE);
             }},
            {"from outside", [this] { m_processor->currentArcade->Finish(); }},
        };
    }
    // Back in the location, ready for the next start: the variables, the
    // menu and the input lock the way out left behind are cleared.
    void BackIn(const char* location)
    {
        CQmGameVars::Clear();
        if (m_processor->menuOpen)
            m_processor->CloseMenu();
        if (!m_locations.current || std::string(m_locations.current->name.c_str()) != location)
            m_locations.SetCurrentLocation(location);
        m_processor->inputLockTime = 0.0f;
        m_dispatcher->deliveryEnabled = 1;
        g_journal.clear();
    }
    int Count(const char* entry) const { return int(std::count(g_journal.begin(), g_journal.end(), entry)); }

    std::vector<CQmEntity*> m_animated; // updated by Frame, in this order
};
