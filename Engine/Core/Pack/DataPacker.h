// One block of a pack archive: a scrambled LZO1X stream with its checksum.
//
// Layout of a block of N bytes (N >= 12), all words little-endian:
//   [0, N-8)    scrambled body (see PackScrambler.h); once descrambled:
//               [0, N-12)   the LZO1X stream of the file
//               [N-12, N-8) U, the length of the unpacked file
//   [N-8, N-4)  seed word of the scrambling
//   [N-4, N)    CRC-32 of the LZO1X stream (the descrambled bytes)
#pragma once

#include <cstdint>

namespace DataPacker {

// The smallest block: the three trailing words around an empty stream.
constexpr uint32_t kBlockOverhead = 12;

// Checks and unpacks one block. The body is descrambled in place, so the
// block is changed; the caller still owns and frees it. On success returns a
// new buffer (malloc, never null, even for U = 0) and sets length to U; on
// any fault returns null and leaves length as it was.
uint8_t* Unpack(uint8_t* block, uint32_t& length);

}
