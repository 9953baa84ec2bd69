// The two 9-by-9 pair tables and the queries built on them.
//
// Cell index = class(second argument of CollideGeoms) * 9 + class(first). The
// sweep table (1) answers "where does a moving primitive first touch another";
// the overlap table (2) "do two resting primitives share a point". Registering a
// test for classes (i, j) fills cell [i][j] unswapped and [j][i] swapped, each
// only while still empty; index 8 of either dimension stays empty so that a
// class index one past the last never reads outside the table.
#pragma once

#include "Engine/Physics/GeCollider.h"

constexpr uint32_t kPairTableSide = 9;
constexpr uint32_t kPairTableCells = kPairTableSide * kPairTableSide;

// A sweep test moves its first argument along the query's direction (a ray
// along its own) against the second and writes the query's result fields.
typedef void (*SweepPairTest)(CGeCollider* mover, CGeCollider* other, CGeCollisionQuery& query);
// An overlap test: 1 when the two share a point, else 0.
typedef int32_t (*OverlapPairTest)(CGeCollider* first, CGeCollider* second);

struct SweepPairCell {
    SweepPairTest test;
    uint32_t swapped;
};

struct OverlapPairCell {
    OverlapPairTest test;
    uint32_t swapped;
};

extern SweepPairCell SweepPairTable[kPairTableCells];
extern OverlapPairCell OverlapPairTable[kPairTableCells];

// Clears both tables and registers every test. Runs once during static
// initialisation; running it again gives the same tables.
void RegisterPairTests();

// Sweeps second (the mover, along query.direction) against first. Clears hit and
// startsInside first; an empty cell leaves every other field untouched. A swapped
// cell runs its test with first as the mover along the negated direction, the
// mirrored octant and swapped = 1, and restores those three fields afterwards.
void CollideGeoms(CGeCollider* first, CGeCollider* second, CGeCollisionQuery& query);

// Sweeps probe against every member of group that passes the filter and whose
// bounds meet the swept bounds; the nearest contact wins (the earlier member on
// equal t), a member the probe starts inside ends the walk at once. A probe that
// is itself a member is left out for the query and relinked at the head.
void PickInCollisionSpace(CollisionGroup& group, CGeCollider* probe, CGeCollisionQuery& query);

// Overlap through table 2; an empty cell counts as no overlap.
int32_t OverlapDispatch(CGeCollider* first, CGeCollider* second);

// Depth-first walk over a composite's leaves (nodes whose primitive is not a
// composite); null when there are no more.
const CGeColliderNode* CompositeFirstLeaf(const CGeColliderComposite& composite);
const CGeColliderNode* CompositeNextLeaf(const CGeColliderNode* leaf);
// Copies a leaf of class 2, 3 or 4 into the composite's scratch primitive of its
// class, posed in world space, and returns it; null for any other class.
CGeCollider* CompositePoseChild(CGeColliderComposite& composite, const CGeColliderNode* leaf);
