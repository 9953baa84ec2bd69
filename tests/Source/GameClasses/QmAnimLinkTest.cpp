// The collector makes skeletal mesh resources and tracks through the
// animation library once the game has installed its makers: real files from
// a pack, shared by name, and a one-frame track (duration 0) refused.
#include "Source/GameClasses/QmAnimLink.h"
#include "Engine/Anim/GeJointsKeySequence.h"
#include "Engine/Anim/GmMeshResource.h"
#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Gm/GmResCollector.h"
#include "Engine/Core/Pack/Harvester.h"
#include "tools/animwrite/AnimWriter.h"
#include "tests/Engine/Core/Gm/MeshFixtures.h"
#include "tests/Support/TestTempDir.h"
#include "tools/fpk/FpkWriter.h"

#include <gtest/gtest.h>

#include <string>

using namespace animwrite;

TEST(QmAnimLink, CollectorLoadsSkeletonsAndTracksThroughTheAnimationLibrary)
{
    const GmResourceMakers before = rescollect::SetResourceMakers(GmResourceMakers());
    rescollect::SetResourceMakers(before);
    QmAnimInstallMakers();
    g_pGmResCollector = new CGmResCollector();

    CTestTempDir dir;
    meshfixture::GemeshSpec mesh = meshfixture::MakeGrid(1);
    mesh.joints = MakeChain(4);
    const Bytes hero = meshfixture::WriteGemesh(mesh);
    const Bytes walk = WriteGeat(MakeTrack(8, 4));
    const Bytes still = WriteGeat(MakeTrack(1, 4));
    dir.Write("tree/chars/hero.gemesh", std::string(hero.begin(), hero.end()));
    dir.Write("tree/anims/walk.geat", std::string(walk.begin(), walk.end()));
    dir.Write("tree/anims/still.geat", std::string(still.begin(), still.end()));
    dir.Write("tree/anims/jump.xml", WriteTrackXml(MakeTrack(3, 2)));
    std::string error;
    ASSERT_TRUE(WritePackFromDirectory((dir / "resource.fpk").c_str(), (dir / "tree").c_str(), &error)) << error;
    g_packPath = (dir / "resource.fpk").c_str();
    ASSERT_TRUE(CHarvester::MountSinglePack(g_packPath));

    CGeResource* skeleton = rescollect::LoadMeshResource("chars/hero");
    ASSERT_NE(skeleton, nullptr);
    EXPECT_EQ(skeleton->subTypeId, GE_RES_MESH_RESOURCE);
    EXPECT_EQ(static_cast<CGmMeshResource*>(skeleton)->JointCount(), 4u);
    EXPECT_EQ(skeleton, rescollect::LoadMeshResource("CHARS/HERO"));

    CGeResource* track = rescollect::LoadAnimTrack("anims/walk");
    ASSERT_NE(track, nullptr);
    const CGeJointsKeySequence* walkTrack = static_cast<CGeJointsKeySequence*>(track);
    EXPECT_EQ(walkTrack->name, "walk");
    EXPECT_FLOAT_EQ(walkTrack->duration, 0.7f);
    CGeResource* jump = rescollect::LoadAnimTrack("anims/jump");
    ASSERT_NE(jump, nullptr);
    EXPECT_EQ(static_cast<CGeJointsKeySequence*>(jump)->jointCount, 2u);

    GeLogClearLast();
    EXPECT_EQ(rescollect::LoadAnimTrack("anims/still"), nullptr);
    EXPECT_NE(std::string(GeLogLastMessage().c_str()).find("track is invalid"), std::string::npos);

    skeleton->Release();
    skeleton->Release();
    track->Release();
    jump->Release();
    delete g_pGmResCollector;
    g_pGmResCollector = nullptr;
    CHarvester::Unmount();
    g_packPath = "";
    rescollect::SetResourceMakers(before);
}
