#include "Source/Qasimar/QasimarArcadeDoor.h"

#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GeRandom.h"
#include "Engine/Core/Common/GeTimer.h"
#include "Engine/Core/Common/GeValue.h"
#include "Engine/Core/Gm/GmColorFader.h"
#include "Engine/Core/Gm/GmSprite.h"
#include "Engine/Core/Gm/GmTexture.h"
#include "Engine/Gui/GeCursorSet.h"
#include "Engine/Gui/GeMouse.h"
#include "Engine/Gui/GuiButton.h"
#include "Engine/Gui/GuiControlSet.h"
#include "Engine/Gui/GuiCustom.h"
#include "Engine/Gui/GuiManager.h"
#include "Engine/Gui/GuiPropertyIds.h"
#include "Source/GameClasses/QmGameProcessor.h"
#include "Source/GameClasses/QmImageList.h"
#include "Source/GameClasses/QmInputCodes.h"
#include "Source/GameClasses/QmInventory.h"
#include "Source/GameClasses/QmScriptProcessor.h"

#include <cmath>
#include <cstdio>

namespace {

constexpr uint32_t kWheelBlend = 5;
constexpr int kStartSwaps = 250;
constexpr int kReshuffleSwaps = 100;
constexpr float kPauseTime = 1.0f;
constexpr float kWheelTime = 5.0f;
constexpr float kWrongTime = 2.0f;
constexpr float kOpeningTime = 3.0f;
constexpr float kFadeTime = 0.5f;

void SetPictures(CGuiControl* control, const char* picture)
{
    if (!control)
        return;
    const CGeValue value(picture);
    for (uint32_t property : {EP_CenterPic, EP_CenterDownPic, EP_CenterHoverPic})
        control->SetProperty(property, value, true);
}

void FireEvent(const char* event)
{
    ScriptCallFunction(event, nullptr, 0, true);
}

void FireEvent(const char* event, bool flag)
{
    CGeValue argument;
    argument.kind = GE_VALUE_BOOL;
    argument.scalar.b = flag ? 1 : 0;
    ScriptCallFunction(event, &argument, 1, true);
}

} // namespace

void CQasimarArcade_Door::Sign::SetState(int32_t newState)
{
    if (newState == state)
        return;
    state = newState;
    char picture[32];
    if (newState == kNotFound)
        std::snprintf(picture, sizeof(picture), "bld_empty");
    else
        std::snprintf(picture, sizeof(picture), "door_%s", name);
    SetPictures(control, picture);
    if (control)
        control->SetSpritesColor(newState == kFound ? kFoundColor : kOpenColor);
}

CQasimarArcade_Door::CQasimarArcade_Door() : CQmBaseArcade(CGeString("arcade: door"))
{
}

CQasimarArcade_Door::~CQasimarArcade_Door()
{
    // At shutdown during a play the wheel control may outlive the game.
    if (wheel && controlSet && g_guiManager && g_guiManager->Holds(controlSet) && controlSet->Holds(wheel) &&
        wheel->attached == wheelSprite)
        wheel->DetachVisual();
    DeleteSigns();
    delete wheelSprite;
}

CGuiControl* CQasimarArcade_Door::IntroText() const
{
    return controlSet ? controlSet->FindControl(CGeString("txt_lbl")) : nullptr;
}

uint32_t CQasimarArcade_Door::WheelFrame(float t)
{
    if (t < 1.0f)
        return uint32_t(std::lround(30.0f * t));
    if (t < 1.5f)
        return 30 + uint32_t(std::lround(16.0f * (t - 1.0f)));
    if (t < 4.5f)
        return 38;
    const long frame = std::lround(16.0f * (5.0f - t) + 30.0f);
    return frame < 0 ? 0u : uint32_t(frame);
}

void CQasimarArcade_Door::MakeWheelSprite()
{
    CGeArray<CGmTexture*> textures;
    if (!LoadImageList("locations/loc23/wheel.xml", textures)) {
        GeLog(2, "%s: the image list \"locations/loc23/wheel.xml\" cannot be loaded; the wheel stays empty\n",
              name.c_str());
        return;
    }
    CGmImageSet images;
    if (textures.Count() > 0)
        images.InitFromList(textures.data, textures.Count());
    for (CGmTexture* texture : textures)
        texture->Release();
    wheelSprite = new CGmSprite(images);
    wheelSprite->SetBlendMode(kWheelBlend);
    wheelSprite->SetColor(wheelSprite->color);
    wheelSprite->SetFrame(0);
    wheelSprite->frame.SetPosition({0.0f, 0.0f, 0.0f});
}

void CQasimarArcade_Door::StartGame()
{
    if (started)
        return;
    active = 1;
    started = 1;
    CGuiControlSet* set = controlSet;
    if (!layoutLoaded) {
        set = CreateControlSet("gui/arcades/door.xml");
        layoutLoaded = 1;
    }
    if (!set) {
        RefuseStart("the control set of \"gui/arcades/door.xml\"");
        return;
    }
    for (int i = 0; i < kSigns; ++i) {
        Sign* sign = new Sign();
        std::snprintf(sign->name, sizeof(sign->name), "sign_%02i", i);
        CGuiControl* control = set->FindControl(CGeString(sign->name));
        sign->control = control && control->ControlType() == EGCT_BUTTON ? static_cast<CGuiButton*>(control) : nullptr;
        signs[i] = sign;
    }
    for (int k = 0; k < kGroup; ++k) {
        char sampleName[24];
        std::snprintf(sampleName, sizeof(sampleName), "sample_%i", k + 1);
        samples[k] = set->FindControl(CGeString(sampleName));
    }
    door = set->FindControl(CGeString("door"));
    CGuiControl* wheelControl = set->FindControl(CGeString("wheel"));
    wheel = wheelControl && wheelControl->ControlType() == EGCT_CUSTOM ? static_cast<CGuiCustom*>(wheelControl)
                                                                        : nullptr;

    // What is missing is named before anything changes on screen.
    char missing[64] = {};
    for (int i = 0; i < kSigns && !missing[0]; ++i)
        if (!signs[i]->control)
            std::snprintf(missing, sizeof(missing), "the button '%s'", signs[i]->name);
    for (int k = 0; k < kGroup && !missing[0]; ++k)
        if (!samples[k])
            std::snprintf(missing, sizeof(missing), "the control 'sample_%i'", k + 1);
    if (!missing[0] && !wheel)
        std::snprintf(missing, sizeof(missing), "the custom control 'wheel'");
    if (missing[0]) {
        RefuseStart(missing);
        return;
    }

    for (Sign* sign : signs)
        sign->SetState(Sign::kNotFound);
    if (!wheelSprite)
        MakeWheelSprite();
    if (wheelSprite) {
        wheel->AttachVisual(wheelSprite);
        wheelSprite->frame.SetPosition({wheel->clientOrigin[0], wheel->clientOrigin[1], 0.0f});
        wheelSprite->SetSize(wheel->clientSize[0], wheel->clientSize[1]);
        SetWheelFrame(0);
    }
    for (int i = 0; i < kSigns; ++i)
        order[i] = uint8_t(i);
    for (int n = 0; n < kStartSwaps; ++n) {
        const int a = GeRand() % kSigns, b = GeRand() % kSigns;
        if (a != b)
            std::swap(order[a], order[b]);
    }
    state = kIntroduction;
    pickedInGroup = 0;
    progress = 0;
    timer = 0.0f;
    if (CGuiControl* text = IntroText())
        text->visible = 1;
}

void CQasimarArcade_Door::DeleteSigns()
{
    for (Sign*& sign : signs) {
        delete sign;
        sign = nullptr;
    }
}

void CQasimarArcade_Door::Finish()
{
    // The sprite stays for the next play; the control goes with the set.
    if (wheel && wheelSprite && wheel->attached == wheelSprite)
        wheel->DetachVisual();
    wheel = nullptr;
    const bool opened = state == kFadeOut;
    CQmBaseArcade::Finish();
    ReleaseControlSet();
    started = 0;
    layoutLoaded = 0;
    state = kNotRunning;
    for (CGuiControl*& sample : samples)
        sample = nullptr;
    door = nullptr;
    FireEvent("door_arcade_end", opened);
    DeleteSigns();
    if (g_gameProcessor && g_gameProcessor->effectFader)
        g_gameProcessor->effectFader->Stop();
}

void CQasimarArcade_Door::OnMessage(CCiMessageClient* sender, uint32_t code)
{
    if (!started || paused)
        return;
    if (state == kIntroduction) {
        if ((code == QM_MSG_LEFT_RELEASE || code == QM_MSG_RIGHT_RELEASE) && g_mouse && sender == g_mouse) {
            if (CGuiControl* text = IntroText())
                text->visible = 0;
            timer = 0.0f;
            state = kPause;
        }
        return;
    }
    if ((state != kNotRunning && state != kPicking) || code != QM_MSG_LEFT_CLICK)
        return;
    for (int i = 0; i < kSigns; ++i)
        if (signs[i] && signs[i]->control == sender) {
            if (signs[i]->state != Sign::kFound)
                Pick(i);
            return;
        }
}

void CQasimarArcade_Door::Pick(int sign)
{
    signs[sign]->SetState(Sign::kFound);
    bool correct = false;
    for (int k = 0; k < kGroup; ++k)
        correct = correct || order[progress + k] == sign;
    ++pickedInGroup;
    if (!correct) {
        signs[sign]->SetState(Sign::kWrong);
        timer = 0.0f;
        state = kWrongPick;
        FireEvent("door_arcade_select", false);
        return;
    }
    FireEvent("door_arcade_select", true);
    if (pickedInGroup < kGroup)
        return;
    pickedInGroup = 0;
    progress = uint8_t(progress + kGroup);
    timer = 0.0f;
    if (progress < kSigns) {
        ShowSamples();
        return;
    }
    state = kOpening;
    if (g_gameProcessor) {
        g_gameProcessor->inputLockTime = kInputLock;
        g_gameProcessor->cursorRefreshPending = 1;
    }
    if (g_inventory)
        g_inventory->SetOpen(false);
    FireEvent("door_arcade_opening");
}

void CQasimarArcade_Door::ShowSamples()
{
    timer = 0.0f;
    for (int k = 0; k < kGroup; ++k) {
        char picture[32];
        std::snprintf(picture, sizeof(picture), "door_sample_%02i", order[progress + k]);
        SetPictures(samples[k], picture);
    }
    state = kWheel;
    FireEvent("door_arcade_wheel");
}

void CQasimarArcade_Door::Reshuffle()
{
    pickedInGroup = 0;
    for (int i = progress; i < kSigns; ++i)
        signs[order[i]]->SetState(Sign::kNotFound);
    const int left = kSigns - progress;
    for (int n = 0; n < kReshuffleSwaps; ++n) {
        const int a = progress + GeRand() % left, b = progress + GeRand() % left;
        if (a != b)
            std::swap(order[a], order[b]);
    }
    ShowSamples();
}

void CQasimarArcade_Door::SetWheelFrame(uint32_t frame)
{
    if (!wheelSprite || wheelSprite->imageSet.currentFrame == frame)
        return;
    wheelSprite->SetFrame(frame);
    if (wheel)
        wheelSprite->SetSize(wheel->clientSize[0], wheel->clientSize[1]);
}

void CQasimarArcade_Door::Update()
{
    if (!started || paused)
        return;
    if (g_cursors)
        g_cursors->ResetToDefault();
    float dt = g_geTimer ? g_geTimer->delta : 0.0f;
    if (!(dt > 0.0f))
        dt = 0.001f;
    timer += dt;
    switch (state) {
    case kPause:
        if (timer >= kPauseTime)
            ShowSamples();
        break;
    case kWheel:
        if (timer >= kWheelTime) {
            timer = 0.0f;
            state = kPicking;
        }
        break;
    case kWrongPick:
        if (timer >= kWrongTime)
            Reshuffle();
        break;
    case kOpening:
        if (timer < kOpeningTime) {
            if (door)
                door->Update();
        } else if (CGmColorFader* fader = g_gameProcessor ? g_gameProcessor->effectFader : nullptr) {
            fader->StartScreenEffect(0xFFFFFFFF, 0xFF000000, kFadeTime);
            fader->Update();
            timer = 0.0f;
            state = kFadeOut;
        } else {
            timer = 0.0f;
            state = kFadeOut;
        }
        break;
    case kFadeOut:
        if (timer >= kFadeTime) {
            Finish();
            return;
        }
        break;
    default:
        break;
    }
    SetWheelFrame(state == kWheel ? WheelFrame(timer) : 0);
}
