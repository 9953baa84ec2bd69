#include "Engine/Physics/GeColliderDispatch.h"

#include "Engine/Physics/GeColliderPairTests.h"

SweepPairCell SweepPairTable[kPairTableCells];
OverlapPairCell OverlapPairTable[kPairTableCells];

namespace {

template <typename Cell, typename Test>
void Register(Cell* table, uint32_t i, uint32_t j, Test test)
{
    Cell& direct = table[i * kPairTableSide + j];
    if (!direct.test)
        direct = Cell{test, 0};
    Cell& mirrored = table[j * kPairTableSide + i];
    if (!mirrored.test)
        mirrored = Cell{test, 1};
}

// The tables are filled before main so that every caller finds them ready.
struct PairTestRegistrar {
    PairTestRegistrar() { RegisterPairTests(); }
};
const PairTestRegistrar g_pairTestRegistrar;

// The world pose of a leaf: the composite's pose times the poses on its path.
Matrix4 LeafWorldPose(const CGeColliderComposite& composite, const CGeColliderNode* leaf)
{
    Matrix4 pose = leaf->pose;
    for (const CGeColliderNode* up = leaf->parent; up; up = up->parent)
        pose = MatrixMultiply3x4(up->pose, pose);
    return MatrixMultiply3x4(composite.pose, pose);
}

// The next node after a subtree: its next sibling, else the next sibling of the
// nearest enclosing level that has one.
const CGeColliderNode* Advance(const CGeColliderNode* node)
{
    for (; node; node = node->parent) {
        if (node->next)
            return node->next;
    }
    return nullptr;
}

// From a node, the first leaf in depth-first order (the node itself when it is one).
const CGeColliderNode* Descend(const CGeColliderNode* node)
{
    while (node) {
        const CGeCollider* primitive = node->primitive;
        if (!primitive || primitive->GetClass() != COLLIDER_COMPOSITE)
            return node;
        const CGeColliderNode* inner = static_cast<const CGeColliderComposite*>(primitive)->firstChild;
        node = inner ? inner : Advance(node);
    }
    return nullptr;
}

// A leaf result replaces the kept one when it starts inside or is strictly nearer.
// Returns true when the walk must end (starts inside).
bool KeepNearest(const CGeCollisionQuery& leafQuery, const CGeColliderNode* leaf, float& best,
                 CGeCollisionQuery& query)
{
    if (!leafQuery.hit)
        return false;
    query.hit = 1;
    if (leafQuery.startsInside) {
        query.startsInside = 1;
        query.hitPrimitive = leaf->primitive;
        return true;
    }
    if (leafQuery.t < best) {
        best = leafQuery.t;
        query.t = leafQuery.t;
        query.point = leafQuery.point;
        query.normal = leafQuery.normal;
        query.hitPrimitive = leaf->primitive;
    }
    return false;
}

// One axis of an unlimited query's swept bounds: open towards the motion; an
// axis without motion keeps its bounds.
void OpenTowards(float direction, float& lo, float& hi)
{
    if (direction > 0.0f)
        hi = kColliderHuge;
    else if (direction < 0.0f)
        lo = -kColliderHuge;
}

// A member's bounds against a query's swept bounds; the common classes are read
// in place rather than through the bounds table.
bool MeetsSweptBounds(const CGeCollider* member, const CGeColliderAabb& swept, CGeColliderAabb& scratch)
{
    switch (member->GetClass()) {
    case COLLIDER_AABB:
        return AabbOverlap(*static_cast<const CGeColliderAabb*>(member), swept);
    case COLLIDER_BOX:
        return AabbOverlap(static_cast<const CGeColliderBox*>(member)->bounds, swept);
    case COLLIDER_SPHERE:
        SphereAabb(*static_cast<const CGeColliderSphere*>(member), scratch);
        return AabbOverlap(scratch, swept);
    default:
        ColliderGetAabb(member, scratch);
        return AabbOverlap(scratch, swept);
    }
}

// CollideGeoms, inlined into the group walk.
inline void CollidePair(CGeCollider* first, CGeCollider* second, CGeCollisionQuery& query)
{
    query.hit = 0;
    query.startsInside = 0;
    const uint32_t row = second->GetClass();
    const uint32_t column = first->GetClass();
    if (row >= kPairTableSide || column >= kPairTableSide)
        return;
    const SweepPairCell& cell = SweepPairTable[row * kPairTableSide + column];
    if (!cell.test)
        return;
    if (!cell.swapped) {
        cell.test(second, first, query);
        return;
    }
    const Vec3 direction = query.direction;
    const uint32_t octant = query.octant;
    const uint32_t swapped = query.swapped;
    query.direction = Vec3{direction.x * -1.0f, direction.y * -1.0f, direction.z * -1.0f};
    query.octant = ~octant & 7u;
    query.swapped = 1;
    cell.test(first, second, query);
    query.direction = direction;
    query.octant = octant;
    query.swapped = swapped;
}

} // namespace

void RegisterPairTests()
{
    for (uint32_t i = 0; i < kPairTableCells; i++) {
        SweepPairTable[i] = SweepPairCell{nullptr, 0};
        OverlapPairTable[i] = OverlapPairCell{nullptr, 0};
    }

    SweepPairCell* sweep = SweepPairTable;
    Register(sweep, 0, 1, SweepRayPlane);
    Register(sweep, 0, 2, SweepRayAabb);
    Register(sweep, 0, 3, SweepRaySphere);
    Register(sweep, 0, 4, SweepRayBox);
    Register(sweep, 0, 6, SweepComposite);
    Register(sweep, 1, 6, SweepComposite);
    Register(sweep, 2, 1, SweepAabbPlane);
    Register(sweep, 2, 2, SweepAabbAabb);
    Register(sweep, 2, 4, SweepAabbBox);
    Register(sweep, 2, 6, SweepComposite);
    Register(sweep, 3, 1, SweepSpherePlane);
    Register(sweep, 3, 2, SweepSphereAabb);
    Register(sweep, 3, 3, SweepSphereSphere);
    Register(sweep, 3, 4, SweepSphereBox);
    Register(sweep, 3, 6, SweepComposite);
    Register(sweep, 4, 1, SweepBoxPlane);
    Register(sweep, 4, 4, SweepBoxBox);
    Register(sweep, 4, 6, SweepComposite);
    Register(sweep, 6, 6, SweepCompositeComposite);

    OverlapPairCell* overlap = OverlapPairTable;
    Register(overlap, 1, 1, OverlapPlanePlane);
    Register(overlap, 1, 6, OverlapComposite);
    Register(overlap, 2, 1, OverlapAabbPlane);
    Register(overlap, 2, 2, OverlapAabbAabb);
    Register(overlap, 2, 3, OverlapAabbSphere);
    Register(overlap, 2, 4, OverlapAabbBox);
    Register(overlap, 2, 6, OverlapComposite);
    Register(overlap, 3, 1, OverlapSpherePlane);
    Register(overlap, 3, 3, OverlapSphereSphere);
    Register(overlap, 3, 4, OverlapSphereBox);
    Register(overlap, 3, 6, OverlapComposite);
    Register(overlap, 4, 1, OverlapBoxPlane);
    Register(overlap, 4, 4, OverlapBoxBox);
    Register(overlap, 4, 6, OverlapComposite);
    Register(overlap, 6, 6, OverlapCompositeComposite);
    Register(overlap, 7, 2, OverlapFrustumAabb);
    Register(overlap, 7, 3, OverlapFrustumSphere);
    Register(overlap, 7, 4, OverlapFrustumBox);
}

void CollideGeoms(CGeCollider* first, CGeCollider* second, CGeCollisionQuery& query)
{
    CollidePair(first, second, query);
}

void PickInCollisionSpace(CollisionGroup& group, CGeCollider* probe, CGeCollisionQuery& query)
{
    if (probe->GetClass() == COLLIDER_RAY)
        query.direction = static_cast<const CGeRayProbe*>(probe)->direction;
    const Vec3 d = query.direction;
    query.octant = DirectionOctant(d);
    query.t = kColliderHuge;
    query.hit = 0;
    query.startsInside = 0;
    query.hitPrimitive = nullptr;

    // Swept bounds: a query without a limit opens the probe's box towards the
    // motion; a limited one spans the start and end boxes.
    CGeColliderAabb& swept = group.sweptBounds;
    ColliderGetAabb(probe, swept);
    if (query.maxDistance == kColliderHuge) {
        OpenTowards(d.x, swept.min.x, swept.max.x);
        OpenTowards(d.y, swept.min.y, swept.max.y);
        OpenTowards(d.z, swept.min.z, swept.max.z);
    } else {
        const Vec3 endMin = PointAlong(d, swept.min, query.maxDistance);
        const Vec3 endMax = PointAlong(d, swept.max, query.maxDistance);
        AabbAddPoint(endMin, swept);
        AabbAddPoint(endMax, swept);
    }

    const bool probeIsMember = probe->List() == &group.members;
    if (probeIsMember)
        CGeOwnedList::Remove(probe);

    CGeColliderAabb memberBounds;
    for (CGeCollider* member = group.members.first; member; member = member->Next()) {
        if (group.filter && !group.filter(member))
            continue;
        if (!MeetsSweptBounds(member, swept, memberBounds))
            continue;
        CGeCollisionQuery local;
        local.direction = d;
        local.maxDistance = query.maxDistance;
        local.octant = query.octant;
        CollidePair(member, probe, local);
        if (!local.hit)
            continue;
        if (local.startsInside) {
            query.hit = 1;
            query.startsInside = 1;
            query.hitPrimitive = member;
            break;
        }
        if (local.t < query.t) {
            query.hit = 1;
            query.t = local.t;
            query.point = local.point;
            query.normal = local.normal;
            query.hitPrimitive = member;
        }
    }

    if (probeIsMember)
        group.members.PushFront(probe);
}

const CGeColliderNode* CompositeFirstLeaf(const CGeColliderComposite& composite)
{
    return Descend(composite.firstChild);
}

const CGeColliderNode* CompositeNextLeaf(const CGeColliderNode* leaf)
{
    return Descend(Advance(leaf));
}

CGeCollider* CompositePoseChild(CGeColliderComposite& composite, const CGeColliderNode* leaf)
{
    const CGeCollider* primitive = leaf->primitive;
    if (!primitive)
        return nullptr;
    CGeCollider* scratch = nullptr;
    switch (primitive->GetClass()) {
    case COLLIDER_AABB:
        composite.scratchAabb = *static_cast<const CGeColliderAabb*>(primitive);
        scratch = &composite.scratchAabb;
        break;
    case COLLIDER_SPHERE:
        composite.scratchSphere = *static_cast<const CGeColliderSphere*>(primitive);
        scratch = &composite.scratchSphere;
        break;
    case COLLIDER_BOX:
        composite.scratchBox = *static_cast<const CGeColliderBox*>(primitive);
        scratch = &composite.scratchBox;
        break;
    default:
        return nullptr;
    }
    ColliderSetPose(scratch, LeafWorldPose(composite, leaf));
    return scratch;
}

void SweepComposite(CGeCollider* mover, CGeCollider* compositePrimitive, CGeCollisionQuery& query)
{
    auto* composite = static_cast<CGeColliderComposite*>(compositePrimitive);
    CGeCollisionQuery leafQuery = query;
    leafQuery.boundsOnly = 1;
    CollideGeoms(&composite->bounds, mover, leafQuery);
    if (!leafQuery.hit)
        return;

    float best = kColliderHuge;
    for (const CGeColliderNode* leaf = CompositeFirstLeaf(*composite); leaf; leaf = CompositeNextLeaf(leaf)) {
        CGeCollider* posed = CompositePoseChild(*composite, leaf);
        if (!posed)
            continue;
        leafQuery = query;
        leafQuery.boundsOnly = 0;
        CollideGeoms(posed, mover, leafQuery);
        if (KeepNearest(leafQuery, leaf, best, query))
            return;
    }
}

void SweepCompositeComposite(CGeCollider* moverPrimitive, CGeCollider* otherPrimitive, CGeCollisionQuery& query)
{
    auto* mover = static_cast<CGeColliderComposite*>(moverPrimitive);
    auto* other = static_cast<CGeColliderComposite*>(otherPrimitive);
    CGeCollisionQuery leafQuery = query;
    leafQuery.boundsOnly = 1;
    CollideGeoms(&other->bounds, &mover->bounds, leafQuery);
    if (!leafQuery.hit)
        return;

    Vec3 moverPosition;
    ColliderGetPosition(mover, moverPosition);
    float best = kColliderHuge;
    for (const CGeColliderNode* a = CompositeFirstLeaf(*mover); a; a = CompositeNextLeaf(a)) {
        CGeCollider* posedA = CompositePoseChild(*mover, a);
        if (!posedA)
            continue;
        for (const CGeColliderNode* b = CompositeFirstLeaf(*other); b; b = CompositeNextLeaf(b)) {
            CGeCollider* posedB = CompositePoseChild(*other, b);
            if (!posedB)
                continue;
            leafQuery = query;
            leafQuery.boundsOnly = 0;
            CollideGeoms(posedB, posedA, leafQuery);
            const float kept = best;
            if (KeepNearest(leafQuery, b, best, query))
                return;
            if (best < kept)
                query.point = PointAlong(query.direction, moverPosition, best);
        }
    }
}
