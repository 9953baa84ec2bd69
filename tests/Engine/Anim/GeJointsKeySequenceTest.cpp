// Joint-animation tracks from ".geat" files of both versions and from track
// XML: keys, root curve, events and joint maps as written by the fixture
// writers, and one table of the files the readers must refuse.
#include "Engine/Anim/GeJointsKeySequence.h"
#include "Engine/Core/Common/GeLog.h"
#include "tools/animwrite/AnimWriter.h"
#include "tests/Engine/Core/Gm/MeshFixtures.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>

using namespace animwrite;
using meshfixture::FileOver;
using meshfixture::PokeLe32;

namespace {

bool Load(CGeJointsKeySequence& track, const std::string& path, const Bytes& bytes)
{
    return LoadJointsAnimTrack(track, FileOver(path, bytes));
}

void ExpectKeysOf(const CGeJointsKeySequence& track, const TrackSpec& spec)
{
    ASSERT_EQ(track.jointCount, spec.joints);
    ASSERT_EQ(track.FrameCount(), spec.Frames());
    ASSERT_EQ(track.keys.Count(), spec.keys.size());
    for (uint32_t k = 0; k < spec.keys.size(); ++k) {
        EXPECT_FLOAT_EQ(track.keys[k].position.x, spec.keys[k].position.x) << k;
        EXPECT_FLOAT_EQ(track.keys[k].position.y, spec.keys[k].position.y) << k;
        EXPECT_FLOAT_EQ(track.keys[k].rotation.z, spec.keys[k].rotation.z) << k;
        EXPECT_FLOAT_EQ(track.keys[k].rotation.w, spec.keys[k].rotation.w) << k;
        EXPECT_EQ(track.keys[k].reserved, 0u);
    }
    for (uint32_t f = 0; f < spec.Frames(); ++f)
        EXPECT_FLOAT_EQ(track.rootCurve.GetValue(float(f) / spec.rate).x, spec.root[f].x) << f;
}

} // namespace

TEST(CGeJointsKeySequence, StartsEmptyNamedUnknown)
{
    CGeJointsKeySequence track;
    EXPECT_EQ(track.name, "unknown");
    EXPECT_EQ(track.subTypeId, 6);
    EXPECT_EQ(track.refCount, 1);
}

TEST(CGeJointsKeySequence, BinaryVersion2KeysRootEventsAndIdentityMap)
{
    TrackSpec spec = MakeTrack(5, 3, 25.0f);
    spec.looped = 1;
    spec.loopFrame = 2;
    spec.events = {nullptr, "step", nullptr, "hit", "step"};
    CGeJointsKeySequence track;
    ASSERT_TRUE(Load(track, "anims/Walk.GEAT", WriteGeat(spec, 2)));
    ExpectKeysOf(track, spec);
    EXPECT_EQ(track.name, "Walk");
    EXPECT_FLOAT_EQ(track.frameRate, 25.0f);
    EXPECT_FLOAT_EQ(track.duration, 4.0f / 25.0f);
    EXPECT_EQ(track.looped, 1);
    EXPECT_EQ(track.loopFrame, 2u); // read unaligned at 0x21
    ASSERT_EQ(track.jointMap.Count(), 3u);
    EXPECT_EQ(track.jointMap[2], 2);
    EXPECT_EQ(track.EventName(0), nullptr);
    EXPECT_STREQ(track.EventName(1), "step");
    EXPECT_STREQ(track.EventName(3), "hit");
    EXPECT_STREQ(track.EventName(4), "step");
    EXPECT_EQ(track.EventName(5), nullptr);
    EXPECT_EQ(track.EventName(-1), nullptr);
}

TEST(CGeJointsKeySequence, BinaryVersion1FlagGivesEventOneAtOffsetZero)
{
    TrackSpec spec = MakeTrack(6, 2);
    spec.events = {nullptr, nullptr, nullptr, "x", nullptr, nullptr};
    CGeJointsKeySequence track;
    ASSERT_TRUE(Load(track, "a.geat", WriteGeat(spec, 1)));
    ExpectKeysOf(track, spec);
    for (uint32_t f = 0; f < 6; ++f)
        EXPECT_EQ(track.frameEvents[f], f == 3 ? 0 : -1) << f;
    ASSERT_EQ(track.eventNames.Count(), 2u);
    EXPECT_STREQ(track.EventName(3), "1");
}

TEST(CGeJointsKeySequence, BinaryEdgeShapes)
{
    // One frame: duration 0, still read.
    CGeJointsKeySequence single;
    ASSERT_TRUE(Load(single, "one.geat", WriteGeat(MakeTrack(1, 2))));
    EXPECT_EQ(single.FrameCount(), 1u);
    EXPECT_EQ(single.duration, 0.0f);

    // A key block that is not a multiple of 28 ignores the trailing bytes.
    TrackSpec spec = MakeTrack(2, 2);
    Bytes bytes = WriteGeat(spec);
    PokeLe32(bytes, 0x14, 4 * 28 + 5);
    bytes.insert(bytes.begin() + 0x25 + 4 * 28, 5, 0xEE);
    CGeJointsKeySequence ragged;
    ASSERT_TRUE(Load(ragged, "r.geat", bytes));
    ExpectKeysOf(ragged, spec);

    // A name offset outside the block, or into a name without its end, is
    // no event.
    TrackSpec named = MakeTrack(3, 1);
    named.events = {"ab", nullptr, nullptr};
    Bytes odd = WriteGeat(named);
    const uint32_t records = 0x25 + 3 * 28;
    PokeLe32(odd, records + 16 + 12, 3);  // frame 1: offset 3 = the block's size
    PokeLe32(odd, records + 32 + 12, 99); // frame 2: far outside
    CGeJointsKeySequence track;
    ASSERT_TRUE(Load(track, "o.geat", odd));
    EXPECT_STREQ(track.EventName(0), "ab");
    EXPECT_EQ(track.frameEvents[1], -1);
    EXPECT_EQ(track.frameEvents[2], -1);
    odd.pop_back(); // the last name loses its terminator
    PokeLe32(odd, 0x18, 2);
    ASSERT_TRUE(Load(track, "o.geat", odd));
    EXPECT_EQ(track.frameEvents[0], -1);
}

TEST(CGeJointsKeySequence, XmlKeysEventsAndJointMap)
{
    TrackSpec spec = MakeTrack(4, 2, 20.0f);
    spec.looped = 1;
    spec.loopFrame = 1;
    spec.events = {"false", "", "land", "land"};
    spec.jointsInfo = {5, 3};
    CGeJointsKeySequence track;
    ASSERT_TRUE(Load(track, "dir/jump.XML", FromText(WriteTrackXml(spec))));
    ExpectKeysOf(track, spec);
    EXPECT_EQ(track.name, "jump");
    EXPECT_FLOAT_EQ(track.duration, 3.0f / 20.0f);
    EXPECT_EQ(track.looped, 1);
    EXPECT_EQ(track.loopFrame, 1u);
    EXPECT_EQ(track.frameEvents[0], -1);  // "false" is no event
    EXPECT_STREQ(track.EventName(1), ""); // the empty text is an event
    EXPECT_STREQ(track.EventName(2), "land");
    EXPECT_STREQ(track.EventName(3), "land");
    EXPECT_NE(track.frameEvents[2], track.frameEvents[3]); // each frame has its own copy
    ASSERT_EQ(track.jointMap.Count(), 2u);
    EXPECT_EQ(track.jointMap[0], 5);
    EXPECT_EQ(track.jointMap[1], 3);
}

TEST(CGeJointsKeySequence, RefusedFiles)
{
    struct Case {
        const char* what;
        std::string path;
        Bytes bytes;
        const char* logged; // a part of the log line, or null
    };
    const TrackSpec good = MakeTrack(3, 2);
    auto poked = [&](uint32_t offset, uint32_t value, uint32_t version = 2) {
        Bytes b = WriteGeat(good, version);
        PokeLe32(b, offset, value);
        return b;
    };
    auto cut = [&](size_t keep) {
        Bytes b = WriteGeat(good);
        b.resize(keep);
        return b;
    };
    TrackSpec ragged = good;
    ragged.keys.pop_back();
    TrackSpec mapped = good;
    mapped.jointsInfo = {0};
    uint32_t nanBits;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    std::memcpy(&nanBits, &nan, 4);
    TrackSpec zeroRate = good;
    zeroRate.rate = 0.0f;
    const std::string noJoints = "<ge_mesh_anim_track type=\"skeletal_animation\" framerate=\"10\"><frame "
                                 "translation=\"0 0 0\"/></ge_mesh_anim_track>";
    std::string wrongType = WriteTrackXml(good);
    wrongType.replace(wrongType.find("skeletal_animation"), 18, "morph");

    const Case cases[] = {
        {"wrong file id", "a.geat", poked(0, 0x12345678), "invalid file id"},
        {"version 3", "a.geat", poked(4, 3), "invalid file version 3"},
        {"header cut", "a.geat", cut(0x20), "header"},
        {"frame records cut", "a.geat", cut(0x25 + 6 * 28 + 20), "outside the file"},
        {"key block past the end", "a.geat", poked(0x14, 0x7FFFFFF0), "outside the file"},
        {"key offset past the end", "a.geat", poked(0x10, 0xFFFFFFF0), "outside the file"},
        {"name block past the end", "a.geat", poked(0x18, 1000), "event-name block"},
        {"L + 1 = 0", "a.geat", poked(0x0C, 0xFFFFFFFF), "frame count"},
        {"frame rate 0", "a.geat", poked(0x08, 0), "frame rate"},
        {"frame rate NaN", "a.geat", poked(0x08, nanBits), "frame rate"},
        {"frame rate negative", "a.geat", poked(0x08, 0xBF800000), "frame rate"},
        {"xml uneven joints", "a.xml", FromText(WriteTrackXml(ragged)), "different joint counts"},
        {"xml joints_info too short", "a.xml", FromText(WriteTrackXml(mapped)), "joints_info"},
        {"xml frame rate 0", "a.xml", FromText(WriteTrackXml(zeroRate)), "frame rate"},
        {"xml wrong type", "a.xml", FromText(wrongType), nullptr},
        {"xml no joints", "a.xml", FromText(noJoints), nullptr},
        {"xml no root", "a.xml", FromText("<other/>"), nullptr},
        {"other extension", "a.bin", WriteGeat(good), nullptr},
        {"empty file", "a.geat", Bytes(), nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CGeJointsKeySequence track;
        GeLogClearLast();
        EXPECT_FALSE(Load(track, c.path, c.bytes));
        EXPECT_EQ(track.duration, 0.0f);
        EXPECT_EQ(track.name, "a");
        if (c.logged) {
            EXPECT_NE(std::string(GeLogLastMessage().c_str()).find(c.logged), std::string::npos)
                << GeLogLastMessage().c_str();
        }
    }
}
