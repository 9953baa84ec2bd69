#include "Source/GameClasses/QmPropAimapLockController.h"

#include "Engine/Physics/GeCollider.h"
#include "Engine/Physics/GeColliderDispatch.h"
#include "Source/GameClasses/QmAiMap.h"
#include "Source/GameClasses/QmLocation.h"
#include "Source/GameClasses/QmLocationManager.h"
#include "Source/GameClasses/QmPropCollider.h"

#include <cstring>

CQmAiMap* QmCurrentWalkGrid()
{
    const CQmLocation* location = g_locationManager ? g_locationManager->current : nullptr;
    return location ? location->CurrentWalkGrid() : nullptr;
}

AiLockList::AiLockList() : data(new int32_t[kGrowStep]), capacity(kGrowStep) {}

AiLockList::~AiLockList()
{
    delete[] data;
}

void AiLockList::Append(int32_t index)
{
    if (Count() == capacity) {
        auto* grown = new int32_t[capacity + kGrowStep];
        std::memcpy(grown, data, sizeof(int32_t) * capacity);
        delete[] data;
        data = grown;
        capacity += kGrowStep;
    }
    data[++last] = index;
}

namespace {

bool IsInner(const CQmAiMap& grid, int32_t index)
{
    const int32_t column = index % grid.width;
    const int32_t row = index / grid.width;
    return row >= 1 && row <= grid.height - 2 && column >= 1 && column <= grid.width - 2;
}

} // namespace

CQmPropAimapLockController::~CQmPropAimapLockController()
{
    UnlockCells();
}

void CQmPropAimapLockController::SetEnabled(bool flag)
{
    const uint8_t value = flag ? 1 : 0;
    if (value == enabled)
        return;
    enabled = value;
    if (!value)
        UnlockCells();
}

void CQmPropAimapLockController::Update()
{
    UnlockCells();
    LockCells();
}

void CQmPropAimapLockController::Mark(CQmAiMap& grid, int32_t index)
{
    if (index < 0 || index >= grid.count || (grid.cells[index].flags & kAiCellLocked))
        return;
    locked.Append(index);
    AiCell& cell = grid.cells[index];
    if (IsInner(grid, index) && !(cell.flags & kAiCellBlocked))
        cell.flags |= kAiCellLocked;
}

void CQmPropAimapLockController::LockCells()
{
    CQmAiMap* grid = QmCurrentWalkGrid();
    const auto* collider = owner->Prop<CQmPropCollider>(QM_PROP_COLLIDER);
    CGeCollider* shape = collider ? collider->shape : nullptr;
    if (!grid || !grid->count || !shape)
        return;
    m_grid = grid;
    CGeColliderAabb bounds;
    auto* box = shape->GetTypeId() == COLLIDER_BOX ? static_cast<CGeColliderBox*>(shape) : nullptr;
    if (box) {
        box->UpdateAabb();
        ColliderGetAabb(box, bounds);
    } else if (shape->GetTypeId() == COLLIDER_AABB) {
        const auto* aabb = static_cast<const CGeColliderAabb*>(shape);
        bounds.SetCorners(aabb->min, aabb->max);
    } else {
        return;
    }
    const int32_t firstColumn = grid->GetColumn(bounds.min.x), lastColumn = grid->GetColumn(bounds.max.x);
    const int32_t firstRow = grid->GetRow(bounds.min.z), lastRow = grid->GetRow(bounds.max.z);
    for (int32_t row = firstRow; row <= lastRow; ++row) {
        for (int32_t column = firstColumn; column <= lastColumn; ++column) {
            if (column < 0 || column >= grid->width || row < 0 || row >= grid->height)
                continue;
            const int32_t index = row * grid->width + column;
            if (box) {
                Vec3 low, high;
                grid->GetCellBounds(index, low, high);
                CGeRayProbe ray(Vec3{low.x, 0.0f, low.z}, Vec3{0.0f, 1.0f, 0.0f});
                CGeCollisionQuery query;
                query.maxDistance = kColliderHuge;
                CollideGeoms(&ray, box, query);
                if (!query.hit)
                    continue;
            }
            Mark(*grid, index);
        }
    }
}

void CQmPropAimapLockController::UnlockCells()
{
    CQmAiMap* grid = QmCurrentWalkGrid();
    if (grid && grid == m_grid && grid->count) {
        for (int32_t i = locked.last; i >= 0; --i) {
            const int32_t index = locked.data[i];
            if (index < 0 || index >= grid->count || !IsInner(*grid, index))
                continue;
            AiCell& cell = grid->cells[index];
            if (!(cell.flags & kAiCellBlocked))
                cell.flags &= uint8_t(~kAiCellLocked);
        }
    }
    locked.last = -1;
}

void LoadProperty_AimapLockController(CQmEntity& entity, const TiXmlElement*)
{
    entity.SetProp(QM_PROP_AIMAP_LOCK, new CQmPropAimapLockController(&entity));
}
