// The ".gemesh" reader's fuzz entry, shared by the libFuzzer target and the
// corpus replay test.
//
// The input is a whole ".gemesh" file, loaded into a fresh mesh. A file
// without the signature must be refused. A taken mesh must hold only what
// its readers can use: a vertex buffer of count x stride bytes, indices below
// the vertex count, draw ranges inside both buffers, neighbours inside their
// range, and bounds that are empty or finite; the neighbours it builds itself
// must obey the same rule. A refused file leaves the mesh empty.
#pragma once

#include "tests/fuzz/FuzzOutcome.h"

#include <cstddef>
#include <cstdint>

FuzzOutcome RunMeshLoaderFuzz(const uint8_t* data, size_t size);

// For libFuzzer: aborts on a fault.
int FuzzMeshLoader(const uint8_t* data, size_t size);
