// The basket pushed on the walk grid: the hero "qasimar" walks behind a
// basket of the current location and shifts it, step by step, with four
// arrow buttons ("left", "right", "up", "down" of "gui/arcades/draggin.xml"),
// until it lies within 30 units of the location's "basket_place". The
// arrows follow the active camera: "right" and "up" are the camera's X and
// viewing axes laid flat. The walk grid decides which shifts are possible: a
// push needs the hero to reach the point behind the basket and the cell ahead
// of it free, a pull the point in front and the cell beyond it.
//
// Contract:
// - The basket is named by the start parameter and kept as text; Start looks
//   it up in the current location every time, so no pointer outlives its
//   location. A start without the basket or without "qasimar" logs what is
//   missing (level 2) and finishes at once, without the end event.
// - The menu never opens over the game (CanOpenMenu is false).
// - Finish lets the hero and the basket go at once; the game stays current
//   while the "background" control slides out, and only then ends with
//   "dragging_arcade_end" (the location's and the basket's names, as they
//   were at the start). A second Finish meanwhile changes nothing.
// - The saved block is 80 bytes: the basket's position (3 floats), a zero
//   word, and its name in a zero-filled 64-byte field (63 characters at
//   most). LoadState refuses shorter blocks and reads at most 63 name bytes.
// - Without an active camera the axes are the world's X and Z.
// - Input only while the game takes messages (the base's rule: not while the
//   menu is open) and only while waiting for a button.
#pragma once

#include "Engine/Core/Common/GeMath.h"
#include "Engine/Core/Common/GeString.h"
#include "Source/GameClasses/QmBaseArcade.h"

class CGuiControl;
class CQmEntity;

class CQmArcade_Dragging : public CQmBaseArcade {
public:
    enum State {
        kIdle = 0,
        kSlidingOut = 1,
        kWaiting = 2,
        kWalking = 3,
        kStartingShift = 4,
        kPushing = 5,
        kPulling = 6,
        kBeforeWalk = 7,
    };
    enum Action { kNoAction = 0, kPush = 5, kPull = 6 };
    static constexpr uint32_t kSaveSize = 80;
    static constexpr uint32_t kNameOffset = 16;
    static constexpr uint32_t kMaxName = 63;
    static constexpr float kStep = 100.0f;        // push and pull points from the basket
    static constexpr float kShiftSpeed = 50.0f;   // units a second while shifting
    static constexpr float kShiftTime = 1.0f;
    static constexpr float kPlaceDistance2 = 900.0f;
    static constexpr float kSlideSpeed = 400.0f;  // the background, units a second
    static constexpr float kSlideIn = 809.0f;
    static constexpr float kSlideOut = 1024.0f;

    // A shift request's tests for one direction.
    struct Possible {
        bool push = false;
        bool pull = false;
    };

    CQmArcade_Dragging() : CQmArcade_Dragging("arcade: dragging") {}

    void Finish() override;
    void Update() override;
    void SetParameter(const char* basketName) override;
    uint32_t SaveState(uint8_t** out) override;
    void LoadState(const uint8_t* data, uint32_t size) override;
    bool CanOpenMenu() override { return false; }

    // The tests of a shift along d (a unit vector on the ground).
    Possible Test(const Vec3& d) const;
    // The walk-grid cell under (x + 25, z) of the current location's grid is
    // neither outside, past the cells, blocked nor locked.
    static bool Free(const Vec3& point);

    int32_t state = kIdle;
    uint8_t started = 0;
    CQmEntity* hero = nullptr;
    CQmEntity* basket = nullptr;
    CQmEntity* basketPlace = nullptr;
    int32_t action = kNoAction;
    Vec3 direction = {0.0f, 0.0f, 0.0f};
    Vec3 heroStart = {0.0f, 0.0f, 0.0f};
    Vec3 basketStart = {0.0f, 0.0f, 0.0f};
    Vec3 walkTarget = {0.0f, 0.0f, 0.0f};
    float timer = 0.0f;
    CGeString basketName;
    CGeString locationName;

    // The camera's axes on the ground, taken at every start.
    static Vec3 s_right;
    static Vec3 s_forward;

protected:
    explicit CQmArcade_Dragging(const char* arcadeName);
    void StartGame() override;
    void OnMessage(CCiMessageClient* sender, uint32_t code) override;
    CGuiControl* Control(const char* controlName) const;

private:
    void RequestShift(const Vec3& d);
    void BeginShift(int32_t shift, const Vec3& d);
    void WalkThenShift(int32_t shift, const Vec3& d, const Vec3& target);
    bool ReachableByHero(const Vec3& point) const;
    // d against the hero's facing: 1 along, -1 against.
    float Facing(const Vec3& d) const;
    void EnableLocks(bool on);
    void TakeCameraAxes();
    void UpdateArrows();
    void SlideBackground(float delta);
};

// The same game with the close button disabled and Escape ignored; the
// script hears of the first shift when "iTutor" is 2.
class CQasimarArcade_DraggingTutorial : public CQmArcade_Dragging {
public:
    CQasimarArcade_DraggingTutorial() : CQmArcade_Dragging("arcade: dragging_tutorial") {}
    void Update() override;

protected:
    void OnMessage(CCiMessageClient* sender, uint32_t code) override;
};
