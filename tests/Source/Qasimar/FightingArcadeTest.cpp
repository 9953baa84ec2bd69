// The fist fight under the game processor, on two skinned fighters whose
// tracks carry the frame events that decide the blows. A test player plays
// it by what shows (the track each fighter plays) to a win and to a loss;
// the rules around the blows, the start and the ways out are checked beside.
#include "Engine/Core/Common/GeRandom.h"
#include "Engine/Core/Gm/GmColorFader.h"
#include "Engine/Gui/GuiControl.h"
#include "Source/Qasimar/QasimarArcadeFighting.h"
#include "tests/Source/Qasimar/ArcadeInLocationFixture.h"

namespace {

using Fight = CQasimarArcade_Fighting;

// Tracks at 10 frames a second: the frame of each event, null for none.
struct TrackRow {
    const char* name;
    uint32_t frames;
    uint32_t eventFrame;
    const char* event;
    uint32_t secondFrame = 0;
    const char* second = nullptr;
    bool looped = false;
};

const TrackRow kTracks[] = {
    {"fight_idle", 10, 0, nullptr, 0, nullptr, true},
    {"kick_1", 8, 4, "punch"},
    {"uklon_1", 8, 1, "defence_start", 6, "defence_end"},
    {"damage", 5, 0, nullptr},
    {"death", 6, 0, nullptr},
};

class FightingTest : public ArcadeInLocationTest {
protected:
    void SetUp() override
    {
        ArcadeInLocationTest::SetUp();
        m_data.Write("gui/arcades/fight.xml",
                     "<GUI><CONTROLSET><C Name='txt_lbl' Type='EGCT_CONTROL'/></CONTROLSET></GUI>");
        location = EnterLocation("arena");
        hero = Fighter("qasimar");
        enemy = Fighter("glavar");
        m_animated = {hero, enemy};
        for (const char* name : {"qasimar_hi", "glavar_hi"}) {
            auto* marker = new CQmEntity;
            marker->name = name;
            marker->SetProp(QM_PROP_VISUAL_OBJECT, new CQmPropVisualObject(marker));
            location->AddNamedObject(marker->name, marker, false);
        }
        hero->frame.SetPosition(Vec3{-20.0f, 0.0f, 0.0f});
        enemy->frame.SetPosition(Vec3{20.0f, 0.0f, 5.0f});
        game = new Fight();
        m_processor->AddArcade(game);
        Run("for _, e in ipairs({'fighting_start', 'fighting_stop', 'fighting_damage_hero', "
            "'fighting_damage_glavar'}) do _G[e] = function() Note(e) end end");
        g_journal.clear();
    }

    // A skinned figure with the fight's tracks under its prefix; the enemy
    // has a second kick like the first.
    CQmEntity* Fighter(const std::string& name)
    {
        CQmEntity* entity = AnimatedFigure(location, name.c_str());
        std::vector<std::pair<std::string, const TrackRow*>> tracks;
        for (const TrackRow& row : kTracks)
            tracks.emplace_back(name + "_" + row.name, &row);
        if (name == "glavar")
            tracks.emplace_back("glavar_kick_2", &kTracks[1]);
        for (const auto& [track, row] : tracks)
            GiveTrack(entity, track, Spec(*row));
        return entity;
    }

    static animwrite::TrackSpec Spec(const TrackRow& row)
    {
        animwrite::TrackSpec spec = animwrite::MakeTrack(row.frames, 4, 10.0f);
        spec.looped = row.looped ? 1 : 0;
        spec.events.assign(row.frames, nullptr);
        if (row.event)
            spec.events[row.eventFrame] = row.event;
        if (row.second)
            spec.events[row.secondFrame] = row.second;
        return spec;
    }

    void Start() { m_processor->StartArcadeByName("arcade: fighting", nullptr); }

    // Past the intro text.
    void Begin()
    {
        Start();
        ASSERT_EQ(game, m_processor->currentArcade);
        Press(QM_MSG_LEFT_PRESS);
        ASSERT_EQ(0, game->introShown);
    }

    // Whether a fighter makes a move (any track but the idle) still running.
    bool Moving(CQmEntity* fighter) const { return Player(fighter)->playing && !Ends(Playing(fighter), "fight_idle"); }
    bool Ends(const std::string& text, const char* tail) const
    {
        const std::string t(tail);
        return text.size() >= t.size() && text.compare(text.size() - t.size(), t.size(), t) == 0;
    }

    FakeLocation* location = nullptr;
    CQmEntity* hero = nullptr;
    CQmEntity* enemy = nullptr;
    Fight* game = nullptr;
};

} // namespace

TEST_F(FightingTest, StartShowsTheIntroAndSetsBothFightersUp)
{
    Start();
    ASSERT_EQ(1, game->active);
    EXPECT_EQ(1, game->introShown);
    CGuiControl* intro = m_gui.currentSet->FindControl(CGeString("txt_lbl"));
    ASSERT_NE(nullptr, intro);
    EXPECT_EQ(1, intro->visible);
    EXPECT_EQ("qasimar_fight_idle", Playing(hero));
    EXPECT_EQ("glavar_fight_idle", Playing(enemy));
    EXPECT_EQ(1, location->FindEntity("qasimar_hi")->GetProp(QM_PROP_VISUAL_OBJECT)->enabled);
    EXPECT_EQ(std::vector<std::string>{"fighting_start"}, g_journal);
    // The fight waits for the intro: a right click does not dodge.
    Press(QM_MSG_RIGHT_PRESS);
    Frames(30);
    EXPECT_EQ(Fight::kReady, game->hero.state);
    EXPECT_EQ("glavar_fight_idle", Playing(enemy));
    // The markers ride 35 units above their fighters.
    const Vec3 marker = location->FindEntity("glavar_hi")->frame.position;
    EXPECT_FLOAT_EQ(20.0f, marker.x);
    EXPECT_FLOAT_EQ(35.0f, marker.y);
    EXPECT_FLOAT_EQ(5.0f, marker.z);
    // The first click only takes the intro away.
    Press(QM_MSG_LEFT_PRESS);
    EXPECT_EQ(0, intro->visible);
    EXPECT_EQ(Fight::kReady, game->hero.state);
}

TEST_F(FightingTest, TheTestPlayerWinsByAttackingAndDodgingTheKicks)
{
    GeSrand(7);
    const uint32_t listeners = Listeners(hero);
    Begin();
    int frames = 0;
    for (; frames < 3000 && game->active; ++frames) {
        const std::string theirs = Playing(enemy);
        const bool kicked = Moving(enemy) && (Ends(theirs, "kick_1") || Ends(theirs, "kick_2"));
        if (!Moving(hero))
            Press(kicked ? QM_MSG_RIGHT_PRESS : QM_MSG_LEFT_PRESS);
        Frame();
    }
    EXPECT_EQ(0, game->active) << frames;
    EXPECT_EQ(nullptr, m_processor->currentArcade);
    EXPECT_EQ(10, Count("fighting_damage_glavar"));
    EXPECT_LT(Count("fighting_damage_hero"), 10);
    EXPECT_EQ(1, Count("fighting_stop"));
    EXPECT_EQ("fighting_stop", g_journal.back());
    EXPECT_EQ("glavar_death", Playing(enemy));
    // Finish leaves no listener and no marker behind.
    EXPECT_EQ(listeners, Listeners(hero));
    EXPECT_EQ(0, location->FindEntity("glavar_hi")->GetProp(QM_PROP_VISUAL_OBJECT)->enabled);
    EXPECT_EQ(g_mainControlSet, m_gui.currentSet);
}

TEST_F(FightingTest, AnIdleHeroDiesAndAFreshFightBeginsAfterTheFades)
{
    GeSrand(3);
    Begin();
    int frames = 0;
    while (frames < 3000 && game->hero.state != Fight::kDead)
        Frame(), ++frames;
    ASSERT_EQ(Fight::kDead, game->hero.state);
    EXPECT_EQ(10, Count("fighting_damage_hero"));
    EXPECT_EQ("qasimar_death", Playing(hero));
    // Clicks while a fighter lies dead change nothing.
    Press(QM_MSG_LEFT_PRESS);
    Press(QM_MSG_RIGHT_PRESS);
    EXPECT_EQ("qasimar_death", Playing(hero));
    // The death track ends: the fade to black, then back, then a new fight.
    Frames(20);
    EXPECT_EQ(1, game->over);
    EXPECT_EQ(1, m_processor->effectFader->state);
    Frames(40);
    EXPECT_EQ(1, game->restarting);
    EXPECT_EQ("qasimar_fight_idle", Playing(hero));
    // A track ending while the fight fades in does not fade it out again.
    Press(kQmMsgAnimationEnded);
    EXPECT_EQ(0, game->over);
    Frames(30);
    EXPECT_EQ(0, game->restarting | game->over);
    EXPECT_EQ(1, game->active);
    EXPECT_FLOAT_EQ(100.0f, game->hero.health);
    EXPECT_FLOAT_EQ(100.0f, game->enemy.health);
    EXPECT_EQ(Fight::kReady, game->hero.state);
    EXPECT_EQ(0, Count("fighting_stop"));
}

TEST_F(FightingTest, BlowsByFrameEvents)
{
    Begin();
    auto* heroController = hero->Prop<CQmPropAnimController>(QM_PROP_ANIM_CONTROLLER)->jointController;
    auto* enemyController = enemy->Prop<CQmPropAnimController>(QM_PROP_ANIM_CONTROLLER)->jointController;
    CJaSeqPlayer* heroPlayer = heroController->ChannelPlayer(0);
    CJaSeqPlayer* enemyPlayer = enemyController->ChannelPlayer(0);
    auto fire = [&](CJaSeqPlayer* player, const char* track) {
        // The punch frame of the kick, or the dodge's first event.
        PlayHeroTrack(player == heroPlayer ? hero : enemy, track, 0.0f);
        game->Callback(player, 0, std::string(track).find("kick") != std::string::npos ? 4 : 1);
    };
    // A protected enemy takes nothing; the hero is ready again at 0.7 s.
    game->enemy.state = Fight::kProtected;
    game->hero.state = Fight::kAttacking;
    fire(heroPlayer, "qasimar_kick_1");
    EXPECT_FLOAT_EQ(100.0f, game->enemy.health);
    EXPECT_EQ(Fight::kReady, game->hero.state);
    EXPECT_FLOAT_EQ(0.7f, game->hero.timer);
    EXPECT_EQ(0, Count("fighting_damage_glavar"));
    // Nine hits leave 10 points; the tenth kills.
    game->enemy.state = Fight::kReady;
    for (int hit = 1; hit <= 10; ++hit) {
        game->hero.state = Fight::kAttacking;
        fire(heroPlayer, "qasimar_kick_1");
        EXPECT_FLOAT_EQ(100.0f - 10.0f * float(hit), game->enemy.health) << hit;
        EXPECT_EQ(hit < 10 ? Fight::kHit : Fight::kDead, game->enemy.state) << hit;
        EXPECT_EQ(hit < 10 ? "glavar_damage" : "glavar_death", Playing(enemy)) << hit;
        if (hit < 10)
            game->enemy.state = Fight::kReady;
    }
    EXPECT_EQ(10, Count("fighting_damage_glavar"));
    // The enemy's punch on a dodging hero lands; on a protected one it does not.
    game->enemy.state = Fight::kAttacking;
    game->hero.state = Fight::kDodging;
    fire(heroPlayer, "qasimar_uklon_1");
    EXPECT_EQ(Fight::kProtected, game->hero.state);
    fire(enemyPlayer, "glavar_kick_2");
    EXPECT_FLOAT_EQ(100.0f, game->hero.health);
    EXPECT_EQ(0, Count("fighting_damage_hero"));
    game->hero.state = Fight::kReady;
    game->enemy.state = Fight::kAttacking;
    fire(enemyPlayer, "glavar_kick_1");
    EXPECT_FLOAT_EQ(90.0f, game->hero.health);
    EXPECT_EQ(1, Count("fighting_damage_hero"));
    // An end of blend (-2) is no frame event.
    game->hero.state = Fight::kAttacking;
    PlayHeroTrack(hero, "qasimar_kick_1", 0.0f);
    game->Callback(heroPlayer, 0, -2);
    EXPECT_EQ(Fight::kAttacking, game->hero.state);
}

TEST_F(FightingTest, NoKickUnderTheMenuNoStopWhenLeftEarlyAndASecondStartListensOnce)
{
    const uint32_t listeners = Listeners(hero);
    Begin();
    EXPECT_EQ(listeners + 1, Listeners(hero));
    game->Start();
    EXPECT_EQ(listeners + 1, Listeners(hero));
    EXPECT_EQ(1, Count("fighting_start"));
    Frames(50);
    // Under the in-game menu a click throws no kick.
    game->hero.state = Fight::kReady;
    game->hero.timer = -1.0f;
    game->Pause();
    Press(QM_MSG_LEFT_PRESS);
    EXPECT_EQ(Fight::kReady, game->hero.state);
    game->Resume();
    Press(QM_MSG_LEFT_PRESS);
    EXPECT_EQ(Fight::kAttacking, game->hero.state);
    game->Finish();
    EXPECT_EQ(listeners, Listeners(hero));
    EXPECT_EQ(0, Count("fighting_stop"));
    EXPECT_EQ(nullptr, m_processor->currentArcade);
    EXPECT_EQ(0, m_processor->effectFader->state);
    // Played again, it starts from the beginning.
    Begin();
    EXPECT_EQ(listeners + 1, Listeners(hero));
    EXPECT_FLOAT_EQ(100.0f, game->hero.health);
}

TEST_F(FightingTest, AStartWithoutItsFiguresIsRefused)
{
    struct Case {
        const char* removed;
        const char* log;
    } cases[] = {
        {"glavar", "arcade: fighting: entity 'glavar' is missing, the game does not start\n"},
        {"qasimar_hi", "arcade: fighting: entity 'qasimar_hi' is missing, the game does not start\n"},
    };
    for (const Case& c : cases) {
        CQmEntity* entity = location->FindEntity(c.removed);
        ASSERT_NE(nullptr, entity);
        location->entityNames.EraseKey(CGeString(c.removed));
        Start();
        EXPECT_EQ(0, game->active) << c.removed;
        EXPECT_EQ(nullptr, m_processor->currentArcade) << c.removed;
        EXPECT_EQ(c.log, std::string(GeLogLastMessage().c_str()));
        EXPECT_EQ(0, Count("fighting_start"));
        location->entityNames.InsertNode(CGeString(c.removed), entity);
    }
}

TEST_F(FightingTest, EveryWayOutStopsTheFightWithoutItsEndEvent)
{
    const uint32_t listeners = Listeners(hero);
    for (const WayOut& way : WaysOut()) {
        BackIn("arena");
        Begin();
        Frames(20);
        ASSERT_EQ(1, game->active) << way.name;
        way.leave();
        EXPECT_EQ(0, game->active) << way.name;
        EXPECT_EQ(0, Count("fighting_stop")) << way.name;
        EXPECT_EQ(listeners, Listeners(hero)) << way.name;
        EXPECT_EQ(listeners, Listeners(enemy)) << way.name;
        EXPECT_EQ(0, location->FindEntity("qasimar_hi")->GetProp(QM_PROP_VISUAL_OBJECT)->enabled) << way.name;
        EXPECT_EQ(0, m_processor->effectFader->state) << way.name;
    }
}
