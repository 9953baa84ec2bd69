// The base of the mini-games ("arcades"): a game screen that takes over from
// the location for a while. Every mini-game is made once at start-up, lives
// until shutdown and is re-used for every play; the game processor keeps them
// by name and drives the current one through the virtual operations below.
//
// Contract:
// - Construction registers the game with the dispatcher for every message of
//   every sender (the message-client base does it); destruction purges the
//   game's pending messages and its rows.
// - The dispatcher's messages reach a game's OnMessage only while the game
//   takes messages: by default while it is active, current and not paused,
//   so a click on the in-game menu's buttons never plays the game beneath.
//   A game that plays without being active (the empty game) says when it
//   takes them itself.
// - Start does nothing while the game is active: a second start would set
//   everything up again (chain callbacks twice, objects leaked). The game's
//   own set-up is StartGame.
// - A game that cannot start (a required entity, control or picture is
//   missing) calls RefuseStart, which logs what is missing and finishes the
//   game at once; the processor then leaves no game current.
// - Finish ends the game: the base clears active, tells the processor with
//   code 1 sent directly, and returns to the location through
//   StartArcadeByName with the empty name.
// - The game's control set is named "_ctrlset_" + name; releasing it makes
//   the set that was current before current again, or the main set when that
//   one is gone meanwhile.
//
// The fixed item block of the original design and its two reserved
// operations are left out: nothing asks for them.
#pragma once

#include "Engine/Anim/JaAnimController.h"
#include "Engine/Core/Common/CiMessageClient.h"
#include "Engine/Core/Common/GeString.h"

#include <cstdint>

class CGuiControlSet;

class CQmBaseArcade : public CCiMessageClient, public CJaChainCallbackClient {
public:
    explicit CQmBaseArcade(const CGeString& arcadeName);
    ~CQmBaseArcade() override;

    // The dispatcher's entry: hands the message to OnMessage while the game
    // takes messages.
    void HandleMessage(CCiMessageClient* sender, uint32_t code) final;
    // StartGame, unless the game is active already.
    void Start();
    // Ends the game and returns to the location.
    virtual void Finish();
    // Once a frame while current.
    virtual void Update() {}
    // The script's second argument, handed over before Start.
    virtual void SetParameter(const char*) {}
    // The saved state as a block allocated with malloc (the writer frees it)
    // and its size; none by default.
    virtual uint32_t SaveState(uint8_t** out);
    virtual void LoadState(const uint8_t*, uint32_t) {}
    // After Render while the debug drawing ("show_aux_geom") is on.
    virtual void RenderDebug() {}
    // Asked when the player presses Escape during the game.
    virtual bool CanOpenMenu() { return true; }
    // From the script function "SendActiveArcadeEvent".
    virtual void OnScriptEvent(int32_t) {}
    // Once a frame while current, after the location.
    virtual void Render() {}
    // Around the in-game menu opened over the game.
    virtual void Pause() { paused = 1; }
    virtual void Resume() { paused = 0; }
    // Track events of the animation controllers the game registered with.
    void Callback(CJaSeqPlayer*, uint32_t, int32_t) override {}

    // Creates the own set once (keeping the current set to go back to),
    // loads the layout (data root + guiFile) into it and makes it current.
    // Null when the set could not be created.
    CGuiControlSet* CreateControlSet(const char* guiFile);
    void ReleaseControlSet();
    // The game processor's current game is this one.
    bool IsCurrent() const;

    CGeString name;
    uint8_t active = 0;
    uint8_t paused = 0;
    CGuiControlSet* controlSet = nullptr;
    CGuiControlSet* previousControlSet = nullptr;

protected:
    // The game's own start. Base: sets active.
    virtual void StartGame() { active = 1; }
    virtual bool TakesMessages() const;
    virtual void OnMessage(CCiMessageClient*, uint32_t) {}
    // Logs (level 2) that what the game needs is missing and finishes it.
    void RefuseStart(const char* missing);
};
