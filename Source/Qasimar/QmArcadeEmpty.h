// The empty mini-game: no rules, only its own overlay ("gui/arcades/empty.xml")
// laid over the running location until the player leaves it with the right
// mouse button, which fires "empty_arcade_end".
//
// It never sets the base's active flag: while it is current the processor
// keeps stepping the location and taking input as without a game, and
// Escape opens the menu without pausing it. Being never active, it takes the
// mouse itself from Start to Finish while current and the menu is closed: a
// left press walks the hero to the point under the cursor (unless input is
// locked), a right press ends the game even during an input lock.
#pragma once

#include "Source/GameClasses/QmBaseArcade.h"

class CQmArcade_Empty : public CQmBaseArcade {
public:
    CQmArcade_Empty();

    void Finish() override;

    uint8_t started = 0;
    uint8_t layoutLoaded = 0; // the layout is in the control set

protected:
    void StartGame() override;
    bool TakesMessages() const override;
    void OnMessage(CCiMessageClient* sender, uint32_t code) override;
};
