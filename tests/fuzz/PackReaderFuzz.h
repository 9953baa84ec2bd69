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
#pragma once

#include <cstddef>
#include <cstdint>

int FuzzPackReader(const uint8_t* data, size_t size);
