// The scrambling of pack blocks.
//
// A block's body (its LZO1X stream followed by the unpacked length U) is
// XORed with a key stream made from the block's seed word, the word stored
// just before the block's CRC. The key stream is SplitMix64: the state starts
// as (seed << 32) | (seed ^ 0x5A17C0DE); for every 8 bytes of the body the
// state grows by 0x9E3779B97F4A7C15 and the mixed state is XORed over those
// bytes, little-endian (a last partial group takes the low bytes of the word).
//
// XOR makes the scheme its own inverse, so the archive writer and the reader
// run the same function. It hides the stream from a casual look and costs
// far less than the decompression; it is not encryption.
#pragma once

#include <cstddef>
#include <cstdint>

void ScramblePackBody(uint8_t* body, size_t count, uint32_t seed);
