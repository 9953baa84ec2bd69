// The start-up's twenty cursor shapes without pictures, installed as the
// program's cursor set while the fixture lives, so that tests can read which
// cursor the game shows.
#pragma once

#include "Engine/Core/Common/GeSimd.h"
#include "Engine/Gui/GeCursorSet.h"
#include "Engine/Gui/GuiManager.h"

#include <memory>
#include <vector>

class BlankCursors {
public:
    BlankCursors()
    {
        if (!g_pGeSimd)
            GeSimdCreate(); // the cursors' sprites write their vertices through the kernels
        static const GeCursorDescriptor blank = {nullptr, 0.0f, 0.0f};
        std::vector<const GeCursorDescriptor*> list(kStartupCursorCount, &blank);
        list.push_back(nullptr);
        set = std::make_unique<CGeCursorSet>(list.data());
        g_cursors = set.get();
    }
    ~BlankCursors() { g_cursors = nullptr; }
    BlankCursors(const BlankCursors&) = delete;
    BlankCursors& operator=(const BlankCursors&) = delete;

    std::unique_ptr<CGeCursorSet> set;
};
