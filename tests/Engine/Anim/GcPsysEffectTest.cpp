// Effect scripts on a driven timer: looped and unlooped timelines, keys of one
// time in file order, entries that are skipped with their log lines, nothing
// before Start, Stop, and the event queue that drops when full.
#include "tests/Engine/Anim/ParticleTestSupport.h"

#include <vector>

namespace {

class GcPsysEffect : public ParticleTest {
protected:
    // One frame of dt seconds: the timer ticks, the effect updates, and the
    // events it raised are collected.
    std::vector<int32_t> Frame(CGcPsysEffect& effect, double dt)
    {
        Tick(dt);
        effect.Update();
        std::vector<int32_t> raised;
        int32_t event = 0;
        while (effect.PopEvent(&event))
            raised.push_back(event);
        return raised;
    }

    std::unique_ptr<CGcPsysEffect> LoadScript(const std::string& script)
    {
        return std::unique_ptr<CGcPsysEffect>(
            Load(SystemXml("a", "") + SystemXml("b", "") + "<psys_effect>" + script + "</psys_effect>"));
    }
};

TEST_F(GcPsysEffect, LoopedStartAndStopEveryTwoSeconds)
{
    auto effect = LoadScript("<particle_system name=\"a\" looped=\"1\">"
                             "<key time=\"0\" command=\"start\" event=\"1\"/>"
                             "<key time=\"2\" command=\"stop\" event=\"2\"/></particle_system>");
    ASSERT_TRUE(effect);
    CGcParticleSystem* a = SystemOf(effect.get(), "a");
    effect->Start();
    // A key runs once the time of the frames before it has reached its time:
    // the stop at 2 s comes in the ninth frame of 0.25 s, and then every 2 s.
    std::vector<std::pair<int, std::vector<int32_t>>> seen;
    for (int frame = 0; frame <= 25; ++frame) {
        std::vector<int32_t> raised = Frame(*effect, frame ? 0.25 : 0.0);
        if (!raised.empty())
            seen.push_back({frame, raised});
        EXPECT_EQ(1, a->emitting) << frame; // a stop is followed by the restart in the same frame
    }
    const std::vector<std::pair<int, std::vector<int32_t>>> expected = {
        {0, {1}}, {9, {2, 1}}, {17, {2, 1}}, {25, {2, 1}}};
    EXPECT_EQ(expected, seen);
}

TEST_F(GcPsysEffect, UnloopedEntryStaysPastItsLastKey)
{
    auto effect = LoadScript("<particle_system name=\"a\"><key time=\"0\" command=\"start\" event=\"1\"/>"
                             "<key time=\"1\" command=\"stop\" event=\"2\"/></particle_system>");
    ASSERT_TRUE(effect);
    effect->Start();
    std::vector<int32_t> all;
    for (int frame = 0; frame < 20; ++frame)
        for (int32_t e : Frame(*effect, 0.25))
            all.push_back(e);
    EXPECT_EQ((std::vector<int32_t>{1, 2}), all);
    EXPECT_EQ(0, SystemOf(effect.get(), "a")->emitting);
    // Start plays the script from its beginning again.
    effect->Start();
    EXPECT_EQ(std::vector<int32_t>{1}, Frame(*effect, 0.25));
}

TEST_F(GcPsysEffect, KeysOfOneTimeRunInFileOrder)
{
    auto effect = LoadScript("<particle_system name=\"a\"><key time=\"0\" command=\"start\"/>"
                             "<key time=\"0.5\" command=\"stop\" event=\"5\"/>"
                             "<key time=\"0.5\" command=\"resume\" event=\"6\"/>"
                             "<key time=\"0.5\" command=\"bogus\" event=\"-3\"/></particle_system>");
    ASSERT_TRUE(effect);
    CGcParticleSystem* a = SystemOf(effect.get(), "a");
    effect->Start();
    EXPECT_TRUE(Frame(*effect, 0.25).empty());
    EXPECT_TRUE(Frame(*effect, 0.25).empty());
    EXPECT_EQ((std::vector<int32_t>{5, 6}), Frame(*effect, 0.25));
    EXPECT_EQ(1, a->emitting);
    EXPECT_EQ(0, a->finished);
}

TEST_F(GcPsysEffect, UnknownNamesAndKeylessEntriesSkippedWithTheirLogLines)
{
    struct Row {
        std::string script;
        const char* logged;
    };
    const Row rows[] = {
        {"<particle_system name=\"ghost\"><key time=\"0\" command=\"start\"/></particle_system>",
         "CGcPsysEffect::LoadFromXmlHandle: no particle system named 'ghost' found!"},
        {"<particle_system name=\"b\"/>", "CGcPsysEffect::LoadFromXmlHandle: no tag 'key' found! Effect ignored!\n"},
    };
    for (const Row& row : rows) {
        GeLogClearLast();
        auto effect = LoadScript(row.script + "<particle_system name=\"a\"><key time=\"0\" command=\"start\"/>"
                                              "</particle_system>");
        ASSERT_TRUE(effect);
        EXPECT_EQ(2, GeLogLastLevel());
        EXPECT_STREQ(row.logged, GeLogLastMessage().c_str());
        ASSERT_EQ(1u, effect->entries.Count());
        effect->Start();
        Frame(*effect, 0.1);
        EXPECT_EQ(1, effect->entries[0].system->emitting) << "the other entry plays";
    }
}

TEST_F(GcPsysEffect, NothingRunsBeforeStartAndStopEndsEmission)
{
    auto effect =
        LoadScript("<particle_system name=\"a\"><key time=\"0\" command=\"start\" event=\"1\"/></particle_system>"
                   "<particle_system name=\"b\"><key time=\"0\" command=\"start\"/></particle_system>");
    ASSERT_TRUE(effect);
    CGcParticleSystem* a = SystemOf(effect.get(), "a");
    effect->frame.SetPosition({5.0f, 0.0f, 0.0f});
    for (int frame = 0; frame < 5; ++frame)
        EXPECT_TRUE(Frame(*effect, 0.25).empty());
    EXPECT_EQ(1, a->finished);
    EXPECT_EQ(0, a->emitting);
    EXPECT_EQ(5.0f, a->frame.world.m[3]) << "updated, following the effect";

    effect->Start();
    Frame(*effect, 0.25);
    EXPECT_EQ(1, a->emitting);
    effect->Stop();
    EXPECT_EQ(0, effect->playing);
    for (const GcPsysEntry& entry : effect->entries)
        EXPECT_EQ(0, entry.system->emitting);
    for (int frame = 0; frame < 8; ++frame)
        Frame(*effect, 0.25);
    EXPECT_EQ(1, a->finished) << "the particles lived out their life";
}

TEST_F(GcPsysEffect, EventQueueKeepsThirtyTwoAndDropsTheRest)
{
    auto effect =
        LoadScript("<particle_system name=\"a\" looped=\"1\"><key time=\"0\" event=\"7\"/></particle_system>");
    ASSERT_TRUE(effect);
    effect->Start();
    for (int frame = 0; frame < 40; ++frame) {
        Tick(0.1);
        effect->Update();
    }
    EXPECT_EQ(kGcMaxEffectEvents, effect->eventCount);
    int32_t event = 0;
    uint32_t popped = 0;
    while (effect->PopEvent(&event)) {
        EXPECT_EQ(7, event);
        ++popped;
    }
    EXPECT_EQ(32u, popped);
}

} // namespace
