// Writes the animation readers' fuzz seed corpus (tests/fuzz/corpus/
// anim_readers) from the fixture writers. Disabled: run it by hand after a
// writer changes, with --gtest_also_run_disabled_tests and QM_ANIM_SEED_DIR
// naming the corpus directory, and commit what it wrote.
#include "tools/animwrite/AnimWriter.h"
#include "tests/Engine/Core/Gm/MeshFixtures.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

using namespace animwrite;

namespace {

void Seed(const std::string& dir, const std::string& name, uint8_t reader, const Bytes& bytes)
{
    std::ofstream out(dir + "/" + name, std::ios::binary);
    out.put(char(reader));
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

Bytes Poked(Bytes bytes, uint32_t offset, uint32_t value)
{
    meshfixture::PokeLe32(bytes, offset, value);
    return bytes;
}

Bytes SkeletonMesh(const std::vector<meshfixture::GemeshJoint>& joints, uint32_t version = 3)
{
    meshfixture::GemeshSpec spec = meshfixture::MakeGrid(1);
    spec.version = version;
    spec.joints = joints;
    return meshfixture::WriteGemesh(spec);
}

} // namespace

TEST(AnimSeedWriter, DISABLED_WritesTheFuzzCorpus)
{
    const char* dir = std::getenv("QM_ANIM_SEED_DIR");
    ASSERT_NE(dir, nullptr);
    TrackSpec events = MakeTrack(6, 3);
    events.looped = 1;
    events.loopFrame = 2;
    events.events = {"start", nullptr, "", "hit", nullptr, "start"};
    TrackSpec pastEnd = MakeTrack(10, 2);
    pastEnd.looped = 1;
    pastEnd.loopFrame = 20;
    TrackSpec far = MakeTrack(4, 2);
    far.jointsInfo = {1, 40};
    TrackSpec uneven = MakeTrack(3, 2);
    uneven.keys.pop_back();
    TrackSpec shortInfo = MakeTrack(3, 2);
    shortInfo.jointsInfo = {0};
    Bytes ragged = WriteGeat(MakeTrack(2, 2));
    ragged = Poked(ragged, 0x14, 4 * 28 + 5);
    ragged.insert(ragged.begin() + 0x25 + 4 * 28, 5, 0xEE);

    std::vector<meshfixture::GemeshJoint> chain = MakeChain(5);
    chain[0].rotation[2] = 0.70710678f;
    chain[0].rotation[3] = 0.70710678f;
    std::vector<meshfixture::GemeshJoint> childFirst(4);
    const int parents[4] = {2, 0, -1, 2};
    for (int i = 0; i < 4; ++i)
        childFirst[i].parent = parents[i];
    std::vector<meshfixture::GemeshJoint> twoRoots = MakeChain(3);
    twoRoots[2].parent = -1;
    std::vector<meshfixture::GemeshJoint> rootless = MakeChain(2);
    rootless[0].parent = 1;
    std::string twoHierarchies = WriteSkeletonXml(chain);
    twoHierarchies.insert(twoHierarchies.find("</GE_MESH>"), "<GE_JOINTS_HIERARCHY/>");
    std::string generic = WriteSkeletonXml(chain);
    generic.replace(generic.find("SKELETAL"), 8, "GENERIC!");

    Seed(dir, "ok_geat_v2_events", 0, WriteGeat(events, 2));
    Seed(dir, "ok_geat_v1_flags", 0, WriteGeat(events, 1));
    Seed(dir, "ok_geat_one_frame", 0, WriteGeat(MakeTrack(1, 2)));
    Seed(dir, "ok_geat_ragged_key_block", 0, ragged);
    Seed(dir, "ok_geat_loop_frame_past_end", 0, WriteGeat(pastEnd));
    Seed(dir, "ok_xml_track_events", 1, FromText(WriteTrackXml(events)));
    Seed(dir, "ok_xml_track_map_beyond", 1, FromText(WriteTrackXml(far)));
    Seed(dir, "ok_gemesh_skeleton", 2, SkeletonMesh(chain));
    Seed(dir, "ok_gemesh_skeleton_v1", 2, SkeletonMesh(chain, 1));
    Seed(dir, "ok_gemesh_child_first", 2, SkeletonMesh(childFirst));
    Seed(dir, "ok_xml_skeleton", 3, FromText(WriteSkeletonXml(chain)));
    Seed(dir, "ok_xml_skeleton_two_roots", 3, FromText(WriteSkeletonXml(twoRoots)));
    Seed(dir, "bad_geat_id", 0, Poked(WriteGeat(events), 0, 0x12345678));
    Seed(dir, "bad_geat_version_3", 0, Poked(WriteGeat(events), 4, 3));
    Seed(dir, "bad_geat_no_frame_count", 0, Poked(WriteGeat(events), 0x0C, 0xFFFFFFFF));
    Seed(dir, "bad_geat_keys_past_end", 0, Poked(WriteGeat(events), 0x14, 0x7FFFFFF0));
    Seed(dir, "bad_geat_names_past_end", 0, Poked(WriteGeat(events), 0x18, 4000));
    Seed(dir, "bad_geat_rate_zero", 0, Poked(WriteGeat(events), 0x08, 0));
    Seed(dir, "bad_xml_track_uneven", 1, FromText(WriteTrackXml(uneven)));
    Seed(dir, "bad_xml_track_short_map", 1, FromText(WriteTrackXml(shortInfo)));
    Seed(dir, "bad_gemesh_joints_past_end", 2, Poked(SkeletonMesh(chain), meshfixture::kOffJointCount, 900));
    Seed(dir, "bad_gemesh_rootless", 2, SkeletonMesh(rootless));
    Seed(dir, "bad_xml_skeleton_two_hierarchies", 3, FromText(twoHierarchies));
    Seed(dir, "bad_xml_skeleton_generic", 3, FromText(generic));
}
