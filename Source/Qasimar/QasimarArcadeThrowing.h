// The lemon throw ("arcade: throwing"): a stone head "cherep" in the current
// location spits a lemon "lemon_arcade" at a fixed target point T, aimed by an
// arrow "arrow_arcade". Vertical mouse movement sets the elevation, a click
// starts the power meter, a second click stops it and the head spits; the
// lemon flies under gravity. Passing T's distance at a height in (492, 530]
// wins; too high, too low or on the ground the lemon bursts and the player
// aims again. Escape leaves while aiming; the in-game menu never opens.
//
// Contract:
// - Start needs the three entities, the head's and the lemon's animation
//   controllers, the head's mouth joint and the progress bar "progress" of
//   "gui/arcades/throwing.xml"; without any of them it logs what is missing
//   and finishes at once, reporting "not won".
// - While playing, the three entities are placed by the matrices the game
//   sets (their compose modes are switched and given back by Finish).
// - Finish always calls "loc05_arcade_end" with one boolean: won.
//
// Choices: the mouth is joint 2 of the head's skinned visual (the first
// visual of its visual object): the arrow starts there and the lemon leaves
// from there. A burst on the ground ends the frame's flight: the pass test
// does not burst the lemon a second time.
#pragma once

#include "Engine/Core/Common/GeMath.h"
#include "Source/GameClasses/QmBaseArcade.h"

class CGuiProgressBar;
class CQmEntity;

class CQasimarArcade_Throwing : public CQmBaseArcade {
public:
    enum State : int32_t { kAiming = 0, kPower = 1, kThrow = 2, kBurst = 3, kAimAgain = 4 };
    enum HeadAnim : int32_t { kHeadIdle = 0, kHeadIdleVariation = 1, kHeadSpit = 2 };

    static constexpr Vec3 kTarget = {-1021.5709838867188f, 0.0f, 341.8680114746094f};
    static constexpr Vec3 kRest = {0.0f, -100000.0f, 0.0f};
    static constexpr uint32_t kMouthJoint = 2;
    static constexpr float kSpitTime = 1.2333333f;
    static constexpr float kStep = 0.01f;
    static constexpr float kIdleVariationTime = 10.0f;
    static constexpr float kWinLow = 492.0f;  // exclusive
    static constexpr float kWinHigh = 530.0f; // inclusive
    static constexpr float kBurstHigh = 613.0f;

    CQasimarArcade_Throwing();
    ~CQasimarArcade_Throwing() override;

    void Finish() override;
    void Update() override;
    bool CanOpenMenu() override { return false; }
    void Callback(CJaSeqPlayer* player, uint32_t channel, int32_t notification) override;

    // The aim direction for an angle (90 straight at T, up to 170) from the
    // head at head: the unit vector to T turned up about the horizontal
    // axis across it.
    static Vec3 AimDirection(const Vec3& head, float angle);
    // One power-meter step: the value moves by delta x direction x 100 and is
    // mirrored at 0 and 100 until it lies between them.
    static void SwingPower(float& value, float& direction, float delta);
    // One frame of the lemon's flight: steps of 0.01 s while more than that
    // is left, then the rest.
    static void Fly(Vec3& position, Vec3& velocity, float delta);

    int32_t state = kAiming;
    CQmEntity* head = nullptr;
    uint32_t headComposeMode = 0;
    int32_t headAnim = kHeadIdle;
    float headIdleTime = 0.0f;
    CQmEntity* lemon = nullptr;
    uint32_t lemonComposeMode = 0;
    Vec3 lemonVelocity = {0.0f, 0.0f, 1.0f};
    Vec3 lemonPosition = kRest;
    CQmEntity* arrow = nullptr;
    uint32_t arrowComposeMode = 0;
    float aimAngle = 90.0f;
    float mouseX = 0.0f;
    float mouseY = 0.0f;
    float powerDirection = 1.0f;
    float throwTime = 0.0f;
    CGuiProgressBar* powerBar = nullptr;

    // The head's position and its mouth point in the location.
    Vec3 HeadPosition() const;
    Vec3 MouthPoint() const;
    Vec3 Aim() const { return AimDirection(HeadPosition(), aimAngle); }

protected:
    void StartGame() override;
    void OnMessage(CCiMessageClient* sender, uint32_t code) override;

private:
    void Enter(int32_t newState);
    void PlayHead(const char* track, int32_t anim);
    void PlaceLemon();
    void Listen(bool on);
    void UpdateArrow(float delta);
    void UpdatePowerBarColor(float delta);
    void UpdateFlight(float delta);
    void ForgetEntities();
};
