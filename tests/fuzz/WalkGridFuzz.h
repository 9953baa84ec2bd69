// The walk grid's fuzz entry, shared by the libFuzzer target and the corpus
// replay test.
//
// The input is a whole grid file; its last 16 bytes (which the reader never
// needs, since it ignores bytes after the cells) are two query points, each
// an x and a z fraction of the grid's bounds widened by a tenth on each side.
// The file is read, then the points go through the cell, height, surface,
// nearest-free-point and both path queries. The outcome says whether the
// file was taken and how many answers broke a rule: a file must be taken
// exactly when its header describes the cells that follow, and a taken grid
// must answer with cells that exist, heights that are numbers, surfaces that
// are bytes and paths whose pieces join up from the walker to the target.
#pragma once

#include "tests/fuzz/FuzzOutcome.h"

#include <cstddef>
#include <cstdint>

FuzzOutcome RunWalkGridFuzz(const uint8_t* data, size_t size);

// For libFuzzer: aborts on a fault.
int FuzzWalkGrid(const uint8_t* data, size_t size);
