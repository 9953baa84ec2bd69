#include "Engine/Core/Gm/GmShadow.h"

#include "Engine/Core/Gm/GLibLoc/D3d/GmDeviceWrapper.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmIndexBuffer.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmVertexBuffer.h"
#include "Engine/Core/Gm/GeHub.h"
#include "Engine/Core/Gm/GmCamera.h"
#include "Engine/Core/Gm/GmMaterial.h"
#include "Engine/Core/Gm/GmScenicMesh.h"
#include "Engine/Core/Gm/GmSprite.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

uint8_t* g_shadowFaceBuffer = nullptr;
int32_t g_shadowMode = 0;
float g_shadowLightPosition[3] = {0.0f, 1000.0f, 0.0f};
uint32_t g_shadowColor = 0;
GmShadowQuad g_shadowQuads[kShadowMaxQuads];
uint32_t g_shadowQuadCount = 0;
GmShadowCaster CGmShadowQueue::s_entries[kShadowMaxCasters];
uint32_t CGmShadowQueue::s_count = 0;

namespace {

constexpr uint32_t kTriangleList = 4;
constexpr uint32_t kShadowMeshFlags = 0x101; // position and diffuse colour
constexpr float kExtrusion = 10.0f;

CGmMesh* s_shadowMesh = nullptr;
CGmSprite* s_shadowSprite = nullptr;

// One face of the subset being built, in the work buffer.
struct FaceRecord {
    uint8_t lit;
    uint8_t unused[3];
    Vec3 corners[3];
    Vec3 normal;
};
static_assert(sizeof(FaceRecord) == kShadowFaceRecordBytes, "52-byte face records");
static_assert(kShadowMaxFaces * kShadowFaceRecordBytes == kShadowFaceBufferSize, "the work buffer fits the faces");

uint32_t ChannelByte(float value)
{
    return uint32_t(std::min(std::max(value, 0.0f), 1.0f) * 255.0f + 0.5f);
}

uint32_t IndexAt(const CGmIndexBuffer& indices, uint32_t i)
{
    if (indices.IndexSize() == 4) {
        uint32_t value;
        memcpy(&value, indices.GetData() + size_t(i) * 4, 4);
        return value;
    }
    uint16_t value;
    memcpy(&value, indices.GetData() + size_t(i) * 2, 2);
    return value;
}

Vec3 Sub(const Vec3& a, const Vec3& b)
{
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}

void SetState(D3DRENDERSTATETYPE state, DWORD value)
{
    if (g_pGmDevice && g_pGmDevice->CanCall())
        g_pGmDevice->GetDevice()->SetRenderState(state, value);
}

} // namespace

bool CGmShadowQueue::Push(CGmScenicMesh* object, const Matrix4& world, CGmVertexBuffer* vertexSource)
{
    if (s_count >= kShadowMaxCasters)
        return false;
    GmShadowCaster& entry = s_entries[s_count++];
    entry.object = object;
    entry.world = world;
    memcpy(entry.light, g_shadowLightPosition, sizeof(entry.light));
    entry.vertexSource = vertexSource;
    return true;
}

void CGmShadowQueue::Flush()
{
    for (uint32_t i = 0; i < s_count; ++i)
        BuildSilhouette(s_entries[i]);
    s_count = 0;
}

void CGmShadowQueue::Forget(const CGmScenicMesh* object)
{
    uint32_t kept = 0;
    for (uint32_t i = 0; i < s_count; ++i)
        if (s_entries[i].object != object)
            s_entries[kept++] = s_entries[i];
    s_count = kept;
}

void BuildSilhouette(const GmShadowCaster& caster)
{
    const CGmScenicMesh* object = caster.object;
    const CGmMesh* mesh = object ? object->mesh : nullptr;
    if (!g_shadowFaceBuffer || !mesh || !mesh->hasNeighbours || !mesh->indexBuffer || !mesh->vertexBuffer)
        return;
    const CGmVertexBuffer& vertices = caster.vertexSource ? *caster.vertexSource : *mesh->vertexBuffer;
    const CGmIndexBuffer& indices = *mesh->indexBuffer;
    if (!vertices.GetData() || !indices.GetData())
        return;
    Matrix4 inverse;
    if (!MatrixInverse(caster.world, inverse))
        return;
    const Vec3 light = MatrixTransformPoint(inverse, {caster.light[0], caster.light[1], caster.light[2]});
    const GmVertexLayout& layout = vertices.Layout();
    FaceRecord* faces = reinterpret_cast<FaceRecord*>(g_shadowFaceBuffer);

    // Ranges of lines have no neighbour list.
    uint32_t neighbourList = 0;
    for (uint32_t r = 0; r < mesh->drawRanges.Count(); ++r) {
        const CGmDrawRange& range = mesh->drawRanges[r];
        if (range.primitiveType == 2)
            continue;
        const uint32_t list = neighbourList++;
        const CGmMaterial* material = object->GetPass(r);
        if (range.primitiveType != kTriangleList || !material || !material->castsShadows ||
            range.primitiveCount > kShadowMaxFaces || list >= mesh->neighbours.Count() ||
            mesh->neighbours[list].Count() < range.primitiveCount ||
            uint64_t(range.startIndex) + 3 * uint64_t(range.primitiveCount) > indices.Count())
            continue;
        const CGeArray<CGmTriangleNeighbours>& across = mesh->neighbours[list];

        memset(faces, 0, size_t(range.primitiveCount) * kShadowFaceRecordBytes);
        for (uint32_t f = 0; f < range.primitiveCount; ++f) {
            FaceRecord& face = faces[f];
            for (int k = 0; k < 3; ++k) {
                const uint32_t vertex = IndexAt(indices, range.startIndex + 3 * f + k);
                if (vertex >= vertices.Count())
                    return;
                memcpy(&face.corners[k], vertices.GetData() + size_t(vertex) * layout.stride + layout.position,
                       sizeof(Vec3));
            }
            face.normal = Vec3::Cross(Sub(face.corners[1], face.corners[0]), Sub(face.corners[2], face.corners[0]));
            face.lit = Vec3::Dot(face.normal, light) > 0.0f ? 1 : 0;
        }
        for (uint32_t f = 0; f < range.primitiveCount; ++f) {
            const FaceRecord& face = faces[f];
            if (!face.lit)
                continue;
            for (int e = 0; e < 3; ++e) {
                const uint32_t other = across[f].across[e];
                if (other != kGmNoNeighbour && other < range.primitiveCount && faces[other].lit)
                    continue;
                if (g_shadowQuadCount >= kShadowMaxQuads)
                    return;
                GmShadowQuad& quad = g_shadowQuads[g_shadowQuadCount++];
                quad.p0 = MatrixTransformPoint(caster.world, face.corners[e]);
                quad.p1 = MatrixTransformPoint(caster.world, face.corners[(e + 1) % 3]);
            }
        }
    }
}

void SetShadowLight(const float position[3], const float color[4])
{
    delete s_shadowSprite;
    s_shadowSprite = nullptr;
    for (int i = 0; i < 3; ++i)
        g_shadowLightPosition[i] = position[i];
    g_shadowMode = kShadowModeStencil;
    g_shadowColor = ChannelByte(color[3]) << 24 | ChannelByte(color[0]) << 16 | ChannelByte(color[1]) << 8 |
                    ChannelByte(color[2]);

    s_shadowSprite = new CGmSprite();
    s_shadowSprite->SetBlendMode(0);
    s_shadowSprite->SetColor(g_shadowColor & 0x00FFFFFF);
    s_shadowSprite->SetAlpha(uint8_t(g_shadowColor >> 24));
    CGmCamera* camera = CGeHub::s_cameras2d[CGeHub::s_currentSlot];
    if (camera)
        s_shadowSprite->SetSize(camera->boundWidth, camera->boundHeight);
    else if (g_pGmDevice)
        s_shadowSprite->SetSize(float(g_pGmDevice->BackBufferWidth()), float(g_pGmDevice->BackBufferHeight()));
}

void BuildShadowMesh()
{
    const uint32_t quads = g_shadowQuadCount;
    if (!quads || !g_shadowFaceBuffer)
        return;
    if (!s_shadowMesh) {
        s_shadowMesh = new CGmMesh();
        s_shadowMesh->CreateBuffers(kShadowMeshFlags, 4, 4, 6);
        CGmDrawRange range;
        range.primitiveType = kTriangleList;
        s_shadowMesh->drawRanges.Add(range);
    }
    CGmVertexBuffer& vb = *s_shadowMesh->vertexBuffer;
    CGmIndexBuffer& ib = *s_shadowMesh->indexBuffer;
    vb.Resize(4 * quads);
    ib.Resize(6 * quads);
    CGmDrawRange& range = s_shadowMesh->drawRanges[0];
    range.minVertex = 0;
    range.vertexCount = 4 * quads;
    range.startIndex = 0;
    range.primitiveCount = 2 * quads;
    if (!vb.LockRange(0, 0)) {
        s_shadowMesh->Release();
        s_shadowMesh = nullptr;
        return;
    }
    if (!ib.LockRange(0, 0)) {
        vb.Unlock();
        s_shadowMesh->Release();
        s_shadowMesh = nullptr;
        return;
    }
    struct Vertex {
        Vec3 p;
        uint32_t color;
    };
    Vertex* v = reinterpret_cast<Vertex*>(vb.m_lockPointer);
    uint32_t* index = reinterpret_cast<uint32_t*>(ib.m_lockPointer);
    const Vec3 light = {g_shadowLightPosition[0], g_shadowLightPosition[1], g_shadowLightPosition[2]};
    for (uint32_t q = 0; q < quads; ++q) {
        const Vec3& p0 = g_shadowQuads[q].p0;
        const Vec3& p1 = g_shadowQuads[q].p1;
        const Vec3 d0 = Sub(p0, light), d1 = Sub(p1, light);
        const uint32_t b = 4 * q;
        v[b] = {p0, 0};
        v[b + 1] = {p1, 0};
        v[b + 2] = {{p0.x + kExtrusion * d0.x, p0.y + kExtrusion * d0.y, p0.z + kExtrusion * d0.z}, 0};
        v[b + 3] = {{p1.x + kExtrusion * d1.x, p1.y + kExtrusion * d1.y, p1.z + kExtrusion * d1.z}, 0};
        const uint32_t triangles[6] = {b, b + 3, b + 2, b, b + 1, b + 3};
        memcpy(index + 6 * q, triangles, sizeof(triangles));
    }
    ib.Unlock();
    vb.Unlock();
}

void RenderShadowStencil()
{
    CGmDeviceWrapper* device = g_pGmDevice;
    if (!device || !s_shadowMesh || !s_shadowMesh->drawRanges[0].primitiveCount)
        return;
    device->ResetWorldTransform();
    device->SetZWriteEnable(0);
    device->SetLighting(0);
    SetState(D3DRS_ALPHABLENDENABLE, 0);
    SetState(D3DRS_ALPHATESTENABLE, 0);
    SetState(D3DRS_FILLMODE, D3DFILL_SOLID);
    SetState(D3DRS_VERTEXBLEND, 0);
    SetState(D3DRS_SRCBLEND, D3DBLEND_ZERO);
    SetState(D3DRS_DESTBLEND, D3DBLEND_ZERO);
    SetState(D3DRS_BLENDOP, D3DBLENDOP_ADD);
    SetState(D3DRS_COLORWRITEENABLE, 0);

    device->SetStencilEnable(1);
    SetState(D3DRS_STENCILREF, 0);
    SetState(D3DRS_STENCILFUNC, D3DCMP_ALWAYS);
    SetState(D3DRS_STENCILFAIL, D3DSTENCILOP_KEEP);
    SetState(D3DRS_STENCILPASS, D3DSTENCILOP_KEEP);
    SetState(D3DRS_STENCILZFAIL, D3DSTENCILOP_KEEP);
    SetState(D3DRS_STENCILMASK, 0xFFFFFFFF);
    SetState(D3DRS_STENCILWRITEMASK, 0xFFFFFFFF);

    s_shadowMesh->vertexBuffer->Bind();
    s_shadowMesh->indexBuffer->Bind();
    const CGmDrawRange& range = s_shadowMesh->drawRanges[0];
    // Faces towards the viewer count up, faces away count down: what stays
    // above 0 lies inside a shadow volume.
    device->SetCullMode(1);
    SetState(D3DRS_STENCILPASS, D3DSTENCILOP_INCR);
    device->DrawIndexedPrimitive(kTriangleList, 0, 0, range.vertexCount, 0, range.primitiveCount);
    device->SetCullMode(2);
    SetState(D3DRS_STENCILPASS, D3DSTENCILOP_DECR);
    device->DrawIndexedPrimitive(kTriangleList, 0, 0, range.vertexCount, 0, range.primitiveCount);

    SetState(D3DRS_STENCILFAIL, D3DSTENCILOP_KEEP);
    SetState(D3DRS_STENCILPASS, D3DSTENCILOP_KEEP);
    SetState(D3DRS_STENCILFUNC, D3DCMP_LESS);
    SetState(D3DRS_COLORWRITEENABLE, 0xF);
    SetState(D3DRS_ALPHABLENDENABLE, 1);
    device->SetZWriteEnable(1);
    SetState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    SetState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    SetState(D3DRS_BLENDOP, D3DBLENDOP_ADD);
    device->SetCullMode(0);
    if (s_shadowSprite)
        s_shadowSprite->Render();

    SetState(D3DRS_STENCILFUNC, D3DCMP_ALWAYS);
    SetState(D3DRS_STENCILFAIL, D3DSTENCILOP_KEEP);
    SetState(D3DRS_STENCILPASS, D3DSTENCILOP_KEEP);
    device->SetStencilEnable(0);
    SetState(D3DRS_STENCILMASK, 0);
    SetState(D3DRS_STENCILWRITEMASK, 0);
}

CGmMesh* GetShadowMesh()
{
    return s_shadowMesh;
}

CGmSprite* GetShadowSprite()
{
    return s_shadowSprite;
}

void ReleaseShadowResources()
{
    free(g_shadowFaceBuffer);
    g_shadowFaceBuffer = nullptr;
    if (s_shadowMesh)
        s_shadowMesh->Release();
    s_shadowMesh = nullptr;
    delete s_shadowSprite;
    s_shadowSprite = nullptr;
    CGmShadowQueue::s_count = 0;
    g_shadowQuadCount = 0;
}
