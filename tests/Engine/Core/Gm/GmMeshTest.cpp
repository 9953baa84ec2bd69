// Meshes from ".gemesh" and GE_MESH files: buffers, draw ranges, neighbour
// blocks, bounds, the refusal of damaged files, the XML vertex layout and the
// neighbour search against a plain all-pairs model.
#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GeRandom.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmIndexBuffer.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmVertexBuffer.h"
#include "Engine/Core/Gm/GmMesh.h"
#include "MeshFixtures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

using namespace meshfixture;

namespace {

std::vector<uint8_t> Text(const std::string& s)
{
    return std::vector<uint8_t>(s.begin(), s.end());
}

bool LoadFrom(CGmMesh& mesh, const std::string& path, const Bytes& bytes)
{
    return mesh.Load(FileOver(path, bytes));
}

template <typename T>
T At(const CGmMesh& mesh, uint32_t vertex, uint32_t offset)
{
    T value;
    memcpy(&value, mesh.vertexBuffer->GetData() + vertex * mesh.vertexBuffer->Stride() + offset, sizeof(T));
    return value;
}

// The neighbour rule as written: the first other triangle, in index order,
// with a corner near each of the edge's corners.
std::vector<CGmTriangleNeighbours> AllPairsNeighbours(const std::vector<float>& xyz,
                                                      const std::vector<uint32_t>& indices)
{
    auto near = [&](uint32_t a, uint32_t b) {
        for (int c = 0; c < 3; ++c) {
            if (!(std::fabs(xyz[3 * a + c] - xyz[3 * b + c]) <= kGmNeighbourTolerance))
                return false;
        }
        return true;
    };
    const uint32_t n = uint32_t(indices.size() / 3);
    std::vector<CGmTriangleNeighbours> out(n);
    for (uint32_t t = 0; t < n; ++t) {
        for (uint32_t e = 0; e < 3; ++e) {
            const uint32_t p0 = indices[3 * t + e], p1 = indices[3 * t + (e + 1) % 3];
            out[t].across[e] = kGmNoNeighbour;
            for (uint32_t u = 0; u < n; ++u) {
                if (u == t)
                    continue;
                bool has0 = false, has1 = false;
                for (uint32_t k = 0; k < 3; ++k) {
                    has0 = has0 || near(indices[3 * u + k], p0);
                    has1 = has1 || near(indices[3 * u + k], p1);
                }
                if (has0 && has1) {
                    out[t].across[e] = u;
                    break;
                }
            }
        }
    }
    return out;
}

} // namespace

// Every layout's vertex bytes, both index sizes, several ranges and the
// neighbour block of version 3 arrive as written.
TEST(GmMesh, GemeshLoadsBuffersRangesAndNeighbours)
{
    const uint32_t layouts[] = {0x1, 0x141, 0x1341, 0x12241, 0x3 | 0x100 | 0x1000, 0x28 | 0x1 | 0x40 | 0x1000};
    for (uint32_t flags : layouts) {
        for (uint8_t indexSize : {uint8_t(2), uint8_t(4)}) {
            GemeshSpec spec = MakeCube();
            std::vector<float> xyz(24 * 3);
            for (uint32_t i = 0; i < 24; ++i) {
                const GmVertexLayout cube = GmComputeVertexLayout(0x1);
                memcpy(&xyz[3 * i], &spec.vertices[i * cube.stride], 12);
            }
            spec.flags = flags;
            SetPositions(spec, xyz);
            for (size_t i = 0; i < spec.vertices.size(); ++i) {
                if (i % GmComputeVertexLayout(flags).stride >= 12)
                    spec.vertices[i] = uint8_t(i * 7);
            }
            spec.indexSize = indexSize;
            spec.ranges = {{4, 0, 12, 0, 6}, {4, 12, 12, 18, 6}};
            spec.neighbours = {std::vector<CGmTriangleNeighbours>(6, {{1, kGmNoNeighbour, 5}}),
                               std::vector<CGmTriangleNeighbours>(6, {{0, 2, 3}})};
            const Bytes file = WriteGemesh(spec);
            CGmMesh mesh;
            ASSERT_TRUE(LoadFrom(mesh, "dir/cube.GEMESH", file)) << std::hex << flags;
            ASSERT_EQ(24u, mesh.vertexBuffer->Count());
            EXPECT_EQ(flags, mesh.vertexBuffer->Flags());
            EXPECT_EQ(0, memcmp(spec.vertices.data(), mesh.vertexBuffer->GetData(), spec.vertices.size()));
            ASSERT_NE(nullptr, mesh.indexBuffer);
            EXPECT_EQ(uint32_t(indexSize), mesh.indexBuffer->IndexSize());
            EXPECT_EQ(36u, mesh.indexBuffer->Count());
            ASSERT_EQ(2u, mesh.drawRanges.Count());
            EXPECT_EQ(18u, mesh.drawRanges[1].startIndex);
            EXPECT_EQ(12u, mesh.drawRanges[1].minVertex);
            ASSERT_EQ(1, mesh.hasNeighbours);
            EXPECT_EQ(5u, mesh.neighbours[0][3].across[2]);
            EXPECT_EQ(3u, mesh.neighbours[1][5].across[2]);
            EXPECT_EQ(0.0f, mesh.bounds.boxMin.x);
            EXPECT_EQ(1.0f, mesh.bounds.boxMax.z);
        }
    }
}

TEST(GmMesh, GemeshVersionsIndexlessAndSignature)
{
    GemeshSpec spec = MakeCube();
    spec.neighbours = {std::vector<CGmTriangleNeighbours>(12, {{kGmNoNeighbour, kGmNoNeighbour, kGmNoNeighbour}})};
    spec.version = 2; // the block is there but not read
    CGmMesh mesh;
    ASSERT_TRUE(LoadFrom(mesh, "v2.gemesh", WriteGemesh(spec)));
    EXPECT_EQ(0, mesh.hasNeighbours);
    EXPECT_EQ(0u, mesh.neighbours.Count());

    GemeshSpec noIndices = MakeCube();
    noIndices.indices.clear();
    noIndices.ranges = {{4, 0, 24, 0, 8}};
    ASSERT_TRUE(LoadFrom(mesh, "flat.gemesh", WriteGemesh(noIndices)));
    EXPECT_EQ(nullptr, mesh.indexBuffer);
    EXPECT_FALSE(mesh.BuildNeighbours());

    Bytes wrong = WriteGemesh(MakeCube());
    wrong[3] = 2;
    EXPECT_FALSE(LoadFrom(mesh, "wrong.gemesh", wrong));
    EXPECT_EQ(24u, mesh.vertexBuffer->Count()); // unchanged
    EXPECT_FALSE(LoadFrom(mesh, "cube.obj", WriteGemesh(MakeCube())));
    EXPECT_FALSE(LoadFrom(mesh, "empty.gemesh", Bytes()));
}

// Offsets, sizes and values that reach outside the file or the vertices are
// refused with a log line, and the mesh keeps what it had.
TEST(GmMesh, DamagedGemeshIsRefused)
{
    GemeshSpec cube = MakeCube();
    cube.neighbours = {std::vector<CGmTriangleNeighbours>(12, {{1, 2, kGmNoNeighbour}})};
    const Bytes good = WriteGemesh(cube);
    const uint32_t size = uint32_t(good.size());
    struct Damage {
        const char* what;
        uint32_t offset;
        uint32_t value;
    } damages[] = {
        {"vertex offset past the end", kOffVertexOffset, size},
        {"vertex offset wraps", kOffVertexOffset, 0xFFFFFFF0},
        {"vertex size not count x stride", kOffVertexBytes, 24 * 12 - 1},
        {"vertex count larger", kOffVertexCount, 25},
        {"no vertices", kOffVertexCount, 0},
        {"index offset past the end", kOffIndexOffset, size - 10},
        {"index count larger", kOffIndexCount, 37},
        {"range offset past the end", kOffRangeOffset, size - 4},
        {"range count huge", kOffRangeCount, 0x10000000},
        {"neighbour block past the end", kOffNeighbourOffset, size - 2},
        {"range past the indices", 69 + 24 * 12 + 36 * 2 + 16, 13},      // primitive count
        {"range past the vertices", 69 + 24 * 12 + 36 * 2 + 8, 25},      // vertex count
        {"index beyond the vertices", 69 + 24 * 12, 24},                  // first index (16 bits)
        {"neighbour beyond its range", 69 + 24 * 12 + 36 * 2 + 20 + 4, 12}, // first neighbour
        {"neighbour count differs", 69 + 24 * 12 + 36 * 2 + 20, 11},
    };
    for (const Damage& d : damages) {
        Bytes bad = good;
        if (d.offset == 69 + 24 * 12) {
            bad[d.offset] = uint8_t(d.value);
            bad[d.offset + 1] = 0;
        } else {
            PokeLe32(bad, d.offset, d.value);
        }
        CGmMesh mesh;
        ASSERT_TRUE(LoadFrom(mesh, "m.gemesh", good));
        GeLogClearLast();
        EXPECT_FALSE(LoadFrom(mesh, "m.gemesh", bad)) << d.what;
        EXPECT_EQ(1, GeLogLastLevel()) << d.what;
        EXPECT_EQ(24u, mesh.vertexBuffer->Count()) << d.what;
        EXPECT_EQ(1u, mesh.drawRanges.Count()) << d.what;
    }
    // Every cut of the file is refused, never read past.
    for (uint32_t cut = 0; cut < size; cut += 7) {
        CGmMesh mesh;
        EXPECT_FALSE(LoadFrom(mesh, "m.gemesh", Bytes(good.begin(), good.begin() + cut))) << cut;
    }
}

TEST(GmMesh, SkeletalFileTest)
{
    GemeshSpec spec = MakeCube();
    spec.skeletal = 1;
    EXPECT_TRUE(IsSkeletalMeshFile(FileOver("a/b.GEMESH", WriteGemesh(spec))));
    spec.skeletal = 0;
    EXPECT_FALSE(IsSkeletalMeshFile(FileOver("a/b.gemesh", WriteGemesh(spec))));
    EXPECT_FALSE(IsSkeletalMeshFile(FileOver("a/b.gemesh", Bytes(20, 0))));
    EXPECT_TRUE(IsSkeletalMeshFile(FileOver("b.xml", Text("<GE_MESH Type=\"SKELETAL\"/>"))));
    EXPECT_FALSE(IsSkeletalMeshFile(FileOver("b.xml", Text("<GE_MESH Type=\"skeletal\"/>"))));
    EXPECT_FALSE(IsSkeletalMeshFile(FileOver("b.txt", Text("SKELETAL"))));
}

TEST(GmMesh, XmlLayoutAndValues)
{
    const std::string xml = WriteGeMeshXml(
        {"XYZ=\"0 0 0\" Normal=\"0 0 2\" Diffuse=\"1 1 0 0\" Specular=\"0 1 0 0.5\" UV=\"0.5 0.25\" UV2=\"1 2\" "
         "Weights=\"2 2\" Joints=\"3 7\"",
         "XYZ=\"4 0 0\" Weights=\"0 0\"", "XYZ=\"0 2 0\""},
        {{0, 1, 2}, {2, 1, 0, 1, 2, 2}, {}}, "Type=\"SKELETAL\" Name=\"rig\" MaxBonePerVertexCount=\"2\"");
    CGmMesh mesh;
    ASSERT_TRUE(LoadFrom(mesh, "rig.xml", Text(xml)));
    const uint32_t flags = 0x1 | 0x40 | 0x100 | 0x200 | 0x3000 | 0x28;
    ASSERT_EQ(flags, mesh.vertexBuffer->Flags());
    const GmVertexLayout& l = mesh.vertexBuffer->Layout();
    EXPECT_EQ(1.0f, At<float>(mesh, 0, l.normal + 8)); // normalised
    EXPECT_EQ(0xFFFF0000u, At<uint32_t>(mesh, 0, l.diffuse));  // alpha, red, green, blue
    EXPECT_EQ(0x8000FF00u, At<uint32_t>(mesh, 0, l.specular)); // red, green, blue, alpha
    EXPECT_EQ(0.5f, At<float>(mesh, 0, l.texCoords));
    EXPECT_EQ(2.0f, At<float>(mesh, 0, l.texCoords + 2 * 8 + 4));
    EXPECT_EQ(0.5f, At<float>(mesh, 0, l.blend));
    EXPECT_EQ(0xFFFF0703u, At<uint32_t>(mesh, 0, l.lastBlend)); // joints after the weights
    EXPECT_EQ(0.0f, At<float>(mesh, 1, l.blend));               // a zero sum keeps zeros
    EXPECT_EQ(2u, mesh.indexBuffer->IndexSize());
    ASSERT_EQ(3u, mesh.drawRanges.Count());
    EXPECT_EQ(3u, mesh.drawRanges[1].startIndex);
    EXPECT_EQ(2u, mesh.drawRanges[1].primitiveCount);
    EXPECT_EQ(0u, mesh.drawRanges[1].minVertex);
    EXPECT_EQ(3u, mesh.drawRanges[1].vertexCount);
    EXPECT_EQ(0u, mesh.drawRanges[2].primitiveCount);
    EXPECT_EQ(4.0f, mesh.bounds.boxMax.x);
    EXPECT_EQ(2.0f, mesh.bounds.boxMax.y);

    // No UV at all still gives one set; weights of 2 and 2 become halves.
    CGmMesh plain;
    ASSERT_TRUE(LoadFrom(plain, "p.xml", Text(WriteGeMeshXml({"XYZ=\"0 0 0\"", "XYZ=\"1 0 0\"", "XYZ=\"0 1 0\""},
                                                             {{0, 1, 2}}))));
    EXPECT_EQ(0x1001u, plain.vertexBuffer->Flags());
}

TEST(GmMesh, XmlRefusals)
{
    const std::vector<std::string> three = {"XYZ=\"0 0 0\"", "XYZ=\"1 0 0\"", "XYZ=\"0 1 0\""};
    const std::string cases[] = {
        "<OTHER/>",
        WriteGeMeshXml(three, {{0, 1, 2}}, "Type=\"STATIC\""),
        "<GE_MESH Type=\"GENERIC\"><VERTEX_DATA/><VERTEX_DATA/><INDEX_DATA/></GE_MESH>",
        "<GE_MESH Type=\"GENERIC\"><VERTEX_DATA><VERTEX XYZ=\"0 0 0\"/></VERTEX_DATA></GE_MESH>",
        "<GE_MESH Type=\"GENERIC\"><VERTEX_DATA/><INDEX_DATA><FACE VERTS=\"0 0 0\"/></INDEX_DATA></GE_MESH>",
        WriteGeMeshXml(three, {{}}),
        WriteGeMeshXml(three, {{0, 1, 3}}), // a vertex that is not there
        "not xml at all <<<",
    };
    for (const std::string& text : cases) {
        CGmMesh mesh;
        EXPECT_FALSE(LoadFrom(mesh, "bad.xml", Text(text))) << text;
    }
}

// The index size switches to 32 bits at 65535 vertices.
TEST(GmMesh, XmlIndexSizeBoundary)
{
    for (uint32_t count : {65534u, 65535u}) {
        std::vector<std::string> vertices(count, "XYZ=\"1 2 3\"");
        CGmMesh mesh;
        ASSERT_TRUE(LoadFrom(mesh, "big.xml", Text(WriteGeMeshXml(vertices, {{0, count - 1, 1}}))));
        EXPECT_EQ(count < 65535 ? 2u : 4u, mesh.indexBuffer->IndexSize()) << count;
        EXPECT_EQ(count, mesh.drawRanges[0].vertexCount);
    }
}

TEST(GmMesh, BoundsGrowTheSphere)
{
    GemeshSpec spec = MakeGrid(1);
    SetPositions(spec, {0, 0, 0, 2, 0, 0, 1, 0, 0, -2, 0, 0});
    spec.indices = {0, 1, 2};
    spec.ranges = {{4, 0, 4, 0, 1}};
    CGmMesh mesh;
    ASSERT_TRUE(LoadFrom(mesh, "s.gemesh", WriteGemesh(spec)));
    // From (0,0,0) r 0: (2,0,0) gives centre 1 r 1; (1,0,0) is inside;
    // (-2,0,0) is 3 away: the far side (2,0,0) and the point give centre 0
    // and radius (3 + 1) / 2.
    EXPECT_FLOAT_EQ(0.0f, mesh.bounds.centre.x);
    EXPECT_FLOAT_EQ(2.0f, mesh.bounds.radius);
    EXPECT_EQ(-2.0f, mesh.bounds.boxMin.x);
    EXPECT_EQ(2.0f, mesh.bounds.boxMax.x);
}

TEST(GmMesh, NeighboursWithinTolerance)
{
    for (float shift : {0.005f, 0.02f}) {
        GemeshSpec spec = MakeGrid(1);
        // Two triangles sharing the edge (1,0)-(0,1), the second's copy of
        // the corners shifted in x.
        SetPositions(spec, {0, 0, 0, 1, 0, 0, 0, 1, 0, 1 + shift, 0, 0, 1, 1, 0, shift, 1, 0});
        spec.indices = {0, 1, 2, 3, 4, 5};
        spec.ranges = {{4, 0, 6, 0, 2}};
        CGmMesh mesh;
        ASSERT_TRUE(LoadFrom(mesh, "pair.gemesh", WriteGemesh(spec)));
        ASSERT_TRUE(mesh.BuildNeighbours());
        const uint32_t expected = shift < 0.01f ? 1u : kGmNoNeighbour;
        EXPECT_EQ(expected, mesh.neighbours[0][0].across[1]) << shift;
    }
}

TEST(GmMesh, OpenMeshesAreLogged)
{
    CGmMesh cube;
    ASSERT_TRUE(LoadFrom(cube, "cube.gemesh", WriteGemesh(MakeCube())));
    GeLogClearLast();
    ASSERT_TRUE(cube.BuildNeighbours());
    EXPECT_EQ(0, GeLogLastLevel());
    for (uint32_t t = 0; t < 12; ++t) {
        for (uint32_t e = 0; e < 3; ++e)
            EXPECT_NE(kGmNoNeighbour, cube.neighbours[0][t].across[e]);
    }
    CGmMesh quad;
    ASSERT_TRUE(LoadFrom(quad, "quad.gemesh", WriteGemesh(MakeGrid(1))));
    ASSERT_TRUE(quad.BuildNeighbours());
    EXPECT_EQ(2, GeLogLastLevel());
    EXPECT_STREQ("CGmMesh:Some face has no neighbours! ", GeLogLastMessage().c_str());
    EXPECT_EQ(1u, quad.neighbours[0][0].across[1]);
}

// The grid search gives what the all-pairs rule gives, on jittered meshes
// with duplicated corners, several ranges and a line list between them.
TEST(GmMesh, NeighboursMatchTheAllPairsRule)
{
    GeSrand(7);
    for (int round = 0; round < 6; ++round) {
        const uint32_t n = 6 + round;
        GemeshSpec spec = MakeGrid(n);
        // Unshare every corner and jitter it by up to 0.012, so that some
        // edges fall just inside and some just outside the tolerance.
        std::vector<float> xyz;
        std::vector<uint32_t> indices;
        const GmVertexLayout layout = GmComputeVertexLayout(0x1);
        for (uint32_t i = 0; i < spec.indices.size(); ++i) {
            float p[3];
            memcpy(p, &spec.vertices[spec.indices[i] * layout.stride], 12);
            for (float& c : p)
                c += (float(GeRand() % 2401) - 1200.0f) * 0.00001f;
            xyz.insert(xyz.end(), p, p + 3);
            indices.push_back(i);
        }
        GemeshSpec jittered;
        SetPositions(jittered, xyz);
        jittered.indexSize = 4;
        jittered.indices = indices;
        const uint32_t triangles = uint32_t(indices.size() / 3), half = triangles / 2;
        jittered.ranges = {{4, 0, jittered.vertexCount, 0, half},
                           {2, 0, 2, 0, 1},
                           {4, 0, jittered.vertexCount, 3 * half, triangles - half}};
        CGmMesh mesh;
        ASSERT_TRUE(LoadFrom(mesh, "j.gemesh", WriteGemesh(jittered)));
        ASSERT_TRUE(mesh.BuildNeighbours());
        ASSERT_EQ(2u, mesh.neighbours.Count()); // the line list gets none
        const std::vector<uint32_t> first(indices.begin(), indices.begin() + 3 * half);
        const std::vector<uint32_t> second(indices.begin() + 3 * half, indices.end());
        const std::vector<CGmTriangleNeighbours> expected[2] = {AllPairsNeighbours(xyz, first),
                                                               AllPairsNeighbours(xyz, second)};
        for (uint32_t r = 0; r < 2; ++r) {
            ASSERT_EQ(expected[r].size(), mesh.neighbours[r].Count());
            for (uint32_t t = 0; t < expected[r].size(); ++t) {
                for (uint32_t e = 0; e < 3; ++e)
                    ASSERT_EQ(expected[r][t].across[e], mesh.neighbours[r][t].across[e])
                        << "round " << round << " range " << r << " triangle " << t << " edge " << e;
            }
        }
    }
}

TEST(GmMesh, UploadFirstRangeMarksItsVerticesAndIndices)
{
    GemeshSpec spec = MakeCube();
    spec.ranges = {{4, 4, 8, 6, 4}, {4, 0, 24, 0, 12}};
    CGmMesh mesh;
    ASSERT_TRUE(LoadFrom(mesh, "c.gemesh", WriteGemesh(spec)));
    CGmVertexBuffer* vb = mesh.vertexBuffer;
    CGmIndexBuffer* ib = mesh.indexBuffer;
    mesh.UploadFirstRange();
    EXPECT_EQ(4u * vb->Stride(), vb->m_lockOffset);
    EXPECT_EQ(8u * vb->Stride(), vb->m_lockSize);
    EXPECT_EQ(6u * 2, ib->m_lockOffset);
    EXPECT_EQ(12u * 2, ib->m_lockSize);

    mesh.CreateBuffers(0x142, 10, 4, 0);
    EXPECT_EQ(10u, mesh.vertexBuffer->Count());
    EXPECT_EQ(nullptr, mesh.indexBuffer);
}
