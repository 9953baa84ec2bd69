// The video tests' fixtures: the Theora clips of the videoclip tool's writer
// (reached here under videofixture:: as well) and ".geav" alpha companions.
#pragma once

#include "tools/videoclip/TheoraClipWriter.h"

#include <cstdint>
#include <vector>

namespace videofixture {

using namespace theoraclip;

// A ".geav" file: "GEAV", frame count, kind, offset table and records. Each
// record is a plane (byte count, twelve zero bytes, data); for kind 2 the
// data is run-length coded. Offsets are written as given when `offsets` is
// not empty.
Bytes MakeGeav(uint8_t kind, const std::vector<Bytes>& planes, const char* signature = "GEAV",
               std::vector<uint32_t> offsets = {});

} // namespace videofixture
