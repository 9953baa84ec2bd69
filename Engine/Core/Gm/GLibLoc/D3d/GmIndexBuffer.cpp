#include "Engine/Core/Gm/GLibLoc/D3d/GmIndexBuffer.h"

#include "Engine/Core/Common/GeError.h"
#include "Engine/Core/Common/GeErrorNames.h"
#include "Engine/Core/Common/GeSimd.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmDeviceWrapper.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmResourceManager.h"

#include <cstdlib>

CGmIndexBuffer::CGmIndexBuffer(uint32_t indexSize, uint32_t count)
    : m_indexSize(indexSize == 4 ? 4 : 2), m_capacity(count), m_count(count), m_triangleCount(count / 3)
{
    subTypeId = GE_RES_INDEX_BUFFER;
    AllocateData();
}

CGmIndexBuffer::~CGmIndexBuffer()
{
    UnregisterFromManager();
    free(m_data);
    m_data = nullptr;
    ReleaseDeviceObject();
}

void CGmIndexBuffer::AllocateData()
{
    const size_t bytes = size_t(m_capacity) * m_indexSize;
    m_data = static_cast<uint8_t*>(calloc(bytes ? bytes : 1, 1));
}

bool CGmIndexBuffer::LockRange(uint32_t first, uint32_t n)
{
    if (m_lockPointer) {
        GmTrace("CGmIndexBuffer::LockRange: a lock is already open\n");
        return false;
    }
    if (!GmBuffer::ClampLockRange(m_count, first, &n))
        return false;
    m_lockOffset = m_indexSize * first;
    m_lockSize = m_indexSize * n;
    m_lockPointer = m_data;
    m_dirty.Add(m_lockOffset, m_lockSize);
    return true;
}

void CGmIndexBuffer::Unlock()
{
    m_lockPointer = nullptr;
}

void CGmIndexBuffer::Resize(uint32_t n)
{
    if (n == m_count)
        return;
    if (n <= m_capacity) {
        m_count = n;
        m_triangleCount = n / 3;
        m_dirty.Clear();
        m_dirty.Add(0, m_indexSize * n);
        return;
    }
    const bool wasCreated = m_created != 0;
    free(m_data);
    m_data = nullptr;
    ReleaseDeviceObject();
    m_capacity = m_count = n;
    m_triangleCount = n / 3;
    m_dirty.Clear();
    AllocateData();
    // A lock open on the old copy would point at freed memory.
    if (m_lockPointer)
        m_lockPointer = m_data;
    if (wasCreated && !EnsureCreated())
        UnregisterFromManager();
}

void CGmIndexBuffer::Bind()
{
    if (g_pGmResourceManager)
        g_pGmResourceManager->Use(this, GE_RES_INDEX_BUFFER);
    else
        EnsureCreated();
    Upload();
    if (!m_created)
        GmTrace("CGmIndexBuffer::Bind: the buffer has no Direct3D object\n");
    if (g_pGmDevice)
        g_pGmDevice->SetIndices(this);
}

bool CGmIndexBuffer::EnsureCreated()
{
    if (m_created)
        return true;
    if (!GmMayCreateDeviceObject() || !CreateD3dIb())
        return false;
    m_dirty.Add(0, m_count * m_indexSize);
    Upload();
    return true;
}

bool CGmIndexBuffer::CreateD3dIb()
{
    if (!g_pGmDevice || !g_pGmDevice->GetDevice())
        return false;
    const D3DFORMAT format = m_indexSize == 4 ? D3DFMT_INDEX32 : D3DFMT_INDEX16;
    const HRESULT result = g_pGmDevice->GetDevice()->CreateIndexBuffer(
        m_capacity * m_indexSize, D3DUSAGE_WRITEONLY | D3DUSAGE_DYNAMIC, format, D3DPOOL_DEFAULT, &m_ib, nullptr);
    if (FAILED(result) || !m_ib) {
        m_ib = nullptr;
        // Running out of video memory is the manager's business (it evicts
        // and tries again); anything else is a fault worth the error box.
        if (result == D3DERR_OUTOFVIDEOMEMORY)
            GmTrace("CGmIndexBuffer::CreateD3dIb(): %s\n", GetD3dErrorName(result));
        else
            GE_ERROR_REPORT("CGmIndexBuffer::CreateD3dIb(): %s", GetD3dErrorName(result));
        return false;
    }
    ++g_gmDeviceObjectCount;
    m_created = 1;
    return true;
}

void CGmIndexBuffer::ReleaseDeviceObject()
{
    GmBuffer::ReleaseCounted(&m_ib, &m_created);
}

void CGmIndexBuffer::Upload()
{
    if (!m_created || !g_pGmDevice || g_pGmDevice->m_failed)
        return;
    GmBuffer::UploadDirtyRanges(m_ib, m_data, m_dirty, "CGmIndexBuffer: unable to copy indices m_ib->Lock(): ");
}
