#include "DepthPictureWriter.h"

#include <cstring>
#include <fstream>

void DepthPicture::Fill(uint32_t x0, uint32_t y0, uint32_t x1, uint32_t y1, float depth)
{
    for (uint32_t y = y0; y < y1 && y < height; ++y)
        for (uint32_t x = x0; x < x1 && x < width; ++x)
            At(x, y) = depth;
}

std::vector<uint8_t> DepthPicture::Serialize() const
{
    std::vector<uint8_t> bytes(18 + depths.size() * 4, 0);
    bytes[2] = 2; // uncompressed true colour
    bytes[12] = uint8_t(width & 0xFF);
    bytes[13] = uint8_t(width >> 8);
    bytes[14] = uint8_t(height & 0xFF);
    bytes[15] = uint8_t(height >> 8);
    bytes[16] = 32;
    bytes[17] = 0x28; // eight attribute bits, top row first
    for (size_t i = 0; i < depths.size(); ++i) {
        uint32_t bits;
        memcpy(&bits, &depths[i], 4);
        for (int b = 0; b < 4; ++b)
            bytes[18 + i * 4 + b] = uint8_t(bits >> (8 * b));
    }
    return bytes;
}

bool WriteDepthPicture(const DepthPicture& picture, const std::string& path)
{
    const std::vector<uint8_t> bytes = picture.Serialize();
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(out);
}
