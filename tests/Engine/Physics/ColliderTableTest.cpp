// The pair tables cell by cell against the registration list, and the swap rule
// of CollideGeoms.
#include <gtest/gtest.h>

#include "Engine/Physics/GeColliderDispatch.h"
#include "Engine/Physics/GeColliderPairTests.h"

namespace {

struct Registration {
    uint32_t i, j;
    void* test;
};

// The registration lists, written out by hand in registration order.
const Registration kSweepRegistrations[] = {
    {0, 1, (void*)SweepRayPlane},     {0, 2, (void*)SweepRayAabb},      {0, 3, (void*)SweepRaySphere},
    {0, 4, (void*)SweepRayBox},       {0, 6, (void*)SweepComposite},    {1, 6, (void*)SweepComposite},
    {2, 1, (void*)SweepAabbPlane},    {2, 2, (void*)SweepAabbAabb},     {2, 4, (void*)SweepAabbBox},
    {2, 6, (void*)SweepComposite},    {3, 1, (void*)SweepSpherePlane},  {3, 2, (void*)SweepSphereAabb},
    {3, 3, (void*)SweepSphereSphere}, {3, 4, (void*)SweepSphereBox},    {3, 6, (void*)SweepComposite},
    {4, 1, (void*)SweepBoxPlane},     {4, 4, (void*)SweepBoxBox},       {4, 6, (void*)SweepComposite},
    {6, 6, (void*)SweepCompositeComposite},
};
const Registration kOverlapRegistrations[] = {
    {1, 1, (void*)OverlapPlanePlane},   {1, 6, (void*)OverlapComposite},  {2, 1, (void*)OverlapAabbPlane},
    {2, 2, (void*)OverlapAabbAabb},     {2, 3, (void*)OverlapAabbSphere}, {2, 4, (void*)OverlapAabbBox},
    {2, 6, (void*)OverlapComposite},    {3, 1, (void*)OverlapSpherePlane}, {3, 3, (void*)OverlapSphereSphere},
    {3, 4, (void*)OverlapSphereBox},    {3, 6, (void*)OverlapComposite},  {4, 1, (void*)OverlapBoxPlane},
    {4, 4, (void*)OverlapBoxBox},       {4, 6, (void*)OverlapComposite},  {6, 6, (void*)OverlapCompositeComposite},
    {7, 2, (void*)OverlapFrustumAabb},  {7, 3, (void*)OverlapFrustumSphere}, {7, 4, (void*)OverlapFrustumBox},
};

struct ExpectedCell {
    void* test = nullptr;
    uint32_t swapped = 0;
};

template <size_t N>
void ExpectedTable(const Registration (&list)[N], ExpectedCell (&cells)[kPairTableCells])
{
    for (const Registration& r : list) {
        ExpectedCell& direct = cells[r.i * 9 + r.j];
        if (!direct.test)
            direct = ExpectedCell{r.test, 0};
        ExpectedCell& mirrored = cells[r.j * 9 + r.i];
        if (!mirrored.test)
            mirrored = ExpectedCell{r.test, 1};
    }
}

TEST(GeColliderTables, EveryCellMatchesTheRegistrationList)
{
    ExpectedCell sweep[kPairTableCells];
    ExpectedCell overlap[kPairTableCells];
    ExpectedTable(kSweepRegistrations, sweep);
    ExpectedTable(kOverlapRegistrations, overlap);
    for (int pass = 0; pass < 2; pass++) {
        for (uint32_t cell = 0; cell < kPairTableCells; cell++) {
            SCOPED_TRACE(testing::Message() << "pass " << pass << " cell [" << cell / 9 << "][" << cell % 9 << "]");
            EXPECT_EQ((void*)SweepPairTable[cell].test, sweep[cell].test);
            EXPECT_EQ(SweepPairTable[cell].swapped, sweep[cell].swapped);
            EXPECT_EQ((void*)OverlapPairTable[cell].test, overlap[cell].test);
            EXPECT_EQ(OverlapPairTable[cell].swapped, overlap[cell].swapped);
            // Index 8, the transformed box in table 1 and the frustum there stay empty.
            if (cell / 9 == 8 || cell % 9 == 8 || cell / 9 == 5 || cell % 9 == 5) {
                EXPECT_EQ(SweepPairTable[cell].test, nullptr);
                EXPECT_EQ(OverlapPairTable[cell].test, nullptr);
            }
        }
        RegisterPairTests(); // a second registration gives the same tables
    }
    // Diagonal cells end unswapped; a few hand-checked cells.
    EXPECT_EQ(SweepPairTable[3 * 9 + 3].swapped, 0u);
    EXPECT_EQ((void*)SweepPairTable[1 * 9 + 0].test, (void*)SweepRayPlane);
    EXPECT_EQ(SweepPairTable[1 * 9 + 0].swapped, 1u);
    EXPECT_EQ(SweepPairTable[1 * 9 + 1].test, nullptr); // plane against plane
    EXPECT_EQ(SweepPairTable[7 * 9 + 2].test, nullptr);
    EXPECT_EQ((void*)OverlapPairTable[2 * 9 + 7].test, (void*)OverlapFrustumAabb);
    EXPECT_EQ(OverlapPairTable[2 * 9 + 7].swapped, 1u);
}

} // namespace
