#include "Source/Qasimar/QasimarArcadeThrowing.h"

#include "Engine/Anim/GmMeshResource.h"
#include "Engine/Core/Common/GeRandom.h"
#include "Engine/Core/Common/GeTimer.h"
#include "Engine/Core/Common/GeValue.h"
#include "Engine/Core/Gm/GmMaterial.h"
#include "Engine/Core/Gm/GmScenicMesh.h"
#include "Engine/Gui/GeKeyboard.h"
#include "Engine/Gui/GeMouse.h"
#include "Engine/Gui/GuiControlSet.h"
#include "Engine/Gui/GuiManager.h"
#include "Engine/Gui/GuiProgressBar.h"
#include "Engine/Gui/GuiPropertyIds.h"
#include "Engine/Gui/GuiValues.h"
#include "Source/GameClasses/QmEntity.h"
#include "Source/Qasimar/QasimarArcadeLocation.h"
#include "Source/GameClasses/QmInputCodes.h"
#include "Source/GameClasses/QmLocation.h"
#include "Source/GameClasses/QmLocationManager.h"
#include "Source/GameClasses/QmPropAnimController.h"
#include "Source/GameClasses/QmPropIkProcessor.h"
#include "Source/GameClasses/QmScriptProcessor.h"

#include <cmath>

namespace {

constexpr Vec3 kUp = {0.0f, 1.0f, 0.0f};
constexpr float kDegrees = 3.14159265358979f / 180.0f;
constexpr float kGravityStep = 9.8f; // per 0.01 s step
constexpr float kGravity = 980.0f;   // per second, for the rest of a frame
constexpr uint32_t kVirtualKeyEscape = 0x1B;

Vec3 Add(const Vec3& a, const Vec3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec3 Sub(const Vec3& a, const Vec3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 Scale(const Vec3& a, float s) { return {a.x * s, a.y * s, a.z * s}; }
Vec3 Translation(const Matrix4& m) { return {m.At(0, 3), m.At(1, 3), m.At(2, 3)}; }

// Looking along forward (the local z axis) with the world up above, scaled
// by scale, at position.
Matrix4 Basis(Vec3 forward, const Vec3& position, float scale)
{
    forward.Normalize();
    Vec3 side = Vec3::Cross(kUp, forward);
    side.Normalize();
    const Vec3 up = Vec3::Cross(forward, side);
    Matrix4 m = MatrixFromAxes(Scale(side, scale), Scale(up, scale), Scale(forward, scale));
    m.At(0, 3) = position.x;
    m.At(1, 3) = position.y;
    m.At(2, 3) = position.z;
    return m;
}

Matrix4 Placement(const Vec3& position)
{
    Matrix4 m = Matrix4::Identity();
    m.At(0, 3) = position.x;
    m.At(1, 3) = position.y;
    m.At(2, 3) = position.z;
    return m;
}

// The first visual of the entity's visual object, when it is a mesh.
CGmScenicMesh* FirstMesh(CQmEntity* entity)
{
    auto* visuals = entity ? entity->Prop<CQmPropVisualObject>(QM_PROP_VISUAL_OBJECT) : nullptr;
    return visuals && visuals->visuals.Count() ? dynamic_cast<CGmScenicMesh*>(visuals->visuals[0]) : nullptr;
}

CGmMeshResource* MouthSkeleton(CQmEntity* head)
{
    CGmScenicMesh* mesh = FirstMesh(head);
    auto* skeleton = mesh ? dynamic_cast<CGmMeshResource*>(mesh->skeleton) : nullptr;
    return skeleton && skeleton->JointCount() > CQasimarArcade_Throwing::kMouthJoint ? skeleton : nullptr;
}

void FixCompose(CQmEntity* entity, uint32_t& saved)
{
    saved = entity->frame.composeMode;
    entity->frame.SetComposeMode(CGeFrame3D::COMPOSE_FIXED);
}

void CallScript(const char* function)
{
    ScriptCallFunction(function, nullptr, 0, true);
}

} // namespace

CQasimarArcade_Throwing::CQasimarArcade_Throwing() : CQmBaseArcade(CGeString("arcade: throwing")) {}

CQasimarArcade_Throwing::~CQasimarArcade_Throwing()
{
    Listen(false);
}

Vec3 CQasimarArcade_Throwing::AimDirection(const Vec3& headPosition, float angle)
{
    Vec3 toTarget = Sub(kTarget, headPosition);
    toTarget.Normalize();
    const Matrix4 turn = MatrixFromAxisAngle(Vec3::Cross(kUp, toTarget), -(angle - 90.0f) * kDegrees);
    Vec3 aim = MatrixTransformNormal(turn, toTarget);
    aim.Normalize();
    return aim;
}

void CQasimarArcade_Throwing::SwingPower(float& value, float& direction, float delta)
{
    value += delta * direction * 100.0f;
    for (;;) {
        if (value < 0.0f) {
            value = -value;
            direction = 1.0f;
        } else if (value > 100.0f) {
            value = 200.0f - value;
            direction = -1.0f;
        } else {
            return;
        }
    }
}

void CQasimarArcade_Throwing::Fly(Vec3& position, Vec3& velocity, float delta)
{
    float left = delta;
    while (left > kStep) {
        position = Add(position, Scale(velocity, kStep));
        velocity.y -= kGravityStep;
        left -= kStep;
    }
    position = Add(position, Scale(velocity, left));
    velocity.y -= kGravity * left;
}

Vec3 CQasimarArcade_Throwing::HeadPosition() const
{
    if (!head)
        return {0.0f, 0.0f, 0.0f};
    head->frame.UpdateWorldMatrix();
    return Translation(head->frame.world);
}

Vec3 CQasimarArcade_Throwing::MouthPoint() const
{
    CGmScenicMesh* mesh = FirstMesh(head);
    CGmMeshResource* skeleton = MouthSkeleton(head);
    if (!mesh || !skeleton)
        return HeadPosition();
    mesh->frame.UpdateWorldMatrix();
    skeleton->UpdateWorldMatrices();
    return Translation(MatrixMultiply4x4(mesh->frame.world, skeleton->WorldMatrix(kMouthJoint)));
}

void CQasimarArcade_Throwing::Listen(bool on)
{
    for (CQmEntity* entity : {head, lemon})
        if (CJaAnimController* controller = ArcadeJointController(entity)) {
            if (on)
                controller->AddChainCallback(this);
            else
                controller->RemoveChainCallback(this);
        }
}

void CQasimarArcade_Throwing::ForgetEntities()
{
    head = lemon = arrow = nullptr;
    powerBar = nullptr;
}

void CQasimarArcade_Throwing::StartGame()
{
    active = 1;
    CreateControlSet("gui/arcades/throwing.xml");
    powerBar = controlSet ? dynamic_cast<CGuiProgressBar*>(controlSet->FindControl(CGeString("progress"))) : nullptr;
    head = ArcadeFindEntity("cherep");
    lemon = ArcadeFindEntity("lemon_arcade");
    arrow = ArcadeFindEntity("arrow_arcade");
    const char* missing = !powerBar                  ? "progress bar 'progress'"
                          : !head                    ? "entity 'cherep'"
                          : !lemon                   ? "entity 'lemon_arcade'"
                          : !arrow                   ? "entity 'arrow_arcade'"
                          : !ArcadeJointController(head)   ? "the animation controller of 'cherep'"
                          : !ArcadeJointController(lemon)  ? "the animation controller of 'lemon_arcade'"
                          : !MouthSkeleton(head)     ? "the mouth joint of 'cherep'"
                                                     : nullptr;
    if (missing) {
        ForgetEntities();
        RefuseStart(missing);
        return;
    }
    const Vec3 headPosition = HeadPosition();
    FixCompose(head, headComposeMode);
    FixCompose(lemon, lemonComposeMode);
    FixCompose(arrow, arrowComposeMode);
    Listen(true);
    head->frame.SetMatrix(Basis(Sub(kTarget, headPosition), headPosition, 1.0f));
    PlayHead("cherep_idle", kHeadIdle);
    powerBar->SetValue(0.0f);
    lemonPosition = kRest;
    Enter(kAiming);
}

void CQasimarArcade_Throwing::Finish()
{
    const bool won = lemonPosition.y > kWinLow && lemonPosition.y <= kWinHigh;
    CQmBaseArcade::Finish();
    Listen(false);
    if (head)
        head->frame.SetComposeMode(headComposeMode);
    if (lemon)
        lemon->frame.SetComposeMode(lemonComposeMode);
    if (arrow)
        arrow->frame.SetComposeMode(arrowComposeMode);
    ForgetEntities();
    ReleaseControlSet();
    lemonPosition = kRest;
    CGeValue result;
    result.kind = GE_VALUE_BOOL;
    result.scalar.b = won ? 1 : 0;
    ScriptCallFunction("loc05_arcade_end", &result, 1, true);
}

void CQasimarArcade_Throwing::PlayHead(const char* track, int32_t anim)
{
    PlayHeroTrack(head, track, 0.5f);
    headIdleTime = 0.0f;
    headAnim = anim;
}

void CQasimarArcade_Throwing::PlaceLemon()
{
    if (lemon)
        lemon->frame.SetMatrix(Placement(lemonPosition));
}

void CQasimarArcade_Throwing::Enter(int32_t newState)
{
    state = newState;
    switch (newState) {
    case kAiming:
        mouseX = g_mouse ? g_mouse->x : 0.0f;
        mouseY = g_mouse ? g_mouse->y : 0.0f;
        lemonPosition = kRest;
        PlaceLemon();
        PlayHeroTrack(lemon, "lemon_idle", 0.0f);
        throwTime = 0.0f;
        break;
    case kPower:
        if (powerBar)
            powerBar->SetValue(0.0f);
        break;
    case kThrow:
        PlayHead("cherep_spit", kHeadSpit);
        CallScript("loc05_skull_split");
        break;
    case kBurst:
        PlayHeroTrack(lemon, "lemon_blast", 0.0f);
        CallScript("loc05_lemon_blast");
        break;
    case kAimAgain:
        Enter(kAiming);
        break;
    default: break;
    }
}

void CQasimarArcade_Throwing::OnMessage(CCiMessageClient* sender, uint32_t code)
{
    if (!sender)
        return;
    if (sender == g_mouse && code == QM_MSG_LEFT_PRESS) {
        if (state == kAiming)
            Enter(kPower);
        else if (state == kPower)
            Enter(kThrow);
        else if (state == kAimAgain)
            Enter(kAiming);
    } else if (sender == g_keyboard && code == QM_MSG_KEY_DOWN && g_keyboard->lastPressedKey == kVirtualKeyEscape &&
               state != kThrow && state != kBurst) {
        Finish();
    }
}

void CQasimarArcade_Throwing::Callback(CJaSeqPlayer* player, uint32_t channel, int32_t notification)
{
    if (!active || notification != -1 || !player)
        return;
    CJaAnimController* headController = ArcadeJointController(head);
    CJaAnimController* lemonController = ArcadeJointController(lemon);
    if (headController && headController->ChannelPlayer(channel) == player)
        PlayHead("cherep_idle", kHeadIdle);
    else if (lemonController && lemonController->ChannelPlayer(channel) == player)
        Enter(kAimAgain);
}

void CQasimarArcade_Throwing::UpdateArrow(float delta)
{
    const bool aiming = state == kAiming || state == kPower;
    if (aiming) {
        const Vec3 aim = Aim();
        const float stretch = state == kPower && powerBar ? 1.0f + powerBar->value / 100.0f : 1.0f;
        arrow->frame.SetMatrix(Basis(aim, Add(MouthPoint(), Scale(aim, 50.0f)), stretch));
    }
    CGmScenicMesh* mesh = FirstMesh(arrow);
    CGmMaterial* material = mesh ? mesh->GetPass(0) : nullptr;
    if (!material)
        return;
    const float alpha = Clamp(0.0f, 1.0f, material->diffuse.a + (aiming ? delta : -delta));
    material->diffuse.a = material->ambient.a = material->specular.a = material->emissive.a = alpha;
}

void CQasimarArcade_Throwing::UpdatePowerBarColor(float delta)
{
    int32_t alpha = 255;
    if (state == kAiming) {
        alpha = int32_t(powerBar->disabledColor >> 24) - int32_t(delta * 192.0f);
        if (alpha < 0)
            alpha = 0;
    }
    const uint32_t color = (powerBar->disabledColor & 0x00FFFFFFu) | (uint32_t(alpha) << 24);
    powerBar->SetProperty(EP_DisabledColor, GuiMakeUInt(color), true);
}

void CQasimarArcade_Throwing::UpdateFlight(float delta)
{
    throwTime += delta;
    if (throwTime < kSpitTime)
        return;
    if (lemonPosition.x == kRest.x && lemonPosition.y == kRest.y && lemonPosition.z == kRest.z) {
        const float power = powerBar->value / 100.0f;
        lemonPosition = MouthPoint();
        lemonVelocity = Scale(Aim(), power * 800.0f + 700.0f);
    } else {
        Fly(lemonPosition, lemonVelocity, delta);
    }
    const bool grounded = lemonPosition.y <= 0.0f;
    if (grounded)
        lemonPosition.y = 0.0f;
    PlaceLemon();
    if (grounded) {
        Enter(kBurst);
        return;
    }
    const Vec3 start = HeadPosition();
    Vec3 toTarget = Sub(kTarget, start);
    const float distance = toTarget.Normalize();
    if (Vec3::Dot(Sub(lemonPosition, start), toTarget) < distance)
        return;
    if (lemonPosition.y > kWinLow && lemonPosition.y <= kWinHigh)
        Finish();
    else
        Enter(kBurst);
}

void CQasimarArcade_Throwing::Update()
{
    if (!active || !head)
        return;
    const float delta = g_geTimer ? g_geTimer->delta : 0.0f;
    UpdateArrow(delta);
    if (headAnim == kHeadIdle) {
        headIdleTime += delta;
        if (headIdleTime >= kIdleVariationTime)
            PlayHead(GeRand() % 2 ? "cherep_idle03" : "cherep_idle02", kHeadIdleVariation);
    }
    UpdatePowerBarColor(delta);
    switch (state) {
    case kAiming: {
        const float y = g_mouse ? g_mouse->y : mouseY;
        const float angle = Clamp(90.0f, 170.0f, aimAngle - (y - mouseY) * 0.25f);
        mouseX = g_mouse ? g_mouse->x : mouseX;
        mouseY = y;
        if (angle != aimAngle) {
            aimAngle = angle;
            if (auto* lookAt = head->Prop<CQmPropIkProcessor>(QM_PROP_IK_PROCESSOR))
                lookAt->LookAt(Add(HeadPosition(), Scale(Aim(), 200.0f)));
        }
        break;
    }
    case kPower: {
        float value = powerBar->value;
        SwingPower(value, powerDirection, delta);
        powerBar->SetValue(value);
        break;
    }
    case kThrow: UpdateFlight(delta); break;
    default: break;
    }
}
