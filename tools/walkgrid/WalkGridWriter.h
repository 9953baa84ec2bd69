// Writes walk-grid files in both layouts, for fixtures, fuzz seeds and the
// demo's locations.
//
// A grid is drawn as text, one line per row, row 0 first (the line order is
// the z order): '.' a free cell, '#' a blocked cell, '+' a cell locked by an
// entity, a digit 0..9 a free cell of that surface kind. Heights are a plane
// over the cells (base + slopeX * column + slopeZ * row) unless set per cell.
// The file image keeps every header field separately, so that a fixture can
// write a header that lies about its cells.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct WalkGridCellRecord {
    uint8_t flags = 0;
    float height = 0.0f;
    uint8_t surface = 255;
};

struct WalkGridImage {
    bool tagged = true;  // "ver001" layout; false for the legacy one
    int32_t width = 0;
    int32_t height = 0;
    int32_t count = 0;
    float boundsMin[3] = {0, 0, 0};
    float boundsMax[3] = {0, 0, 0};
    float cellSize = 1.0f;
    float cellsPerUnit = 1.0f;
    float rangeLow = 0.0f;
    float rangeHigh = 0.0f;
    std::vector<WalkGridCellRecord> cells;

    // The file's bytes: header and every cell record in the list.
    std::vector<uint8_t> Serialize() const;
    WalkGridCellRecord& At(int32_t column, int32_t row) { return cells[size_t(row) * size_t(width) + size_t(column)]; }
};

struct WalkGridOptions {
    bool tagged = true;
    float cellSize = 1.0f;
    float originX = 0.0f;   // low corner of the grid
    float originZ = 0.0f;
    float heightBase = 0.0f;
    float slopeX = 0.0f;
    float slopeZ = 0.0f;
    float rangeLow = 0.0f;
    float rangeHigh = 0.0f;
};

// The image of a drawn grid; error names the first fault (ragged rows, an
// unknown character, no cells) and the image is then empty.
WalkGridImage WalkGridFromPicture(const std::vector<std::string>& rows, const WalkGridOptions& options,
                                  std::string* error = nullptr);
