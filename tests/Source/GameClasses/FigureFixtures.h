// Skinned figures for the tests of the walking properties: a chain skeleton
// from the animation writers, an entity whose visual object holds one scenic
// mesh with that skeleton, and tracks whose root moves along +x at a chosen
// speed. Nothing here draws: the mesh has no vertices.
#pragma once

#include "Engine/Anim/GeJointsKeySequence.h"
#include "Engine/Anim/GmMeshResource.h"
#include "Engine/Core/Gm/GmScenicMesh.h"
#include "Source/GameClasses/QmEntity.h"
#include "tests/Engine/Core/Gm/MeshFixtures.h"
#include "tools/animwrite/AnimWriter.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace figure {

// A chain of joints, joint i one unit above its parent.
inline CGmMeshResource* MakeSkeleton(uint32_t joints)
{
    auto* skeleton = new CGmMeshResource();
    const animwrite::Bytes text = animwrite::FromText(animwrite::WriteSkeletonXml(animwrite::MakeChain(joints)));
    EXPECT_TRUE(LoadGeMesh(*skeleton, meshfixture::FileOver("figure.xml", text)));
    return skeleton;
}

// A ".geat" track: frames at rate per second over joints joints; the root
// moves speed units per second along +x, and joint j of frame f turns f x 10
// degrees, so a pose shows which track plays.
inline animwrite::Bytes TrackBytes(uint32_t frames, float rate, float speed, uint32_t joints = 4, bool looped = false)
{
    animwrite::TrackSpec spec = animwrite::MakeTrack(frames, joints, rate);
    spec.looped = looped ? 1 : 0;
    for (uint32_t f = 0; f < frames; ++f)
        spec.root[f] = Vec3{speed * float(f) / rate, 0.0f, 0.0f};
    return animwrite::WriteGeat(spec);
}

// The same track read, named name.
inline std::unique_ptr<CGeJointsKeySequence> MakeTrack(const char* name, uint32_t frames, float rate, float speed,
                                                       uint32_t joints = 4, bool looped = false)
{
    const animwrite::Bytes bytes = TrackBytes(frames, rate, speed, joints, looped);
    auto track = std::make_unique<CGeJointsKeySequence>();
    EXPECT_TRUE(LoadJointsAnimTrack(*track, meshfixture::FileOver(std::string("anims/") + name + ".geat", bytes)));
    return track;
}

// An entity named name with a visual object whose visual 0 is a mesh-less
// scenic mesh over a chain skeleton of joints joints (no visual object when
// joints is 0).
inline CQmEntity* MakeEntity(const char* name, uint32_t joints = 4)
{
    auto* entity = new CQmEntity();
    entity->name = name;
    if (joints) {
        auto* visuals = new CQmPropVisualObject(entity);
        CGmMeshResource* skeleton = MakeSkeleton(joints);
        visuals->AddVisual(new CGmScenicMesh(nullptr, skeleton, CGeArray<CGmMaterial*>()), 2);
        skeleton->Release();
        entity->SetProp(QM_PROP_VISUAL_OBJECT, visuals);
        visuals->enabled = 1;
    }
    return entity;
}

} // namespace figure
