#include "tools/walkgrid/WalkGridWriter.h"

#include <cstring>

namespace {

void PutU32(std::vector<uint8_t>& out, uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(uint8_t(value >> shift));
}

void PutI32(std::vector<uint8_t>& out, int32_t value)
{
    uint32_t word;
    std::memcpy(&word, &value, sizeof word);
    PutU32(out, word);
}

void PutF32(std::vector<uint8_t>& out, float value)
{
    uint32_t word;
    std::memcpy(&word, &value, sizeof word);
    PutU32(out, word);
}

} // namespace

std::vector<uint8_t> WalkGridImage::Serialize() const
{
    std::vector<uint8_t> out;
    if (tagged)
        for (char c : {'v', 'e', 'r', '0', '0', '1'})
            out.push_back(uint8_t(c));
    PutI32(out, width);
    PutI32(out, height);
    PutI32(out, count);
    for (float v : boundsMin)
        PutF32(out, v);
    PutF32(out, 0.0f);  // padding of the stored vector
    for (float v : boundsMax)
        PutF32(out, v);
    PutF32(out, 0.0f);
    PutF32(out, cellSize);
    PutF32(out, cellsPerUnit);
    PutF32(out, rangeLow);
    PutF32(out, rangeHigh);
    for (const WalkGridCellRecord& cell : cells) {
        out.push_back(cell.flags);
        PutF32(out, cell.height);
        if (tagged)
            out.push_back(cell.surface);
    }
    return out;
}

WalkGridImage WalkGridFromPicture(const std::vector<std::string>& rows, const WalkGridOptions& options,
                                  std::string* error)
{
    WalkGridImage image;
    auto fail = [&](const std::string& why) {
        if (error)
            *error = why;
        return WalkGridImage();
    };
    if (rows.empty() || rows[0].empty())
        return fail("the picture has no cells");
    image.tagged = options.tagged;
    image.width = int32_t(rows[0].size());
    image.height = int32_t(rows.size());
    image.count = image.width * image.height;
    image.cellSize = options.cellSize;
    image.cellsPerUnit = 1.0f / options.cellSize;
    image.boundsMin[0] = options.originX;
    image.boundsMin[2] = options.originZ;
    image.boundsMax[0] = options.originX + float(image.width) * options.cellSize;
    image.boundsMax[2] = options.originZ + float(image.height) * options.cellSize;
    image.rangeLow = options.rangeLow;
    image.rangeHigh = options.rangeHigh;
    for (int32_t row = 0; row < image.height; ++row) {
        if (int32_t(rows[row].size()) != image.width)
            return fail("row " + std::to_string(row) + " is not as wide as row 0");
        for (int32_t column = 0; column < image.width; ++column) {
            WalkGridCellRecord cell;
            cell.height = options.heightBase + options.slopeX * float(column) + options.slopeZ * float(row);
            const char c = rows[row][column];
            if (c == '#')
                cell.flags = 1;
            else if (c == '+')
                cell.flags = 2;
            else if (c >= '0' && c <= '9')
                cell.surface = uint8_t(c - '0');
            else if (c != '.')
                return fail(std::string("unknown cell character '") + c + "' in row " + std::to_string(row));
            image.cells.push_back(cell);
        }
    }
    return image;
}
