#include "Engine/Gui/GuiTextControl.h"

#include "Engine/Core/Gm/GmText.h"
#include "Engine/Gui/GuiFrameLink.h"
#include "Engine/Gui/GuiProperties.h"
#include "Engine/Gui/GuiResources.h"
#include "Engine/Gui/GuiValues.h"

CGeWString GuiRemoveLineBreaks(const CGeWString& source, bool backslashN)
{
    CGeWString out;
    const char16_t* s = source.c_str();
    const uint32_t n = source.Length();
    char16_t* kept = new char16_t[n + 1];
    uint32_t k = 0;
    for (uint32_t i = 0; i < n; ++i) {
        if (s[i] == u'\n')
            continue;
        if (backslashN && s[i] == u'\\' && i + 1 < n && s[i + 1] == u'n') {
            ++i;
            continue;
        }
        kept[k++] = s[i];
    }
    kept[k] = 0;
    out = kept;
    delete[] kept;
    return out;
}

CGuiTextControl::CGuiTextControl(float w, float h) : CGuiControl(w, h)
{
    typeId = (GUI_CONTROL_CATEGORY << 16) | EGCT_TEXTCONTROL;
    textVisual = new CGmText();
    textVisual->keepGlyphBoxes = 1;
    frame.AddChild(&textVisual->frame);
    LayoutText();
}

CGuiTextControl::~CGuiTextControl()
{
    CGeFrame3D::DetachChild(&textVisual->frame, &frame);
    delete textVisual;
    textVisual = nullptr;
}

void CGuiTextControl::SetPosition(float x, float y)
{
    CGuiControl::SetPosition(x, y);
    textVisual->Update();
}

void CGuiTextControl::SetSize(float newWidth, float newHeight)
{
    if (autosize == TAS_Both)
        return;
    CGuiControl::SetSize(newWidth, autosize == TAS_Vertical ? height : newHeight);
    LayoutText();
}

void CGuiTextControl::SetVisualState(uint8_t state)
{
    CGuiControl::SetVisualState(state);
    textVisual->color = state == 0 ? disabledColor : 0xFFFFFFFF;
    textVisual->UpdateColor();
}

void CGuiTextControl::Refresh()
{
    LayoutText();
}

void CGuiTextControl::UpdateFrame()
{
    CGuiControl::UpdateFrame();
    textVisual->Update();
}

void CGuiTextControl::OnEvent(uint32_t code)
{
    CGuiControl::OnEvent(code);
    if (code == GUI_EV_FRAME_CHANGED)
        LayoutText();
}

void CGuiTextControl::DrawContent()
{
    textVisual->Render();
}

void CGuiTextControl::DrawContentAgain()
{
    textVisual->Render();
}

void CGuiTextControl::SetText(const CGeWString& newText)
{
    text = multiline ? newText : GuiRemoveLineBreaks(newText, false);
    textVisual->Layout(text);
    textVisual->Update();
    RebuildMatrices();
    LayoutText();
    FireEvent(GUI_EV_TEXT_CHANGED);
}

void CGuiTextControl::LayoutText()
{
    const GuiFrameInsets in = GuiFrameGetInsets(boundFrame);
    CGmText& t = *textVisual;
    const float sx = textShift[0] + textOffset[0];
    const float sy = textShift[1] + textOffset[1];
    if (autosize == TAS_Both) {
        if (t.clipSize[0] != 0.0f || t.clipSize[1] != 0.0f) {
            t.SetClipSize(nullptr, 0);
            t.dirty = 1;
        }
        float mw = 0.0f, mh = 0.0f;
        t.Measure(text, &mw, &mh);
        CGuiControl::SetSize(in.left + in.right + mw, in.top + in.bottom + mh);
        float x = 0.0f;
        bool place = true;
        switch (t.alignment) {
        case TA_LEFT: x = in.left; break;
        case TA_RIGHT: x = width - in.right; break;
        case TA_CENTER: x = in.left + (width - in.left - in.right) * 0.5f; break;
        default: place = false; break;
        }
        if (place)
            t.frame.SetPosition({x + sx, in.top + sy, 0.0f});
    } else if (autosize == TAS_Vertical) {
        const float box[2] = {width - in.left - in.right, 0.0f};
        if (box[0] != t.clipSize[0] || box[1] != t.clipSize[1] || clipText != t.clipped)
            t.SetClipSize(box, clipText);
        // The height of the text as wrapped in the box.
        t.GetBounds();
        const float mh = t.bounds.y + t.bounds.h;
        CGuiControl::SetSize(width, in.top + in.bottom + mh);
        t.frame.SetPosition({in.left + sx, in.top + sy, 0.0f});
    } else {
        t.frame.SetPosition({in.left + sx, in.top + sy, 0.0f});
        const float box[2] = {width - in.left - in.right, height - in.top - in.bottom};
        if (box[0] != t.clipSize[0] || box[1] != t.clipSize[1] || clipText != t.clipped)
            t.SetClipSize(box, clipText);
        t.visible = box[0] >= 1.0f && box[1] >= 1.0f;
    }
    t.Update();
}

void CGuiTextControl::SetProperty(uint32_t index, const CGeValue& value, bool refresh)
{
    CGuiControl::SetProperty(index, value, refresh);
    CGmText& t = *textVisual;
    switch (index) {
    case EP_TextOffsetX:
        textOffset[0] = GuiValueFloat(value);
        LayoutText();
        break;
    case EP_TextOffsetY:
        textOffset[1] = GuiValueFloat(value);
        LayoutText();
        break;
    case EP_Multiline: {
        const uint8_t v = GuiValueBool(value);
        if (v == multiline)
            break;
        multiline = v;
        if (!v)
            text = GuiRemoveLineBreaks(text, true);
        t.Layout(text);
        t.Update();
        break;
    }
    case EP_TextVisible: t.visible = GuiValueBool(value); break;
    case EP_Font:
        if (CGuiFont* font = CGuiResources::FindFont(GuiValueString(value))) {
            t.font = font;
            t.UpdateSpaceWidth();
            t.dirty = 1;
        }
        break;
    case EP_FontMaskColor:
        t.color = GuiValueUInt(value);
        t.UpdateColor();
        break;
    case EP_FontAlpha:
        t.alpha = (uint8_t)GuiValueUInt(value);
        t.UpdateColor();
        break;
    case EP_FontBlendMode:
        t.blendMode = GuiValueUInt(value);
        t.UpdateColor();
        break;
    case EP_FontVPitch: {
        const float pitch = GuiValueFloat(value);
        if (pitch == 1e30f)
            t.UpdateSpaceWidth();
        else
            t.lineHeight = pitch;
        t.dirty = 1;
        break;
    }
    case EP_FontHPitch: t.SetBoxWidth(GuiValueFloat(value)); break;
    case EP_Text:
        text = GuiValueWideString(value);
        if (!multiline)
            text = GuiRemoveLineBreaks(text, true);
        t.Layout(text);
        t.Update();
        break;
    case EP_TextAlign:
        t.alignment = GuiValueUInt(value);
        t.dirty = 1;
        break;
    case EP_TextWordWrap:
        t.wrapMode = GuiValueUInt(value);
        t.dirty = 1;
        break;
    case EP_Autosize: autosize = GuiValueUInt(value); break;
    case EP_ClipText: clipText = GuiValueBool(value); break;
    case EP_TagsVisible:
        t.showTags = GuiValueBool(value);
        if (t.font)
            t.ReserveGlyphBuffers(text);
        t.dirty = 1;
        break;
    default: break;
    }
    if (refresh)
        Refresh();
}

bool CGuiTextControl::GetProperty(uint32_t index, CGeWString& out)
{
    const CGmText& t = *textVisual;
    CGeValue v;
    switch (index) {
    case EP_TextOffsetX: v = GuiMakeFloat(textOffset[0]); break;
    case EP_TextOffsetY: v = GuiMakeFloat(textOffset[1]); break;
    case EP_Multiline: v = GuiMakeBool(multiline); break;
    case EP_TextVisible: v = GuiMakeBool(t.visible); break;
    case EP_Font: v = CGeValue(t.font ? CGuiResources::FindFontName(t.font) : CGeString()); break;
    case EP_FontMaskColor: v = GuiMakeUInt(t.color); break;
    case EP_FontAlpha: v = GuiMakeInt(t.alpha); break;
    case EP_FontBlendMode: v = GuiMakeUInt(t.blendMode); break;
    case EP_FontVPitch: v = GuiMakeFloat(t.lineHeight); break;
    case EP_FontHPitch: v = GuiMakeFloat(t.letterSpacing); break;
    case EP_Text: v = CGeValue(text); break;
    case EP_TextAlign: v = GuiMakeUInt(t.alignment); break;
    case EP_TextWordWrap: v = GuiMakeUInt(t.wrapMode); break;
    case EP_Autosize: v = GuiMakeUInt(autosize); break;
    case EP_ClipText: v = GuiMakeBool(clipText); break;
    case EP_TagsVisible: v = GuiMakeBool(t.showTags ? 1 : 0); break;
    default: return CGuiControl::GetProperty(index, out);
    }
    out = PropertyValueToText(v, index);
    return true;
}
