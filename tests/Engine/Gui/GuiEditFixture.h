// What the edit-field tests share: the GUI fixture with a monospaced font
// "mono" (10 by 12 pixel glyphs for the space, Latin letters, digits, some
// punctuation and the Cyrillic letters of the engine's code page), a caret
// picture "caret" of 2 by 12 pixels and a selection picture "sel", and
// keyboard strokes sent as window messages with Shift or Ctrl held.
#pragma once

#include "GuiTestFixture.h"

#include "Engine/Core/Gm/GLibLoc/D3d/GmFormatTable.h"
#include "Engine/Core/Gm/GmImageSet.h"
#include "Engine/Core/Gm/GmTexture.h"
#include "Engine/Core/Gm/GuiFont.h"
#include "Engine/Gui/GuiEdit.h"
#include "Engine/Gui/GuiProperties.h"
#include "Engine/Gui/GuiResources.h"

#include <string>
#include <vector>

enum : uint8_t { MOD_NONE = 0, MOD_SHIFT = 1, MOD_CTRL = 2 };

// One key pressed and released, or one character typed, with modifiers.
struct Stroke {
    bool character;
    WPARAM value;
    uint8_t mods;
};
inline Stroke Key(WPARAM vk, uint8_t mods = MOD_NONE)
{
    return {false, vk, mods};
}
inline Stroke Chr(WPARAM byte, uint8_t mods = MOD_NONE)
{
    return {true, byte, mods};
}

class GuiEditTest : public GuiTest {
protected:
    void SetUp() override
    {
        GuiTest::SetUp();
        std::u16string codes = u" abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.,-*";
        for (char16_t c = 0x0410; c <= 0x044F; ++c)
            codes.push_back(c);
        codes += u"\u0401\u0451";
        CGmTexture* texture = new CGmTexture();
        texture->Create(160, 12 * (uint32_t)((codes.size() + 15) / 16), GM_FMT_A8R8G8B8, false);
        auto* font = new CGuiFont();
        font->Init(texture, (uint32_t)codes.size(), 16, codes.c_str(), nullptr, 0, 0);
        texture->Release();
        CGuiResources::fonts[CGeString("mono")] = font;
        CGuiResources::fontNames[(uintptr_t)font] = CGeString("mono");
        Schema("caret", 2, 12);
        Schema("sel", 4, 4);
    }

    void TearDown() override
    {
        GuiTest::TearDown();
        CGuiResources::FreeAll();
    }

    static void Schema(const char* name, uint32_t w, uint32_t h)
    {
        CGmTexture* texture = new CGmTexture();
        texture->Create(w, h, GM_FMT_A8R8G8B8, false);
        auto* images = new CGmImageSet();
        images->Init(texture, 1, 1);
        texture->Release();
        CGuiResources::spriteSchemas[CGeString(name)] = images;
    }

    // An edit in the font with the caret and selection pictures, focused.
    CGuiEdit* MakeEdit(const char* name, float x, float y, float w, float h, bool multiline = false)
    {
        auto* e = static_cast<CGuiEdit*>(Make(name, x, y, w, h, nullptr, EGCT_EDIT));
        e->SetProperty(EP_Font, CGeValue("mono"), false);
        e->SetProperty(EP_Multiline, GuiMakeBool(multiline ? 1 : 0), false);
        e->SetProperty(EP_CaretPic, CGeValue("caret"), false);
        e->SetProperty(EP_SelectionPic, CGeValue("sel"), true);
        set->SetFocus(e);
        Frame();
        Forget();
        return e;
    }

    void Modifiers(uint8_t mods, UINT message)
    {
        if (mods & MOD_SHIFT)
            Send(message, 16, 0);
        if (mods & MOD_CTRL)
            Send(message, 17, 0);
        Frame();
    }

    // The device reports the frame's last key and the key bits as the frame
    // ends, so modifiers go down and up in frames of their own.
    void Apply(const Stroke& s)
    {
        if (s.mods)
            Modifiers(s.mods, WM_KEYDOWN);
        if (s.character) {
            Send(WM_CHAR, s.value, 0);
        } else {
            Send(WM_KEYDOWN, s.value, 0);
            Send(WM_KEYUP, s.value, 0);
        }
        Frame();
        if (s.mods)
            Modifiers(s.mods, WM_KEYUP);
    }
    void Apply(const std::vector<Stroke>& strokes)
    {
        for (const Stroke& s : strokes)
            Apply(s);
    }
};

inline std::u16string Str(const CGeWString& s)
{
    return std::u16string(s.c_str(), s.Length());
}
