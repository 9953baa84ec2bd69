#include "tests/fuzz/MeshLoaderFuzz.h"

#include "Engine/Core/Common/GeCpuInfo.h"
#include "Engine/Core/Common/GeSimd.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmIndexBuffer.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmVertexBuffer.h"
#include "Engine/Core/Gm/GmMesh.h"

#include <cmath>
#include <cstring>

namespace {

uint32_t IndexAt(const CGmIndexBuffer& buffer, uint64_t i)
{
    if (buffer.IndexSize() == 2) {
        uint16_t v;
        std::memcpy(&v, buffer.GetData() + 2 * i, 2);
        return v;
    }
    uint32_t v;
    std::memcpy(&v, buffer.GetData() + 4 * i, 4);
    return v;
}

void CheckNeighbours(const CGmMesh& mesh, FuzzOutcome& outcome)
{
    for (const auto& list : mesh.neighbours) {
        for (const CGmTriangleNeighbours& t : list) {
            for (uint32_t across : t.across)
                FUZZ_EXPECT(outcome, across == kGmNoNeighbour || across < list.Count());
        }
    }
}

} // namespace

FuzzOutcome RunMeshLoaderFuzz(const uint8_t* data, size_t size)
{
    // Buffers copy through the program-wide kernel object.
    if (!g_pGeCpuInfo)
        GeCpuProbeCreate();
    if (!g_pGeSimd)
        GeSimdCreate();
    FuzzOutcome outcome;
    CGmMesh mesh;
    CGeFileData file;
    file.path = "fuzz.gemesh";
    file.data = const_cast<uint8_t*>(data);
    file.size = uint32_t(size);
    outcome.taken = size > 0 && mesh.Load(file);
    const bool signed_ = size >= 4 && data[0] == 'G' && data[1] == 'E' && data[2] == 'M' && data[3] == 1;
    if (!signed_)
        FUZZ_EXPECT(outcome, !outcome.taken);
    if (!outcome.taken) {
        FUZZ_EXPECT(outcome, !mesh.vertexBuffer && !mesh.indexBuffer && mesh.drawRanges.IsEmpty());
        return outcome;
    }
    const CGmVertexBuffer* vb = mesh.vertexBuffer;
    FUZZ_EXPECT(outcome, vb && vb->Count() > 0 && vb->GetData());
    if (!vb)
        return outcome;
    const CGmIndexBuffer* ib = mesh.indexBuffer;
    if (ib) {
        FUZZ_EXPECT(outcome, ib->IndexSize() == 2 || ib->IndexSize() == 4);
        for (uint32_t i = 0; i < ib->Count(); ++i)
            FUZZ_EXPECT(outcome, IndexAt(*ib, i) < vb->Count());
    }
    for (const CGmDrawRange& range : mesh.drawRanges) {
        FUZZ_EXPECT(outcome, uint64_t(range.minVertex) + range.vertexCount <= vb->Count());
        if (ib && range.primitiveType == 4)
            FUZZ_EXPECT(outcome, uint64_t(range.startIndex) + 3 * uint64_t(range.primitiveCount) <= ib->Count());
    }
    CheckNeighbours(mesh, outcome);
    const GmMeshBounds& b = mesh.bounds;
    const bool empty = b.boxMin.x == 1e30f && b.boxMax.x == -1e30f;
    const bool hasNan = std::isnan(b.boxMin.x) || std::isnan(b.boxMax.x) || std::isnan(b.radius);
    FUZZ_EXPECT(outcome, empty || (b.boxMin.x <= b.boxMax.x && b.boxMin.y <= b.boxMax.y && b.boxMin.z <= b.boxMax.z) ||
                             hasNan); // NaN positions in the file carry through; they must not fault
    // The search is kept to meshes a fuzzer runs through quickly.
    if (ib && ib->Count() <= 3 * 4096) {
        if (mesh.BuildNeighbours()) {
            FUZZ_EXPECT(outcome, mesh.hasNeighbours == 1);
            CheckNeighbours(mesh, outcome);
        }
    }
    return outcome;
}

int FuzzMeshLoader(const uint8_t* data, size_t size)
{
    return FuzzVerdict(RunMeshLoaderFuzz(data, size), "MeshLoaderFuzz.cpp");
}
