#include "Source/Qasimar/QmArcadeDragging.h"

#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GeTimer.h"
#include "Engine/Core/Common/GeValue.h"
#include "Engine/Core/Gm/GmCamera.h"
#include "Engine/Gui/GeCursorSet.h"
#include "Engine/Gui/GeKeyboard.h"
#include "Engine/Gui/GuiControl.h"
#include "Engine/Gui/GuiControlSet.h"
#include "Engine/Gui/GuiManager.h"
#include "Source/GameClasses/QmAiMap.h"
#include "Source/GameClasses/QmEntity.h"
#include "Source/GameClasses/QmGameVars.h"
#include "Source/GameClasses/QmInputCodes.h"
#include "Source/GameClasses/QmLocation.h"
#include "Source/GameClasses/QmLocationManager.h"
#include "Source/GameClasses/QmPropActor.h"
#include "Source/GameClasses/QmPropAimapLockController.h"
#include "Source/GameClasses/QmPropAnimController.h"
#include "Source/GameClasses/QmPropMotionController.h"
#include "Source/GameClasses/QmScriptProcessor.h"
#include "Source/Qasimar/ArcadeEntityOps.h"
#include "Source/GameClasses/QmWalkPath.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

constexpr float kFacing = 0.9f;  // along or against the shift
constexpr float kSideways = -0.7f;
constexpr float kWalkDelay = 0.25f;
constexpr float kGiveUpDistance = 100.0f;
constexpr float kStartTrackAt = 0.5f;
constexpr float kStartTrackMark = 100.0f; // the timer once the start track plays
constexpr float kStartTrackEnd = 100.5f;

const char* const kArrows[4] = {"left", "right", "up", "down"};

void EnableLock(CQmEntity* entity, bool on)
{
    if (CQmProp* lock = entity ? entity->GetProp(QM_PROP_AIMAP_LOCK) : nullptr)
        lock->SetEnabled(on);
}

Vec3 Flat(Vec3 v, const Vec3& fallback)
{
    v.y = 0.0f;
    const float length = std::sqrt(v.x * v.x + v.z * v.z);
    if (!(length > 0.0f))
        return fallback;
    return Vec3{v.x / length, 0.0f, v.z / length};
}

Vec3 Along(const Vec3& from, const Vec3& d, float distance)
{
    return Vec3{from.x + d.x * distance, from.y + d.y * distance, from.z + d.z * distance};
}

float Distance2D2(const Vec3& a, const Vec3& b)
{
    const float dx = a.x - b.x, dz = a.z - b.z;
    return dx * dx + dz * dz;
}

float FrameDelta()
{
    const float delta = g_geTimer ? g_geTimer->delta : 0.0f;
    return delta > 0.0f ? delta : 0.001f;
}

} // namespace

Vec3 CQmArcade_Dragging::s_right = {1.0f, 0.0f, 0.0f};
Vec3 CQmArcade_Dragging::s_forward = {0.0f, 0.0f, 1.0f};

CQmArcade_Dragging::CQmArcade_Dragging(const char* arcadeName) : CQmBaseArcade(CGeString(arcadeName))
{
}

CGuiControl* CQmArcade_Dragging::Control(const char* controlName) const
{
    return controlSet ? controlSet->FindControl(CGeString(controlName)) : nullptr;
}

void CQmArcade_Dragging::SetParameter(const char* text)
{
    basketName = text ? text : "";
    // Kept as text only: the basket is looked up again at the start.
    if (CQmEntity* entity = ArcadeEntity(basketName.c_str())) {
        ShowArcadeEntity(entity);
        EnableLock(entity, false);
    }
}

void CQmArcade_Dragging::TakeCameraAxes()
{
    CQmLocation* location = ArcadeLocation();
    CGmCamera* camera = location ? location->ActiveCamera() : nullptr;
    s_right = Vec3{1.0f, 0.0f, 0.0f};
    s_forward = Vec3{0.0f, 0.0f, 1.0f};
    if (!camera)
        return;
    camera->frame.UpdateWorldMatrix();
    const Matrix4& m = camera->frame.local;
    s_right = Flat(Vec3{m.At(0, 0), m.At(1, 0), m.At(2, 0)}, s_right);
    s_forward = Flat(Vec3{m.At(0, 2), m.At(1, 2), m.At(2, 2)}, s_forward);
}

void CQmArcade_Dragging::StartGame()
{
    if (started)
        return;
    active = 1;
    CQmLocation* location = ArcadeLocation();
    CQmEntity* foundHero = ArcadeEntity("qasimar");
    CQmEntity* foundBasket = basketName.IsEmpty() ? nullptr : ArcadeEntity(basketName.c_str());
    if (!foundHero || !foundBasket) {
        hero = basket = basketPlace = nullptr;
        state = kIdle;
        const CGeString missing = !foundHero ? CGeString("entity 'qasimar'")
                                             : CGeString("basket '") + basketName + CGeString("'");
        RefuseStart(missing.c_str());
        return;
    }
    started = 1;
    hero = foundHero;
    basket = foundBasket;
    locationName = location->name;
    PlayHeroTrack(hero, "qasimar_idle_01", 0.0f);
    timer = 0.0f;
    action = kNoAction;
    state = kWaiting;
    for (CQmEntity* entity : {hero, basket}) {
        ShowArcadeEntity(entity);
        EnableLock(entity, false);
    }
    TakeCameraAxes();
    basketPlace = ArcadeEntity("basket_place");
    CreateControlSet("gui/arcades/draggin.xml");
}

void CQmArcade_Dragging::OnMessage(CCiMessageClient* sender, uint32_t code)
{
    if (!started || state != kWaiting || !sender)
        return;
    if (code == QM_MSG_KEY_DOWN && sender == g_keyboard && g_keyboard->lastPressedKey == QM_VK_ESCAPE) {
        Finish();
        return;
    }
    if (code != QM_MSG_LEFT_CLICK)
        return;
    if (sender == Control("close")) {
        Finish();
        return;
    }
    const Vec3 directions[4] = {Vec3{-s_right.x, 0.0f, -s_right.z}, s_right, s_forward,
                                Vec3{-s_forward.x, 0.0f, -s_forward.z}};
    for (int i = 0; i < 4; ++i)
        if (sender == Control(kArrows[i])) {
            RequestShift(directions[i]);
            return;
        }
}

bool CQmArcade_Dragging::Free(const Vec3& point)
{
    CQmLocation* location = ArcadeLocation();
    const CQmAiMap* grid = location ? location->CurrentWalkGrid() : nullptr;
    if (!grid)
        return false;
    const int32_t index = grid->GetCellIndex(point.x + 25.0f, point.z);
    return index >= 0 && index < grid->count && (grid->cells[index].flags & 3) == 0;
}

bool CQmArcade_Dragging::ReachableByHero(const Vec3& point) const
{
    CQmLocation* location = ArcadeLocation();
    CQmAiMap* grid = location ? location->CurrentWalkGrid() : nullptr;
    if (!grid || !grid->count || !hero->Prop<CQmPropMotionController>(QM_PROP_MOTION_CONTROLLER))
        return false;
    CQmWalkPath path;
    return grid->SearchPath(hero->frame.position, point, path);
}

float CQmArcade_Dragging::Facing(const Vec3& d) const
{
    // The hero faces along the X axis of his local matrix (its elements 0,
    // 4 and 8), brought up to date first.
    hero->frame.UpdateWorldMatrix();
    const Matrix4& m = hero->frame.local;
    return d.x * m.At(0, 0) + d.y * m.At(1, 0) + d.z * m.At(2, 0);
}

CQmArcade_Dragging::Possible CQmArcade_Dragging::Test(const Vec3& d) const
{
    Possible can;
    if (!hero || !basket)
        return can;
    const Vec3 b = basket->frame.position;
    const Vec3 p = Along(b, d, -kStep), t = Along(b, d, kStep);
    const Vec3 s1 = Along(b, d, 0.5f * kStep), s2 = Along(b, d, 1.5f * kStep);
    const float c = Facing(d);
    if (c >= kFacing) {
        can.push = Free(s1);
        can.pull = ReachableByHero(t) && Free(s2);
    } else if (c <= -kFacing) {
        can.push = ReachableByHero(p);
        can.pull = Free(s2);
    } else if (c >= kSideways) {
        can.push = ReachableByHero(p) && Free(s1);
        can.pull = ReachableByHero(t) && Free(s2);
    } else {
        can.push = ReachableByHero(p);
        can.pull = ReachableByHero(t) && Free(s2);
    }
    return can;
}

void CQmArcade_Dragging::RequestShift(const Vec3& d)
{
    const Possible can = Test(d);
    if (!can.push && !can.pull)
        return;
    const Vec3 b = basket->frame.position;
    const float c = Facing(d);
    if (c >= kFacing) {
        if (can.push)
            BeginShift(kPush, d);
        else
            WalkThenShift(kPull, d, Along(b, d, kStep));
    } else if (c <= -kFacing) {
        if (can.pull)
            BeginShift(kPull, d);
        else
            WalkThenShift(kPush, d, Along(b, d, -kStep));
    } else if (can.push) {
        WalkThenShift(kPush, d, Along(b, d, -kStep));
    } else {
        WalkThenShift(kPull, d, Along(b, d, kStep));
    }
}

void CQmArcade_Dragging::BeginShift(int32_t shift, const Vec3& d)
{
    PlayHeroTrack(hero, shift == kPush ? "qasimar_shifts_basket_forward" : "qasimar_cycle_shifts_basket", 0.0f);
    heroStart = hero->frame.position;
    basketStart = basket->frame.position;
    direction = d;
    timer = 0.0f;
    state = shift == kPush ? kPushing : kPulling;
}

void CQmArcade_Dragging::WalkThenShift(int32_t shift, const Vec3& d, const Vec3& target)
{
    EnableLocks(true);
    PlayHeroTrack(hero, "qasimar_idle_01", 0.0f);
    walkTarget = target;
    action = shift;
    direction = d;
    state = kBeforeWalk;
    timer = 0.0f;
}

void CQmArcade_Dragging::EnableLocks(bool on)
{
    EnableLock(hero, on);
    EnableLock(basket, on);
}

void CQmArcade_Dragging::UpdateArrows()
{
    const Vec3 directions[4] = {Vec3{-s_right.x, 0.0f, -s_right.z}, s_right, s_forward,
                                Vec3{-s_forward.x, 0.0f, -s_forward.z}};
    for (int i = 0; i < 4; ++i) {
        CGuiControl* arrow = Control(kArrows[i]);
        if (!arrow)
            continue;
        bool enabled = false;
        if (started && state == kWaiting) {
            const Possible can = Test(directions[i]);
            enabled = can.push || can.pull;
        }
        if (arrow->enabledState != (enabled ? 1 : 0))
            arrow->SetVisualState(enabled ? 1 : 0);
    }
}

void CQmArcade_Dragging::SlideBackground(float delta)
{
    CGuiControl* background = Control("background");
    if (started) {
        if (background && background->X() > kSlideIn)
            background->PlaceAt(std::fmax(kSlideIn, background->X() - kSlideSpeed * delta), background->Y());
        return;
    }
    if (state != kSlidingOut)
        return;
    if (background && background->X() <= kSlideOut) {
        background->PlaceAt(background->X() + kSlideSpeed * delta, background->Y());
        return;
    }
    // Out of sight: the game ends now, with the names of its start.
    state = kIdle;
    CQmBaseArcade::Finish();
    ReleaseControlSet();
    const CGeValue args[2] = {CGeValue(locationName), CGeValue(basketName)};
    ScriptCallFunction("dragging_arcade_end", args, 2, true);
}

void CQmArcade_Dragging::Update()
{
    const float delta = FrameDelta();
    SlideBackground(delta);
    UpdateArrows();
    if (!started)
        return;
    timer += delta;
    switch (state) {
    case kBeforeWalk:
        if (timer > kWalkDelay) {
            if (auto* actor = hero->Prop<CQmPropActor>(QM_PROP_ACTOR))
                actor->DispatchTo(walkTarget, Vec3{0.0f, 0.0f, 0.0f}, false, false);
            timer = 0.0f;
            state = kWalking;
        }
        break;
    case kWalking:
        if (!ArcadeWalkEnded(hero))
            break;
        hero->frame.SetAngles(Vec3{0.0f, QmHeadingAngle(direction), 0.0f});
        hero->frame.UpdateWorldMatrix();
        timer = 0.0f;
        if (Distance2D2(hero->frame.position, walkTarget) >= kGiveUpDistance * kGiveUpDistance) {
            state = kWaiting;
            action = kNoAction;
            PlayHeroTrack(hero, "qasimar_idle_01", 0.0f);
            EnableLocks(true);
        } else {
            state = kStartingShift;
        }
        break;
    case kStartingShift:
        if (timer > kStartTrackAt && timer < 99.9f) {
            PlayHeroTrack(hero, "qasimar_start_shifts_basket", 0.0f);
            timer = kStartTrackMark;
        } else if (timer > kStartTrackEnd) {
            EnableLocks(true);
            BeginShift(action, direction);
        }
        break;
    case kPushing:
    case kPulling: {
        const Vec3 at = Along(hero->frame.position, direction, kShiftSpeed * delta);
        hero->frame.SetPosition(at);
        basket->frame.SetPosition(Vec3{at.x - heroStart.x + basketStart.x, at.y - heroStart.y + basketStart.y,
                                       at.z - heroStart.z + basketStart.z});
        if (timer > kShiftTime) {
            if (basketPlace && Distance2D2(basket->frame.position, basketPlace->frame.position) <= kPlaceDistance2) {
                Finish();
                return;
            }
            PlayHeroTrack(hero, "qasimar_idle_01", 0.0f);
            timer = 0.0f;
            state = kWaiting;
            action = kNoAction;
        }
        break;
    }
    default:
        break;
    }
}

void CQmArcade_Dragging::Finish()
{
    if (!started) {
        // A refused start ends at once; a game sliding out ends by itself.
        if (state != kSlidingOut && active) {
            CQmBaseArcade::Finish();
            ReleaseControlSet();
        }
        return;
    }
    if (g_cursors)
        g_cursors->ResetToDefault();
    started = 0;
    EnableLocks(true);
    if (basketPlace && Distance2D2(basket->frame.position, basketPlace->frame.position) <= kPlaceDistance2) {
        const Vec3& place = basketPlace->frame.position;
        basket->frame.SetPosition(Vec3{place.x, basket->frame.position.y, place.z});
    }
    PlayHeroTrack(hero, "qasimar_idle_01", 0.0f);
    if (auto* motion = hero->Prop<CQmPropMotionController>(QM_PROP_MOTION_CONTROLLER))
        motion->Stop();
    // Nothing of the location is used from here on: it may go before the
    // background is out.
    hero = basket = basketPlace = nullptr;
    state = kSlidingOut;
}

uint32_t CQmArcade_Dragging::SaveState(uint8_t** out)
{
    *out = nullptr;
    CQmEntity* saved = started ? basket : ArcadeEntity(basketName.c_str());
    if (!saved)
        return 0;
    auto* block = static_cast<uint8_t*>(std::calloc(kSaveSize, 1));
    if (!block)
        return 0;
    const float position[3] = {saved->frame.position.x, saved->frame.position.y, saved->frame.position.z};
    std::memcpy(block, position, sizeof(position));
    std::memcpy(block + kNameOffset, basketName.c_str(), std::min<size_t>(basketName.Length(), kMaxName));
    *out = block;
    return kSaveSize;
}

void CQmArcade_Dragging::LoadState(const uint8_t* data, uint32_t size)
{
    if (!data || size < kSaveSize) {
        GeLog(2, "%s: a saved block of %u bytes is too short, ignored\n", name.c_str(), size);
        return;
    }
    char savedName[kMaxName + 1] = {};
    std::memcpy(savedName, data + kNameOffset, kMaxName);
    float position[3];
    std::memcpy(position, data, sizeof(position));
    SetParameter(savedName);
    if (CQmEntity* entity = ArcadeEntity(savedName)) {
        entity->frame.SetPosition(Vec3{position[0], position[1], position[2]});
        entity->frame.UpdateWorldMatrix();
    }
}

void CQasimarArcade_DraggingTutorial::OnMessage(CCiMessageClient* sender, uint32_t code)
{
    // Escape is ignored and the disabled close button stays shut.
    if (code == QM_MSG_KEY_DOWN && sender == g_keyboard && g_keyboard && g_keyboard->lastPressedKey == QM_VK_ESCAPE)
        return;
    if (code == QM_MSG_LEFT_CLICK && sender && sender == Control("close"))
        return;
    CQmArcade_Dragging::OnMessage(sender, code);
}

void CQasimarArcade_DraggingTutorial::Update()
{
    const int32_t before = state;
    CQmArcade_Dragging::Update();
    if (CGuiControl* close = Control("close"))
        if (close->enabledState)
            close->SetVisualState(0);
    if ((before == kPushing || before == kPulling) && state == kWaiting) {
        const QmGameVar* tutor = CQmGameVars::Get("iTutor");
        if (tutor && tutor->value == 2)
            ScriptCallFunction("dragging_arcade_tutor_firstshift", nullptr, 0, true);
    }
}
