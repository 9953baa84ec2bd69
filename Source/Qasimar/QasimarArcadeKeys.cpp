#include "Source/Qasimar/QasimarArcadeKeys.h"

#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GeRandom.h"
#include "Engine/Core/Common/GeTimer.h"
#include "Engine/Core/Gm/GmImage.h"
#include "Engine/Core/Gm/GmResCollector.h"
#include "Engine/Core/Gm/GmSprite.h"
#include "Engine/Core/Gm/GmTexture.h"
#include "Engine/Gui/GeCursorSet.h"
#include "Engine/Gui/GeMouse.h"
#include "Engine/Gui/GuiControlSet.h"
#include "Engine/Gui/GuiCustom.h"
#include "Engine/Gui/GuiManager.h"
#include "Source/GameClasses/QmGameProcessor.h"
#include "Source/GameClasses/QmInputCodes.h"
#include "Source/GameClasses/QmScriptProcessor.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr float kReferenceWidth = 1280.0f;
constexpr float kReferenceHeight = 1024.0f;
constexpr float kColorSpeed = 3.0f; // phase per second: a blend takes a third of a second
constexpr uint32_t kKeyBlend = 5;
constexpr uint32_t kSparkBlend = 2;

void FireEvent(const char* event)
{
    ScriptCallFunction(event, nullptr, 0, true);
}

CGeString KeyControlName(int i)
{
    char text[8];
    std::snprintf(text, sizeof(text), "key%02d", i);
    return CGeString(text);
}

CGeString KeyPicture(int32_t kind, int32_t variant)
{
    char text[64];
    std::snprintf(text, sizeof(text), "backgrounds/loc17/key_%02d_%d.tga", kind, variant);
    return g_dataRoot + text;
}

} // namespace

// The key ------------------------------------------------------------------

const CQasimarArcade_Keys::Place CQasimarArcade_Keys::kPlaces[kKeys] = {
    {1006, 280}, {328, 189}, {754, 399}, {494, 262}, {497, 79},  {888, 636}, {801, 292}, {672, 763}, {625, 95},
    {786, 206},  {697, 174}, {649, 338}, {520, 162}, {768, 570}, {540, 565}, {515, 669}, {186, 335}, {213, 456},
    {370, 508},  {367, 721}, {965, 476}, {244, 602}, {708, 518}, {378, 291}, {477, 389},
};

uint32_t CKeys_Key::TargetColor(int32_t state)
{
    switch (state) {
    case kHovered:
    case kSelected:
        return 0xFF00FF00;
    case kMismatch:
        return 0xFFFF0000;
    default:
        return 0x0000FF00;
    }
}

CKeys_Key::CKeys_Key(int32_t keyKind, int32_t variant) : kind(keyKind)
{
    CGmTexture* texture = rescollect::LoadTexture(KeyPicture(keyKind, variant), false, &pictureFound);
    CGmImageSet images;
    if (texture) {
        images.Init(texture, 2, 2);
        texture->Release();
    }
    sprite = new CGmSprite(images);
    sprite->SetBlendMode(kKeyBlend);
    sprite->SetFrame(0);
    frame.AddChild(&sprite->frame);
    const int index = 2 * keyKind + variant;
    if (index >= 0 && index < CQasimarArcade_Keys::kKeys) {
        const CQasimarArcade_Keys::Place& place = CQasimarArcade_Keys::kPlaces[index];
        sprite->frame.SetPosition({place.x, place.y, 0.0f});
    }

    bool sparkFound = false;
    CGmTexture* sparkTexture = rescollect::LoadTexture(g_dataRoot + "psystextures/boom_p0.dds", false, &sparkFound);
    CGmImageSet sparkImages;
    if (sparkTexture) {
        sparkImages.Init(sparkTexture, 1, 1);
        sparkTexture->Release();
    }
    for (int j = 0; j < kSparks; ++j) {
        CGmSprite* spark = new CGmSprite(sparkImages);
        spark->SetBlendMode(kSparkBlend);
        for (uint32_t f = 0; f < spark->imageSet.frameCount; ++f)
            spark->hotPoints.Add(Vec2{spark->size[0] * 0.5f, spark->size[1] * 0.5f});
        frame.AddChild(&spark->frame);
        spark->visible = 0;
        sparks[j] = spark;
    }
}

CKeys_Key::~CKeys_Key()
{
    delete sprite;
    for (CGmSprite*& spark : sparks) {
        delete spark;
        spark = nullptr;
    }
}

void CKeys_Key::SetState(int32_t newState)
{
    if (newState == state)
        return;
    phase = 0.0f;
    fromColor = color;
    state = newState;
    if (newState != kRemoved)
        return;
    for (int j = 0; j < kSparks; ++j) {
        sparks[j]->visible = 0;
        sparkTime[j] = kSparkLife - float(j) * kSparkLife / float(kSparks);
    }
    removedTime = 0.0f;
}

bool CKeys_Key::PointTest(float x, float y) const
{
    CGmSprite& body = *sprite;
    body.frame.UpdateWorldMatrix();
    Matrix4 inverse;
    if (!MatrixInverse(body.frame.world, inverse))
        return false;
    const float lx = inverse.m[0] * x + inverse.m[1] * y + inverse.m[3];
    const float ly = inverse.m[4] * x + inverse.m[5] * y + inverse.m[7];
    if (!(lx >= 0.0f && ly >= 0.0f && lx < body.size[0] && ly < body.size[1]))
        return false;
    const CGmImageSet& images = body.imageSet;
    if (!images.texture || images.kind != CGmImageSet::KIND_GRID)
        return false;
    // Local units are reference pixels; the frame's texels may be fewer or
    // more when the back buffer is not the reference size.
    const uint32_t frameNumber = images.currentFrame < images.frameCount ? images.currentFrame : 0;
    const uint32_t perLine = std::max<uint32_t>(images.framesPerLine, 1);
    const float frameWidth = images.framePixelSize[0], frameHeight = images.framePixelSize[1];
    const float tx = float(frameNumber % perLine) * frameWidth + std::floor(lx * frameWidth / body.size[0]);
    const float ty = float(frameNumber / perLine) * frameHeight + std::floor(ly * frameHeight / body.size[1]);
    uint8_t alpha = 0;
    return tx >= 0.0f && ty >= 0.0f && images.texture->TexelAlpha(uint32_t(tx), uint32_t(ty), &alpha) && alpha != 0;
}

void CKeys_Key::PlaceSpark(int j)
{
    const Vec3 origin = sprite->frame.position;
    float x = origin.x, y = origin.y;
    for (int attempt = 0; attempt < kSparkTries; ++attempt) {
        const int r1 = GeRand() % 4096, r2 = GeRand() % 4096;
        x = origin.x + sprite->size[0] * float(r1) / 4096.0f;
        y = origin.y + sprite->size[1] * float(r2) / 4096.0f;
        // The place is in the key's own space; the point test wants the screen.
        frame.UpdateWorldMatrix();
        const Vec2 screen = TransformPoint2D(*this, x, y);
        if (PointTest(screen.x, screen.y))
            break;
    }
    CGmSprite* spark = sparks[j];
    spark->frame.SetPosition({x, y, origin.z});
    spark->visible = 1;
    spark->Update();
}

void CKeys_Key::Step(float delta)
{
    phase += kColorSpeed * delta;
    const float scaled = phase * 255.0f;
    const uint32_t factor = scaled <= 0.0f ? 0u : scaled >= 255.0f ? 255u : uint32_t(scaled);
    LerpColorArgb(factor, fromColor, TargetColor(state), &color);

    if (state == kMismatch && phase > kFlashEnd)
        SetState(kIdle);

    if (state == kRemoved && removedTime < kSparkingTime) {
        removedTime += delta;
        for (int j = 0; j < kSparks; ++j)
            if (sparkTime[j] < 0.0f && sparkTime[j] + delta >= 0.0f)
                PlaceSpark(j);
    }

    for (int j = 0; j < kSparks; ++j) {
        CGmSprite* spark = sparks[j];
        sparkTime[j] += delta;
        if (sparkTime[j] > kSparkLife) {
            spark->visible = 0;
            sparkTime[j] = -kSparkRest;
            continue;
        }
        const float alpha = 700.0f * (1.0f - sparkTime[j] / kSparkLife);
        spark->SetAlpha(uint8_t(std::clamp(alpha, 0.0f, 255.0f)));
        Vec3 turn = spark->frame.angles;
        turn.z += delta;
        spark->frame.SetAngles(turn);
    }

    sprite->Update();
}

void CKeys_Key::Render()
{
    CGmSprite& body = *sprite;
    const uint8_t glow = uint8_t(color >> 24);
    if (glow > 0) {
        body.SetFrame(1);
        body.SetColor(color & 0xFFFFFF);
        body.SetAlpha(glow);
        body.Render();
        body.SetFrame(0);
        body.SetColor(0xFFFFFF);
        body.SetAlpha(255);
    }
    if (state == kRemoved) {
        // A removed key fades out with its green glow.
        if (glow > 0) {
            body.SetColor(color & 0xFFFFFF);
            body.SetAlpha(glow);
            body.Render();
            body.SetColor(0xFFFFFF);
            body.SetAlpha(255);
        }
    } else {
        body.Render();
    }
    for (CGmSprite* spark : sparks)
        if (spark->visible)
            spark->Render();
}

// The game -----------------------------------------------------------------

CQasimarArcade_Keys::CQasimarArcade_Keys() : CQmBaseArcade(CGeString("arcade: keys"))
{
}

CQasimarArcade_Keys::~CQasimarArcade_Keys()
{
    DeleteKeys();
}

void CQasimarArcade_Keys::DeleteKeys()
{
    selected = nullptr;
    // Controls that outlive their keys (the set not yet released, at
    // shutdown) must not keep showing them.
    const bool setAlive = controlSet && g_guiManager && g_guiManager->Holds(controlSet);
    for (int i = 0; i < kKeys; ++i) {
        if (setAlive && hosts[i] && controlSet->Holds(hosts[i]))
            hosts[i]->DetachVisual();
        hosts[i] = nullptr;
        delete keys[i];
        keys[i] = nullptr;
    }
}

void CQasimarArcade_Keys::StartGame()
{
    active = 1;
    CGuiControlSet* set = CreateControlSet("gui/arcades/keys.xml");
    if (!set) {
        RefuseStart("the control set of \"gui/arcades/keys.xml\"");
        return;
    }
    // Everything is checked before a key is hung on a control, so that a
    // refused start leaves the layout as it was.
    for (int i = 0; i < kKeys; ++i) {
        const CGeString controlName = KeyControlName(i);
        CGuiControl* control = set->FindControl(controlName);
        if (!control)
            control = set->CreateControl(controlName, EGCT_CUSTOM);
        if (!control || control->ControlType() != EGCT_CUSTOM) {
            const CGeString what = CGeString("the custom control '") + controlName + "'";
            RefuseStart(what.c_str());
            return;
        }
        hosts[i] = static_cast<CGuiCustom*>(control);
    }
    for (int i = 0; i < kKeys; ++i) {
        keys[i] = new CKeys_Key(i / 2, i % 2);
        if (!keys[i]->pictureFound) {
            char what[96];
            std::snprintf(what, sizeof(what), "the key picture \"backgrounds/loc17/key_%02d_%d.tga\"", i / 2, i % 2);
            RefuseStart(what);
            return;
        }
    }
    for (int i = 0; i < kKeys; ++i) {
        CGuiCustom* host = hosts[i];
        host->SetPosition(0.0f, 0.0f);
        host->SetSize(kReferenceWidth, kReferenceHeight);
        host->SendToBack();
        host->AttachVisual(keys[i]);
    }
    started = 0;
    selected = nullptr;
    finished = 0;
    if (CGuiControl* banner = set->FindControl(CGeString("banner")))
        banner->visible = 1;
}

void CQasimarArcade_Keys::Finish()
{
    CQmBaseArcade::Finish();
    ReleaseControlSet();
    DeleteKeys();
    if (finished) {
        finished = 0;
        FireEvent("keys_arcade_end");
    }
}

int CQasimarArcade_Keys::RemainingKeys() const
{
    int count = 0;
    for (const CKeys_Key* key : keys)
        if (key && key->state != CKeys_Key::kRemoved)
            ++count;
    return count;
}

void CQasimarArcade_Keys::Update()
{
    if (g_cursors)
        g_cursors->ResetToDefault();
    if (!active)
        return;
    if (started) {
        const float x = g_cursors ? g_cursors->position[0] : -1.0f;
        const float y = g_cursors ? g_cursors->position[1] : -1.0f;
        const float delta = g_geTimer ? g_geTimer->delta : 0.0f;
        for (CKeys_Key* key : keys) {
            if (!key)
                continue;
            if (key->state == CKeys_Key::kIdle || key->state == CKeys_Key::kHovered)
                key->SetState(key->PointTest(x, y) ? CKeys_Key::kHovered : CKeys_Key::kIdle);
            key->Step(delta);
        }
    }
    if (finished)
        Finish();
}

void CQasimarArcade_Keys::OnMessage(CCiMessageClient* sender, uint32_t code)
{
    if (code != QM_MSG_LEFT_PRESS || !g_mouse || sender != g_mouse)
        return;
    Click(g_cursors ? g_cursors->position[0] : -1.0f, g_cursors ? g_cursors->position[1] : -1.0f);
}

void CQasimarArcade_Keys::Click(float x, float y)
{
    if (!started) {
        if (CGuiControl* banner = controlSet ? controlSet->FindControl(CGeString("banner")) : nullptr)
            banner->visible = 0;
        started = 1;
        return;
    }
    CKeys_Key* clicked = nullptr;
    for (CKeys_Key* key : keys)
        if (key && key->state != CKeys_Key::kRemoved && key->PointTest(x, y)) {
            clicked = key;
            break;
        }
    if (!clicked)
        return;
    if (!selected) {
        selected = clicked;
        clicked->SetState(CKeys_Key::kSelected);
        if (RemainingKeys() == 1)
            finished = 1;
        FireEvent("keys_arcade_select");
    } else if (clicked == selected) {
        clicked->SetState(CKeys_Key::kIdle);
        selected = nullptr;
        FireEvent("keys_arcade_unselect");
    } else {
        clicked->SetState(CKeys_Key::kSelected);
        const bool match = clicked->kind == selected->kind;
        const int32_t outcome = match ? CKeys_Key::kRemoved : CKeys_Key::kMismatch;
        clicked->SetState(outcome);
        selected->SetState(outcome);
        selected = nullptr;
        FireEvent(match ? "keys_arcade_match" : "keys_arcade_mismatch");
    }
}
