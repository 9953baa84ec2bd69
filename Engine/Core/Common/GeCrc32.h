// CRC-32 as used for resource-name hashing and pack block checks.
#pragma once

#include <cstdint>

// The reflected CRC-32 with polynomial 0xEDB88320 (initial value 0xFFFFFFFF,
// result inverted), the checksum of zip and PNG. 0 for a count of 0.
uint32_t Crc32(uint32_t count, const void* bytes);
