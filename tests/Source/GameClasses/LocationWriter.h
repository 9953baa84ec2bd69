// Writes location data trees for the loader's tests, its fuzz target and its
// benchmark: small shared files (pictures, an image list, meshes, materials,
// a static collision file, a particle effect) and location files put
// together from their sections.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace locwriter {

// Files written by WriteSharedFiles, relative to the data root.
constexpr const char* kRedPicture = "textures/red.tga";         // 4 x 4, opaque red
constexpr const char* kStripPicture = "textures/strip.tga";     // 8 x 2: four 2 x 2 frames
constexpr const char* kImageList = "textures/frames.xml";       // red, then strip
constexpr const char* kOneRangeMesh = "meshes/tri.xml";         // one triangle, one draw range
constexpr const char* kTwoRangeMesh = "meshes/two.xml";         // two triangles, two draw ranges
constexpr const char* kBlendMaterial = "materials/blend.xml";   // the default render states
constexpr const char* kOpaqueMaterial = "materials/opaque.xml"; // ALPHABLEND 0
constexpr const char* kStaticEnvironment = "physics/env.xml";   // a plane and a box
constexpr const char* kEffect = "effects/spark.xml";            // one particle system

// Writes text to root/relative, making the folders.
void WriteFile(const std::string& root, const std::string& relative, const std::string& text);
void WriteFile(const std::string& root, const std::string& relative, const std::vector<uint8_t>& bytes);
// An uncompressed 32-bit TGA of one colour (0xAARRGGBB), top row first.
std::vector<uint8_t> SolidTga(uint32_t width, uint32_t height, uint32_t argb);
void WriteSharedFiles(const std::string& root);

// "<location>" + the sections + "</location>".
std::string LocationXml(const std::vector<std::string>& sections);
// An entity element with its property tags.
std::string Entity(const std::string& attributes, const std::vector<std::string>& tags = {});
// A visual object with one mesh (and one material when material is given).
std::string MeshTag(const char* mesh, const char* material = nullptr, const std::string& meshAttributes = "");

} // namespace locwriter
