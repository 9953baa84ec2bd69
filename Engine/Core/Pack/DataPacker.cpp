#include "Engine/Core/Pack/DataPacker.h"

#include "Engine/Core/Common/GeCrc32.h"
#include "Engine/Core/Common/GeError.h"
#include "Engine/Core/Common/GeLittleEndian.h"
#include "Engine/Core/Pack/PackScrambler.h"

#include <cstdlib>
#include <cstring>
#include <lzo/lzo1x.h>

// LZO1X cannot produce more than 255 bytes from one byte of its stream (a
// zero byte of a length run adds 255), so a larger U is a corrupt word and
// must not become a huge allocation.
static bool IsPlausibleUnpackedSize(uint64_t unpacked, uint64_t streamLength)
{
    return unpacked <= streamLength * 256 + 64;
}

uint8_t* DataPacker::Unpack(uint8_t* block, uint32_t& length)
{
    if (!block || length < kBlockOverhead)
        return nullptr;

    uint32_t bodyLength = length - 8;
    uint32_t crc = ReadLe32(block + length - 4);
    uint32_t seed = ReadLe32(block + length - 8);
    ScramblePackBody(block, bodyLength, seed);

    uint32_t streamLength = bodyLength - 4;
    uint32_t unpacked = ReadLe32(block + streamLength);

    static const bool lzoReady = lzo_init() == LZO_E_OK;
    if (!lzoReady)
        return nullptr;

    if (Crc32(streamLength, block) != crc) {
        GE_ERROR_REPORT("CRC32 not equal!");
        return nullptr;
    }
    if (!IsPlausibleUnpackedSize(unpacked, streamLength))
        return nullptr;

    uint8_t* output = static_cast<uint8_t*>(malloc(unpacked ? unpacked : 1));
    if (!output)
        return nullptr;
    lzo_uint produced = unpacked;
    int result = lzo1x_decompress_safe(block, streamLength, output, &produced, nullptr);
    if (result != LZO_E_OK || produced != unpacked) {
        free(output);
        return nullptr;
    }
    length = unpacked;
    return output;
}
