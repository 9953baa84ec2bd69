// Pushes a cloth's points out of the obstacles of the collision world.
//
// Each response moves positions only; the velocities follow from the moved
// positions when the sub-step ends. Points are pushed eps beyond a surface so
// that a pushed point does not count as inside again. Boxes and cylinders
// are rounded by the cloth's collision margin: near an edge or a corner a point
// is pushed out of the rounding, so a sheet slides over edges instead of
// catching on them.
#pragma once

#include "Engine/Physics/GeClothGeom.h"

class CGePhysGroup;

using ClothCollideFunction = void (*)(CGeClothGeom& cloth, const CGeCollisionGeom& geom);

// Indexed by geom type, plane (0) to capsule (5).
extern const ClothCollideFunction ClothCollideTable[6];

// Every body of the collision world, then every body of each of its child
// groups, each body's geoms in list order; types other than 0 to 5 are skipped.
void ClothCollideWorld(CGeClothGeom& cloth);
