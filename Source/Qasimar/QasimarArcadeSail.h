// The sail: a tiling puzzle on a triangular grid. The player takes pieces
// from the tray at the right with the left button, turns a held piece by 60
// degrees with the right button, drops it where it lies wholly on uncovered
// triangles of the sail, and puts it back by clicking on the tray. When no
// triangle is left the game ends with "loc11_arcade_end(true)". The
// "restart" control fades the screen out, sets everything up again and fades
// it in.
//
// Contract:
// - The layout "gui/arcades/sail.xml" must hold the custom controls
//   "sail_bg" (the sail), "stakan_bg" (the tray) and "sail_cursor_bg" (the
//   held piece), all at the screen's origin, and the control "restart";
//   without any of them the start is refused (logged) and the game finishes
//   at once. "banner" is optional.
// - The first left click only hides the banner. During the restart's fades
//   every input is ignored; the fades end through the processor's fade-end
//   message.
// - Finish, from the win or from outside (the menu, a new game), deletes a
//   held piece, stops a restart half done and reports whether the sail is
//   complete; "loc11_arcade_end" is the only event with an argument.
#pragma once

#include "Source/GameClasses/QmBaseArcade.h"
#include "Source/Qasimar/SailBoard.h"

class CGuiControl;
class CGuiCustom;

class CQasimarArcade_Sail : public CQmBaseArcade {
public:
    enum RestartPhase : uint32_t { kNoRestart = 0, kFadingOut = 1, kFadingIn = 2 };
    static constexpr float kFadeSeconds = 0.5f;

    CQasimarArcade_Sail();
    ~CQasimarArcade_Sail() override;

    void Finish() override;
    void Update() override;

    // The sail to cover again, a full tray, the banner up, nothing held.
    void Reset();

    uint32_t started = 0;
    CSail_PlayField field;
    CSail_Stakan tray;
    uint32_t restartPhase = kNoRestart;
    uint8_t restarting = 0;
    CSail_Figure* held = nullptr;

protected:
    void StartGame() override;
    void OnMessage(CCiMessageClient* sender, uint32_t code) override;

private:
    void OnLeftPress();
    void OnRightPress();
    void BeginRestart();
    void OnFadeEnded();
    void DropHeld();
    // The tray entry whose copy the player holds; -1 for none.
    int32_t HeldEntry() const;
    void SetBanner(bool shown);

    CGuiCustom* fieldControl = nullptr;
    CGuiCustom* trayControl = nullptr;
    CGuiCustom* cursorControl = nullptr;
    CGuiControl* banner = nullptr;
    CGuiControl* restart = nullptr;
};
