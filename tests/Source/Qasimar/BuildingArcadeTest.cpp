// The golem's column under the game processor, in a location with a walk
// grid and a golem whose push track carries him along x. A test player that
// reads only the labels (the column's numbers, the offered number) sorts the
// column to the win; leaving early, a new start, refused starts, the skip, the
// menu and the layout's numbers are checked beside.
#include "Engine/Core/Gm/GmColorFader.h"
#include "Engine/Core/Gm/GmScenicMesh.h"
#include "Source/Qasimar/QasimarArcadeBuilding.h"
#include "tests/Engine/Core/Gm/MeshFixtures.h"
#include "tests/Source/Qasimar/PlacingArcadeFixture.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <set>

namespace {

using Building = CQasimarArcade_Building;

std::string Indexed(const char* format, int i)
{
    char text[32];
    std::snprintf(text, sizeof(text), format, i);
    return text;
}

class BuildingTest : public PlacingArcadeTest {
protected:
    void SetUp() override
    {
        PlacingArcadeTest::SetUp();
        WriteBuildingLayout("");
        const meshfixture::Bytes cube = meshfixture::WriteGemesh(meshfixture::MakeCube());
        locwriter::WriteFile(m_data.Path(), "meshes/items/block.gemesh", cube);
        m_data.Write("materials/items/block.xml", "<MATERIAL><COLORS EMISSIVE='0.6 0.5 0.4 1'/></MATERIAL>");
        WalkGridOptions options;
        options.cellSize = 100.0f;
        options.originX = -1700.0f;
        options.originZ = -300.0f;
        Grid(std::vector<std::string>(6, std::string(22, '.')), options);
        golem = Figure("golem", Vec3{-1200.0f, 0.0f, 0.0f},
                       {{"golem_idle_01", 10, 0.0f}, {"golem_pushes_stone", 20, 1500.0f}}, 800.0f);
        game = new Building();
        m_processor->AddArcade(game);
        NoteEvents({"building_arcade_newstone", "building_arcade_switchstone", "building_arcade_end"});
        g_journal.clear();
    }

    // The layout with every control but the one named left out.
    void WriteBuildingLayout(const std::string& leftOut)
    {
        std::vector<std::string> texts = {"btn_lbl", "txt_lbl"}, buttons = {"btn_skip"},
                                 plain = {"label_bg", "bld_bg_rt", "bld_bg_rb"};
        for (int i = 0; i < Building::kStones; ++i) {
            texts.push_back(Indexed("lbl_%02i", i));
            buttons.push_back(Indexed("btn_%02i", i));
            plain.push_back(Indexed("bld_lbl_%02i", i));
        }
        for (auto* list : {&texts, &buttons, &plain})
            list->erase(std::remove(list->begin(), list->end(), leftOut), list->end());
        WriteLayout("gui/arcades/building.xml", texts, buttons, plain);
    }

    void Start() { m_processor->StartArcadeByName("arcade: building", nullptr); }
    // Past the introduction.
    void Begin()
    {
        Start();
        ASSERT_TRUE(game->started);
        Mouse(QM_MSG_LEFT_RELEASE);
        ASSERT_FALSE(Visible("txt_lbl"));
    }

    // What the player reads: the column's numbers, bottom first.
    std::vector<int> Column() const
    {
        std::vector<int> numbers;
        for (int i = 0; i < Building::kStones; ++i)
            numbers.push_back(std::atoi(Text(Indexed("lbl_%02i", i).c_str()).c_str()));
        return numbers;
    }
    // Frames until the offer waits for the player ("label_bg" shows) or the
    // game ends; false when neither comes.
    bool WaitForOffer(int frames = 400)
    {
        for (int f = 0; f < frames && game->started; ++f) {
            Frame();
            if (Visible("label_bg"))
                return true;
        }
        return false;
    }
    std::vector<int> Shuffle()
    {
        std::vector<int> numbers;
        for (Building::Stone* stone : game->stones)
            numbers.push_back(stone->number);
        return numbers;
    }

    std::string Events() const
    {
        std::string text;
        for (const std::string& entry : g_journal)
            if (entry.rfind("building", 0) == 0)
                text += entry + " ";
        return text;
    }

    std::string LastEvent() const
    {
        for (auto at = g_journal.rbegin(); at != g_journal.rend(); ++at)
            if (at->rfind("building", 0) == 0)
                return *at;
        return "";
    }

    CQmEntity* golem = nullptr;
    Building* game = nullptr;
};

// The player's rule: number n belongs at place (30 - n) x 11 / 30, so that
// stones all at home decrease upwards.
int Home(int number)
{
    return (Building::kNumbers - number) * Building::kStones / Building::kNumbers;
}

TEST_F(BuildingTest, TheTestPlayerSortsTheColumnToTheWin)
{
    Begin();
    int offers = 0;
    while (game->state != Building::kWon && offers < 400) {
        ASSERT_TRUE(WaitForOffer()) << "offer " << offers;
        ++offers;
        const std::vector<int> column = Column();
        const int offered = std::atoi(Text("btn_lbl").c_str());
        ASSERT_GE(offered, 1);
        ASSERT_LE(offered, Building::kNumbers);
        EXPECT_EQ(column.end(), std::find(column.begin(), column.end(), offered)) << "offer " << offers;
        ASSERT_EQ(offers, Count("building_arcade_newstone()")) << Events();
        // The offered stone waits beside the column, the golem walked back.
        EXPECT_NEAR(-300.0f, location->FindEntity("nextblock")->frame.local.At(0, 3), 1e-3f);
        EXPECT_LT(golem->frame.position.x, -1100.0f);
        int place = Home(offered);
        if (Home(column[place]) == place)
            for (place = 0; place + 1 < Building::kStones && Home(column[place]) == place; ++place) {
            }
        Click(Indexed("btn_%02i", place).c_str());
        EXPECT_EQ(offered, std::atoi(Text(Indexed("lbl_%02i", place).c_str()).c_str()));
        EXPECT_EQ("", Text("btn_lbl"));
    }
    ASSERT_EQ(Building::kWon, game->state) << offers << " offers";
    EXPECT_EQ(offers, Count("building_arcade_switchstone()"));
    const std::vector<int> column = Column();
    EXPECT_TRUE(std::is_sorted(column.rbegin(), column.rend()));
    // The column stands as the labels say: stone i at height 70 i, scaled.
    for (int i = 0; i < Building::kStones; ++i) {
        const Matrix4& m = location->FindEntity(Indexed("block_%02i", i).c_str())->frame.local;
        EXPECT_FLOAT_EQ(70.0f * float(i), m.At(1, 3));
        EXPECT_NEAR(Building::StoneScale(uint32_t(column[i])), m.At(1, 1), 1e-5f);
    }
    EXPECT_FLOAT_EQ(Building::kWinInputLock, m_processor->inputLockTime);
    for (int i = 0; i < Building::kStones; ++i)
        EXPECT_FALSE(Visible(Indexed("bld_lbl_%02i", i).c_str()));
    EXPECT_FALSE(Visible("bld_bg_rt"));
    EXPECT_FALSE(Visible("bld_bg_rb"));
    // The fade starts after 2 s, the game ends 1 s later.
    Frames(50);
    EXPECT_EQ(0, m_processor->effectFader->state) << "2.0 s after the win";
    Frame();
    EXPECT_EQ(1, m_processor->effectFader->state);
    EXPECT_TRUE(game->started);
    Frames(25);
    EXPECT_FALSE(game->started);
    EXPECT_EQ("building_arcade_end(true)", LastEvent()) << Events();
    EXPECT_EQ(nullptr, m_processor->currentArcade);
    EXPECT_EQ(0, m_processor->effectFader->state);
    EXPECT_EQ(nullptr, location->FindEntity("block_00"));
}

TEST_F(BuildingTest, LeavingEarlyEndsWithFalseAndANewStartReshuffles)
{
    Begin();
    ASSERT_TRUE(WaitForOffer());
    const std::vector<int> first = Shuffle();
    m_processor->currentArcade->Finish();
    EXPECT_EQ("building_arcade_end(false)", LastEvent());
    EXPECT_EQ(nullptr, m_processor->currentArcade);
    EXPECT_EQ(nullptr, location->FindEntity("block_05"));
    EXPECT_EQ(nullptr, location->FindEntity("nextblock"));

    // A stone the location holds already is the one the game uses.
    CQmEntity* kept = Thing("block_04", Vec3{0.0f, 0.0f, 0.0f});
    Start();
    ASSERT_TRUE(game->started);
    EXPECT_EQ(kept, game->stones[4]->entity);
    // The others are made of the block mesh and material.
    auto* visuals = game->stones[3]->entity->Prop<CQmPropVisualObject>(QM_PROP_VISUAL_OBJECT);
    ASSERT_NE(nullptr, visuals);
    ASSERT_EQ(1u, visuals->visuals.Count());
    const auto* stone = static_cast<const CGmScenicMesh*>(visuals->visuals[0]);
    EXPECT_NE(nullptr, stone->mesh);
    EXPECT_EQ(1u, stone->MaterialCount());
    EXPECT_EQ(1, visuals->enabled);
    EXPECT_NE(first, Shuffle());
    std::vector<int> numbers = Shuffle();
    EXPECT_EQ(size_t(Building::kStones), std::set<int>(numbers.begin(), numbers.end()).size());
    for (int n : numbers) {
        EXPECT_GE(n, 1);
        EXPECT_LE(n, Building::kNumbers);
    }
    EXPECT_TRUE(Visible("txt_lbl"));
    EXPECT_FALSE(Visible("btn_skip"));
}

TEST_F(BuildingTest, AStartWithoutTheGolemOrAControlIsRefused)
{
    struct Case {
        const char* what;
        const char* leftOutControl;
        bool withoutGolem;
    };
    const Case cases[] = {
        {"lbl_07", "lbl_07", false},
        {"btn_skip", "btn_skip", false},
        {"golem", "", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteBuildingLayout(c.leftOutControl);
        if (c.withoutGolem)
            location->RemoveEntity("golem");
        g_journal.clear();
        GeLogClearLast();
        Start();
        EXPECT_FALSE(game->started);
        EXPECT_FALSE(game->active);
        EXPECT_EQ(nullptr, m_processor->currentArcade);
        EXPECT_EQ(2, GeLogLastLevel());
        EXPECT_NE(std::string::npos, std::string(GeLogLastMessage().c_str()).find(c.what)) << GeLogLastMessage().c_str();
        EXPECT_EQ(std::vector<std::string>{"building_arcade_end(false)"}, g_journal);
        EXPECT_EQ(nullptr, location->FindEntity("block_00"));
        EXPECT_EQ(g_mainControlSet, m_gui.currentSet);
    }
}

TEST_F(BuildingTest, TheSkipLetsTheOfferGoAndTheMenuStopsTheGame)
{
    Begin();
    ASSERT_TRUE(WaitForOffer());
    // While the menu is open no click plays and the rules stand still.
    game->Pause();
    const std::vector<int> before = Column();
    Click("btn_03");
    Frames(10);
    EXPECT_EQ(before, Column());
    EXPECT_EQ(Building::kChoosing, game->state);
    game->Resume();
    // The skip button is hidden, but works once something shows it.
    Control("btn_skip")->visible = 1;
    Click("btn_skip");
    EXPECT_EQ(Building::kBringing, game->state);
    EXPECT_EQ("", Text("btn_lbl"));
    EXPECT_EQ(before, Column());
    EXPECT_EQ(0, Count("building_arcade_switchstone()"));
    ASSERT_TRUE(WaitForOffer());
    EXPECT_EQ(2, Count("building_arcade_newstone()"));
}

TEST_F(BuildingTest, StoneScalesAndTheColumnsMatrices)
{
    EXPECT_NEAR(0.5172414f, Building::StoneScale(1), 1e-6f);
    EXPECT_NEAR(1.0172414f, Building::StoneScale(30), 1e-6f);
    struct Case {
        int index;
        uint32_t number;
    };
    for (const Case& c : {Case{0, 1}, Case{10, 30}, Case{5, 15}}) {
        SCOPED_TRACE(c.index);
        const Matrix4 m = Building::ColumnMatrix(c.index, c.number);
        const float s = Building::StoneScale(c.number);
        const float cosine = std::cos(0.6981317f) * s, sine = std::sin(0.6981317f) * s;
        // A turn of 40 degrees about Y, scaled: x and z mix, y only scales.
        EXPECT_NEAR(cosine, m.At(0, 0), 1e-5f);
        EXPECT_NEAR(cosine, m.At(2, 2), 1e-5f);
        EXPECT_NEAR(sine, std::fabs(m.At(0, 2)), 1e-5f);
        EXPECT_NEAR(-m.At(0, 2), m.At(2, 0), 1e-5f);
        EXPECT_NEAR(s, m.At(1, 1), 1e-6f);
        EXPECT_FLOAT_EQ(0.0f, m.At(0, 1));
        EXPECT_FLOAT_EQ(200.0f, m.At(0, 3));
        EXPECT_FLOAT_EQ(70.0f * float(c.index), m.At(1, 3));
        EXPECT_FLOAT_EQ(-100.0f, m.At(2, 3));
    }
}

} // namespace
