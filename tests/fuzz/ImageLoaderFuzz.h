// The image loader's fuzz entry, shared by the libFuzzer target and the
// corpus replay test.
//
// The first byte picks the file name, which decides how TGA and JPEG files
// are recognised: 0 "f.tga", 1 "f.gep", 2 "f.jpg", anything else "f.dds".
// The rest is the file. Every path a texture takes with a file runs on it:
// type detection, the packed read with the decode at upload, the raw decode,
// and a resampling of whatever decoded. Each reader must either refuse the
// file, saying why (GetLastImageReport), or give a whole image; the outcome
// is whether LoadImage took the file.
#pragma once

#include "tests/fuzz/FuzzOutcome.h"

#include <cstddef>
#include <cstdint>

FuzzOutcome RunImageLoaderFuzz(const uint8_t* data, size_t size);

// For libFuzzer: aborts on a broken rule.
int FuzzImageLoader(const uint8_t* data, size_t size);
