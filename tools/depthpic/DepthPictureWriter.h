// Writes depth pictures ("zimage", "zmaskimage" of a location background):
// uncompressed 32-bit TGA files, top row first, whose pixels are the
// little-endian bytes of one float each, the view-space depth of the painted
// scene along the camera's forward axis (1e20 and above: no geometry).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct DepthPicture {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<float> depths; // width x height, top row first

    DepthPicture(uint32_t w, uint32_t h, float depth) : width(w), height(h), depths(size_t(w) * h, depth) {}
    float& At(uint32_t x, uint32_t y) { return depths[size_t(y) * width + x]; }
    // Sets the rectangle [x0, x1) x [y0, y1) (clipped to the picture).
    void Fill(uint32_t x0, uint32_t y0, uint32_t x1, uint32_t y1, float depth);
    // The TGA file's bytes.
    std::vector<uint8_t> Serialize() const;
};

// The depth no geometry has.
constexpr float kDepthNoGeometry = 1e20f;

bool WriteDepthPicture(const DepthPicture& picture, const std::string& path);
