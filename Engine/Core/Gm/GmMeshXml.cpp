// GE_MESH files: one VERTEX_DATA of VERTEX elements and one or more
// INDEX_DATA elements of FACE triangles, each INDEX_DATA a draw range. The
// layout comes from the attributes of the first VERTEX; every vertex gets at
// least one texture-coordinate set. Weights are divided by their sum (a sum
// of 0 keeps the zeros), and the index size is 16 bits below 65535 vertices.
#include "Engine/Core/Gm/GmMesh.h"

#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GeXml.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmD3dTables.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmIndexBuffer.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmVertexBuffer.h"

#include <algorithm>
#include <cstring>

namespace {

// "UV" for set 0, "UV1" ... "UV7" for the others.
void SetName(char (&name)[8], uint32_t k)
{
    name[0] = 'U';
    name[1] = 'V';
    name[2] = k == 0 ? '\0' : char('0' + k % 10);
    name[3] = '\0';
}

uint32_t FlagsOfFirstVertex(TiXmlElement* root, TiXmlElement* vertex)
{
    uint32_t flags = 0;
    if (vertex->Attribute("XYZ"))
        flags |= GE_VEF_XYZ;
    if (vertex->Attribute("XYZW"))
        flags |= GE_VEF_XYZ | GE_VEF_XYZRHW;
    if (vertex->Attribute("Normal"))
        flags |= GE_VEF_NORMAL;
    if (vertex->Attribute("Diffuse"))
        flags |= GE_VEF_DIFFUSE;
    if (vertex->Attribute("Specular"))
        flags |= GE_VEF_SPECULAR;
    uint32_t sets = 1;
    for (uint32_t i = 7; i >= 1; --i) {
        char name[8];
        SetName(name, i);
        if (vertex->Attribute(name)) {
            sets = i + 1;
            break;
        }
    }
    flags |= sets << 12;
    int bones = 0;
    if (root->Attribute("MaxBonePerVertexCount", &bones) && bones >= 1 && bones <= 4)
        flags |= 0x20 + 4 * uint32_t(bones);
    return flags;
}

uint32_t PackColour(const CGeArray<float>& v, int a, int r, int g, int b)
{
    auto at = [&v](int i) { return i < int(v.Count()) ? v[i] : 0.0f; };
    return ColorToArgb(at(r), at(g), at(b), at(a));
}

} // namespace

bool CGmMesh::LoadXml(const CGeFileData& file)
{
    TiXmlDocument document;
    XmlParseDocumentText(file.data, file.size, document);
    hasNeighbours = 0;
    TiXmlElement* root = document.FirstChildElement("GE_MESH");
    const char* meshName = root && root->Attribute("Name") ? root->Attribute("Name") : file.path.c_str();
    auto refuse = [meshName](const char* reason) {
        GeTrace("CGmMesh::LoadXml: %s: %s", meshName, reason);
        return false;
    };
    if (!root)
        return refuse("no GE_MESH element");
    const char* type = root->Attribute("Type");
    if (!type || (strcmp(type, "GENERIC") != 0 && strcmp(type, "SKELETAL") != 0))
        return refuse("Type is neither GENERIC nor SKELETAL");
    if (XmlCountChildren(root, "VERTEX_DATA") != 1)
        return refuse("not exactly one VERTEX_DATA");
    TiXmlElement* vertexData = root->FirstChildElement("VERTEX_DATA");
    if (!root->FirstChildElement("INDEX_DATA"))
        return refuse("no INDEX_DATA");
    TiXmlElement* firstVertex = vertexData->FirstChildElement("VERTEX");
    if (!firstVertex)
        return refuse("no VERTEX");
    uint32_t faceCount = 0;
    for (TiXmlElement* data = root->FirstChildElement("INDEX_DATA"); data;
         data = data->NextSiblingElement("INDEX_DATA"))
        faceCount += XmlCountChildren(data, "FACE");
    if (faceCount == 0)
        return refuse("no FACE");
    const uint32_t vertexCount = XmlCountChildren(vertexData, "VERTEX");

    // Faces are checked before anything changes: an index beyond the vertex
    // list would make every later reader of the mesh read past its vertices.
    CGeArray<double> numbers;
    for (TiXmlElement* data = root->FirstChildElement("INDEX_DATA"); data;
         data = data->NextSiblingElement("INDEX_DATA")) {
        for (TiXmlElement* face = data->FirstChildElement("FACE"); face; face = face->NextSiblingElement("FACE")) {
            XmlParseNumber(face->Attribute("VERTS") ? face->Attribute("VERTS") : "", numbers);
            for (uint32_t k = 0; k < 3; ++k) {
                const double v = k < numbers.Count() ? numbers[k] : 0.0;
                if (!(v >= 0.0 && v < double(vertexCount))) {
                    GeLog(1, "CGmMesh: %s refused: face index beyond the vertices\n", meshName);
                    return false;
                }
            }
        }
    }

    const uint32_t flags = FlagsOfFirstVertex(root, firstVertex);
    if (vertexBuffer)
        vertexBuffer->Release();
    bounds.Reset();
    XmlHandle handle;
    handle.reportMissing = 0;
    vertexBuffer = new CGmVertexBuffer(flags, vertexCount);
    vertexBuffer->LockRange(0, 0);
    const GmVertexLayout& layout = vertexBuffer->Layout();
    const uint32_t blendCode = (flags & GE_VEF_BLEND_MASK) >> 2;
    CGeArray<float> values;
    uint32_t index = 0;
    for (TiXmlElement* vertex = firstVertex; vertex; vertex = vertex->NextSiblingElement("VERTEX"), ++index) {
        uint8_t* out = vertexBuffer->m_lockPointer + size_t(index) * layout.stride;
        handle.element = vertex;
        auto readFloats = [&](const char* name) {
            values.Clear();
            const char* text = vertex->Attribute(name);
            return text ? XmlParseFloatList(text, values) : 0u;
        };
        if (vertex->Attribute("XYZ")) {
            const Vec4 p = XmlGetVector3("XYZ", handle);
            const Vec3 position = {p.x, p.y, p.z};
            memcpy(out + layout.position, &position, 12);
            bounds.AddToBox(position);
            bounds.GrowSphere(position);
        }
        if (vertex->Attribute("XYZW") && (flags & GE_VEF_XYZRHW)) {
            const Vec4 p = XmlGetVector4("XYZW", handle);
            memcpy(out + layout.position, &p, 12);
            memcpy(out + layout.rhw, &p.w, 4);
        }
        if (vertex->Attribute("Normal") && (flags & GE_VEF_NORMAL)) {
            const Vec4 n = XmlGetVector3("Normal", handle);
            Vec3 normal = {n.x, n.y, n.z};
            normal.Normalize();
            memcpy(out + layout.normal, &normal, 12);
        }
        if ((flags & GE_VEF_DIFFUSE) && readFloats("Diffuse")) {
            const uint32_t argb = PackColour(values, 0, 1, 2, 3); // alpha first
            memcpy(out + layout.diffuse, &argb, 4);
        }
        if ((flags & GE_VEF_SPECULAR) && readFloats("Specular")) {
            const uint32_t argb = PackColour(values, 3, 0, 1, 2); // red first
            memcpy(out + layout.specular, &argb, 4);
        }
        for (uint32_t k = 0; k < layout.texSetCount; ++k) {
            char name[8];
            SetName(name, k);
            if (!vertex->Attribute(name))
                continue;
            const Vec2 uv = XmlGetVector2(name, handle);
            memcpy(out + layout.texCoords + k * layout.texSetBytes, &uv, 8);
        }
        if (blendCode && readFloats("Weights")) {
            float sum = 0.0f;
            for (uint32_t i = 0; i < values.Count(); ++i)
                sum += values[i];
            for (uint32_t i = 0; i < blendCode; ++i) {
                float w = i < values.Count() ? values[i] : 0.0f;
                if (sum != 0.0f)
                    w /= sum;
                memcpy(out + layout.blend + 4 * i, &w, 4);
            }
        }
        if ((flags & GE_VEF_LASTBETA_UBYTE4) && blendCode && vertex->Attribute("Joints")) {
            CGeArray<double> joints;
            XmlParseNumber(vertex->Attribute("Joints"), joints); // present: tested above
            uint8_t word[4] = {0xFF, 0xFF, 0xFF, 0xFF};
            for (uint32_t i = 0; i < joints.Count() && i < 4; ++i)
                word[i] = uint8_t(int64_t(joints[i]) & 0xFF);
            memcpy(out + layout.lastBlend, word, 4);
        }
    }
    vertexBuffer->Unlock();

    if (indexBuffer)
        indexBuffer->Release();
    indexBuffer = new CGmIndexBuffer(vertexCount < 0xFFFF ? 2 : 4, 3 * faceCount);
    indexBuffer->LockRange(0, 0);
    uint8_t* indices = indexBuffer->m_lockPointer;
    const uint32_t indexSize = indexBuffer->IndexSize();
    drawRanges.Clear();
    uint32_t written = 0;
    for (TiXmlElement* data = root->FirstChildElement("INDEX_DATA"); data;
         data = data->NextSiblingElement("INDEX_DATA")) {
        CGmDrawRange range;
        range.startIndex = written;
        uint32_t lowest = 0xFFFFFFFF, highest = 0;
        for (TiXmlElement* face = data->FirstChildElement("FACE"); face; face = face->NextSiblingElement("FACE")) {
            XmlParseNumber(face->Attribute("VERTS") ? face->Attribute("VERTS") : "", numbers);
            for (uint32_t k = 0; k < 3; ++k) {
                const uint32_t v = uint32_t(k < numbers.Count() ? numbers[k] : 0.0);
                if (indexSize == 2) {
                    const uint16_t v16 = uint16_t(v);
                    memcpy(indices + 2 * size_t(written), &v16, 2);
                } else {
                    memcpy(indices + 4 * size_t(written), &v, 4);
                }
                ++written;
                lowest = std::min(lowest, v);
                highest = std::max(highest, v);
            }
            ++range.primitiveCount;
        }
        if (range.primitiveCount) {
            range.minVertex = lowest;
            range.vertexCount = highest - lowest + 1;
        }
        drawRanges.Add(range);
    }
    indexBuffer->Unlock();
    return true;
}
