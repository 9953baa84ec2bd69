// The fist fight ("arcade: fighting"): the hero "qasimar" against the enemy
// "glavar" in the current location. The player attacks with the left button
// and dodges with the right one; the enemy runs on timers and the engine's
// generator. Whether a blow lands is decided by the named frame events of the
// fighters' tracks ("punch", "defence_start", "defence_end"), which reach the
// game as a chain-callback client of both animation controllers. A hit costs
// 10 of 100 health. The enemy's death ends the game with "fighting_stop";
// the hero's death fades out and starts a fresh fight without leaving.
//
// Choices: the markers "qasimar_hi"/"glavar_hi" follow the translation of
// their fighter's world matrix, 35 units up, and keep the 2D size their
// files give them. A start that misses a fighter, a marker, an animation
// controller or the intro text "txt_lbl" is refused and fires nothing.
#pragma once

#include "Source/GameClasses/QmBaseArcade.h"

class CGuiControl;
class CQmEntity;

class CQasimarArcade_Fighting : public CQmBaseArcade {
public:
    enum FighterState : int32_t {
        kReady = 0,
        kAttacking = 1,
        kHit = 2,
        kDodging = 3,   // before the dodge track's "defence_start"
        kProtected = 4, // between "defence_start" and "defence_end"
        kDead = 5,
    };

    struct Fighter {
        const char* prefix; // of the entity's tracks: "qasimar_" or "glavar_"
        int32_t state = kReady;
        CQmEntity* entity = nullptr;
        CQmEntity* marker = nullptr;
        float health = 100.0f;
        float timer = 0.5f;
    };

    CQasimarArcade_Fighting();
    ~CQasimarArcade_Fighting() override;

    void Finish() override;
    void Update() override;
    void Callback(CJaSeqPlayer* player, uint32_t channel, int32_t notification) override;

    Fighter hero;
    Fighter enemy;
    float endTimer = 0.0f;
    uint8_t introShown = 0;
    uint8_t over = 0;       // a fighter is dead and its death track has ended
    uint8_t restarting = 0; // the hero lost; the fight fades in again
    uint8_t layoutLoaded = 0;

protected:
    void StartGame() override;
    void OnMessage(CCiMessageClient* sender, uint32_t code) override;

private:
    // Both animation controllers, or nulls while a fighter is missing.
    void Listen(bool on);
    void ShowMarkers(bool shown);
    void Play(Fighter& fighter, const char* track, float blend);
    void OnFrameEvent(Fighter& attacker, Fighter& defender, const char* event);
    void ResetFight();
    void PlaceMarker(const Fighter& fighter);
    CGuiControl* IntroText() const;
};
