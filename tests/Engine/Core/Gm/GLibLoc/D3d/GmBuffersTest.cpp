// Vertex and index buffers over the platform's GL device: layouts, the
// dirty-range rule, locks, resizing, and what reaches the Direct3D buffers
// (read back through a read-only lock of the platform buffer).
#include "DeviceTestFixture.h"

#include "Engine/Core/Common/GeSimd.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmIndexBuffer.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmResourceManager.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmVertexBuffer.h"

#include <gmock/gmock.h>

#include <cstring>
#include <vector>

using ::testing::ElementsAreArray;

namespace {

struct LayoutCase {
    const char* name;
    uint32_t flags;
    uint32_t stride;
    // Offsets of the elements the case names; -1 where it has none.
    int position, rhw, blend, lastBlend, normal, diffuse, texCoords, extra24, extra;
};

const LayoutCase kLayouts[] = {
    {"PositionDiffuse", 0x101, 16, 0, -1, -1, -1, -1, 12, -1, -1, -1},
    {"TransformedDiffuse", 0x103, 20, 0, 12, -1, -1, -1, 16, -1, -1, -1},
    {"TransformedDiffuseOneSet", 0x1103, 28, 0, 12, -1, -1, -1, 16, 20, -1, -1},
    {"NormalTwoSetsOfThree", 0x12141, 52, 0, -1, -1, -1, 12, 24, 28, -1, -1},
    {"ThreeBlendValuesWithIndices", 0x6D, 36, 0, -1, 12, 20, 24, -1, -1, -1, -1},
    {"TwoSetsOfOneFloat", 0x32001, 20, 0, -1, -1, -1, -1, -1, 12, -1, -1},
    {"Element40000AfterTheSets", 0x41001, 44, 0, -1, -1, -1, -1, -1, 12, 20, -1},
    {"ExtraBytesAtTheEnd", 0x03000101, 19, 0, -1, -1, -1, -1, 12, -1, -1, 16},
};

void PrintTo(const LayoutCase& c, std::ostream* out)
{
    *out << c.name;
}

class GmVertexLayoutFlags : public ::testing::TestWithParam<LayoutCase> {};

} // namespace

TEST_P(GmVertexLayoutFlags, StrideAndOffsetsFollowTheFlags)
{
    const LayoutCase& c = GetParam();
    const GmVertexLayout layout = GmComputeVertexLayout(c.flags);
    EXPECT_EQ(c.stride, layout.stride);
    const std::pair<int, uint32_t> offsets[] = {
        {c.position, layout.position}, {c.rhw, layout.rhw},         {c.blend, layout.blend},
        {c.lastBlend, layout.lastBlend}, {c.normal, layout.normal}, {c.diffuse, layout.diffuse},
        {c.texCoords, layout.texCoords}, {c.extra24, layout.extra24}, {c.extra, layout.extra}};
    for (const auto& offset : offsets) {
        if (offset.first >= 0) {
            EXPECT_EQ(uint32_t(offset.first), offset.second);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Flags, GmVertexLayoutFlags, ::testing::ValuesIn(kLayouts),
                         [](const ::testing::TestParamInfo<LayoutCase>& info) { return info.param.name; });

// Found by the matchers through the range's own (global) namespace.
static bool operator==(const GmByteRange& a, const GmByteRange& b)
{
    return a.offset == b.offset && a.size == b.size;
}

static void PrintTo(const GmByteRange& range, std::ostream* out)
{
    *out << "[" << range.offset << ", " << range.offset + range.size << ")";
}

namespace {

struct MergeCase {
    const char* name;
    std::vector<GmByteRange> added;
    std::vector<GmByteRange> listed;
};

std::vector<GmByteRange> Listed(const CGmDirtyRanges& ranges)
{
    std::vector<GmByteRange> out;
    for (const CGmDirtyRanges::Node* node = ranges.First(); node; node = node->next)
        out.push_back(node->value);
    return out;
}

void PrintTo(const MergeCase& c, std::ostream* out)
{
    *out << c.name;
}

class GmDirtyRanges : public ::testing::TestWithParam<MergeCase> {};

} // namespace

TEST_P(GmDirtyRanges, NewRangesGrowTheListedOnesTheyMeet)
{
    CGmDirtyRanges ranges;
    for (const GmByteRange& range : GetParam().added)
        ranges.Add(range.offset, range.size);
    EXPECT_THAT(Listed(ranges), ElementsAreArray(GetParam().listed));
    ranges.Clear();
    EXPECT_TRUE(ranges.IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GmDirtyRanges,
    ::testing::Values(MergeCase{"StartingAtTheEndMerges", {{0, 16}, {16, 16}}, {{0, 32}}},
                      MergeCase{"EndingAtTheStartStaysApart", {{16, 16}, {0, 16}}, {{16, 16}, {0, 16}}},
                      MergeCase{"InsideChangesNothing", {{10, 10}, {12, 2}}, {{10, 10}}},
                      MergeCase{"DisjointAreAppended", {{30, 5}, {0, 5}, {10, 5}}, {{30, 5}, {0, 5}, {10, 5}}},
                      MergeCase{"BridgingGrowsBothButJoinsNone", {{0, 10}, {20, 10}, {5, 20}}, {{0, 25}, {5, 25}}},
                      MergeCase{"CoveringSwallowsTheRange", {{10, 5}, {0, 100}}, {{0, 100}}}),
    [](const ::testing::TestParamInfo<MergeCase>& info) { return info.param.name; });

namespace {

// Buffers over the platform device, made current with a manager of their own.
class BufferFixture : public PlatformDeviceTest {
protected:
    void SetUp() override
    {
        PlatformDeviceTest::SetUp();
        if (!g_pGeSimd)
            GeSimdCreate();
        g_gmDeviceObjectCount = 0;
        g_pGmDevice = wrapper.get();
        g_pGmResourceManager = &manager;
    }
    void TearDown() override
    {
        g_pGmResourceManager = nullptr;
        g_pGmDevice = nullptr;
        PlatformDeviceTest::TearDown();
    }

    // What the Direct3D buffer holds.
    template <typename Buffer>
    std::vector<uint8_t> DeviceBytes(const Buffer& buffer, uint32_t bytes)
    {
        void* data = nullptr;
        if (!buffer.D3dBuffer() || FAILED(buffer.D3dBuffer()->Lock(0, bytes, &data, D3DLOCK_READONLY)))
            return {};
        std::vector<uint8_t> out(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + bytes);
        buffer.D3dBuffer()->Unlock();
        return out;
    }

    CGmResourceManager manager;
};

class GmVertexBuffer : public BufferFixture {};
class GmIndexBuffer : public BufferFixture {};

// Vertex i of a 0x101 buffer: position (i, 2i, 3i), colour 0xFF000000 | i.
void FillPositionDiffuse(CGmVertexBuffer& buffer, uint32_t first, uint32_t n, uint32_t tag)
{
    ASSERT_TRUE(buffer.LockRange(first, n));
    for (uint32_t i = first; i < first + n; ++i) {
        float* position = reinterpret_cast<float*>(buffer.m_lockPointer + i * 16);
        position[0] = float(i);
        position[1] = float(2 * i);
        position[2] = float(3 * i);
        const uint32_t colour = tag | i;
        memcpy(buffer.m_lockPointer + i * 16 + 12, &colour, 4);
    }
    buffer.Unlock();
}

std::vector<uint8_t> SystemBytes(const CGmVertexBuffer& buffer)
{
    return std::vector<uint8_t>(buffer.GetData(), buffer.GetData() + buffer.Count() * buffer.Stride());
}

} // namespace

TEST_F(GmVertexBuffer, VertexLocksAreCheckedAgainstTheCount)
{
    CGmVertexBuffer buffer(0x101, 10);
    ASSERT_TRUE(buffer.LockRange(3, 0));
    EXPECT_EQ(3u * 16, buffer.m_lockOffset);
    EXPECT_EQ(7u * 16, buffer.m_lockSize);
    EXPECT_EQ(buffer.GetData(), buffer.m_lockPointer);
    buffer.Unlock();
    EXPECT_FALSE(buffer.LockRange(10, 0));
    // A range running past the end is cut at the count.
    ASSERT_TRUE(buffer.LockRange(8, 5));
    EXPECT_EQ(2u * 16, buffer.m_lockSize);
    buffer.Unlock();
    EXPECT_THAT(Listed(buffer.DirtyRanges()), ElementsAreArray(std::vector<GmByteRange>{{48, 112}}));
}

TEST_F(GmVertexBuffer, BindCreatesUploadsAllThenOnlyTheDirtyBytes)
{
    CGmVertexBuffer buffer(0x101, 8);
    FillPositionDiffuse(buffer, 0, 8, 0xFF000000);
    buffer.Bind();
    ASSERT_TRUE(buffer.IsCreated());
    EXPECT_EQ(1, g_gmDeviceObjectCount);
    EXPECT_TRUE(manager.IsRegistered(&buffer));
    EXPECT_EQ(SystemBytes(buffer), DeviceBytes(buffer, 8 * 16));
    EXPECT_TRUE(buffer.DirtyRanges().IsEmpty());
    EXPECT_THAT(Device()->Matching("SetStreamSource"), ElementsAreArray({"SetStreamSource(0, ptr, 0, 16)"}));
    EXPECT_THAT(Device()->Matching("SetFVF"), ElementsAreArray({"SetFVF(66)"})); // XYZ | DIFFUSE

    // Vertex 2 is written without a lock: it is not dirty and stays behind.
    const std::vector<uint8_t> before = DeviceBytes(buffer, 8 * 16);
    memset(buffer.GetData() + 2 * 16, 0xAB, 16);
    FillPositionDiffuse(buffer, 5, 2, 0x80000000);
    buffer.Bind();
    std::vector<uint8_t> expected = SystemBytes(buffer);
    memcpy(expected.data() + 2 * 16, before.data() + 2 * 16, 16);
    EXPECT_EQ(expected, DeviceBytes(buffer, 8 * 16));
    EXPECT_EQ(1, Device()->Count("CreateVertexBuffer"));
}

TEST_F(GmVertexBuffer, AFailedDeviceKeepsTheDirtyRangesForLater)
{
    CGmVertexBuffer buffer(0x101, 4);
    buffer.Bind();
    FillPositionDiffuse(buffer, 1, 1, 0xFF000000);
    wrapper->m_failed = 1;
    buffer.Upload();
    EXPECT_EQ(1u, buffer.DirtyRanges().Count());
    EXPECT_NE(SystemBytes(buffer), DeviceBytes(buffer, 4 * 16));
    wrapper->m_failed = 0;
    buffer.Upload();
    EXPECT_EQ(SystemBytes(buffer), DeviceBytes(buffer, 4 * 16));
}

TEST_F(GmVertexBuffer, ResizeKeepsContentWithinTheCapacityAndRemakesBeyondIt)
{
    CGmVertexBuffer buffer(0x101, 6);
    FillPositionDiffuse(buffer, 0, 6, 0xFF000000);
    buffer.Bind();
    const std::vector<uint8_t> content = SystemBytes(buffer);

    buffer.Resize(4);
    EXPECT_EQ(4u, buffer.Count());
    EXPECT_EQ(6u, buffer.Capacity());
    EXPECT_EQ(0, memcmp(content.data(), buffer.GetData(), 4 * 16));
    EXPECT_THAT(Listed(buffer.DirtyRanges()), ElementsAreArray(std::vector<GmByteRange>{{0, 64}}));

    buffer.Resize(9);
    EXPECT_EQ(9u, buffer.Capacity());
    EXPECT_EQ(std::vector<uint8_t>(9 * 16, 0), SystemBytes(buffer));
    EXPECT_TRUE(buffer.IsCreated());
    EXPECT_EQ(2, Device()->Count("CreateVertexBuffer"));
    EXPECT_EQ(1, g_gmDeviceObjectCount);

    // A buffer that never had a Direct3D object gets none from a resize.
    CGmVertexBuffer unused(0x101, 2);
    unused.Resize(20);
    EXPECT_FALSE(unused.IsCreated());
    EXPECT_EQ(2, Device()->Count("CreateVertexBuffer"));
}

TEST_F(GmVertexBuffer, CopyFromTakesTheSharedElementsAtEachLayoutsOffsets)
{
    CGmVertexBuffer source(0x12141, 3); // position, normal, diffuse, two sets of three floats
    for (uint32_t i = 0; i < 3 * 52; ++i)
        source.GetData()[i] = uint8_t(i);
    CGmVertexBuffer target(0x1103, 5); // position, rhw, diffuse, one set of two floats
    memset(target.GetData(), 0xEE, 5 * 28);
    target.CopyFrom(source);
    for (uint32_t v = 0; v < 3; ++v) {
        const uint8_t* from = source.GetData() + v * 52;
        const uint8_t* to = target.GetData() + v * 28;
        EXPECT_EQ(0, memcmp(to, from, 12)) << v;           // position
        EXPECT_EQ(0xEE, to[12]) << v;                      // rhw: the source has none
        EXPECT_EQ(0, memcmp(to + 16, from + 24, 4)) << v;  // diffuse
        EXPECT_EQ(0, memcmp(to + 20, from + 28, 8)) << v;  // the smaller of the two set blocks
    }
    EXPECT_EQ(0xEE, target.GetData()[3 * 28]); // beyond the source's count
    EXPECT_EQ(nullptr, target.m_lockPointer);
}

TEST_F(GmVertexBuffer, AtTheDeviceObjectLimitABufferPushesOutTheIdleOne)
{
    const int32_t previous = GmSetDeviceObjectLimit(2);
    CGmVertexBuffer a(0x101, 4), b(0x101, 4), c(0x101, 4);
    a.Bind();
    b.Bind();
    manager.AgeScores();
    a.Bind();
    manager.AgeScores();
    ASSERT_EQ(2, a.score);
    ASSERT_EQ(0, b.score);
    c.Bind();
    EXPECT_TRUE(c.IsCreated());
    EXPECT_FALSE(b.IsCreated());
    EXPECT_TRUE(a.IsCreated());
    EXPECT_EQ(2, g_gmDeviceObjectCount);
    GmSetDeviceObjectLimit(previous);
}

TEST_F(GmVertexBuffer, AfterADeviceResetTheNextBindUploadsTheWholeContent)
{
    CGmVertexBuffer vertices(0x101, 4);
    CGmIndexBuffer indices(2, 6);
    FillPositionDiffuse(vertices, 0, 4, 0xFF000000);
    ASSERT_TRUE(indices.LockRange(0, 0));
    const uint16_t quad[6] = {0, 1, 2, 2, 1, 3};
    memcpy(indices.m_lockPointer, quad, sizeof(quad));
    indices.Unlock();
    vertices.Bind();
    indices.Bind();
    ASSERT_EQ(2, g_gmDeviceObjectCount);

    D3d9SimulateDeviceLost(Device()->inner, 0);
    wrapper->Present();
    EXPECT_EQ(0, wrapper->m_failed);
    EXPECT_EQ(0u, manager.Count());
    EXPECT_EQ(0, g_gmDeviceObjectCount);
    EXPECT_FALSE(vertices.IsCreated() || indices.IsCreated());

    vertices.Bind();
    indices.Bind();
    EXPECT_EQ(SystemBytes(vertices), DeviceBytes(vertices, 4 * 16));
    std::vector<uint8_t> expected(reinterpret_cast<const uint8_t*>(quad), reinterpret_cast<const uint8_t*>(quad) + 12);
    EXPECT_EQ(expected, DeviceBytes(indices, 12));
    EXPECT_EQ(2, g_gmDeviceObjectCount);
}

TEST_F(GmIndexBuffer, IndexLocksEndAndAreCheckedAgainstTheCount)
{
    CGmIndexBuffer buffer(4, 9);
    EXPECT_EQ(3u, buffer.TriangleCount());
    ASSERT_TRUE(buffer.LockRange(2, 0));
    EXPECT_EQ(8u, buffer.m_lockOffset);
    EXPECT_EQ(28u, buffer.m_lockSize);
    EXPECT_FALSE(buffer.LockRange(0, 1)); // one lock at a time
    buffer.Unlock();
    ASSERT_TRUE(buffer.LockRange(7, 10));
    EXPECT_EQ(8u, buffer.m_lockSize);
    buffer.Unlock();
    EXPECT_FALSE(buffer.LockRange(9, 0));

    buffer.Resize(6);
    EXPECT_EQ(2u, buffer.TriangleCount());
    EXPECT_THAT(Listed(buffer.DirtyRanges()), ElementsAreArray(std::vector<GmByteRange>{{0, 24}}));
}

TEST_F(GmIndexBuffer, AFailedIndexBufferCreationIsAFailure)
{
    CGmIndexBuffer buffer(2, 6);
    D3d9FailNextCreations(Device()->inner, 1, D3DERR_INVALIDCALL);
    EXPECT_FALSE(buffer.EnsureCreated());
    EXPECT_FALSE(buffer.IsCreated());
    EXPECT_EQ(0, g_gmDeviceObjectCount);
    EXPECT_TRUE(errorBoxes.Saw("CGmIndexBuffer::CreateD3dIb(): D3DERR_INVALIDCALL"));

    // Short of video memory the manager gets a plain false and tries again.
    D3d9FailNextCreations(Device()->inner, 1, D3DERR_OUTOFVIDEOMEMORY);
    errorBoxes.Messages().clear();
    buffer.Bind();
    EXPECT_TRUE(errorBoxes.Messages().empty());
    EXPECT_FALSE(buffer.IsCreated());
    EXPECT_FALSE(manager.IsRegistered(&buffer));
    buffer.Bind();
    EXPECT_TRUE(buffer.IsCreated());
    EXPECT_EQ(1, g_gmDeviceObjectCount);
}
