// The animation controller on a driven clock: a cross-fade step by step,
// override masks between channels, the order of notifications, clients that
// remove clients and restart channels from their callback, and the channel
// checks.
#include "Engine/Anim/JaAnimController.h"
#include "Engine/Core/Common/GeLog.h"
#include "tools/animwrite/AnimWriter.h"
#include "tests/Engine/Core/Gm/MeshFixtures.h"
#include "tests/Engine/Anim/AnimTestTimer.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace animwrite;
using meshfixture::FileOver;

namespace {

struct TrackDeleter {
    void operator()(CGeJointsKeySequence* track) const { track->Release(); }
};
using TrackPtr = std::unique_ptr<CGeJointsKeySequence, TrackDeleter>;

// Every key of every frame at one position, identity rotation; joints_info
// as given (the identity when empty).
TrackPtr ConstantTrack(const char* name, uint32_t joints, Vec3 position, std::vector<int> map = {},
                       uint32_t frames = 10, uint8_t looped = 1)
{
    TrackSpec spec = MakeTrack(frames, joints);
    for (CGeJointKey& key : spec.keys) {
        key.position = position;
        key.rotation = {0, 0, 0, 1};
    }
    spec.looped = looped;
    spec.jointsInfo = map;
    TrackPtr track(new CGeJointsKeySequence());
    EXPECT_TRUE(LoadJointsAnimTrack(*track, FileOver(std::string(name) + ".xml", FromText(WriteTrackXml(spec)))));
    return track;
}

struct Heard {
    uint32_t channel;
    int32_t notification;
    std::string client;
};

class Client : public CJaChainCallbackClient {
public:
    Client(const char* name, std::vector<Heard>& log) : m_name(name), m_log(log) {}
    void Callback(CJaSeqPlayer* player, uint32_t channel, int32_t notification) override
    {
        EXPECT_NE(player, nullptr);
        m_log.push_back({channel, notification, m_name});
        if (onCall)
            onCall(notification);
    }
    std::function<void(int32_t)> onCall;

private:
    std::string m_name;
    std::vector<Heard>& m_log;
};

float JointX(const CJaAnimController& controller, uint32_t joint)
{
    CGeJointKey key;
    controller.GetJointKey(key, joint);
    return key.position.x;
}

} // namespace

TEST(CJaAnimController, CrossFadesOverHalfASecondThenReportsMinusTwo)
{
    AnimTestTimer timer;
    TrackPtr track = ConstantTrack("walk", 1, {4, 0, 0});
    CJaAnimController controller(1);
    std::vector<Heard> heard;
    Client client("c", heard);
    controller.AddChainCallback(&client);
    controller.StartAseq(0, 0.5f, track.get(), 0);
    ASSERT_NE(controller.channels[0].blend, nullptr);
    EXPECT_TRUE(controller.mixer->Contains(controller.channels[0].blend));
    EXPECT_FALSE(controller.mixer->Contains(controller.channels[0].player));
    const struct {
        float delta;
        float x;
    } steps[] = {{0.0f, 0.0f}, {0.25f, 2.0f}, {0.25f, 4.0f}};
    for (const auto& step : steps) {
        timer.SetDelta(step.delta);
        controller.Update();
        EXPECT_NEAR(JointX(controller, 0), step.x, 1e-5f);
    }
    EXPECT_TRUE(heard.empty());
    timer.SetDelta(0.25f);
    controller.Update();
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(heard[0].notification, kJaNotifyEndOfBlend);
    EXPECT_FALSE(controller.mixer->Contains(controller.channels[0].blend));
    EXPECT_TRUE(controller.mixer->Contains(controller.channels[0].player));
    EXPECT_NEAR(JointX(controller, 0), 4.0f, 1e-6f);
    EXPECT_TRUE(controller.IsAseqPlaying(CGeString("walk")));
    EXPECT_FALSE(controller.IsAseqPlaying(CGeString("run")));

    // A null track stops the channel: its players leave the mixer.
    controller.StartAseq(0, 0.0f, nullptr, 0);
    EXPECT_EQ(controller.mixer->inputs.count, 0u);
    EXPECT_FALSE(controller.IsAseqPlaying(CGeString("walk")));
}

TEST(CJaAnimController, OverrideChannelHidesItsJointsFromLowerChannels)
{
    AnimTestTimer timer;
    timer.SetDelta(0.0f);
    TrackPtr body = ConstantTrack("body", 3, {1, 0, 0});
    TrackPtr arm = ConstantTrack("arm", 1, {5, 0, 0}, {1});
    const struct {
        uint8_t flag;
        float joint1;
    } cases[] = {{1, 5.0f}, {0, 6.0f}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.flag ? "override" : "additive");
        CJaAnimController controller(3);
        EXPECT_EQ(controller.AddChannel(), 1u);
        controller.StartAseq(0, 0.0f, body.get(), 0);
        controller.StartAseq(1, 0.0f, arm.get(), c.flag);
        controller.Update();
        EXPECT_FLOAT_EQ(JointX(controller, 0), 1.0f);
        EXPECT_FLOAT_EQ(JointX(controller, 1), c.joint1);
        EXPECT_FLOAT_EQ(JointX(controller, 2), 1.0f);
        EXPECT_TRUE(controller.IsAseqPlaying(CGeString("arm")));
        controller.ClearChannels();
        controller.Update();
        EXPECT_FLOAT_EQ(JointX(controller, 1), 1.0f);
        EXPECT_TRUE(controller.IsAseqPlaying(CGeString("body")));
        EXPECT_FALSE(controller.IsAseqPlaying(CGeString("arm")));
    }
    // On one channel ClearChannels keeps the track.
    CJaAnimController single(3);
    single.StartAseq(0, 0.0f, body.get(), 1);
    single.ClearChannels();
    EXPECT_TRUE(single.IsAseqPlaying(CGeString("body")));
}

TEST(CJaAnimController, EventsReachClientsLatestFirstAndAFinishedTrackStillCounts)
{
    AnimTestTimer timer;
    TrackSpec spec = MakeTrack(10, 1);
    spec.events.assign(10, nullptr);
    spec.events[3] = "three";
    spec.events[5] = "five";
    TrackPtr track(new CGeJointsKeySequence());
    ASSERT_TRUE(LoadJointsAnimTrack(*track, FileOver("once.xml", FromText(WriteTrackXml(spec)))));
    CJaAnimController controller(1);
    std::vector<Heard> heard;
    Client a("a", heard), b("b", heard);
    controller.AddChainCallback(&a);
    controller.AddChainCallback(&b);
    controller.StartAseq(0, 0.0f, track.get(), 0);
    timer.SetDelta(0.55f);
    controller.Update();
    ASSERT_EQ(heard.size(), 4u);
    EXPECT_EQ(heard[0].notification, 5);
    EXPECT_EQ(heard[0].client, "a");
    EXPECT_EQ(heard[1].client, "b");
    EXPECT_EQ(heard[2].notification, 3);
    EXPECT_STREQ(controller.ChannelPlayer(0)->GetEventName(heard[0].notification), "five");
    heard.clear();
    timer.SetDelta(1.0f);
    controller.Update();
    ASSERT_EQ(heard.size(), 2u);
    EXPECT_EQ(heard[0].notification, kJaNotifyEndOfPlay);
    EXPECT_TRUE(controller.IsAseqPlaying(CGeString("once")));
    controller.RemoveChainCallback(&a);
    heard.clear();
    controller.StartAseq(0, 0.0f, track.get(), 0);
    timer.SetDelta(5.0f);
    controller.Update();
    // The end is queued before the events the same update crossed.
    ASSERT_EQ(heard.size(), 3u);
    EXPECT_EQ(heard[0].notification, 5);
    EXPECT_EQ(heard[2].notification, kJaNotifyEndOfPlay);
    for (const Heard& h : heard)
        EXPECT_EQ(h.client, "b");
}

TEST(CJaAnimController, CallbacksMayRemoveClientsAndRestartTheirChannel)
{
    // On the end of the blend, client a removes b and restarts the channel
    // with a new cross-fade (the blend being delivered is replaced), and adds
    // d, which hears only later notifications. Run under the sanitizers.
    AnimTestTimer timer;
    TrackPtr first = ConstantTrack("first", 1, {2, 0, 0});
    TrackPtr second = ConstantTrack("second", 1, {6, 0, 0}, {}, 10, 0);
    CJaAnimController controller(1);
    std::vector<Heard> heard;
    Client a("a", heard), b("b", heard), c("c", heard), d("d", heard);
    a.onCall = [&](int32_t notification) {
        if (notification != kJaNotifyEndOfBlend || controller.IsAseqPlaying(CGeString("second")))
            return;
        controller.RemoveChainCallback(&b);
        controller.AddChainCallback(&d);
        controller.StartAseq(0, 0.5f, second.get(), 0);
    };
    controller.AddChainCallback(&a);
    controller.AddChainCallback(&b);
    controller.AddChainCallback(&c);
    controller.StartAseq(0, 0.25f, first.get(), 0);
    timer.SetDelta(0.3f);
    controller.Update();
    ASSERT_EQ(heard.size(), 2u);
    EXPECT_EQ(heard[0].client, "a");
    EXPECT_EQ(heard[1].client, "c");
    EXPECT_TRUE(controller.IsAseqPlaying(CGeString("second")));
    ASSERT_NE(controller.channels[0].blend, nullptr);
    EXPECT_TRUE(controller.mixer->Contains(controller.channels[0].blend));
    // The new cross-fade starts from the output at the restart (still the
    // identity: the mixer runs after the channels) toward 6.
    timer.SetDelta(0.25f);
    controller.Update();
    EXPECT_NEAR(JointX(controller, 0), 3.0f, 1e-5f);
    heard.clear();
    timer.SetDelta(0.3f);
    controller.Update();
    ASSERT_EQ(heard.size(), 3u);
    EXPECT_EQ(heard[0].client, "a");
    EXPECT_EQ(heard[1].client, "c");
    EXPECT_EQ(heard[2].client, "d");
}

TEST(CJaAnimController, ChannelsOutsideTheControllerAreIgnored)
{
    TrackPtr track = ConstantTrack("t", 1, {1, 0, 0});
    CJaAnimController controller(1);
    GeLogClearLast();
    controller.StartAseq(3, 0.0f, track.get(), 0);
    EXPECT_NE(std::string(GeLogLastMessage().c_str()).find("no channel 3"), std::string::npos);
    controller.SetChannelSequence(1, track.get(), 1);
    EXPECT_EQ(controller.mixer->inputs.count, 0u);
    EXPECT_EQ(controller.ChannelPlayer(1), nullptr);
}
