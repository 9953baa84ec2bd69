#include "Source/GameClasses/QmSkySphere.h"

#include "Engine/Core/Common/GeTimer.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmDeviceWrapper.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmIndexBuffer.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmVertexBuffer.h"
#include "Engine/Core/Gm/GeHub.h"
#include "Engine/Core/Gm/GmCamera.h"
#include "Engine/Core/Gm/GmResCollector.h"
#include "Engine/Core/Gm/GmTexture.h"
#include "Source/GameClasses/QmGameProcessor.h"

#include <algorithm>
#include <cmath>

namespace {

const uint32_t kRings = 8;
const uint32_t kRingVertices = 24;
const float kLastRingAngle = 0.4712389f;
const float kTwoPi = 6.28318530718f;

D3DMATRIX TextureTranslation(float offset)
{
    D3DMATRIX m = {};
    m._11 = m._22 = m._33 = m._44 = 1.0f;
    m._31 = offset;
    m._32 = offset;
    return m;
}

} // namespace

CQmSkySphere::CQmSkySphere(const Vec4& centre, float scrollSpeed, const Vec4& rim, const char* texturePath)
    : centreColour(centre), rimColour(rim), speed(scrollSpeed)
{
    if (texturePath && *texturePath) {
        bool found = false;
        texture = rescollect::LoadTexture(g_dataRoot + texturePath, false, &found);
        if (texture && !found) {
            texture->Release();
            texture = nullptr;
        }
    }
    // The dome's matrix is written whole each frame (turn, pitch, camera
    // position): an Euler frame would rebuild it from its own fields, which
    // stay at the origin, and leave the dome below a raised camera.
    frame.SetComposeMode(CGeFrame3D::COMPOSE_FIXED);
    vertices = new CGmVertexBuffer(kQmSkyVertexFlags, kVertices);
    indices = new CGmIndexBuffer(2, kTriangles * 3);
    auto* index = reinterpret_cast<uint16_t*>(indices->GetData());
    uint32_t n = 0;
    for (uint32_t j = 0; j < kRingVertices; ++j) {
        index[n++] = 0;
        index[n++] = uint16_t(j + 1);
        index[n++] = uint16_t((j + 1) % kRingVertices + 1);
    }
    for (uint32_t k = 1; k < kRings; ++k) {
        const uint32_t ring = kRingVertices * (k - 1) + 1;
        const uint32_t next = ring + kRingVertices;
        for (uint32_t j = 0; j < kRingVertices; ++j) {
            const uint32_t j1 = (j + 1) % kRingVertices;
            index[n++] = uint16_t(ring + j);
            index[n++] = uint16_t(next + j);
            index[n++] = uint16_t(next + j1);
            index[n++] = uint16_t(ring + j);
            index[n++] = uint16_t(next + j1);
            index[n++] = uint16_t(ring + j1);
        }
    }
    indices->LockRange(0, kTriangles * 3);
    indices->Unlock();
    BuildVertices();
}

CQmSkySphere::~CQmSkySphere()
{
    if (texture)
        texture->Release();
    delete indices;
    delete vertices;
}

const QmSkyVertex* CQmSkySphere::Vertices() const
{
    return reinterpret_cast<const QmSkyVertex*>(vertices->GetData());
}

const uint16_t* CQmSkySphere::Indices() const
{
    return reinterpret_cast<const uint16_t*>(indices->GetData());
}

void CQmSkySphere::BuildVertices()
{
    auto* v = reinterpret_cast<QmSkyVertex*>(vertices->GetData());
    auto place = [&](QmSkyVertex& vertex, float polar, float azimuth) {
        const float r = kRadius * std::sin(polar);
        vertex.x = -r * std::cos(azimuth);
        vertex.y = kRadius * std::cos(polar) - kDrop;
        vertex.z = r * std::sin(azimuth);
        vertex.u = (vertex.x / kRadius + scroll + 0.5f) * 3.0f * tiling;
        vertex.v = (vertex.z / kRadius + scroll + 0.5f) * 3.0f * tiling;
        const float f = std::min((vertex.x * vertex.x + vertex.z * vertex.z) / 900000.0f, 1.0f);
        const float g = 1.0f - f;
        vertex.colour = ColorToArgb(centreColour.x * g + rimColour.x * f, centreColour.y * g + rimColour.y * f,
                                    centreColour.z * g + rimColour.z * f, 0.9f * g);
    };
    place(v[0], 0.0f, 0.0f);
    for (uint32_t r = 1; r <= kRings; ++r)
        for (uint32_t j = 0; j < kRingVertices; ++j)
            place(v[kRingVertices * (r - 1) + j + 1], r * kLastRingAngle * 0.125f, j * kTwoPi / kRingVertices);
    vertices->LockRange(0, kVertices);
    vertices->Unlock();
}

void CQmSkySphere::Update()
{
    if (!texture || !active)
        return;
    scroll += (g_geTimer ? g_geTimer->delta : 0.0f) * speed;
    if (scroll > 1.0f)
        scroll -= std::floor(scroll);
}

void CQmSkySphere::Render()
{
    CGmCamera* camera = CGeHub::s_cameras3d[CGeHub::s_currentSlot];
    CGmDeviceWrapper* wrapper = g_pGmDevice;
    if (!texture || !active || !camera || !wrapper || !wrapper->GetDevice())
        return;
    Update();

    Matrix4 world = MatrixRotationY(angle);
    if (pitch != 0.0f) {
        Vec3 axis = {camera->frame.world.m[0], 0.0f, camera->frame.world.m[8]};
        axis.Normalize();
        world = MatrixMultiply4x4(MatrixFromAxisAngle(axis, pitch), world);
        camera->frame.Invalidate();
    }
    const Matrix4& eye = camera->frame.world;
    world.m[3] += eye.m[3];
    world.m[7] += eye.m[7];
    world.m[11] += eye.m[11];
    frame.SetMatrix(world);
    frame.UpdateWorldMatrix();

    IDirect3DDevice9* device = wrapper->GetDevice();
    texture->Bind(0);
    vertices->Bind();
    indices->Bind();
    wrapper->SetFVF(kQmSkyVertexFlags);
    wrapper->SetTransform(frame.world.m, 0);
    device->SetPixelShader(nullptr);
    device->SetRenderState(D3DRS_COLORVERTEX, TRUE);
    device->SetRenderState(D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR1);
    wrapper->SetZEnable(0);
    wrapper->SetZWriteEnable(0);
    wrapper->SetLighting(0);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ZERO);
    wrapper->SetSamplerFilters(0, D3DTEXF_LINEAR, D3DTEXF_LINEAR);
    device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP);
    device->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_WRAP);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_BLENDDIFFUSEALPHA);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
    device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    device->SetTexture(1, nullptr);
    wrapper->SetCullMode(1);
    device->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
    const D3DMATRIX shift = TextureTranslation(scroll);
    device->SetTransform(D3DTS_TEXTURE0, &shift);

    // A sprite may have left the alpha test on: the dome's alpha (the rim
    // fades to 0) is for its colour blend, never a reason to drop a pixel.
    DWORD alphaTest = FALSE;
    device->GetRenderState(D3DRS_ALPHATESTENABLE, &alphaTest);
    device->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
    wrapper->DrawIndexedPrimitive(4, 0, 0, kVertices, 0, kTriangles);
    device->SetRenderState(D3DRS_ALPHATESTENABLE, alphaTest);

    wrapper->SetZEnable(0);
    wrapper->SetZWriteEnable(0);
    wrapper->SetLighting(0);
    wrapper->SetSamplerFilters(0, D3DTEXF_LINEAR, D3DTEXF_LINEAR);
    device->SetRenderState(D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_MATERIAL);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    const D3DMATRIX identity = TextureTranslation(0.0f);
    device->SetTransform(D3DTS_TEXTURE0, &identity);
    device->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
    wrapper->SetCullMode(2);
    wrapper->ResetWorldTransform();
}
