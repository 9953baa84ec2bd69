#include "Engine/Core/Gm/GLibLoc/D3d/GmVertexBuffer.h"

#include "Engine/Core/Common/GeError.h"
#include "Engine/Core/Common/GeErrorNames.h"
#include "Engine/Core/Common/GeSimd.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmDeviceWrapper.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmResourceManager.h"

#include <algorithm>
#include <cstdlib>

namespace {

// FVF bits the device understands; the rest of the flags only shape the layout.
const uint32_t kFvfFlagsMask = 0x3F3FF;

} // namespace

CGmVertexBuffer::CGmVertexBuffer(uint32_t flags, uint32_t count)
{
    subTypeId = GE_RES_VERTEX_BUFFER;
    Init(flags, count);
}

CGmVertexBuffer::~CGmVertexBuffer()
{
    UnregisterFromManager();
    FreeData();
}

void CGmVertexBuffer::Init(uint32_t flags, uint32_t count)
{
    m_layout = GmComputeVertexLayout(flags);
    m_capacity = m_count = count;
    if (!m_data) {
        const size_t bytes = size_t(m_capacity) * m_layout.stride;
        m_data = static_cast<uint8_t*>(malloc(bytes ? bytes : 1));
        g_pGeSimd->Memset(m_data, 0, bytes);
    }
}

bool CGmVertexBuffer::LockRange(uint32_t first, uint32_t n)
{
    if (!GmBuffer::ClampLockRange(m_count, first, &n))
        return false;
    if (m_lockPointer)
        GmTrace("CGmVertexBuffer::LockRange: a lock is already open\n");
    m_lockOffset = m_layout.stride * first;
    m_lockSize = m_layout.stride * n;
    m_lockPointer = m_data;
    m_dirty.Add(m_lockOffset, m_lockSize);
    return true;
}

void CGmVertexBuffer::Unlock()
{
    if (!m_lockPointer)
        GmTrace("CGmVertexBuffer::Unlock: no lock is open\n");
    m_lockPointer = nullptr;
}

void CGmVertexBuffer::Resize(uint32_t n)
{
    if (n == m_count)
        return;
    if (n <= m_capacity) {
        m_count = n;
        m_dirty.Clear();
        m_dirty.Add(0, m_layout.stride * n);
        return;
    }
    const bool wasCreated = m_created != 0;
    FreeData();
    m_dirty.Clear();
    Init(m_layout.flags, n);
    // A lock open on the old copy would point at freed memory.
    if (m_lockPointer)
        m_lockPointer = m_data;
    // A failed re-creation must not leave the manager believing the buffer
    // holds an object: the next Use then makes room for it.
    if (wasCreated && !EnsureCreated())
        UnregisterFromManager();
}

void CGmVertexBuffer::CopyFrom(const CGmVertexBuffer& source)
{
    const GmVertexLayout& own = m_layout;
    const GmVertexLayout& from = source.m_layout;
    const uint32_t both = own.flags & from.flags;
    const uint32_t count = std::min(m_count, source.m_count);
    LockRange(0, 0);
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t* dst = m_data + size_t(i) * own.stride;
        const uint8_t* src = source.m_data + size_t(i) * from.stride;
        auto copy = [&](uint32_t present, uint32_t dstOffset, uint32_t srcOffset, uint32_t bytes) {
            if (present && bytes)
                g_pGeSimd->Memcpy(dst + dstOffset, src + srcOffset, bytes);
        };
        copy(both & GE_VEF_XYZ, own.position, from.position, 12);
        copy(both & GE_VEF_XYZRHW, own.rhw, from.rhw, 4);
        copy(1, own.blend, from.blend, 4 * std::min(own.blendCount, from.blendCount));
        copy(both & GE_VEF_NORMAL, own.normal, from.normal, 12);
        copy(both & GE_VEF_PSIZE, own.pointSize, from.pointSize, 4);
        copy(both & GE_VEF_DIFFUSE, own.diffuse, from.diffuse, 4);
        copy(both & GE_VEF_SPECULAR, own.specular, from.specular, 4);
        copy(1, own.texCoords, from.texCoords,
             std::min(own.texSetCount * own.texSetBytes, from.texSetCount * from.texSetBytes));
        copy(1, own.extra, from.extra, std::min(own.extraBytes, from.extraBytes));
    }
    Unlock();
}

void CGmVertexBuffer::Bind()
{
    if (g_pGmResourceManager)
        g_pGmResourceManager->Use(this, GE_RES_VERTEX_BUFFER);
    else
        EnsureCreated();
    Upload();
    if (g_pGmDevice) {
        g_pGmDevice->SetStreamSource(this, m_layout.stride);
        g_pGmDevice->SetFVF(m_layout.flags);
    }
}

void CGmVertexBuffer::FreeData()
{
    free(m_data);
    m_data = nullptr;
    ReleaseDeviceObject();
}

bool CGmVertexBuffer::EnsureCreated()
{
    if (m_vb)
        return true;
    if (!GmMayCreateDeviceObject() || !g_pGmDevice || !g_pGmDevice->GetDevice())
        return false;
    const UINT bytes = m_capacity * m_layout.stride;
    const HRESULT result = g_pGmDevice->GetDevice()->CreateVertexBuffer(
        bytes, D3DUSAGE_WRITEONLY, GetD3DFVF(m_layout.flags & kFvfFlagsMask), D3DPOOL_DEFAULT, &m_vb, nullptr);
    if (FAILED(result) || !m_vb) {
        GmTrace("CGmVertexBuffer::EnsureCreated: CreateVertexBuffer failed: %s\n", GetD3dErrorName(result));
        m_vb = nullptr;
        return false;
    }
    ++g_gmDeviceObjectCount;
    m_created = 1;
    m_dirty.Add(0, m_layout.stride * m_count);
    return true;
}

void CGmVertexBuffer::ReleaseDeviceObject()
{
    GmBuffer::ReleaseCounted(&m_vb, &m_created);
}

void CGmVertexBuffer::Upload()
{
    if (!m_created || !g_pGmDevice || g_pGmDevice->m_failed)
        return;
    GmBuffer::UploadDirtyRanges(m_vb, m_data, m_dirty, "CGmVertexBuffer::Update(): ");
}
