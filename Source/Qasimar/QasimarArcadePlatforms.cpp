#include "Source/Qasimar/QasimarArcadePlatforms.h"

#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GeTimer.h"
#include "Engine/Core/Common/GeValue.h"
#include "Engine/Core/Gm/GmCamera.h"
#include "Engine/Gui/GuiControl.h"
#include "Engine/Gui/GuiControlSet.h"
#include "Source/GameClasses/QmEntity.h"
#include "Source/GameClasses/QmLocation.h"
#include "Source/GameClasses/QmLocationManager.h"
#include "Source/GameClasses/QmPropAnimController.h"
#include "Source/GameClasses/QmScriptProcessor.h"

#include <cmath>
#include <cstdio>

namespace {

// minX, maxX, speed, heroHeight, halfWidth, bottom to top. The speeds are
// the single-precision values of the decimals.
struct PlatformRow {
    float minX, maxX, speed, heroHeight, halfWidth;
};
const PlatformRow kPlatformTable[CQasimarArcade_Platforms::kPlatforms] = {
    {140.0f, 140.0f, 0.0f, 6.0f, 30.0f},    {80.0f, 500.0f, 88.8f, 5.0f, 50.0f},
    {120.0f, 460.0f, 111.1f, 5.0f, 70.0f},  {80.0f, 500.0f, 77.7f, 4.0f, 50.0f},
    {60.0f, 500.0f, 0.0f, 3.0f, 30.0f},     {80.0f, 490.0f, 111.1f, 2.0f, 50.0f},
    {80.0f, 490.0f, 66.6f, 1.0f, 50.0f},    {110.0f, 440.0f, 133.3f, 0.0f, 70.0f},
    {60.0f, 500.0f, 0.0f, 0.0f, 30.0f},     {80.0f, 480.0f, 99.9f, -1.0f, 50.0f},
    {50.0f, 500.0f, 101.1f, -2.0f, 30.0f},  {60.0f, 480.0f, 144.4f, -2.0f, 30.0f},
    {420.0f, 420.0f, 0.0f, 0.0f, 30.0f},
};

const Vec3 kHeroStart = {134.0f, 5.0f, 0.0f};

CQmLocation* CurrentLocation()
{
    return g_locationManager ? g_locationManager->current : nullptr;
}

void PlaceEntity(CQmEntity* entity, float x, float y, float z)
{
    entity->frame.SetPosition(Vec3{x, y, z});
}

void CallEvent(const char* event)
{
    ScriptCallFunction(event, nullptr, 0, true);
}

} // namespace

CQasimarArcade_Platforms::CQasimarArcade_Platforms() : CQmBaseArcade(CGeString("arcade: platforms"))
{
    for (int i = 0; i < kPlatforms; ++i) {
        const PlatformRow& row = kPlatformTable[i];
        platforms[i].minX = row.minX;
        platforms[i].maxX = row.maxX;
        platforms[i].speed = row.speed;
        platforms[i].heroHeight = row.heroHeight;
        platforms[i].halfWidth = row.halfWidth;
    }
}

void CQasimarArcade_Platforms::StartGame()
{
    if (started)
        return;
    active = 1;
    if (!controlsReady) {
        CGuiControlSet* set = CreateControlSet("gui/arcades/platforms.xml");
        for (int i = 0; i < 3; ++i) {
            char controlName[8];
            std::snprintf(controlName, sizeof(controlName), "live%i", i);
            lifeControls[i] = set ? set->FindControl(CGeString(controlName)) : nullptr;
        }
        controlsReady = 1;
    }

    // Every entity is looked up before any is used: a location without one
    // of them is left untouched.
    CQmLocation* location = CurrentLocation();
    CQmEntity* foundHero = location ? location->FindEntity("qasimar") : nullptr;
    if (!foundHero) {
        hero = nullptr;
        RefuseStart("entity 'qasimar'");
        return;
    }
    CQmEntity* found[kPlatforms];
    for (int i = 0; i < kPlatforms; ++i) {
        char entityName[16];
        std::snprintf(entityName, sizeof(entityName), "platform_%02i", i);
        found[i] = location->FindEntity(entityName);
        if (!found[i]) {
            hero = nullptr;
            char missing[32];
            std::snprintf(missing, sizeof(missing), "entity '%s'", entityName);
            RefuseStart(missing);
            return;
        }
    }
    hero = foundHero;
    for (int i = 0; i < kPlatforms; ++i)
        platforms[i].entity = found[i];

    started = 1;
    current = 0;
    stateTime = 0.0f;
    state = kStanding;
    PlaceEntity(hero, kHeroStart.x, kHeroStart.y, kHeroStart.z);
    lives = 3;
    PlayHeroTrack(hero, "qasimar_idle_01", 0.5f);
    Land(0, false);
    SetCameraHeight(kCameraHeight);
}

void CQasimarArcade_Platforms::OnMessage(CCiMessageClient*, uint32_t code)
{
    // Code 1 is the left button pressed, whoever sends it.
    if (code != 1 || !started || state != kStanding || paused || inputLock > 0)
        return;
    PlayHeroTrack(hero, "qasimar_jumps_up_start", 0.5f);
    CallEvent("platforms_arcade_jump");
    stateTime = 0.0f;
    state = kJumpStart;
}

void CQasimarArcade_Platforms::Resume()
{
    CQmBaseArcade::Resume();
    inputLock = 3;
}

void CQasimarArcade_Platforms::Finish()
{
    const bool wasStarted = started != 0;
    CQmBaseArcade::Finish();
    ReleaseControlSet();
    started = 0;
    controlsReady = 0;
    for (CGuiControl*& control : lifeControls)
        control = nullptr;
    if (!wasStarted || !hero)
        return;
    PlayHeroTrack(hero, "qasimar_idle_01", 0.5f);
    SetCameraHeight(kCameraHeight);
    CGeValue args[2];
    const bool won = current == kTop;
    args[0].kind = GE_VALUE_BOOL;
    args[0].scalar.b = won ? 1 : 0;
    args[1].kind = GE_VALUE_BOOL;
    args[1].scalar.b = !won && state != kFalling ? 1 : 0;
    ScriptCallFunction("platforms_arcade_end", args, 2, true);
}

void CQasimarArcade_Platforms::Land(int32_t index, bool withEvent)
{
    if (withEvent) {
        PlayHeroTrack(hero, "qasimar_jumps_up_end", 0.0f);
        CallEvent("platforms_arcade_land");
    }
    platforms[index].heroOffset = platforms[index].entity->frame.position.x - hero->frame.position.x;
    current = index;
    state = kLanding;
}

void CQasimarArcade_Platforms::Respawn()
{
    stateTime = 0.0f;
    const Platform& platform = platforms[current];
    const Vec3& at = platform.entity->frame.position;
    PlaceEntity(hero, at.x, at.y + platform.heroHeight, 0.0f);
    PlayHeroTrack(hero, "qasimar_idle_01", 0.0f);
    Land(current, false);
}

void CQasimarArcade_Platforms::FollowPlatform(bool keepY)
{
    const Platform& platform = platforms[current];
    const Vec3& at = platform.entity->frame.position;
    const float y = keepY ? hero->frame.position.y : at.y + platform.heroHeight;
    PlaceEntity(hero, at.x - platform.heroOffset, y, 0.0f);
}

void CQasimarArcade_Platforms::MovePlatforms(float delta)
{
    // Neither the bottom nor the top platform moves. The turn comes after
    // the step, so a platform may pass its range by one step.
    for (int i = 1; i < kTop; ++i) {
        Platform& platform = platforms[i];
        Vec3 at = platform.entity->frame.position;
        at.x += platform.movingLeft ? -platform.speed * delta : platform.speed * delta;
        platform.entity->frame.SetPosition(at);
        if (platform.movingLeft && at.x < platform.minX)
            platform.movingLeft = 0;
        else if (!platform.movingLeft && at.x > platform.maxX)
            platform.movingLeft = 1;
    }
}

void CQasimarArcade_Platforms::SetCameraHeight(float height)
{
    CQmLocation* location = CurrentLocation();
    CGmCamera* camera = location ? location->ActiveCamera() : nullptr;
    if (!camera)
        return;
    camera->eye.y = height;
    camera->target.y = height;
    camera->UpdateView();
    camera->UpdateProjection();
}

void CQasimarArcade_Platforms::Update()
{
    if (!started)
        return;
    if (inputLock > 0)
        --inputLock;
    for (uint32_t i = 0; i < 3; ++i)
        if (lifeControls[i])
            lifeControls[i]->visible = i < lives ? 1 : 0;
    float delta = g_geTimer ? g_geTimer->delta : 0.0f;
    if (!(delta > 0.0f))
        delta = 0.001f;
    stateTime += delta;

    switch (state) {
    case kStanding:
        if (current == kTop) {
            Finish();
            return;
        }
        FollowPlatform(false);
        break;
    case kJumpStart:
        if (stateTime > kJumpStartTime) {
            PlayHeroTrack(hero, "qasimar_jumps_up_middle", 0.0f);
            stateTime = 0.0f;
            state = kInAir;
        } else {
            if (current == kTop) {
                Finish();
                return;
            }
            FollowPlatform(true);
        }
        break;
    case kInAir:
        if (stateTime <= kRiseTime) {
            SetCameraHeight(kCameraHeight + hero->frame.position.y * 800.0f / 1200.0f);
        } else {
            // One test a jump: a miss falls.
            const int32_t next = current + 1;
            if (next <= kTop && std::fabs(platforms[next].entity->frame.position.x - hero->frame.position.x) <
                                    platforms[next].halfWidth) {
                Land(next, true);
            } else {
                PlayHeroTrack(hero, "qasimar_falls", 0.0f);
                CallEvent("platforms_arcade_fall");
                stateTime = 0.0f;
                state = kFalling;
            }
        }
        break;
    case kLanding: {
        const Platform& platform = platforms[current];
        Vec3 at = hero->frame.position;
        at.x = platform.entity->frame.position.x - platform.heroOffset;
        hero->frame.SetPosition(at);
        if (stateTime > kLandingTime) {
            stateTime = 0.0f;
            state = kStanding;
        }
        break;
    }
    case kFalling:
        if (stateTime > kFallTime) {
            --lives;
            if (lives > 0)
                Respawn();
            else
                Finish();
            return;
        }
        break;
    default:
        break;
    }
    MovePlatforms(delta);
}
