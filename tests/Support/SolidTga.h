// A picture file for tests: an uncompressed 32-bit TGA of one colour.
#pragma once

#include <cstdint>
#include <string>

// The file's bytes: width x height pixels of colour (0xAARRGGBB), top row first.
inline std::string SolidTga(uint16_t width, uint16_t height, uint32_t colour)
{
    std::string bytes(18, '\0');
    bytes[2] = 2;
    bytes[12] = char(width & 0xFF);
    bytes[13] = char(width >> 8);
    bytes[14] = char(height & 0xFF);
    bytes[15] = char(height >> 8);
    bytes[16] = 32;
    bytes[17] = 0x28;
    for (uint32_t i = 0; i < uint32_t(width) * height; ++i)
        for (int shift : {0, 8, 16, 24})
            bytes.push_back(char(colour >> shift & 0xFF));
    return bytes;
}
