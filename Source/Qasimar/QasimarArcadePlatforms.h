// The platform climb: the hero stands on the lowest of thirteen platforms
// stacked upwards in the current location, most of them sliding left and
// right. A click makes him jump straight up; when the platform above is under
// him as he comes down he lands on it and rides it, otherwise he falls and
// loses one of three lives. Standing on the topmost platform wins.
//
// Contract:
// - The game draws nothing of its own: it moves the location's entities,
//   plays the hero's tracks and lifts the location's active camera; its
//   control set only shows the lives ("live0" to "live2", each may be
//   missing).
// - Start needs "qasimar" and every "platform_%02i" (0 to 12) in the current
//   location; without any of them it logs what is missing and finishes at
//   once, without the end event, touching no entity.
// - The camera's "eye height" and "target height" are the Y of its eye and
//   of its target.
// - Finish reports "platforms_arcade_end" (won, left from outside): left means
//   the game ended neither by the win nor by the last fall.
// - After Resume clicks start no jump for three frames, so the click that
//   closed the menu does not jump.
#pragma once

#include "Source/GameClasses/QmBaseArcade.h"

class CGuiControl;
class CQmEntity;

class CQasimarArcade_Platforms : public CQmBaseArcade {
public:
    enum State { kNotStarted = 0, kStanding = 1, kJumpStart = 2, kInAir = 3, kLanding = 4, kFalling = 5 };
    static constexpr int kPlatforms = 13;
    static constexpr int kTop = kPlatforms - 1;
    static constexpr float kJumpStartTime = 0.41f; // crouch before leaving the platform
    static constexpr float kRiseTime = 0.24f;      // in the air until the landing test
    static constexpr float kLandingTime = 0.3f;
    static constexpr float kFallTime = 2.0f;
    static constexpr float kCameraHeight = 270.0f;

    struct Platform {
        CQmEntity* entity = nullptr;
        float minX = 0.0f, maxX = 0.0f;
        float heroOffset = 0.0f; // platform X minus hero X, taken at landing
        float speed = 0.0f;      // units per second along X
        float heroHeight = 0.0f; // added to the platform's Y for the standing hero
        float halfWidth = 0.0f;  // landing tolerance along X
        uint8_t movingLeft = 0;
    };

    CQasimarArcade_Platforms();

    void Finish() override;
    void Update() override;
    void Resume() override;

    int32_t state = kNotStarted;
    uint8_t started = 0;
    uint8_t controlsReady = 0;
    CQmEntity* hero = nullptr;
    Platform platforms[kPlatforms];
    int32_t current = 0;
    float stateTime = 0.0f;
    uint32_t lives = 3;
    uint32_t inputLock = 0;
    CGuiControl* lifeControls[3] = {};

protected:
    void StartGame() override;
    void OnMessage(CCiMessageClient* sender, uint32_t code) override;

private:
    void Land(int32_t index, bool withEvent);
    void Respawn();
    // Places the hero on the current platform: X follows it, Z is 0, and Y
    // stands on it unless keepY.
    void FollowPlatform(bool keepY);
    void MovePlatforms(float delta);
    void SetCameraHeight(float height);
};
