// The pair tests that the two tables hold, and the octant families behind them.
// Callers normally go through CollideGeoms and the composite tests; the tests
// are declared here for the few callers that run one directly.
#pragma once

#include "Engine/Physics/GeCollider.h"

// Sweep tests (mover, other, query) -----------------------------------------------

void SweepRayPlane(CGeCollider* ray, CGeCollider* plane, CGeCollisionQuery& query);
void SweepRaySphere(CGeCollider* ray, CGeCollider* sphere, CGeCollisionQuery& query);
void SweepRayBox(CGeCollider* ray, CGeCollider* box, CGeCollisionQuery& query);
void SweepRayAabb(CGeCollider* ray, CGeCollider* box, CGeCollisionQuery& query);
void SweepAabbPlane(CGeCollider* box, CGeCollider* plane, CGeCollisionQuery& query);
void SweepAabbAabb(CGeCollider* mover, CGeCollider* box, CGeCollisionQuery& query);
void SweepAabbBox(CGeCollider* mover, CGeCollider* box, CGeCollisionQuery& query);
void SweepSpherePlane(CGeCollider* sphere, CGeCollider* plane, CGeCollisionQuery& query);
void SweepSphereAabb(CGeCollider* sphere, CGeCollider* box, CGeCollisionQuery& query);
void SweepSphereSphere(CGeCollider* mover, CGeCollider* sphere, CGeCollisionQuery& query);
void SweepSphereBox(CGeCollider* sphere, CGeCollider* box, CGeCollisionQuery& query);
void SweepBoxPlane(CGeCollider* box, CGeCollider* plane, CGeCollisionQuery& query);
void SweepBoxBox(CGeCollider* mover, CGeCollider* box, CGeCollisionQuery& query);
void SweepComposite(CGeCollider* mover, CGeCollider* composite, CGeCollisionQuery& query);
void SweepCompositeComposite(CGeCollider* mover, CGeCollider* composite, CGeCollisionQuery& query);

// One axis of the swept separating-axis test: the mover's interval [a0, a1]
// against the other's [b0, b1], moving at speed along the axis. 0: separated for
// the whole motion; 1: overlapping without setting the first contact (an axis
// overlapping at the start also counts in overlapCount); 2: this axis set
// tFirst, and sign gives the contact normal's direction on it.
int SweepAxisInterval(float a0, float a1, float b0, float b1, float speed, float& tFirst, float& tLast,
                      int& overlapCount, float& sign);

// The octant families: member i runs the octant-0 algorithm on the problem
// mirrored on every axis whose octant bit is set. Every caller indexes them with
// a checked octant (0 to 7).
typedef void (*OctantSweepTest)(CGeCollider* mover, CGeCollider* obstacle, CGeCollisionQuery& query);
extern const OctantSweepTest RayAabbOctant[8];
extern const OctantSweepTest AabbAabbOctant[8];
extern const OctantSweepTest SphereAabbOctant[8];

// Overlap tests (first, second) -> 1 or 0 -----------------------------------------

int32_t OverlapPlanePlane(CGeCollider* a, CGeCollider* b);
int32_t OverlapAabbPlane(CGeCollider* box, CGeCollider* plane);
int32_t OverlapAabbAabb(CGeCollider* a, CGeCollider* b);
int32_t OverlapAabbSphere(CGeCollider* box, CGeCollider* sphere);
int32_t OverlapAabbBox(CGeCollider* aabb, CGeCollider* box);
int32_t OverlapSpherePlane(CGeCollider* sphere, CGeCollider* plane);
int32_t OverlapSphereSphere(CGeCollider* a, CGeCollider* b);
int32_t OverlapSphereBox(CGeCollider* sphere, CGeCollider* box);
int32_t OverlapBoxPlane(CGeCollider* box, CGeCollider* plane);
int32_t OverlapBoxBox(CGeCollider* a, CGeCollider* b);
int32_t OverlapComposite(CGeCollider* x, CGeCollider* composite);
int32_t OverlapCompositeComposite(CGeCollider* a, CGeCollider* b);
int32_t OverlapFrustumAabb(CGeCollider* frustum, CGeCollider* box);
int32_t OverlapFrustumSphere(CGeCollider* frustum, CGeCollider* sphere);
int32_t OverlapFrustumBox(CGeCollider* frustum, CGeCollider* box);

bool SphereSphereOverlap(const CGeColliderSphere& a, const CGeColliderSphere& b);
