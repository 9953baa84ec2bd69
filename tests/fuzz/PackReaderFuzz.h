// The pack reader's fuzz entry, shared by the libFuzzer target and the
// corpus replay test.
//
// The first byte picks what the rest of the input is, so that mutations
// reach past the checksums into the parsers behind them:
//   0  a whole pack file, mounted and read as it is;
//   1  a plain FAT, packed into a valid FAT block behind one valid file
//      block (at offset 0), so the FAT walk sees arbitrary entries;
//   2  an LZO1X stream (after a 4-byte unpacked length) wrapped into a block
//      with a matching CRC, so the bounded decompressor sees arbitrary data.
//
// The outcome is whether the pack mounted whole (0, 1) or the block unpacked
// (2). Every read must give nothing or all the bytes its block states, every
// name must lie inside the pack, and a name that points at the valid block of
// mode 1 must give its content.
#pragma once

#include "tests/fuzz/FuzzOutcome.h"

#include <cstddef>
#include <cstdint>

FuzzOutcome RunPackReaderFuzz(const uint8_t* data, size_t size);

// For libFuzzer: aborts on a broken rule.
int FuzzPackReader(const uint8_t* data, size_t size);
