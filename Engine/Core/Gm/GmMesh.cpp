#include "Engine/Core/Gm/GmMesh.h"

#include "Engine/Core/Common/GeLittleEndian.h"
#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GePath.h"
#include "Engine/Core/Common/GeSimd.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmD3dTables.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmIndexBuffer.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmVertexBuffer.h"
#include "Engine/Core/Gm/GmResCollector.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <unordered_map>
#include <vector>

namespace {

// Header fields of a ".gemesh" file.
struct GemeshHeader {
    uint32_t version, flags, vertexCount, vertexOffset, vertexBytes;
    uint32_t indexSize, indexCount, indexOffset, indexBytes;
    uint32_t rangeCount, rangeOffset;
    uint32_t neighbourOffset = 0, neighbourFlag = 0;
};

constexpr uint32_t kRangeRecordBytes = 20;

void CopyBytes(void* to, const void* from, size_t n)
{
    if (g_pGeSimd)
        g_pGeSimd->Memcpy(to, from, n);
    else
        memcpy(to, from, n);
}

bool InsideFile(uint64_t offset, uint64_t size, uint32_t fileSize)
{
    return offset <= fileSize && size <= fileSize - offset;
}

// Indices a range of a primitive type draws.
uint64_t IndicesOfRange(const CGmDrawRange& range)
{
    const uint64_t n = range.primitiveCount;
    switch (range.primitiveType) {
    case 1: // point list
        return n;
    case 2: // line list
        return 2 * n;
    case 3: // line strip
        return n ? n + 1 : 0;
    case 4: // triangle list
        return 3 * n;
    case 5: // triangle strip
    case 6: // triangle fan
        return n ? n + 2 : 0;
    default:
        return 0;
    }
}

uint32_t IndexAt(const uint8_t* data, uint32_t indexSize, uint64_t i)
{
    return indexSize == 2 ? ReadLe16(data + 2 * i) : ReadLe32(data + 4 * i);
}

// Checks a ".gemesh" file whole; null when it can be used, else the reason.
const char* CheckGemesh(const CGeFileData& file, GemeshHeader& h)
{
    const uint8_t* d = file.data;
    if (file.size < kGemeshHeaderBytes)
        return "header cut short";
    h.version = ReadLe32(d + 4);
    h.flags = ReadLe32(d + 8);
    h.vertexCount = ReadLe32(d + 12);
    h.vertexOffset = ReadLe32(d + 16);
    h.vertexBytes = ReadLe32(d + 20);
    h.indexSize = d[24];
    h.indexCount = ReadLe32(d + 25);
    h.indexOffset = ReadLe32(d + 29);
    h.indexBytes = ReadLe32(d + 33);
    h.rangeCount = ReadLe32(d + 37);
    h.rangeOffset = ReadLe32(d + 41);
    if (h.version >= 3) {
        if (file.size < kGemeshHeaderBytesV3)
            return "header cut short";
        h.neighbourOffset = ReadLe32(d + 61);
        h.neighbourFlag = ReadLe32(d + 65);
    }
    if (h.vertexCount == 0)
        return "no vertices";
    const GmVertexLayout layout = GmComputeVertexLayout(h.flags);
    if (uint64_t(h.vertexCount) * layout.stride != h.vertexBytes)
        return "vertex data size is not count x stride";
    if (!InsideFile(h.vertexOffset, h.vertexBytes, file.size))
        return "vertex data outside the file";
    if (h.indexCount) {
        if (h.indexSize != 2 && h.indexSize != 4)
            return "index size is neither 2 nor 4";
        if (uint64_t(h.indexCount) * h.indexSize != h.indexBytes)
            return "index data size is not count x index size";
        if (!InsideFile(h.indexOffset, h.indexBytes, file.size))
            return "index data outside the file";
        for (uint32_t i = 0; i < h.indexCount; ++i) {
            if (IndexAt(d + h.indexOffset, h.indexSize, i) >= h.vertexCount)
                return "index beyond the vertex count";
        }
    }
    if (!InsideFile(h.rangeOffset, uint64_t(h.rangeCount) * kRangeRecordBytes, file.size))
        return "draw ranges outside the file";
    for (uint32_t r = 0; r < h.rangeCount; ++r) {
        const uint8_t* p = d + h.rangeOffset + r * kRangeRecordBytes;
        CGmDrawRange range{ReadLe32(p), ReadLe32(p + 4), ReadLe32(p + 8), ReadLe32(p + 12), ReadLe32(p + 16)};
        if (uint64_t(range.minVertex) + range.vertexCount > h.vertexCount)
            return "draw range beyond the vertices";
        if (h.indexCount && uint64_t(range.startIndex) + IndicesOfRange(range) > h.indexCount)
            return "draw range beyond the indices";
    }
    if (h.version >= 3 && h.neighbourFlag) {
        uint64_t at = h.neighbourOffset;
        for (uint32_t r = 0; r < h.rangeCount; ++r) {
            if (!InsideFile(at, 4, file.size))
                return "neighbour block outside the file";
            const uint32_t n = ReadLe32(d + at);
            at += 4;
            if (!InsideFile(at, uint64_t(n) * 12, file.size))
                return "neighbour block outside the file";
            const uint8_t* p = d + at;
            const uint8_t* rangeRecord = d + h.rangeOffset + r * kRangeRecordBytes;
            if (ReadLe32(rangeRecord) == 4 && n != ReadLe32(rangeRecord + 16))
                return "neighbour count differs from the range's triangles";
            for (uint64_t i = 0; i < uint64_t(n) * 3; ++i) {
                const uint32_t v = ReadLe32(p + 4 * i);
                if (v != kGmNoNeighbour && v >= n)
                    return "neighbour beyond its range";
            }
            at += uint64_t(n) * 12;
        }
    }
    return nullptr;
}

Vec3 PositionOf(const uint8_t* vertices, const GmVertexLayout& layout, uint32_t i)
{
    Vec3 p;
    memcpy(&p, vertices + size_t(i) * layout.stride + layout.position, sizeof(p));
    return p;
}

bool Near(const Vec3& a, const Vec3& b)
{
    return std::fabs(a.x - b.x) <= kGmNeighbourTolerance && std::fabs(a.y - b.y) <= kGmNeighbourTolerance &&
           std::fabs(a.z - b.z) <= kGmNeighbourTolerance;
}

// A grid of cells twice the tolerance wide: two corners within the tolerance
// lie in the same or adjacent cells.
constexpr float kCellSize = 2.0f * kGmNeighbourTolerance;

int32_t CellOf(float v)
{
    const float c = std::floor(v / kCellSize);
    // Far-out or broken coordinates share the edge cells: more candidates to
    // compare, never a missed one.
    if (!(c > -1048575.0f))
        return -1048575;
    if (!(c < 1048575.0f))
        return 1048575;
    return int32_t(c);
}

uint64_t CellKey(int32_t x, int32_t y, int32_t z)
{
    return (uint64_t(uint32_t(x + 1048576) & 0x1FFFFF) << 42) | (uint64_t(uint32_t(y + 1048576) & 0x1FFFFF) << 21) |
           uint64_t(uint32_t(z + 1048576) & 0x1FFFFF);
}

// The neighbours of one triangle-list range: for each vertex used, the sorted
// triangles that have a corner near it; an edge's neighbour is the first
// triangle other than itself in both lists of its corners.
void RangeNeighbours(const uint8_t* vertices, const GmVertexLayout& layout, const uint8_t* indexData,
                     uint32_t indexSize, uint32_t startIndex, uint32_t triangles, CGeArray<CGmTriangleNeighbours>& out,
                     bool& open)
{
    auto corner = [&](uint32_t t, uint32_t k) { return IndexAt(indexData, indexSize, uint64_t(startIndex) + 3 * t + k); };

    // Corners by cell.
    std::vector<std::pair<uint64_t, uint32_t>> cells;
    cells.reserve(size_t(triangles) * 3);
    for (uint32_t t = 0; t < triangles; ++t) {
        for (uint32_t k = 0; k < 3; ++k) {
            const Vec3 p = PositionOf(vertices, layout, corner(t, k));
            cells.emplace_back(CellKey(CellOf(p.x), CellOf(p.y), CellOf(p.z)), t);
        }
    }
    std::sort(cells.begin(), cells.end());
    cells.erase(std::unique(cells.begin(), cells.end()), cells.end());
    std::unordered_map<uint64_t, std::pair<uint32_t, uint32_t>> cellRanges;
    cellRanges.reserve(cells.size());
    for (uint32_t i = 0; i < cells.size();) {
        uint32_t j = i;
        while (j < cells.size() && cells[j].first == cells[i].first)
            ++j;
        cellRanges.emplace(cells[i].first, std::make_pair(i, j));
        i = j;
    }

    // Near lists per vertex index used, made on first need.
    std::unordered_map<uint32_t, std::vector<uint32_t>> nearLists;
    nearLists.reserve(size_t(triangles) * 2);
    auto nearOf = [&](uint32_t v) -> const std::vector<uint32_t>& {
        auto found = nearLists.find(v);
        if (found != nearLists.end())
            return found->second;
        std::vector<uint32_t>& list = nearLists[v];
        const Vec3 p = PositionOf(vertices, layout, v);
        const int32_t cx = CellOf(p.x), cy = CellOf(p.y), cz = CellOf(p.z);
        for (int32_t dx = -1; dx <= 1; ++dx) {
            for (int32_t dy = -1; dy <= 1; ++dy) {
                for (int32_t dz = -1; dz <= 1; ++dz) {
                    auto cell = cellRanges.find(CellKey(cx + dx, cy + dy, cz + dz));
                    if (cell == cellRanges.end())
                        continue;
                    for (uint32_t i = cell->second.first; i < cell->second.second; ++i) {
                        const uint32_t u = cells[i].second;
                        if (Near(PositionOf(vertices, layout, corner(u, 0)), p) ||
                            Near(PositionOf(vertices, layout, corner(u, 1)), p) ||
                            Near(PositionOf(vertices, layout, corner(u, 2)), p))
                            list.push_back(u);
                    }
                }
            }
        }
        std::sort(list.begin(), list.end());
        list.erase(std::unique(list.begin(), list.end()), list.end());
        return list;
    };

    out.InsertGap(0, triangles);
    for (uint32_t t = 0; t < triangles; ++t) {
        for (uint32_t e = 0; e < 3; ++e) {
            const std::vector<uint32_t>& a = nearOf(corner(t, e));
            const std::vector<uint32_t>& b = nearOf(corner(t, (e + 1) % 3));
            uint32_t found = kGmNoNeighbour;
            for (size_t i = 0, j = 0; i < a.size() && j < b.size();) {
                if (a[i] < b[j]) {
                    ++i;
                } else if (b[j] < a[i]) {
                    ++j;
                } else {
                    if (a[i] != t) {
                        found = a[i];
                        break;
                    }
                    ++i;
                    ++j;
                }
            }
            out[t].across[e] = found;
            if (found == kGmNoNeighbour)
                open = true;
        }
    }
}

} // namespace

// ---------------------------------------------------------------------------
// GmMeshBounds

void GmMeshBounds::Reset()
{
    *this = GmMeshBounds();
}

void GmMeshBounds::AddToBox(const Vec3& p)
{
    boxMin = {std::min(boxMin.x, p.x), std::min(boxMin.y, p.y), std::min(boxMin.z, p.z)};
    boxMax = {std::max(boxMax.x, p.x), std::max(boxMax.y, p.y), std::max(boxMax.z, p.z)};
}

void GmMeshBounds::GrowSphere(const Vec3& p)
{
    Vec3 d = {p.x - centre.x, p.y - centre.y, p.z - centre.z};
    const float squared = d.LengthSquared();
    if (!(squared > radius * radius))
        return;
    const float length = std::sqrt(squared);
    const Vec3 u = {d.x / length, d.y / length, d.z / length};
    const Vec3 far = {centre.x - u.x * radius, centre.y - u.y * radius, centre.z - u.z * radius};
    centre = {(p.x + far.x) * 0.5f, (p.y + far.y) * 0.5f, (p.z + far.z) * 0.5f};
    radius = (length + radius) * 0.5f;
}

// ---------------------------------------------------------------------------
// CGmMesh

CGmMesh::CGmMesh()
{
    subTypeId = GE_RES_MESH;
}

CGmMesh::~CGmMesh()
{
    ReleaseBuffers();
}

void CGmMesh::ReleaseBuffers()
{
    if (vertexBuffer)
        vertexBuffer->Release();
    vertexBuffer = nullptr;
    if (indexBuffer)
        indexBuffer->Release();
    indexBuffer = nullptr;
}

bool CGmMesh::Load(const CGeFileData& file)
{
    if (!file.data || !file.size)
        return false;
    const CGeString extension = ToLowerString(GetPathExtension(file.path));
    if (extension == "xml")
        return LoadXml(file);
    if (extension == "gemesh")
        return LoadGemesh(file);
    return false;
}

bool CGmMesh::LoadGemesh(const CGeFileData& file)
{
    if (file.size < 4 || ReadLe32(file.data) != kGemeshSignature)
        return false;
    GemeshHeader h;
    if (const char* reason = CheckGemesh(file, h)) {
        GeLog(1, "CGmMesh: %s refused: %s\n", file.path.c_str(), reason);
        return false;
    }
    const uint8_t* d = file.data;

    if (vertexBuffer)
        vertexBuffer->Release();
    vertexBuffer = new CGmVertexBuffer(h.flags, h.vertexCount);
    vertexBuffer->LockRange(0, 0);
    CopyBytes(vertexBuffer->m_lockPointer, d + h.vertexOffset, h.vertexBytes);
    vertexBuffer->Unlock();

    if (indexBuffer)
        indexBuffer->Release();
    indexBuffer = nullptr;
    if (h.indexCount) {
        indexBuffer = new CGmIndexBuffer(h.indexSize, h.indexCount);
        indexBuffer->LockRange(0, 0);
        memcpy(indexBuffer->m_lockPointer, d + h.indexOffset, h.indexBytes);
        indexBuffer->Unlock();
    }

    drawRanges.Clear();
    drawRanges.InsertGap(0, h.rangeCount);
    for (uint32_t r = 0; r < h.rangeCount; ++r) {
        const uint8_t* p = d + h.rangeOffset + r * kRangeRecordBytes;
        drawRanges[r] = {ReadLe32(p), ReadLe32(p + 4), ReadLe32(p + 8), ReadLe32(p + 12), ReadLe32(p + 16)};
    }

    neighbours.Clear();
    hasNeighbours = 0;
    if (h.version >= 3 && h.neighbourFlag) {
        uint64_t at = h.neighbourOffset;
        for (uint32_t r = 0; r < h.rangeCount; ++r) {
            const uint32_t n = ReadLe32(d + at);
            at += 4;
            CGeArray<CGmTriangleNeighbours> list;
            list.InsertGap(0, n);
            for (uint32_t t = 0; t < n; ++t) {
                for (uint32_t e = 0; e < 3; ++e)
                    list[t].across[e] = ReadLe32(d + at + 12 * uint64_t(t) + 4 * e);
            }
            at += uint64_t(n) * 12;
            neighbours.Add(std::move(list));
        }
        hasNeighbours = 1;
    }
    ComputeBounds();
    return true;
}

void CGmMesh::CreateBuffers(uint32_t flags, uint32_t vertexCount, uint32_t bytesPerIndex, uint32_t indexCount)
{
    ReleaseBuffers();
    vertexBuffer = new CGmVertexBuffer(flags, vertexCount);
    if (indexCount)
        indexBuffer = new CGmIndexBuffer(bytesPerIndex, indexCount);
}

void CGmMesh::ComputeBounds()
{
    bounds.Reset();
    if (!vertexBuffer || !vertexBuffer->GetData() || !vertexBuffer->Count() ||
        !(vertexBuffer->Flags() & GE_VEF_XYZ))
        return;
    const GmVertexLayout& layout = vertexBuffer->Layout();
    const uint8_t* vertices = vertexBuffer->GetData();
    bounds.centre = PositionOf(vertices, layout, 0);
    for (uint32_t i = 0; i < vertexBuffer->Count(); ++i) {
        const Vec3 p = PositionOf(vertices, layout, i);
        bounds.AddToBox(p);
        if (i > 0)
            bounds.GrowSphere(p);
    }
}

bool CGmMesh::BuildNeighbours()
{
    neighbours.Clear();
    hasNeighbours = 0;
    if (!indexBuffer || !indexBuffer->Count() || !vertexBuffer)
        return false;
    bool open = false;
    for (const CGmDrawRange& range : drawRanges) {
        if (range.primitiveType == 2)
            continue;
        CGeArray<CGmTriangleNeighbours> list;
        // Ranges made in code are not checked like file ranges: one that
        // reaches past the indices gets no neighbours.
        if (range.primitiveType == 4 &&
            uint64_t(range.startIndex) + 3 * uint64_t(range.primitiveCount) <= indexBuffer->Count())
            RangeNeighbours(vertexBuffer->GetData(), vertexBuffer->Layout(), indexBuffer->GetData(),
                            indexBuffer->IndexSize(), range.startIndex, range.primitiveCount, list, open);
        neighbours.Add(std::move(list));
    }
    hasNeighbours = 1;
    if (open)
        GeLog(2, "CGmMesh:Some face has no neighbours! %s", rescollect::GetMeshName(this).c_str());
    return true;
}

void CGmMesh::UploadFirstRange()
{
    if (drawRanges.IsEmpty())
        return;
    const CGmDrawRange& range = drawRanges[0];
    if (vertexBuffer && range.vertexCount && vertexBuffer->LockRange(range.minVertex, range.vertexCount))
        vertexBuffer->Unlock();
    uint32_t n = 0;
    if (range.primitiveType == 4)
        n = 3 * range.primitiveCount;
    else if (range.primitiveType == 5 || range.primitiveType == 6)
        n = range.primitiveCount + 2;
    if (indexBuffer && n && indexBuffer->LockRange(range.startIndex, n))
        indexBuffer->Unlock();
}

bool IsSkeletalMeshFile(const CGeFileData& file)
{
    if (!file.data)
        return false;
    const CGeString extension = ToLowerString(GetPathExtension(file.path));
    if (extension == "xml") {
        static const uint8_t kWord[] = {'S', 'K', 'E', 'L', 'E', 'T', 'A', 'L'};
        const uint8_t* end = file.data + file.size;
        return std::search(static_cast<const uint8_t*>(file.data), end, kWord, kWord + 8) != end;
    }
    if (extension == "gemesh")
        return file.size >= kGemeshSkeletalOffset + 4 && ReadLe32(file.data) == kGemeshSignature &&
               ReadLe32(file.data + kGemeshSkeletalOffset) != 0;
    return false;
}
