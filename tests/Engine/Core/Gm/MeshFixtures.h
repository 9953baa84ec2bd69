// Writers of mesh files for the mesh and collector tests and the mesh
// benchmark: ".gemesh" files of any layout, index size, draw ranges and
// neighbour blocks, GE_MESH XML text, and generated shapes (a grid of quads
// of any size, a closed cube).
#pragma once

#include "Engine/Core/Gm/GmMesh.h"
#include "tools/animwrite/SkeletonJoint.h"

#include <cstdint>
#include <string>
#include <vector>

namespace meshfixture {

using Bytes = std::vector<uint8_t>;

// One skeleton joint as a ".gemesh" file stores it (the record the skeleton
// writers share).
using GemeshJoint = SkeletonJoint;

struct GemeshSpec {
    uint32_t version = 3;
    uint32_t flags = 0x1;        // engine vertex-element flags
    uint32_t vertexCount = 0;
    Bytes vertices;              // vertexCount x stride bytes, device layout
    uint8_t indexSize = 2;
    std::vector<uint32_t> indices;
    std::vector<CGmDrawRange> ranges;
    // One list per range; written (with the flag set) when not empty.
    std::vector<std::vector<CGmTriangleNeighbours>> neighbours;
    uint32_t skeletal = 0;       // the word at byte 49 (the joint count when joints are given)
    // Written after everything else, their offset at byte 53; version 1
    // files store each joint's rotation before its position.
    std::vector<GemeshJoint> joints;
};

// Header (69 bytes), vertices, indices, draw ranges, neighbour block, joints.
Bytes WriteGemesh(const GemeshSpec& spec);

// Header field offsets, for tests that damage a file.
enum : uint32_t {
    kOffVertexCount = 12,
    kOffVertexOffset = 16,
    kOffVertexBytes = 20,
    kOffIndexSize = 24,
    kOffIndexCount = 25,
    kOffIndexOffset = 29,
    kOffIndexBytes = 33,
    kOffRangeCount = 37,
    kOffRangeOffset = 41,
    kOffNeighbourOffset = 61,
    kOffNeighbourFlag = 65,
    kOffJointCount = 49,
    kOffJointOffset = 53,
};
void PokeLe32(Bytes& bytes, uint32_t offset, uint32_t value);

// Positions only (flags 0x1): n x n quads in the z = 0 plane, two triangles
// each, one triangle-list range; 2 n^2 triangles.
GemeshSpec MakeGrid(uint32_t n, uint8_t indexSize = 4);
// A closed cube of 12 triangles with 24 vertices (4 per face), one range.
GemeshSpec MakeCube();

// Positions of a spec's vertices (flags with 0x1 at offset 0).
void SetPositions(GemeshSpec& spec, const std::vector<float>& xyz);

// A GE_MESH file with one VERTEX per entry of vertexAttributes (written as
// given) and one INDEX_DATA per entry of faces (three indices a face).
std::string WriteGeMeshXml(const std::vector<std::string>& vertexAttributes,
                           const std::vector<std::vector<uint32_t>>& faces, const std::string& rootAttributes =
                                                                                "Type=\"GENERIC\" Name=\"test\"");

// A file record over bytes kept by the caller (not freed by FreeFileData).
CGeFileData FileOver(const std::string& path, const Bytes& bytes);

}  // namespace meshfixture
