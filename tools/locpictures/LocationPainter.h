// Paints a location's pre-rendered background: a floor and boxes of plain
// colours seen through the location's camera, as the colour picture (clear
// where no geometry is: the sky shows there), and the depth picture of the
// same pixels (view-space depth along the camera's forward axis, no geometry
// 1e20).
//
// Rays go through the engine's own perspective camera over a viewport of the
// picture's size, so the painted pixels line up with what the game draws
// through that camera at any back-buffer size of the same shape.
//
// A painting file names the pictures and the geometry:
//
//   <painting width="1280" height="1024" colour="textures/loc01.tga"
//             depth="textures/loc01_z.tga" picking="textures/loc01_pick.tga">
//     <floor y="0" near="-800" far="540" argb="FFC8A064"/>
//     <box min="-260 0 0" max="-160 400 80" argb="FF4A6A9A"/>
//   </painting>
//
// The camera is the first "camera3d" of the location file.
#pragma once

#include "Engine/Core/Common/GeMath.h"

#include <cstdint>
#include <string>
#include <vector>

struct PaintedBox {
    Vec3 min;
    Vec3 max;
    uint32_t argb;
};

struct Painting {
    uint32_t width = 0;
    uint32_t height = 0;
    std::string colourFile;
    std::string depthFile;
    std::string pickingFile;
    bool hasFloor = false;
    float floorY = 0.0f;
    float floorNear = -1e30f; // the floor's z extent
    float floorFar = 1e30f;
    uint32_t floorArgb = 0;
    std::vector<PaintedBox> boxes;
};

struct PaintCamera {
    Vec3 eye = {0, 0, 0};
    Vec3 target = {0, 0, 1};
    Vec3 up = {0, 1, 0};
    float fov = 90.0f;
    float nearPlane = 1.0f;
    float farPlane = 10000.0f;
};

// Reads the painting; false (with the reason) when it cannot.
bool ReadPainting(const std::string& path, Painting& painting, std::string& error);
// The first "camera3d" of a location file.
bool ReadLocationCamera(const std::string& path, PaintCamera& camera, std::string& error);

// Colour (0xAARRGGBB, top row first) and view depth of every pixel.
void PaintPictures(const Painting& painting, const PaintCamera& camera, std::vector<uint32_t>& colour,
                   std::vector<float>& depth);

// An uncompressed 32-bit TGA file of pixels (0xAARRGGBB, top row first).
std::vector<uint8_t> ColourTga(uint32_t width, uint32_t height, const std::vector<uint32_t>& pixels);

// Writes the painting's pictures below root; false when a file cannot be
// written.
bool WritePaintedPictures(const std::string& root, const Painting& painting, const PaintCamera& camera);
