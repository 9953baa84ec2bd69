// The fixture of the location script functions: a current location
// "harbour" through the location manager, with an entity "crate" that has a
// probe property in every slot, the resource collector, the render layers
// and the collider list for entity readers, a data tree with the loader's
// shared files, and a helper that runs a script call and gives back its
// results as one text.
#pragma once

#include "Engine/Core/Gm/GmLayers.h"
#include "Engine/Core/Gm/GmResCollector.h"
#include "Source/GameClasses/QmLocation.h"
#include "Source/GameClasses/QmPropCollider.h"
#include "Source/GameClasses/QmUnifiedCollector.h"
#include "tests/Source/GameClasses/LocationFixtures.h"
#include "tests/Source/GameClasses/LocationWriter.h"

#include <string>

class ScriptLocationTest : public LocationTest {
protected:
    void SetUp() override
    {
        LocationTest::SetUp();
        locwriter::WriteSharedFiles(tree.dir.Path());
        g_pGmResCollector = &collector;
        g_pGmLayers = &layers;
        CreateActiveColliders();
        manager.Adopt(new CQmLocation("harbour"));
        manager.SetCurrentLocation("harbour");
        location = manager.current;
        crate = ProbeEntity("crate");
        location->AddNamedObject(crate->name, crate, false);
        g_propJournal.clear();
        GeLogClearLast();
    }

    void TearDown() override
    {
        CQmUnifiedCollector::Clear();
        manager.Clear();
        DestroyActiveColliders();
        g_pGmLayers = nullptr;
        g_pGmResCollector = nullptr;
        LocationTest::TearDown();
    }

    // The results of one call, joined by spaces (numbers as Lua prints them;
    // a boolean as true or false, nil as nil); "" for none.
    std::string Call(const std::string& call)
    {
        Run("local function pack(...) return {n = select('#', ...), ...} end\n"
            "local r = pack(" +
            call +
            ")\n"
            "local text = ''\n"
            "for i = 1, r.n do text = text .. (i > 1 and ' ' or '') .. tostring(r[i]) end\n"
            "_results = text");
        return Global("_results");
    }

    // The last log line, then forgotten.
    std::string TakeLog()
    {
        std::string text = GeLogLastMessage().c_str();
        GeLogClearLast();
        return text;
    }

    void NoLocation() { manager.current = nullptr; }

    CGmResCollector collector;
    CGmLayers layers;
    CQmLocation* location = nullptr;
    CQmEntity* crate = nullptr;
};
