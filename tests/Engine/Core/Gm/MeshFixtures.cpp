#include "MeshFixtures.h"

#include "Engine/Core/Gm/GLibLoc/D3d/GmVertexLayout.h"

#include <cstring>

namespace meshfixture {

namespace {

void PutLe32(Bytes& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(uint8_t(v >> (8 * i)));
}

}  // namespace

void PokeLe32(Bytes& bytes, uint32_t offset, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[offset + i] = uint8_t(value >> (8 * i));
}

Bytes WriteGemesh(const GemeshSpec& spec)
{
    const uint32_t header = kGemeshHeaderBytesV3;
    const uint32_t vertexOffset = header;
    const uint32_t vertexBytes = uint32_t(spec.vertices.size());
    const uint32_t indexOffset = vertexOffset + vertexBytes;
    const uint32_t indexBytes = uint32_t(spec.indices.size()) * spec.indexSize;
    const uint32_t rangeOffset = indexOffset + indexBytes;
    const uint32_t neighbourOffset = rangeOffset + uint32_t(spec.ranges.size()) * 20;

    Bytes out;
    PutLe32(out, kGemeshSignature);
    PutLe32(out, spec.version);
    PutLe32(out, spec.flags);
    PutLe32(out, spec.vertexCount);
    PutLe32(out, vertexOffset);
    PutLe32(out, vertexBytes);
    out.push_back(spec.indexSize);
    PutLe32(out, uint32_t(spec.indices.size()));
    PutLe32(out, indexOffset);
    PutLe32(out, indexBytes);
    PutLe32(out, uint32_t(spec.ranges.size()));
    PutLe32(out, rangeOffset);
    out.resize(61, 0);
    PokeLe32(out, kGemeshSkeletalOffset, spec.skeletal ? spec.skeletal : uint32_t(spec.joints.size()));
    PutLe32(out, neighbourOffset);
    PutLe32(out, spec.neighbours.empty() ? 0 : 1);
    out.insert(out.end(), spec.vertices.begin(), spec.vertices.end());
    for (uint32_t index : spec.indices) {
        for (uint32_t i = 0; i < spec.indexSize; ++i)
            out.push_back(uint8_t(index >> (8 * i)));
    }
    for (const CGmDrawRange& r : spec.ranges) {
        PutLe32(out, r.primitiveType);
        PutLe32(out, r.minVertex);
        PutLe32(out, r.vertexCount);
        PutLe32(out, r.startIndex);
        PutLe32(out, r.primitiveCount);
    }
    for (const auto& list : spec.neighbours) {
        PutLe32(out, uint32_t(list.size()));
        for (const CGmTriangleNeighbours& t : list) {
            for (uint32_t e = 0; e < 3; ++e)
                PutLe32(out, t.across[e]);
        }
    }
    if (!spec.joints.empty())
        PokeLe32(out, kOffJointOffset, uint32_t(out.size()));
    auto putFloats = [&out](const float* f, int n) {
        for (int i = 0; i < n; ++i) {
            uint32_t bits;
            memcpy(&bits, &f[i], 4);
            PutLe32(out, bits);
        }
    };
    for (const GemeshJoint& joint : spec.joints) {
        if (spec.version == 1) {
            putFloats(joint.rotation, 4);
            putFloats(joint.position, 3);
        } else {
            putFloats(joint.position, 3);
            PutLe32(out, 0);
            putFloats(joint.rotation, 4);
        }
        if (spec.version == 1)
            PutLe32(out, 0);
        PutLe32(out, uint32_t(joint.parent));
    }
    return out;
}

void SetPositions(GemeshSpec& spec, const std::vector<float>& xyz)
{
    const GmVertexLayout layout = GmComputeVertexLayout(spec.flags);
    spec.vertexCount = uint32_t(xyz.size() / 3);
    spec.vertices.assign(size_t(spec.vertexCount) * layout.stride, 0);
    for (uint32_t i = 0; i < spec.vertexCount; ++i)
        memcpy(&spec.vertices[size_t(i) * layout.stride + layout.position], &xyz[3 * i], 12);
}

GemeshSpec MakeGrid(uint32_t n, uint8_t indexSize)
{
    GemeshSpec spec;
    spec.indexSize = indexSize;
    std::vector<float> xyz;
    for (uint32_t y = 0; y <= n; ++y) {
        for (uint32_t x = 0; x <= n; ++x) {
            xyz.push_back(float(x));
            xyz.push_back(float(y));
            xyz.push_back(0.0f);
        }
    }
    SetPositions(spec, xyz);
    for (uint32_t y = 0; y < n; ++y) {
        for (uint32_t x = 0; x < n; ++x) {
            const uint32_t a = y * (n + 1) + x, b = a + 1, c = a + n + 1, d = c + 1;
            spec.indices.insert(spec.indices.end(), {a, b, c, b, d, c});
        }
    }
    spec.ranges.push_back({4, 0, spec.vertexCount, 0, uint32_t(spec.indices.size() / 3)});
    return spec;
}

GemeshSpec MakeCube()
{
    GemeshSpec spec;
    std::vector<float> xyz;
    // Each face: its four corners, two triangles a b c, a c d.
    const float faces[6][4][3] = {
        {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, {{0, 0, 1}, {0, 1, 1}, {1, 1, 1}, {1, 0, 1}},
        {{0, 0, 0}, {0, 1, 0}, {0, 1, 1}, {0, 0, 1}}, {{1, 0, 0}, {1, 0, 1}, {1, 1, 1}, {1, 1, 0}},
        {{0, 0, 0}, {0, 0, 1}, {1, 0, 1}, {1, 0, 0}}, {{0, 1, 0}, {1, 1, 0}, {1, 1, 1}, {0, 1, 1}},
    };
    for (const auto& face : faces) {
        for (const auto& corner : face)
            xyz.insert(xyz.end(), {corner[0], corner[1], corner[2]});
    }
    SetPositions(spec, xyz);
    for (uint32_t f = 0; f < 6; ++f) {
        const uint32_t a = 4 * f;
        spec.indices.insert(spec.indices.end(), {a, a + 1, a + 2, a, a + 2, a + 3});
    }
    spec.ranges.push_back({4, 0, 24, 0, 12});
    return spec;
}

std::string WriteGeMeshXml(const std::vector<std::string>& vertexAttributes,
                           const std::vector<std::vector<uint32_t>>& faces, const std::string& rootAttributes)
{
    std::string text = "<GE_MESH " + rootAttributes + ">\n<VERTEX_DATA>\n";
    for (const std::string& v : vertexAttributes)
        text += "<VERTEX " + v + "/>\n";
    text += "</VERTEX_DATA>\n";
    for (const auto& range : faces) {
        text += "<INDEX_DATA>\n";
        for (size_t i = 0; i + 2 < range.size(); i += 3)
            text += "<FACE VERTS=\"" + std::to_string(range[i]) + " " + std::to_string(range[i + 1]) + " " +
                    std::to_string(range[i + 2]) + "\"/>\n";
        text += "</INDEX_DATA>\n";
    }
    text += "</GE_MESH>\n";
    return text;
}

CGeFileData FileOver(const std::string& path, const Bytes& bytes)
{
    CGeFileData file;
    file.path = path.c_str();
    file.data = const_cast<uint8_t*>(bytes.data());
    file.size = uint32_t(bytes.size());
    return file;
}

}  // namespace meshfixture
