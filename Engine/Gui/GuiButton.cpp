#include "Engine/Gui/GuiButton.h"

#include "Engine/Core/Common/GeTimer.h"
#include "Engine/Core/Gm/GmSprite.h"
#include "Engine/Core/Gm/GmText.h"
#include "Engine/Gui/GeKeyboard.h"
#include "Engine/Gui/GeMouse.h"
#include "Engine/Gui/GuiControlSet.h"
#include "Engine/Gui/GuiFrameLink.h"
#include "Engine/Gui/GuiManager.h"
#include "Engine/Gui/GuiProperties.h"
#include "Engine/Gui/GuiResources.h"
#include "Engine/Gui/GuiValues.h"

namespace {

constexpr float kFadeTime = 0.3f;
constexpr uint32_t kEnterKey = 13;
const uint32_t kPieces[3] = {GUI_PIECE_LEFT, GUI_PIECE_RIGHT, GUI_PIECE_CENTRE};

// Selects the sprite's current frame again and refreshes its image size.
void RefreshSprite(CGmSprite* sprite)
{
    const uint32_t current = sprite->imageSet.currentFrame;
    sprite->SetFrame(current == CGmImageSet::kNoFrame ? 0 : current);
    sprite->ApplyImageSize();
}

void Show(CGmSprite* sprite, uint8_t alpha, uint8_t visible)
{
    if (!sprite)
        return;
    sprite->SetAlpha(alpha);
    sprite->visible = visible;
}

} // namespace

CGuiButton::CGuiButton(float w, float h) : CGuiTextControl(w, h)
{
    typeId = (GUI_CONTROL_CATEGORY << 16) | EGCT_BUTTON;
    focusEnabled = 1;
    cursorType = 8;
}

CGuiButton::~CGuiButton()
{
    for (auto& piece : sprites)
        for (CGmSprite*& sprite : piece) {
            if (!sprite)
                continue;
            CGeFrame3D::DetachChild(&sprite->frame, &frame);
            delete sprite;
            sprite = nullptr;
        }
}

// ---------------------------------------------------------------------------
// Pictures.

void CGuiButton::SetPicture(uint32_t piece, uint32_t pictureState, const CGeString& schemaName)
{
    CGmSprite*& sprite = sprites[piece][pictureState];
    if (sprite) {
        CGeFrame3D::DetachChild(&sprite->frame, &frame);
        delete sprite;
        sprite = nullptr;
    }
    pictureNames[piece][pictureState] = CGeString();
    if (schemaName.IsEmpty())
        return;
    const CGmImageSet* schema = CGuiResources::FindSpriteSchema(schemaName);
    if (!schema)
        return;
    sprite = new CGmSprite(*schema, 0);
    sprite->pixelSnapping = 1;
    sprite->SetBlendMode(blendMode);
    pictureNames[piece][pictureState] = schemaName;
    frame.AddChild(&sprite->frame);
}

void CGuiButton::LayoutPictures()
{
    const GuiFrameInsets in = GuiFrameGetInsets(boundFrame);
    const float h = height - in.top - in.bottom;
    for (uint32_t s = 0; s < 4; ++s) {
        float lw = 0.0f;
        if (CGmSprite* left = sprites[GUI_PIECE_LEFT][s]) {
            RefreshSprite(left);
            left->frame.SetPosition({in.left, in.top, 0.0f});
            left->SetSize(left->size[0], h);
            lw = left->size[0];
        }
        CGmSprite* right = sprites[GUI_PIECE_RIGHT][s];
        if (CGmSprite* centre = sprites[GUI_PIECE_CENTRE][s]) {
            RefreshSprite(centre);
            centre->addressMode = 0;
            const float rw = right ? right->size[0] : 0.0f;
            centre->frame.SetPosition({in.left + lw, in.top, 0.0f});
            centre->SetSize(width - (in.left + lw + (float)(int32_t)rw + in.right), h);
            if (centerTiled)
                GuiTileSprite(centre);
            else
                RefreshSprite(centre);
        }
        if (right) {
            RefreshSprite(right);
            right->frame.SetPosition({width - right->size[0] - in.right, in.top, 0.0f});
            right->SetSize(right->size[0], h);
        }
    }
}

void CGuiButton::LayoutText()
{
    CGuiTextControl::LayoutText();
    LayoutPictures();
}

void CGuiButton::SetSize(float newWidth, float newHeight)
{
    CGuiTextControl::SetSize(newWidth, newHeight);
    LayoutText();
}

void CGuiButton::Refresh()
{
    LayoutText();
    ShowStateSprites();
}

// ---------------------------------------------------------------------------
// States.

void CGuiButton::ShowStateSprites()
{
    if (state != GUI_BUTTON_NORMAL && state != GUI_BUTTON_HOVER)
        return;
    const bool hover = state == GUI_BUTTON_HOVER;
    for (uint32_t piece : kPieces) {
        Show(sprites[piece][GUI_BUTTON_NORMAL], 255, hover ? 0 : 1);
        Show(sprites[piece][GUI_BUTTON_HOVER], hover ? 255 : 0, hover ? 1 : 0);
    }
}

void CGuiButton::DrawStateSprites()
{
    if (state == GUI_BUTTON_PRESSED || state == GUI_BUTTON_DISABLED) {
        // The state's picture, or the normal one where it has none.
        for (uint32_t piece : kPieces)
            if (CGmSprite* drawn = sprites[piece][state] ? sprites[piece][state] : sprites[piece][GUI_BUTTON_NORMAL])
                drawn->Render();
        return;
    }
    for (uint32_t pictureState : {GUI_BUTTON_NORMAL, GUI_BUTTON_HOVER})
        for (uint32_t piece : kPieces)
            if (CGmSprite* sprite = sprites[piece][pictureState])
                sprite->Render();
}

void CGuiButton::SetSpritesColor(uint32_t argb)
{
    for (uint32_t piece : kPieces)
        for (uint32_t s : {GUI_BUTTON_PRESSED, GUI_BUTTON_DISABLED, GUI_BUTTON_NORMAL, GUI_BUTTON_HOVER})
            if (CGmSprite* sprite = sprites[piece][s]) {
                sprite->SetColor(argb);
                sprite->SetAlpha((uint8_t)(argb >> 24));
            }
}

void CGuiButton::SetState(uint32_t newState)
{
    if (newState == state)
        return;
    if (enabledState == 0) {
        state = GUI_BUTTON_DISABLED;
        return;
    }
    if (state == GUI_BUTTON_PRESSED && newState != GUI_BUTTON_PRESSED) {
        if (textShift[0] != 0.0f || textShift[1] != 0.0f) {
            textShift[0] = textShift[1] = 0.0f;
            LayoutText();
        }
    }
    if (state != GUI_BUTTON_PRESSED && newState == GUI_BUTTON_PRESSED) {
        if (textShift[0] != textBias[0] || textShift[1] != textBias[1]) {
            textShift[0] = textBias[0];
            textShift[1] = textBias[1];
            LayoutText();
        }
    }
    if (newState == GUI_BUTTON_HOVER && state == GUI_BUTTON_NORMAL) {
        stateFadeTimer = 0.0f;
        for (uint32_t piece : kPieces) {
            Show(sprites[piece][GUI_BUTTON_HOVER], 0, 1);
            Show(sprites[piece][GUI_BUTTON_NORMAL], 255, 1);
        }
    } else if (newState == GUI_BUTTON_NORMAL && (state == GUI_BUTTON_PRESSED || state == GUI_BUTTON_HOVER)) {
        stateFadeTimer = 0.0f;
        for (uint32_t piece : kPieces) {
            Show(sprites[piece][GUI_BUTTON_HOVER], 255, 1);
            Show(sprites[piece][GUI_BUTTON_NORMAL], 255, 1);
        }
    } else if (newState == GUI_BUTTON_NORMAL && state == GUI_BUTTON_DISABLED) {
        stateFadeTimer = kFadeTime;
        for (uint32_t piece : kPieces) {
            Show(sprites[piece][GUI_BUTTON_HOVER], 0, 0);
            Show(sprites[piece][GUI_BUTTON_NORMAL], 255, 1);
        }
    }
    PostMessage(GUI_EV_BUTTON_STATE);
    OnEvent(GUI_EV_BUTTON_STATE);
    state = newState;
}

void CGuiButton::SetVisualState(uint8_t newState)
{
    if (newState == enabledState)
        return;
    CGuiTextControl::SetVisualState(newState);
    if (newState == 0)
        state = GUI_BUTTON_DISABLED;
    else
        SetState(GUI_BUTTON_NORMAL);
}

bool CGuiButton::PointerInActiveArea()
{
    CGuiManager* manager = Manager();
    const CGeMouseState* mouse = manager ? manager->mouse : nullptr;
    return mouse && IsPointInActiveArea(mouse->x, mouse->y);
}

void CGuiButton::Track()
{
    CGuiManager* manager = Manager();
    const CGeMouseState* mouse = manager ? manager->mouse : nullptr;
    if (mouse && mouse->buttons[0] && pressStarted) {
        if (PointerInActiveArea())
            SetState(GUI_BUTTON_PRESSED);
        return;
    }
    const bool anyHover = sprites[GUI_PIECE_LEFT][GUI_BUTTON_HOVER] || sprites[GUI_PIECE_RIGHT][GUI_BUTTON_HOVER] ||
                          sprites[GUI_PIECE_CENTRE][GUI_BUTTON_HOVER];
    SetState(anyHover ? GUI_BUTTON_HOVER : GUI_BUTTON_NORMAL);
}

void CGuiButton::UpdateFade()
{
    CGuiTextControl::UpdateFade();
    CGuiManager* manager = Manager();
    const CGeMouseState* mouse = manager ? manager->mouse : nullptr;
    if (state == GUI_BUTTON_HOVER && mouse && !HitTestDeep(mouse->x, mouse->y)) {
        SetState(GUI_BUTTON_NORMAL);
        stateFadeTimer = 0.0f;
    }
    if (stateFadeTimer == kFadeTime)
        return;
    if (stateFadeTimer > kFadeTime)
        stateFadeTimer = kFadeTime;
    else
        stateFadeTimer += g_geTimer ? g_geTimer->delta : 0.0f;
    int32_t a = (int32_t)((double)stateFadeTimer * 255.0 / (double)kFadeTime); // 255 at the end, as the frame's
    if (state == GUI_BUTTON_NORMAL)
        a = 255 - a;
    a = a < 0 ? 0 : (a > 255 ? 255 : a);
    if (state == GUI_BUTTON_NORMAL || state == GUI_BUTTON_HOVER)
        for (uint32_t piece : kPieces)
            Show(sprites[piece][GUI_BUTTON_HOVER], (uint8_t)a, a != 0 ? 1 : 0);
}

void CGuiButton::OnEvent(uint32_t code)
{
    CGuiTextControl::OnEvent(code);
    const bool active = HasActiveArea();
    CGuiManager* manager = Manager();
    const CGeKeyboardState* keyboard = manager ? manager->keyboard : nullptr;
    switch (code) {
    case GUI_EV_FRAME_CHANGED: LayoutText(); break;
    case GUI_EV_FOCUS_GAINED:
        for (uint32_t piece : kPieces)
            if (CGmSprite* sprite = sprites[piece][GUI_BUTTON_NORMAL])
                sprite->SetColor(focusedColor);
        break;
    case GUI_EV_FOCUS_LOST:
        if (state == GUI_BUTTON_PRESSED)
            SetState(GUI_BUTTON_NORMAL);
        for (uint32_t piece : kPieces)
            if (CGmSprite* sprite = sprites[piece][GUI_BUTTON_NORMAL])
                sprite->SetColor(0xFFFFFFFF);
        break;
    case GUI_EV_PRESS:
        if (PointerInActiveArea()) {
            SetState(GUI_BUTTON_PRESSED);
            pressStarted = 1;
        }
        break;
    case GUI_EV_RELEASE:
        if (active && !PointerInActiveArea())
            break;
        Track();
        pressStarted = 0;
        break;
    case GUI_EV_ENTER:
        if (!active)
            Track();
        break;
    case GUI_EV_ENTER_ACTIVE: Track(); break;
    case GUI_EV_LEAVE:
        if (!active)
            SetState(GUI_BUTTON_NORMAL);
        break;
    case GUI_EV_LEAVE_ACTIVE: SetState(GUI_BUTTON_NORMAL); break;
    case GUI_EV_MOVE:
        if (state != GUI_BUTTON_HOVER)
            SetState(GUI_BUTTON_HOVER);
        break;
    case GUI_EV_KEY_DOWN:
        if (keyboard && keyboard->lastPressedKey == kEnterKey)
            SetState(GUI_BUTTON_PRESSED);
        break;
    case GUI_EV_KEY_UP:
        if (keyboard && keyboard->lastReleasedKey == kEnterKey) {
            SetState(GUI_BUTTON_NORMAL);
            PostEventToListeners(GUI_EV_CLICK);
        }
        break;
    default: break;
    }
}

// ---------------------------------------------------------------------------
// Frame and drawing.

void CGuiButton::UpdateFrame()
{
    CGuiTextControl::UpdateFrame();
    for (uint32_t s = 0; s < 4; ++s)
        for (uint32_t piece : {GUI_PIECE_LEFT, GUI_PIECE_CENTRE, GUI_PIECE_RIGHT})
            if (CGmSprite* sprite = sprites[piece][s])
                sprite->Update();
}

void CGuiButton::DrawContent()
{
    DrawStateSprites();
    textVisual->Render();
}

void CGuiButton::DrawContentAgain()
{
    DrawStateSprites();
}

// ---------------------------------------------------------------------------
// Properties.

void CGuiButton::SetProperty(uint32_t index, const CGeValue& value, bool refresh)
{
    CGuiTextControl::SetProperty(index, value, refresh);
    if (index >= EP_LeftPic && index <= EP_CenterDisabledPic) {
        const uint32_t k = index - EP_LeftPic;
        SetPicture(k % 3, k / 3, GuiValueString(value));
    } else {
        switch (index) {
        case EP_ButtonBlendMode:
            blendMode = GuiValueUInt(value);
            for (auto& piece : sprites)
                for (CGmSprite* sprite : piece)
                    if (sprite)
                        sprite->SetBlendMode(blendMode);
            break;
        case EP_TextBiasX: textBias[0] = GuiValueFloat(value); break;
        case EP_TextBiasY: textBias[1] = GuiValueFloat(value); break;
        case EP_CenterTiled:
            centerTiled = GuiValueBool(value);
            for (uint32_t s = 0; s < 4; ++s) {
                const CGeString name = pictureNames[GUI_PIECE_CENTRE][s];
                SetProperty(EP_CenterPic + 3 * s, CGeValue(name), false);
            }
            break;
        case EP_FocusEnabled: {
            focusEnabled = GuiValueBool(value);
            if (!focusEnabled && IsFocused()) {
                PostEvent(GUI_EV_FOCUS_LOST);
                ownerSet->SetFocus(nullptr);
            }
            break;
        }
        default: return;
        }
    }
    if (refresh)
        Refresh();
}

bool CGuiButton::GetProperty(uint32_t index, CGeWString& text)
{
    CGeValue v;
    if (index >= EP_LeftPic && index <= EP_CenterDisabledPic) {
        const uint32_t k = index - EP_LeftPic;
        v = CGeValue(pictureNames[k % 3][k / 3]);
    } else {
        switch (index) {
        case EP_ButtonBlendMode: v = GuiMakeUInt(blendMode); break;
        case EP_TextBiasX: v = GuiMakeFloat(textBias[0]); break;
        case EP_TextBiasY: v = GuiMakeFloat(textBias[1]); break;
        case EP_CenterTiled: v = GuiMakeBool(centerTiled); break;
        case EP_FocusEnabled: v = GuiMakeBool(focusEnabled); break;
        default: return CGuiTextControl::GetProperty(index, text);
        }
    }
    text = PropertyValueToText(v, index);
    return true;
}
