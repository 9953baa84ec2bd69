// What the scrolling controls' tests share on top of the GUI fixture: sprite
// schemas from test-written pictures, a monospaced font of 10 by 12 pixel
// glyphs, and the wheel and key messages.
#pragma once

#include "GuiPictureFixture.h"
#include "GuiTestFixture.h"

#include "Engine/Core/Gm/GmTexture.h"
#include "Engine/Core/Gm/GuiFont.h"
#include "Engine/Gui/GuiResources.h"

class GuiScrollTest : public GuiTest {
protected:
    void TearDown() override
    {
        GuiTest::TearDown();
        CGuiResources::FreeAll();
    }

    static void Schema(const char* name, uint32_t w, uint32_t h, const uint32_t* colours = kQuadrants)
    {
        GuiTestSchema(name, w, h, colours);
    }

    // The font "F": glyphs 10 wide and 12 high (the space's height is the
    // line height), Latin letters, digits and a few Cyrillic ones.
    static void Font()
    {
        static const char16_t kCodes[] =
            u" abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789&.\u0436\u0416";
        CGmTexture* texture = new CGmTexture();
        texture->Create(160, 60, GM_FMT_A8R8G8B8, false);
        CGuiFont* font = new CGuiFont();
        font->Init(texture, (uint32_t)(sizeof(kCodes) / 2 - 1), 16, kCodes, nullptr, 0, 0);
        texture->Release();
        CGuiResources::fonts[CGeString("F")] = font;
        CGuiResources::fontNames[(uintptr_t)font] = CGeString("F");
    }

    // Wheel notches (positive away from the user) at the pointer, one frame.
    void Wheel(int notches)
    {
        Send(WM_MOUSEWHEEL, (WPARAM)(uint16_t)(int16_t)(notches * 120) << 16, 0);
        Frame();
    }
    void KeyDown(WPARAM key)
    {
        Send(WM_KEYDOWN, key, 0);
        Frame();
    }
    void KeyUp(WPARAM key)
    {
        Send(WM_KEYUP, key, 0);
        Frame();
    }

    // The codes among wanted that the named control sent, in order.
    std::vector<uint32_t> EventsAmong(const std::string& name, std::initializer_list<uint32_t> wanted)
    {
        std::vector<uint32_t> out;
        for (uint32_t code : Events(name))
            for (uint32_t w : wanted)
                if (code == w)
                    out.push_back(code);
        return out;
    }
};
