// A static triangle mesh as a GPU resource: one vertex buffer, one index
// buffer, a draw range per material subset, optional per-triangle edge
// neighbours (for shadow volumes) and local bounds (a box and a sphere).
//
// Meshes come from packed ".gemesh" files, whose vertex and index bytes are
// already in the device's layout and are copied as blocks, or from GE_MESH XML
// files, read vertex by vertex. A ".gemesh" file is checked whole before
// anything changes: every offset and size must lie inside the file, the
// vertex bytes must be count x stride, the index bytes count x index size,
// every index below the vertex count, every draw range inside the buffers and
// every neighbour inside its range; a file that fails is refused with a log
// line. GE_MESH faces that name a vertex beyond the list are refused too.
//
// BuildNeighbours finds, for each edge of each triangle, the first other
// triangle of the same range (in index order) that has a corner within 0.01
// (per coordinate) of each of the edge's two corners. It buckets corners in a
// grid instead of comparing every pair of triangles, with the same result.
#pragma once

#include "Engine/Core/Common/GeArray.h"
#include "Engine/Core/Common/GeFileData.h"
#include "Engine/Core/Common/GeMath.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmGpuResource.h"

#include <cstdint>

class CGmIndexBuffer;
class CGmVertexBuffer;

// The ".gemesh" signature: "GEM" and 0x01.
constexpr uint32_t kGemeshSignature = 0x014D4547;
// Header bytes read up to the draw-range offset, and with the neighbour fields
// of version 3 and later.
constexpr uint32_t kGemeshHeaderBytes = 45;
constexpr uint32_t kGemeshHeaderBytesV3 = 69;
// Where IsSkeletalMeshFile looks for the skeletal flag.
constexpr uint32_t kGemeshSkeletalOffset = 49;
// A triangle with no neighbour across an edge.
constexpr uint32_t kGmNoNeighbour = 0xFFFFFFFF;
// Positions closer than this on every axis are the same corner.
constexpr float kGmNeighbourTolerance = 0.01f;

struct CGmDrawRange {
    uint32_t primitiveType = 4; // D3DPRIMITIVETYPE: 4 triangle list
    uint32_t minVertex = 0;
    uint32_t vertexCount = 0;
    uint32_t startIndex = 0;
    uint32_t primitiveCount = 0;
};

// Triangles across edges 0-1, 1-2 and 2-0, counted from the range's first.
struct CGmTriangleNeighbours {
    uint32_t across[3];
};

// Local bounds: a box (empty: min +1e30, max -1e30) and a sphere.
struct GmMeshBounds {
    Vec3 boxMin = {1e30f, 1e30f, 1e30f};
    Vec3 boxMax = {-1e30f, -1e30f, -1e30f};
    Vec3 centre = {0, 0, 0};
    float radius = 0.0f;

    void Reset();
    void AddToBox(const Vec3& p);
    // Grows the sphere to hold p: a point strictly outside moves the centre
    // half-way and the radius becomes (|d| + radius) / 2.
    void GrowSphere(const Vec3& p);
};

class CGmMesh : public CGeResource {
public:
    CGmMesh();
    ~CGmMesh() override;

    // By the extension of the file's path: "xml" LoadXml, "gemesh"
    // LoadGemesh; false for no data or another extension.
    virtual bool Load(const CGeFileData& file);
    bool LoadGemesh(const CGeFileData& file);
    bool LoadXml(const CGeFileData& file);

    // Releases the buffers and makes new, empty ones (no index buffer for an
    // index count of 0).
    void CreateBuffers(uint32_t flags, uint32_t vertexCount, uint32_t bytesPerIndex, uint32_t indexCount);
    // False (and no neighbours) when there are no indices.
    bool BuildNeighbours();
    void ComputeBounds();
    // Marks the first range's vertices and indices for upload.
    void UploadFirstRange();

    CGmVertexBuffer* vertexBuffer = nullptr;
    CGmIndexBuffer* indexBuffer = nullptr;
    CGeArray<CGmDrawRange> drawRanges;
    CGeArray<CGeArray<CGmTriangleNeighbours>> neighbours;
    uint8_t hasNeighbours = 0;
    GmMeshBounds bounds;

private:
    void ReleaseBuffers();
};

// Whether mesh data is skeletal: ".xml" files that contain "SKELETAL", and
// ".gemesh" files with the signature whose 32-bit value at byte 49 is not 0.
bool IsSkeletalMeshFile(const CGeFileData& file);
