// The background's depth-picture fuzz entry, shared by the libFuzzer target
// and the corpus replay test.
//
// The input's first 8 bytes choose the setting: the target width and height
// (1 to 64 pixels each, from two bytes), the camera's near and far distances
// (0 or a value from a byte each) and two query points (a byte each for x and
// y, spanning the target with a margin outside it). The rest is the picture
// file, read as a TGA texture. A picture that gives no float pixels is
// refused. A taken picture is resampled to the target and must give: tiles
// that cover the target once with power-of-two sides; a near and far taken
// from its samples as the rules say; no hit and no pick outside the picture;
// inside, a pick whose distance along the forward axis is the sample.
#pragma once

#include "tests/fuzz/FuzzOutcome.h"

#include <cstddef>
#include <cstdint>

FuzzOutcome RunDepthPictureFuzz(const uint8_t* data, size_t size);

// For libFuzzer: aborts on a fault.
int FuzzDepthPicture(const uint8_t* data, size_t size);
