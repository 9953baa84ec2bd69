#include "Engine/Gui/GuiSwitch.h"

#include "Engine/Core/Gm/GmSprite.h"
#include "Engine/Gui/GeKeyboard.h"
#include "Engine/Gui/GuiControlSet.h"
#include "Engine/Gui/GuiFrameLink.h"
#include "Engine/Gui/GuiManager.h"
#include "Engine/Gui/GuiPicture.h"
#include "Engine/Gui/GuiProperties.h"
#include "Engine/Gui/GuiValues.h"

namespace {

constexpr uint32_t kKeyEnter = 13;
constexpr uint32_t kKeySpace = 32;
constexpr uint32_t kKeyLeft = 37;
constexpr uint32_t kKeyRight = 39;
constexpr uint32_t kClickSecond = 7; // click of the second mouse button

} // namespace

CGuiSwitch::CGuiSwitch(float w, float h) : CGuiControl(w, h)
{
    typeId = (GUI_CONTROL_CATEGORY << 16) | EGCT_SWITCH;
    focusEnabled = 1;
    cursorType = 8;
}

CGuiSwitch::~CGuiSwitch()
{
    GuiPictureDelete(sprite, frame);
}

void CGuiSwitch::SetPicture(const CGeString& schemaName)
{
    if (!GuiPictureSet(sprite, pictureName, schemaName, blendMode, frame))
        return;
    statesCount = sprite->imageSet.frameCount;
    currentState = 0;
    sprite->SetFrame(0);
}

void CGuiSwitch::Layout()
{
    if (!sprite)
        return;
    const GuiFrameInsets in = GuiFrameGetInsets(boundFrame);
    sprite->frame.SetPosition({in.left, in.top, 0.0f});
    sprite->SetSize(width - in.left - in.right, height - in.top - in.bottom);
}

void CGuiSwitch::Step(bool forward)
{
    if (statesCount == 0)
        return;
    if (forward)
        currentState = (currentState + 1) % statesCount;
    else
        currentState = currentState == 0 ? statesCount - 1 : (currentState - 1) % statesCount;
    PostEventToListeners(GUI_EV_SWITCH_STATE);
}

void CGuiSwitch::SetSize(float newWidth, float newHeight)
{
    CGuiControl::SetSize(newWidth, newHeight);
    Layout();
}

void CGuiSwitch::SetVisualState(uint8_t state)
{
    CGuiControl::SetVisualState(state);
    if (sprite)
        sprite->SetColor(state ? 0xFFFFFFFF : disabledColor);
}

void CGuiSwitch::Refresh()
{
    Layout();
}

void CGuiSwitch::UpdateFrame()
{
    CGuiControl::UpdateFrame();
    if (sprite)
        sprite->Update();
}

void CGuiSwitch::OnEvent(uint32_t code)
{
    CGuiControl::OnEvent(code);
    switch (code) {
    case GUI_EV_CLICK: Step(true); break;
    case kClickSecond: Step(false); break;
    case GUI_EV_FRAME_CHANGED: Layout(); break;
    case GUI_EV_KEY_DOWN: {
        const CGeKeyboardState* keyboard = Manager() ? Manager()->keyboard : nullptr;
        if (!keyboard)
            break;
        switch (keyboard->lastPressedKey) {
        case kKeyRight: Step(true); break;
        case kKeyLeft: Step(false); break;
        case kKeySpace: Step(!keyboard->IsShiftDown()); break;
        case kKeyEnter:
            if (currentState != 0) {
                currentState = 0;
                PostEventToListeners(GUI_EV_SWITCH_STATE);
            }
            break;
        default: break;
        }
        break;
    }
    default: break;
    }
}

void CGuiSwitch::DrawPicture()
{
    if (!sprite)
        return;
    if (sprite->imageSet.currentFrame != currentState) {
        const uint32_t last = sprite->imageSet.frameCount ? sprite->imageSet.frameCount - 1 : 0;
        sprite->SetFrame(currentState < last ? currentState : last);
        sprite->ApplyImageSize();
    }
    sprite->Render();
}

void CGuiSwitch::DrawContent()
{
    DrawPicture();
}

void CGuiSwitch::DrawContentAgain()
{
    DrawPicture();
}

void CGuiSwitch::SetProperty(uint32_t index, const CGeValue& value, bool refresh)
{
    CGuiControl::SetProperty(index, value, false);
    switch (index) {
    case EP_SwitchBlendMode:
        blendMode = GuiValueUInt(value);
        if (sprite)
            sprite->SetBlendMode(blendMode);
        break;
    case EP_ImageList: SetPicture(GuiValueString(value)); break;
    case EP_FocusEnabled:
        focusEnabled = GuiValueBool(value);
        if (!focusEnabled && IsFocused()) {
            PostEvent(GUI_EV_FOCUS_LOST);
            ownerSet->SetFocus(nullptr);
        }
        break;
    case EP_CurState: currentState = GuiValueUInt(value); break;
    default: break;
    }
    if (refresh)
        Refresh();
}

bool CGuiSwitch::GetProperty(uint32_t index, CGeWString& text)
{
    CGeValue v;
    switch (index) {
    case EP_SwitchBlendMode: v = GuiMakeUInt(blendMode); break;
    case EP_ImageList: v = CGeValue(pictureName); break;
    case EP_FocusEnabled: v = GuiMakeBool(focusEnabled); break;
    case EP_StatesCount: v = GuiMakeUInt(statesCount); break;
    case EP_CurState: v = GuiMakeUInt(currentState); break;
    default: return CGuiControl::GetProperty(index, text);
    }
    text = PropertyValueToText(v, index);
    return true;
}
