// The bird flight ("arcade: ruh fly"): the hero "qasimar" rides the bird
// "ptenec_arc" over an endless desert along the camera's viewing direction.
// The world comes towards the rider: mountains and the desert surface move
// back at a speed that grows during the flight, while the mouse steers the
// rider inside a box 300 units ahead of the camera. Mountains 0 to 5 are
// obstacles (2 is an arch to fly through), 6 is scenery. Five lives; the
// flight lasts 90 s of travel plus a last stretch to 97.5 s, where the game
// ends with "loc07_arcade_end". A fog hangs over it all.
//
// Contract:
// - Start needs the location's active camera, the layout's controls
//   ("progressbar", "indicator", "live0" to "live4", "banner_start",
//   "banner_crash", "banner_finish"), both figures with the hero's animation
//   controller and the four mountain meshes; without any of them it logs
//   what is missing and finishes at once, touching nothing and reporting
//   nothing.
// - Finish undoes everything Start did: compose modes, the chain callback,
//   the desert out of the layers, the mountains freed, the fog off.
//
// Choices:
// - The desert's basis: its local X axis is the flight direction, Y the world
//   up axis and Z their cross product (forward x up), so its dunes roll
//   along the flight and its 16000-unit side lies across it.
// - The layers update every mesh they draw, so the desert scrolls in Scroll,
//   which the game calls once a frame; its Update is the mesh's own.
// - A restart puts the mountains, hidden, one after another along the flight
//   direction (slot k at k x 6500 / 7 ahead of the eye), so they come back
//   into view in turn; they are drawn in render layer 2 with the desert.
#pragma once

#include "Engine/Core/Common/GeCurve.h"
#include "Engine/Core/Common/GeMath.h"
#include "Engine/Core/Gm/GmScenicMesh.h"
#include "Source/GameClasses/QmBaseArcade.h"

#include <vector>

class CGmCamera;
class CGuiControl;
class CGuiProgressBar;
class CQmEntity;

// The scrolling desert: a grid of vertices whose heights roll along X as the
// surface scrolls, with its texture sliding the same way.
class CQasimarArcade_RuhFly_desert : public CGmScenicMesh {
public:
    CQasimarArcade_RuhFly_desert(float sizeX, float sizeZ, uint32_t columns, uint32_t rows, float amplitude,
                                 float scrollSpeed, float uvRepeat, const char* materialFile);

    // The height of the surface at the local point (x, z) for the current
    // offset: rolling dunes with a sharp ridge every fourth wavelength, never
    // below -20.
    float Height(float x, float z) const;
    // Scrolls by scrollSpeed x delta: the offset grows, every vertex takes
    // its new height and its U slides on; the vertices are marked for upload.
    void Scroll(float delta);

    float offset = 0.0f;
    uint32_t columns;
    uint32_t rows;
    float amplitude;
    float sizeX;
    float sizeZ;
    float scrollSpeed;
    float uvRepeat;

private:
    // Per column and per row terms of the heights, kept between frames.
    std::vector<float> m_rolling;
    std::vector<float> m_wave;
    std::vector<float> m_across;
};

class CQasimarArcade_RuhFly : public CQmBaseArcade {
public:
    enum State : int32_t { kWaiting = 0, kFlying = 1, kFallen = 2, kFinished = 3 };
    enum AnimKind : int32_t { kFlight = 0, kFlightAfterCrash = 1, kCrash = 2, kFall = 3 };
    static constexpr uint32_t kMountains = 7;
    static constexpr uint32_t kObstacles = 6;
    static constexpr uint32_t kArch = 2;
    static constexpr uint32_t kLives = 5;
    static constexpr float kFlightLength = 90.0f;
    static constexpr float kEnd = 97.5f;
    static constexpr float kStartSpeed = 400.0f;
    static constexpr float kAhead = 6500.0f;
    static constexpr float kAimDistance = 300.0f;
    static constexpr float kProtection = 3.0f;
    static constexpr float kMountainY = -200.0f;
    static constexpr Vec3 kDesertOrigin = {2900.0f, -280.0f, 0.0f};
    static constexpr uint32_t kFogColor = 0xFFFFDF8C;
    static constexpr float kFogDensity = 0.0003f;

    CQasimarArcade_RuhFly();
    ~CQasimarArcade_RuhFly() override;

    void Finish() override;
    void Update() override;
    void Callback(CJaSeqPlayer* player, uint32_t channel, int32_t notification) override;

    // Whether the rider at rider touches the obstacle of slot at mountain.
    static bool Hits(uint32_t slot, const Vec3& rider, const Vec3& mountain);

    int32_t state = kWaiting;
    CQmEntity* hero = nullptr;
    uint32_t heroComposeMode = 0;
    CQmEntity* bird = nullptr;
    uint32_t birdComposeMode = 0;
    int32_t animKind = kFlight;
    float animTime = 0.0f;
    Vec3 riderPos = {0.0f, 0.0f, 0.0f};
    Vec3 targetPos = {0.0f, 0.0f, 0.0f};
    float bank = 0.0f;
    Vec3 forward = {1.0f, 0.0f, 0.0f};
    CGmScenicMesh* mountains[kMountains] = {};
    CGuiProgressBar* progressBar = nullptr;
    CGuiControl* indicator = nullptr;
    idCurve_PolyLine<Vec2> route;
    float flightTime = 0.0f;
    CGuiControl* lifeControls[kLives] = {};
    CGuiControl* banners[3] = {}; // start, crash, finish
    uint32_t lives = kLives;
    CQasimarArcade_RuhFly_desert* desert = nullptr;
    float speed = kStartSpeed;
    uint32_t rayPause = 0;

    // The lost life's icon blinks by this clock, shared by every flight.
    static float s_blinkClock;

protected:
    void StartGame() override;
    void OnMessage(CCiMessageClient* sender, uint32_t code) override;

private:
    void Restart();
    void PlayPair(int32_t kind, float blend);
    void AimingStart();
    void AimAt(float x, float y);
    void Steer(CGmCamera* camera, float delta);
    void MoveMountains(CGmCamera* camera, float delta);
    void PlaceAhead(CGmCamera* camera, uint32_t slot);
    void Collide();
    void ShowProgress();
    void ShowLives(float delta);
    void ShowBanners();
    void SetFog(bool on);
    void FreeMountains();
    void ForgetControls();
    // The current location's active camera, or null.
    static CGmCamera* Camera();
};
