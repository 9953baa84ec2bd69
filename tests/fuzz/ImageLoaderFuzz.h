// The image loader's fuzz entry, shared by the libFuzzer target and the
// corpus replay test.
//
// The first byte picks the file name, which decides how TGA and JPEG files
// are recognised: 0 "f.tga", 1 "f.gep", 2 "f.jpg", anything else "f.dds".
// The rest is the file. Every path a texture takes with a file runs on it:
// type detection, the packed read with the decode at upload, the raw decode,
// and a resampling of whatever decoded.
#pragma once

#include <cstddef>
#include <cstdint>

int FuzzImageLoader(const uint8_t* data, size_t size);
