// Test-written pictures for the GUI tests: a w by h picture whose four
// quadrants have their own colours (top-left, top-right, bottom-left,
// bottom-right), so that mirroring and turning show, entered as a one-frame
// sprite schema of the GUI resources under a name.
#pragma once

#include "Engine/Core/Gm/GLibLoc/D3d/GmFormatTable.h"
#include "Engine/Core/Gm/GmImageSet.h"
#include "Engine/Core/Gm/GmTexture.h"
#include "Engine/Gui/GuiResources.h"

constexpr uint32_t kQuadrants[4] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFF00};

inline void GuiTestSchema(const char* name, uint32_t w, uint32_t h, const uint32_t* colours = kQuadrants)
{
    CGmTexture* texture = new CGmTexture();
    texture->Create(w, h, GM_FMT_A8R8G8B8, false);
    uint32_t pitch = 0;
    uint8_t* bytes = texture->GetFrameImage(&pitch);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x)
            reinterpret_cast<uint32_t*>(bytes + y * pitch)[x] = colours[(y * 2 >= h ? 2 : 0) + (x * 2 >= w ? 1 : 0)];
    CGmImageSet* set = new CGmImageSet();
    set->Init(texture, 1, 1);
    texture->Release();
    CGuiResources::RemoveSpriteSchema(CGeString(name));
    CGuiResources::spriteSchemas[CGeString(name)] = set;
}
