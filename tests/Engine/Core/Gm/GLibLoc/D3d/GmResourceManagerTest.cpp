// The resource manager against resources whose creation follows the
// program-wide device-object count and can be made to fail. Scores are set
// apart wherever an order is checked, so that nothing depends on addresses.
#include "Engine/Core/Gm/GLibLoc/D3d/GmResourceManager.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmTextureBase.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

// Creation honours the device-object limit like the real classes; `refuse`
// makes it fail as a device out of video memory would.
template <typename Base>
class FakeObjectOf : public Base {
public:
    explicit FakeObjectOf(uint16_t type) { this->subTypeId = type; }
    ~FakeObjectOf() override { this->UnregisterFromManager(); }
    bool EnsureCreated() override
    {
        if (held)
            return true;
        creations++;
        if (refuse || !GmMayCreateDeviceObject())
            return false;
        held = true;
        ++g_gmDeviceObjectCount;
        return true;
    }
    void ReleaseDeviceObject() override
    {
        if (!held)
            return;
        held = false;
        --g_gmDeviceObjectCount;
    }
    void Upload() override {}
    bool held = false;
    bool refuse = false;
    int creations = 0;
};

using FakeResource = FakeObjectOf<CGmGpuResource>;

// A texture whose Direct3D texture is a token; textures of one shape are
// compatible.
class FakeTexture : public FakeObjectOf<CGmTextureBase> {
public:
    explicit FakeTexture(int shape) : FakeObjectOf(GE_RES_TEXTURE), shape(shape) {}
    bool EnsureCreated() override
    {
        if (m_texture)
            held = true;
        return FakeObjectOf::EnsureCreated();
    }
    void ReleaseDeviceObject() override
    {
        m_texture = nullptr;
        FakeObjectOf::ReleaseDeviceObject();
    }
    bool CreateD3dTexture(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, bool) override { return false; }
    bool IsCompatible(const CGmTextureBase& other) const override
    {
        return static_cast<const FakeTexture&>(other).shape == shape;
    }
    int shape;
};

class GmResourceManager : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_gmDeviceObjectCount = 0;
        previousLimit = GmSetDeviceObjectLimit(3);
        g_pGmResourceManager = &manager;
    }
    void TearDown() override
    {
        g_pGmResourceManager = nullptr;
        GmSetDeviceObjectLimit(previousLimit);
    }

    // Registers each resource, ends the frame (nothing is marked used any
    // more) and sets the scores as given.
    void GiveScores(const std::vector<std::pair<CGmGpuResource*, int>>& scores)
    {
        for (const auto& entry : scores)
            manager.Use(entry.first, entry.first->subTypeId);
        manager.AgeScores();
        for (const auto& entry : scores)
            entry.first->score = entry.second;
    }

    CGmResourceManager manager;
    int32_t previousLimit = 0;
};

} // namespace

TEST_F(GmResourceManager, FirstUseCreatesAndRegistersLaterUsesOnlyMark)
{
    FakeResource buffer(GE_RES_VERTEX_BUFFER);
    buffer.score = 77;
    manager.Use(&buffer, GE_RES_VERTEX_BUFFER);
    EXPECT_TRUE(buffer.held);
    EXPECT_TRUE(manager.IsRegistered(&buffer));
    EXPECT_EQ(0, buffer.score);
    EXPECT_EQ(1, g_gmDeviceObjectCount);

    manager.Use(&buffer, GE_RES_VERTEX_BUFFER);
    EXPECT_EQ(1, buffer.creations);
    EXPECT_EQ(1u, manager.Count());
    manager.AgeScores();
    EXPECT_EQ(1, buffer.score); // used once since the last pass
}

TEST_F(GmResourceManager, ScoresStayWithinZeroAndTheMaximum)
{
    FakeResource busy(GE_RES_VERTEX_BUFFER), idle(GE_RES_INDEX_BUFFER);
    manager.Use(&idle, GE_RES_INDEX_BUFFER);
    idle.score = 5;
    for (int frame = 0; frame < kGmMaxUseScore + 20; ++frame) {
        manager.Use(&busy, GE_RES_VERTEX_BUFFER);
        manager.AgeScores();
    }
    EXPECT_EQ(kGmMaxUseScore, busy.score);
    EXPECT_EQ(0, idle.score);
}

TEST_F(GmResourceManager, AtTheLimitTheIdleResourceWithTheLowestScoreMakesRoom)
{
    FakeResource a(GE_RES_VERTEX_BUFFER), b(GE_RES_INDEX_BUFFER), c(GE_RES_VERTEX_BUFFER);
    GiveScores({{&a, 4}, {&b, 2}, {&c, 6}});
    ASSERT_EQ(3, g_gmDeviceObjectCount);

    FakeResource fresh(GE_RES_VERTEX_BUFFER);
    manager.Use(&fresh, GE_RES_VERTEX_BUFFER);
    EXPECT_TRUE(fresh.held);
    EXPECT_FALSE(b.held);
    EXPECT_FALSE(manager.IsRegistered(&b));
    EXPECT_TRUE(a.held && c.held);
    EXPECT_EQ(3, g_gmDeviceObjectCount);

    // b comes back at its next use and pushes out the next lowest, a.
    manager.Use(&b, GE_RES_INDEX_BUFFER);
    EXPECT_TRUE(b.held);
    EXPECT_FALSE(a.held);
    EXPECT_EQ(3, g_gmDeviceObjectCount);
}

TEST_F(GmResourceManager, EvictionGoesOnUntilTheCreationSucceeds)
{
    FakeResource a(GE_RES_VERTEX_BUFFER), b(GE_RES_VERTEX_BUFFER), c(GE_RES_VERTEX_BUFFER);
    GiveScores({{&a, 3}, {&b, 1}, {&c, 2}});
    // A creation that still fails with one object freed, as when video
    // memory is short: the next lowest goes too.
    GmSetDeviceObjectLimit(2);
    FakeResource fresh(GE_RES_INDEX_BUFFER);
    manager.Use(&fresh, GE_RES_INDEX_BUFFER);
    EXPECT_TRUE(fresh.held);
    EXPECT_FALSE(b.held);
    EXPECT_FALSE(c.held);
    EXPECT_TRUE(a.held);
    EXPECT_EQ(2, g_gmDeviceObjectCount);
}

TEST_F(GmResourceManager, WithEverythingUsedThisFrameANewResourceStaysWithoutAnObject)
{
    FakeResource a(GE_RES_VERTEX_BUFFER), b(GE_RES_VERTEX_BUFFER), c(GE_RES_VERTEX_BUFFER);
    for (FakeResource* r : {&a, &b, &c})
        manager.Use(r, GE_RES_VERTEX_BUFFER);
    FakeResource fresh(GE_RES_VERTEX_BUFFER);
    manager.Use(&fresh, GE_RES_VERTEX_BUFFER);
    EXPECT_FALSE(fresh.held);
    EXPECT_FALSE(manager.IsRegistered(&fresh));
    EXPECT_TRUE(a.held && b.held && c.held);

    // After the ageing pass they are idle, and the next use succeeds.
    manager.AgeScores();
    manager.Use(&fresh, GE_RES_VERTEX_BUFFER);
    EXPECT_TRUE(fresh.held);
}

TEST_F(GmResourceManager, ANewTextureTakesOverAnIdleCompatibleTextureFirst)
{
    FakeTexture other(2), compatibleLow(1), compatibleHigh(1);
    FakeResource buffer(GE_RES_VERTEX_BUFFER);
    GmSetDeviceObjectLimit(4);
    GiveScores({{&other, 1}, {&buffer, 0}, {&compatibleLow, 3}, {&compatibleHigh, 5}});
    ASSERT_EQ(4, g_gmDeviceObjectCount);
    int token = 0;
    compatibleLow.m_texture = reinterpret_cast<IDirect3DTexture9*>(&token);

    FakeTexture fresh(1);
    manager.Use(&fresh, GE_RES_TEXTURE);
    EXPECT_EQ(reinterpret_cast<IDirect3DTexture9*>(&token), fresh.m_texture);
    EXPECT_EQ(1, fresh.m_needsUpload);
    EXPECT_EQ(nullptr, compatibleLow.m_texture);
    EXPECT_FALSE(manager.IsRegistered(&compatibleLow));
    EXPECT_TRUE(manager.IsRegistered(&fresh));
    // The buffer with the lowest score and the other texture were left alone.
    EXPECT_TRUE(buffer.held && other.held && compatibleHigh.held);
    // The robbed texture still counts its object in this fake; the real
    // texture hands over its only reference, so the count stays.
    compatibleLow.held = false;
    --g_gmDeviceObjectCount;
    fresh.m_texture = nullptr;
}

TEST_F(GmResourceManager, WithoutACompatibleTextureATextureEvictsLikeAnyResource)
{
    FakeTexture other(2), busy(1);
    FakeResource buffer(GE_RES_VERTEX_BUFFER);
    GiveScores({{&other, 1}, {&buffer, 2}, {&busy, 3}});
    manager.Use(&busy, GE_RES_TEXTURE); // compatible, but used this frame
    FakeTexture fresh(1);
    manager.Use(&fresh, GE_RES_TEXTURE);
    EXPECT_TRUE(fresh.held);
    EXPECT_FALSE(other.held);
    EXPECT_TRUE(buffer.held && busy.held);
}

TEST_F(GmResourceManager, ReleaseByTypeAndUnregisterForgetOnlyWhatTheyName)
{
    GmSetDeviceObjectLimit(kGmDeviceObjectLimit);
    FakeResource t1(GE_RES_TEXTURE), t2(GE_RES_TEXTURE), vb(GE_RES_VERTEX_BUFFER), bg(GE_RES_BACKGROUND);
    for (FakeResource* r : {&t1, &vb, &t2, &bg})
        manager.Use(r, r->subTypeId);
    manager.ReleaseByType(GE_RES_TEXTURE);
    EXPECT_FALSE(t1.held || t2.held);
    EXPECT_TRUE(vb.held && bg.held);
    EXPECT_EQ(2u, manager.Count());

    FakeResource never(GE_RES_INDEX_BUFFER);
    manager.Unregister(&never); // nothing happens
    manager.Unregister(&vb);
    EXPECT_FALSE(vb.held);
    EXPECT_EQ(1u, manager.Count());
    EXPECT_EQ(1, g_gmDeviceObjectCount);
}

TEST_F(GmResourceManager, DestroyingAResourceOrTheManagerReleasesTheObjects)
{
    auto resource = std::make_unique<FakeResource>(GE_RES_VERTEX_BUFFER);
    FakeResource kept(GE_RES_INDEX_BUFFER);
    {
        CGmResourceManager local;
        g_pGmResourceManager = &local;
        local.Use(resource.get(), GE_RES_VERTEX_BUFFER);
        local.Use(&kept, GE_RES_INDEX_BUFFER);
        resource.reset();
        EXPECT_EQ(1u, local.Count());
    }
    EXPECT_FALSE(kept.held);
    EXPECT_EQ(0, g_gmDeviceObjectCount);
    EXPECT_EQ(nullptr, g_pGmResourceManager);
}

namespace {

class RecordingOwner : public IGeResourceOwner {
public:
    void UnregisterResource(CGeResource* resource, uint16_t subTypeId) override
    {
        seen.push_back({resource, subTypeId});
    }
    std::vector<std::pair<CGeResource*, uint16_t>> seen;
};

} // namespace

TEST(GeResource, LastReleaseDeletesAndTellsTheOwningCollector)
{
    RecordingOwner owner;
    auto* resource = new CGeResource();
    resource->subTypeId = 4;
    resource->collector = &owner;
    EXPECT_EQ(GE_RES_CLASS_PLAIN, resource->classTag);
    resource->AddRef();
    EXPECT_EQ(1, resource->Release());
    EXPECT_TRUE(owner.seen.empty());
    EXPECT_EQ(0, resource->Release());
    ASSERT_EQ(1u, owner.seen.size());
    EXPECT_EQ(resource, owner.seen[0].first);
    EXPECT_EQ(4, owner.seen[0].second);
}
