// The walk-grid lock: the cells marked under box and oriented-box colliders
// (against a plain footprint model), the border and the grid's high edge,
// two overlapping entities, release on disabling, and the reader.
#include "Source/GameClasses/QmPropAimapLockController.h"
#include "Engine/Physics/GeCollider.h"
#include "Source/GameClasses/QmEntityLoader.h"
#include "tests/Source/GameClasses/WalkingFixtures.h"

#include <cmath>
#include <set>

#include <tinyxml.h>

namespace {

class AimapLockTest : public WalkingTest {
protected:
    // Indices of the cells with the lock bit set.
    static std::set<int32_t> LockedCells(const CQmAiMap& grid)
    {
        std::set<int32_t> cells;
        for (int32_t i = 0; i < grid.count; ++i)
            if (grid.cells[i].flags & kAiCellLocked)
                cells.insert(i);
        return cells;
    }
    static std::set<int32_t> Listed(const CQmPropAimapLockController& lock)
    {
        return std::set<int32_t>(lock.locked.data, lock.locked.data + lock.locked.Count());
    }
    static CQmPropAimapLockController* Lock(CQmEntity* e)
    {
        return e->Prop<CQmPropAimapLockController>(QM_PROP_AIMAP_LOCK);
    }

    const std::vector<std::string> kOpen = {
        "........", "........", "........", "........", "........", "........", "........", "........",
    };
};

} // namespace

TEST_F(AimapLockTest, BoxesMarkTheInnerCellsOfTheirColumnAndRowRange)
{
    struct Case {
        const char* what;
        Vec3 low, high;
        std::set<int32_t> marked;
        uint32_t listed;
    };
    const Case cases[] = {
        {"inside", {1.2f, 0, 1.2f}, {2.5f, 1, 2.5f}, {9, 10, 17, 18}, 4},
        {"one cell, corners inside it", {3.1f, 0, 4.1f}, {3.9f, 1, 4.9f}, {35}, 1},
        {"over the high edge", {5.5f, 0, 5.5f}, {9.0f, 1, 6.5f}, {}, 0},
        {"on the border", {0.2f, 0, 0.2f}, {1.5f, 1, 0.5f}, {}, 2},
        {"from outside the low edge", {-3.0f, 0, 2.5f}, {1.5f, 1, 2.5f}, {17}, 2},
    };
    CQmAiMap* grid = Grid(kOpen);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CQmEntity* box = LockingBox("box", {0, 0, 0}, c.low, c.high);
        Frame(0.04f);
        EXPECT_EQ(c.marked, LockedCells(*grid));
        EXPECT_EQ(c.listed, Lock(box)->locked.Count());
        entities.clear();
        EXPECT_TRUE(LockedCells(*grid).empty()) << "a deleted entity leaves no obstacle";
        grid->ResetMarks();
    }
}

TEST_F(AimapLockTest, AnOrientedBoxMarksTheCellsWhoseCornerRayMeetsIt)
{
    CQmAiMap* grid = Grid(std::vector<std::string>(12, std::string(12, '.')));
    CQmEntity* entity = Keep(figure::MakeEntity("crate", 0));
    auto* collider = new CQmPropCollider(entity);
    const float angle = 0.6f;
    Matrix4 pose = MatrixRotationY(angle);
    const Vec3 centre = {6.0f, 0.5f, 5.5f}, size = {6.0f, 2.0f, 2.5f};
    pose.At(0, 3) = centre.x;
    pose.At(1, 3) = centre.y;
    pose.At(2, 3) = centre.z;
    CreateColliderBoxShape(collider)->SetSizeAndRotation(size, pose);
    collider->local = pose;
    entity->SetProp(QM_PROP_COLLIDER, collider);
    auto* lock = new CQmPropAimapLockController(entity);
    entity->SetProp(QM_PROP_AIMAP_LOCK, lock);
    lock->SetEnabled(true);
    Frame(0.04f);

    // The plain model: a low corner inside the box's footprint, on an inner cell.
    const auto* box = static_cast<const CGeColliderBox*>(collider->shape);
    std::set<int32_t> expected;
    for (int32_t row = 1; row < 11; ++row)
        for (int32_t column = 1; column < 11; ++column) {
            const float dx = float(column) - centre.x, dz = float(row) - centre.z;
            const float u = dx * box->axis[0].x + dz * box->axis[0].z;
            const float v = dx * box->axis[2].x + dz * box->axis[2].z;
            if (std::fabs(u) < size.x * 0.5f - 1e-4f && std::fabs(v) < size.z * 0.5f - 1e-4f)
                expected.insert(row * 12 + column);
        }
    EXPECT_GT(expected.size(), 8u);
    EXPECT_EQ(expected, LockedCells(*grid));
    EXPECT_EQ(expected, Listed(*lock));
}

TEST_F(AimapLockTest, OverlappingEntitiesShareCellsByWhoLockedFirst)
{
    CQmAiMap* grid = Grid(kOpen);
    CQmEntity* first = LockingBox("first", {0, 0, 0}, {1.5f, 0, 1.5f}, {3.5f, 1, 2.5f});   // columns 1..3, rows 1..2
    CQmEntity* second = LockingBox("second", {0, 0, 0}, {3.2f, 0, 1.5f}, {4.5f, 1, 2.5f}); // columns 3..4
    Frame(0.04f);
    EXPECT_EQ(6u, Lock(first)->locked.Count());
    EXPECT_EQ((std::set<int32_t>{12, 20}), Listed(*Lock(second))) << "column 3 belongs to the first";
    // The first moves away: column 3 is released although the second still
    // stands on it, until the second's next update.
    Place(*first, {0, 0, 3.0f});
    first->Update();
    EXPECT_FALSE(grid->cells[11].flags & kAiCellLocked);
    second->Update();
    EXPECT_TRUE(grid->cells[11].flags & kAiCellLocked);

    // Disabling releases at once; only a change acts.
    Lock(second)->SetEnabled(false);
    EXPECT_EQ(0u, Lock(second)->locked.Count());
    for (int32_t cell : {11, 12, 19, 20})
        EXPECT_FALSE(grid->cells[cell].flags & kAiCellLocked) << cell;
    Lock(second)->SetEnabled(false);
    Lock(second)->SetEnabled(true);
    EXPECT_FALSE(grid->cells[11].flags & kAiCellLocked);
}

TEST_F(AimapLockTest, FileBlockedCellsAreListedButKeepTheirFlagsAndTheListGrows)
{
    std::vector<std::string> rows(40, std::string(40, '.'));
    rows[5][5] = '#';
    CQmAiMap* grid = Grid(rows);
    CQmEntity* box = LockingBox("wide", {0, 0, 0}, {1.5f, 0, 1.5f}, {10.5f, 1, 10.5f});
    Frame(0.04f);
    EXPECT_EQ(100u, Lock(box)->locked.Count());
    EXPECT_EQ(100u, Lock(box)->locked.capacity);
    EXPECT_EQ(kAiCellBlocked, grid->cells[5 * 40 + 5].flags);
    EXPECT_EQ(99u, LockedCells(*grid).size());
    Lock(box)->SetEnabled(false);
    EXPECT_EQ(kAiCellBlocked, grid->cells[5 * 40 + 5].flags);
    EXPECT_TRUE(LockedCells(*grid).empty());
}

TEST_F(AimapLockTest, NothingIsMarkedWithoutACollider)
{
    CQmAiMap* grid = Grid(kOpen);
    CQmEntity* entity = Keep(figure::MakeEntity("bare", 0));
    TiXmlDocument document;
    document.Parse("<entity name=\"bare\"><aimap_lock_controller/></entity>");
    LoadEntity(document.RootElement(), false, entity);
    ASSERT_NE(nullptr, Lock(entity));
    EXPECT_EQ(1, Lock(entity)->enabled);
    Frame(0.04f);
    EXPECT_TRUE(LockedCells(*grid).empty());
}

TEST_F(AimapLockTest, AListIsNeverReleasedOnAnotherGrid)
{
    CQmAiMap* first = Grid(kOpen);
    CQmEntity* box = LockingBox("box", {0, 0, 0}, {1.5f, 0, 1.5f}, {2.5f, 1, 2.5f});
    Frame(0.04f);
    // The second grid becomes current; its cells at the same indices were
    // locked by someone else and stay locked.
    CQmAiMap* second = Grid(kOpen);
    for (int32_t cell : {9, 10, 17, 18})
        second->cells[cell].flags = kAiCellLocked;
    Lock(box)->UnlockCells();
    EXPECT_EQ(0u, Lock(box)->locked.Count());
    EXPECT_EQ(4u, LockedCells(*second).size());
    EXPECT_EQ(4u, LockedCells(*first).size()) << "left to ResetMarks";
}
