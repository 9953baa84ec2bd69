// The keys game: 25 keys lie on the screen, twelve pairs of equal kind and one
// odd key. The player clicks two keys; a pair vanishes in sparks, two keys of
// different kinds flash red. Clicking the odd key when it is the only one left
// ends the game with "keys_arcade_end".
//
// Contract:
// - Start loads "gui/arcades/keys.xml" and hangs each key on its control
//   "key00" to "key24" (a custom control made when the layout has none),
//   stretched over the 1280 by 1024 reference screen at the back of the set.
//   A key picture ("backgrounds/loc17/key_%02d_%d.tga") that cannot be found,
//   or a key control that is not a custom control, refuses the start: a
//   level-2 line names it and the game finishes at once, without the event.
// - The first click after Start only hides the "banner"; keys take no hover
//   and do not change until then.
// - A key is hit only on a pixel of its picture whose alpha is not zero,
//   read from the picture's image in memory; a picture without one is never
//   hit.
// - The game steps its keys once a frame itself: the GUI's per-frame call of
//   a hosted visual leaves a key unchanged, so a colour takes a third of a
//   second whatever draws it.
// - Finish from the menu or a script before the end fires no event; the game
//   takes no input while paused (the base's rule).
#pragma once

#include "Source/GameClasses/QmBaseArcade.h"

#include "Engine/Core/Gm/GmVisual2D.h"

class CGmSprite;
class CGuiCustom;

class CKeys_Key : public CGmVisualObject {
public:
    enum State { kIdle = 0, kHovered = 1, kSelected = 2, kMismatch = 3, kRemoved = 4 };
    static constexpr int kSparks = 64;
    static constexpr float kSparkLife = 0.4f;
    static constexpr float kSparkRest = 0.05f;
    static constexpr float kSparkingTime = 1.5f;
    static constexpr float kFlashEnd = 1.5f; // phase at which a red flash ends
    static constexpr int kSparkTries = 20;

    // The key of the given kind and variant at its place on the reference
    // screen; found is false when its picture is missing.
    CKeys_Key(int32_t keyKind, int32_t variant);
    ~CKeys_Key() override;

    // The GUI's per-frame call: the game steps its keys itself (Step).
    void Update() override {}
    void Render() override;

    // One frame of the key: colour, the end of a red flash, the sparks.
    void Step(float delta);
    // Goes to a new state; the colour blends from where it is.
    void SetState(int32_t newState);
    // The screen point (2D view units) lies on an opaque pixel of the key's
    // current frame.
    bool PointTest(float x, float y) const;

    // The highlight colour of a state.
    static uint32_t TargetColor(int32_t state);

    int32_t kind = 0;
    CGmSprite* sprite = nullptr;
    uint32_t color = 0x0000FF00;
    uint32_t fromColor = 0x0000FF00;
    float phase = 1.0f;
    int32_t state = kIdle;
    CGmSprite* sparks[kSparks] = {};
    float sparkTime[kSparks] = {};
    float removedTime = 0.0f;
    bool pictureFound = false;

private:
    // Shows spark j at a new opaque point of the key.
    void PlaceSpark(int j);
};

class CQasimarArcade_Keys : public CQmBaseArcade {
public:
    static constexpr int kKeys = 25;
    struct Place {
        float x, y;
    };
    // Where each key lies on the reference screen, by index 2 x kind + variant.
    static const Place kPlaces[kKeys];

    CQasimarArcade_Keys();
    ~CQasimarArcade_Keys() override;

    void Finish() override;
    void Update() override;

    // The keys not yet removed.
    int RemainingKeys() const;

    uint32_t started = 1;
    CKeys_Key* keys[kKeys] = {};
    CGuiCustom* hosts[kKeys] = {}; // the controls showing the keys
    CKeys_Key* selected = nullptr;
    uint8_t finished = 0;

protected:
    void StartGame() override;
    void OnMessage(CCiMessageClient* sender, uint32_t code) override;

private:
    void Click(float x, float y);
    void DeleteKeys();
};
