#include "Engine/Gui/GuiProgressBar.h"

#include "Engine/Core/Gm/GmImage.h"
#include "Engine/Core/Gm/GmSprite.h"
#include "Engine/Core/Gm/GmTexture.h"
#include "Engine/Gui/GuiFrameLink.h"
#include "Engine/Gui/GuiPicture.h"
#include "Engine/Gui/GuiProperties.h"
#include "Engine/Gui/GuiValues.h"

CGuiProgressBar::CGuiProgressBar(float w, float h) : CGuiControl(w, h)
{
    typeId = (GUI_CONTROL_CATEGORY << 16) | EGCT_PROGRESSBAR;
}

CGuiProgressBar::~CGuiProgressBar()
{
    GuiPictureDelete(sprite, frame);
}

float CGuiProgressBar::Fraction() const
{
    const float range = maximum - minimum;
    return range > 0.0f ? (value - minimum) / range : 0.0f;
}

void CGuiProgressBar::SetValue(float v)
{
    value = v < minimum ? minimum : (v > maximum ? maximum : v);
    Recalc();
}

void CGuiProgressBar::Recalc()
{
    if (!sprite)
        return;
    const GuiFrameInsets in = GuiFrameGetInsets(boundFrame);
    const float w = width - in.left - in.right;
    const float h = height - in.top - in.bottom;
    const float f = Fraction();
    sprite->addressMode = 0; // wrapping
    sprite->frame.SetPosition({in.left, in.top, 0.0f});
    sprite->SetSize(clipped ? w : w * f, h);
    if (tiled) {
        const CGmImage* image = sprite->imageSet.texture ? sprite->imageSet.texture->Image() : nullptr;
        const float textureWidth = (image && image->width) ? (float)image->width : 1.0f;
        sprite->SetQuadParams(sprite->size[0] / textureWidth, 1.0f);
    } else {
        GuiPictureRefresh(sprite);
    }
    sprite->SetSubRect({0.0f, 0.0f, clipped ? f : 1.0f, 1.0f});
}

void CGuiProgressBar::SetSize(float newWidth, float newHeight)
{
    CGuiControl::SetSize(newWidth, newHeight);
    Recalc();
}

void CGuiProgressBar::SetVisualState(uint8_t state)
{
    CGuiControl::SetVisualState(state);
    if (!sprite)
        return;
    sprite->SetColor(state ? 0xFFFFFFFF : disabledColor);
    sprite->SetAlpha(state ? 255 : (uint8_t)(disabledColor >> 24));
}

void CGuiProgressBar::Refresh()
{
    Recalc();
}

void CGuiProgressBar::UpdateFrame()
{
    CGuiControl::UpdateFrame();
    if (sprite)
        sprite->Update();
}

void CGuiProgressBar::OnEvent(uint32_t code)
{
    CGuiControl::OnEvent(code);
    if (code == GUI_EV_FRAME_CHANGED)
        Recalc();
}

void CGuiProgressBar::DrawContent()
{
    if (sprite)
        sprite->Render();
}

void CGuiProgressBar::DrawContentAgain()
{
    DrawContent();
}

void CGuiProgressBar::SetProperty(uint32_t index, const CGeValue& v, bool refresh)
{
    CGuiControl::SetProperty(index, v, false);
    switch (index) {
    case EP_ProgressBarBlendMode:
        blendMode = GuiValueUInt(v);
        if (sprite)
            sprite->SetBlendMode(blendMode);
        break;
    case EP_ProgressPic: GuiPictureSet(sprite, pictureName, GuiValueString(v), blendMode, frame); break;
    case EP_ProgressPicTiled:
    case EP_ProgressPicClipped: {
        (index == EP_ProgressPicTiled ? tiled : clipped) = GuiValueBool(v);
        const CGeString name = pictureName;
        GuiPictureSet(sprite, pictureName, name, blendMode, frame);
        break;
    }
    case EP_MinPos: {
        const float m = GuiValueFloat(v);
        minimum = m < value ? m : value;
        break;
    }
    case EP_MaxPos: {
        const float m = GuiValueFloat(v);
        maximum = m > value ? m : value;
        break;
    }
    case EP_CurPos: {
        const float c = GuiValueFloat(v);
        value = c < minimum ? minimum : (c > maximum ? maximum : c);
        break;
    }
    default: break;
    }
    if (refresh)
        Refresh();
}

bool CGuiProgressBar::GetProperty(uint32_t index, CGeWString& text)
{
    CGeValue v;
    switch (index) {
    case EP_ProgressBarBlendMode: v = GuiMakeUInt(blendMode); break;
    case EP_ProgressPic: v = CGeValue(pictureName); break;
    case EP_ProgressPicTiled: v = GuiMakeBool(tiled); break;
    case EP_ProgressPicClipped: v = GuiMakeBool(clipped); break;
    case EP_MinPos: v = GuiMakeFloat(minimum); break;
    case EP_MaxPos: v = GuiMakeFloat(maximum); break;
    case EP_CurPos: v = GuiMakeFloat(value); break;
    default: return CGuiControl::GetProperty(index, text);
    }
    text = PropertyValueToText(v, index);
    return true;
}
