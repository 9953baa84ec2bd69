// The location-object script functions through Lua: water made from its
// eleven or twelve arguments and refused for grids it cannot draw, stones
// from entity files floating on a water surface only, the shade boxes and
// the walk grids by index, each with its log lines.
#include "Engine/Core/Gm/GmSprite.h"
#include "Source/GameClasses/QmAiMap.h"
#include "Source/GameClasses/QmShadeBox.h"
#include "Source/GameClasses/QmWater.h"
#include "tests/Source/GameClasses/ScriptLocationFixture.h"

using namespace locwriter;

namespace {

class ScriptLocationObjectsTest : public ScriptLocationTest {
protected:
    CQmWater* WaterOf(const char* name)
    {
        CQmEntity* entity = location->FindEntity(name);
        auto* visuals = entity ? entity->Prop<CQmPropVisualObject>(QM_PROP_VISUAL_OBJECT) : nullptr;
        return visuals && visuals->visuals.Count() ? dynamic_cast<CQmWater*>(visuals->visuals[0]) : nullptr;
    }
};

const char kWater[] = "'pond', 200, 100, 5, 4, 'materials/blend.xml', 1, 2, 3, 0.5, 0.25";

} // namespace

TEST_F(ScriptLocationObjectsTest, AddWaterMakesAnEntityOnceAndRefusesGridsItCannotDraw)
{
    Run(std::string("AddWater(") + kWater + ")");
    CQmWater* water = WaterOf("pond");
    ASSERT_NE(nullptr, water);
    EXPECT_EQ(5u, water->columns);
    EXPECT_EQ(4u, water->rows);
    EXPECT_EQ(200.0f, water->sizeX);
    EXPECT_EQ(0.5f, water->amplitude);
    EXPECT_EQ(0.25f, water->scrollSpeed);
    EXPECT_EQ(2.0f, water->uTiling) << "tiling 4 when absent";
    CQmEntity* pond = location->FindEntity("pond");
    EXPECT_EQ(1, pond->GetProp(QM_PROP_VISUAL_OBJECT)->enabled);
    EXPECT_EQ(1.0f, pond->frame.position.x);
    EXPECT_EQ(3.0f, pond->frame.position.z);

    // Twice: both lines, nothing made.
    const uint32_t entities = location->entities.count;
    Run(std::string("AddWater(") + kWater + ")");
    EXPECT_EQ("AddWater : Object creating stopped...\n", TakeLog());
    EXPECT_EQ(entities, location->entities.count);
    EXPECT_EQ(water, WaterOf("pond"));

    Run("AddWater('lake', 10, 10, 2, 2, '', 0, 0, 0, 1, 1, 6)");
    ASSERT_NE(nullptr, WaterOf("lake"));
    EXPECT_EQ(3.0f, WaterOf("lake")->uTiling);

    for (const char* call : {
             "AddWater('w', 1, 1, 5, 4, 'm', 1, 2, 3, 0.5)",          // ten arguments
             "AddWater('w', 1, 1, 5, 4, 'm', 1, 2, 3, 0.5, 1, 2, 3)", // thirteen
             "AddWater('w', 1, 1, 'x', 4, 'm', 1, 2, 3, 0.5, 1)",     // a text for a number
             "AddWater('w', 1, 1, 5, 4, 'm', 1, 2, 3, 0.5, 1, 'x')",  // a text tiling
             "AddWater('w', 1, 1, 1, 5, 'm', 1, 2, 3, 0.5, 1)",       // one column
             "AddWater('w', 1, 1, 300, 300, 'm', 1, 2, 3, 0.5, 1)",   // beyond 16-bit indices
             "AddWater('w', 1, 1, -3, -3, 'm', 1, 2, 3, 0.5, 1)",     // negative
         }) {
        Run(call);
        EXPECT_EQ("AddWater : arguments error!\n", TakeLog()) << call;
    }
    EXPECT_EQ(nullptr, location->FindEntity("w"));
    NoLocation();
    Run("AddWater('w', 1, 1, 2, 2, 'm', 1, 2, 3, 0.5, 1)");
    EXPECT_EQ(nullptr, location->FindEntity("w"));
}

TEST_F(ScriptLocationObjectsTest, AddStoneReadsItsFileAndFloatsOnlyOnWater)
{
    tree.dir.Write("stones/rock.xml",
                   Entity("name=\"ignored\" pos=\"9 9 9\"", {MeshTag(kOneRangeMesh, kBlendMaterial)}));
    tree.dir.Write("stones/nested.xml", "<stone>" + Entity("name=\"x\"") + "</stone>");
    tree.dir.Write("stones/other.xml", "<stone><nothing/></stone>");
    tree.dir.Write("stones/broken.xml", "<entity name=");
    Run(std::string("AddWater(") + kWater + ")");

    Run("AddStone('rock', 3, 'stones/rock.xml', 4, 5, 6, 'pond', 7.9)");
    auto* rock = dynamic_cast<CQmStone*>(location->FindEntity("rock"));
    ASSERT_NE(nullptr, rock);
    EXPECT_STREQ("rock", rock->name.c_str());
    EXPECT_EQ(3u, rock->mode);
    EXPECT_EQ(7, rock->heightOffset);
    EXPECT_EQ(WaterOf("pond"), rock->water);
    EXPECT_EQ(4.0f, rock->frame.position.x);
    EXPECT_EQ(6.0f, rock->frame.position.z);
    EXPECT_EQ(1, rock->GetProp(QM_PROP_VISUAL_OBJECT)->enabled);
    EXPECT_TRUE(location->IsShared(rock));

    // A water entity that holds no water surface, or none at all: no water.
    Run("AddStone('pebble', 1, 'stones/nested.xml', 0, 0, 0, 'crate', 0)");
    Run("AddStone('gravel', 1, 'stones/nested.xml', 0, 0, 0, 'nowhere', 0)");
    for (const char* name : {"pebble", "gravel"}) {
        auto* stone = dynamic_cast<CQmStone*>(location->FindEntity(name));
        ASSERT_NE(nullptr, stone) << name;
        EXPECT_EQ(nullptr, stone->water) << name;
    }

    struct Case {
        const char* call;
        const char* log;
    };
    const Case refused[] = {
        {"AddStone('s', 1, 'stones/missing.xml', 0, 0, 0, 'pond', 0)", "AddStone : Object creating stopped...\n"},
        {"AddStone('s', 1, 'stones/other.xml', 0, 0, 0, 'pond', 0)", "AddStone : Object creating stopped...\n"},
        {"AddStone('s', 1, 'stones/broken.xml', 0, 0, 0, 'pond', 0)", "AddStone : Object creating stopped...\n"},
        {"AddStone('rock', 1, 'stones/rock.xml', 0, 0, 0, 'pond', 0)", "AddStone : Object creating stopped...\n"},
        {"AddStone('s', 1, 'stones/rock.xml', 0, 0, 0, 'pond')", "AddWater : arguments error!"},
        {"AddStone('s', 'x', 'stones/rock.xml', 0, 0, 0, 'pond', 0)", "AddWater : arguments error!"},
    };
    for (const Case& c : refused) {
        Run(c.call);
        EXPECT_EQ(c.log, TakeLog()) << c.call;
    }
    EXPECT_EQ(nullptr, location->FindEntity("s"));
    EXPECT_EQ(rock, location->FindEntity("rock"));
}

TEST_F(ScriptLocationObjectsTest, ShadeBoxesAndWalkGridsByIndex)
{
    for (int i = 0; i < 2; ++i) {
        location->shadeBoxes.Add(new CQmShadeBox);
        location->shadeBoxes[i]->enabled = 1;
    }
    Run("ShadeBoxEnable(1, false)");
    EXPECT_EQ(1, location->shadeBoxes[0]->enabled);
    EXPECT_EQ(0, location->shadeBoxes[1]->enabled);
    struct Case {
        const char* call;
        const char* log;
    };
    const Case refused[] = {
        {"ShadeBoxEnable(-1, false)", "Lua::ShadeBoxEnable index out of range"},
        {"ShadeBoxEnable(2, false)", "Lua::ShadeBoxEnable index out of range"},
        {"ShadeBoxEnable(0, 0)", "Lua::ShadeBoxEnable arguments error"},
        {"ShadeBoxEnable(0)", "Lua::ShadeBoxEnable arguments error"},
    };
    for (const Case& c : refused) {
        Run(c.call);
        EXPECT_EQ(1, GeLogLastLevel()) << c.call;
        EXPECT_EQ(c.log, TakeLog()) << c.call;
    }
    EXPECT_EQ(1, location->shadeBoxes[0]->enabled);

    // Two walk grids, the current one with a locked cell.
    for (uint32_t i = 0; i < 2; ++i) {
        auto* grid = new CQmAiMap;
        grid->width = grid->height = 3;
        grid->count = 9;
        grid->cells = new AiCell[9];
        location->walkGrids[i] = grid;
    }
    location->walkGridCount = 2;
    location->walkGrids[0]->cells[4].flags = kAiCellLocked;
    EXPECT_EQ("0", Call("GetCurrentAiMap()"));
    Run("SetCurrentAiMap(5)");
    EXPECT_EQ(0u, location->activeWalkGrid);
    EXPECT_EQ(kAiCellLocked, location->walkGrids[0]->cells[4].flags);
    Run("SetCurrentAiMap(1.9)");
    EXPECT_EQ(1u, location->activeWalkGrid);
    EXPECT_EQ(0, location->walkGrids[0]->cells[4].flags) << "the marks of the grid left are cleared";
    EXPECT_EQ("1", Call("GetCurrentAiMap()"));
    Run("SetCurrentAiMap('x')");
    EXPECT_EQ("Lua_SetCurrentAiMap: arguments error\n", TakeLog());
    EXPECT_EQ("0", Call("GetCurrentAiMap(1)"));
    EXPECT_EQ("Lua_GetCurrentAiMap: arguments error\n", TakeLog());
    NoLocation();
    EXPECT_EQ("", Call("GetCurrentAiMap()"));
    Run("SetCurrentAiMap(0) ShadeBoxEnable(0, false)");
    EXPECT_EQ(1u, location->activeWalkGrid);
    EXPECT_EQ(1, location->shadeBoxes[0]->enabled);
}
