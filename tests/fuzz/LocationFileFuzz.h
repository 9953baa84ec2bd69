// The location loader's fuzz entry, shared by the libFuzzer target and the
// corpus replay test.
//
// The input is a whole location file. It is read into a new location over a
// fixture pack holding the location writer's shared files (pictures, an image
// list, meshes, materials, a static collision file, a particle effect), so
// that the names inputs use can resolve. An input is taken when it parses
// and has a "location" root. Taken or not, the result must keep the rules:
// the location is named after its file; zones name existing camera groups; at
// most 8 walk grids; every named entity is listed once and its name is the
// key; the active colliders and the render layers hold only what the
// location's entities own (after each entity's update); deleting the
// location leaves the layers, the collider list and the static environment
// empty.
#pragma once

#include "tests/fuzz/FuzzOutcome.h"

#include <cstddef>
#include <cstdint>

FuzzOutcome RunLocationFileFuzz(const uint8_t* data, size_t size);

// For libFuzzer: aborts on a fault.
int FuzzLocationFile(const uint8_t* data, size_t size);
