// The animation readers' fuzz entry, shared by the libFuzzer target and the
// corpus replay test.
//
// The first byte picks the reader (its value mod 4): 0 a ".geat" track,
// 1 track XML, 2 a ".gemesh" skeleton, 3 skeleton XML; the rest is the file.
// A taken track must be one a player can read whole: a finite positive frame
// rate, keys for every frame and joint, one event entry and one root knot per
// frame, events that name terminated names, a joint map per joint; it is then
// bound to a sequence player that plays it over a few frames and answers
// every joint. A refused track has duration 0. A taken skeleton has a root
// first, parents before children, and a world and an inverse-bind matrix per
// joint; it is posed and its skinning matrices read. A refused one is empty.
#pragma once

#include "tests/fuzz/FuzzOutcome.h"

#include <cstddef>
#include <cstdint>

FuzzOutcome RunAnimReadersFuzz(const uint8_t* data, size_t size);

// For libFuzzer: aborts on a fault.
int FuzzAnimReaders(const uint8_t* data, size_t size);
