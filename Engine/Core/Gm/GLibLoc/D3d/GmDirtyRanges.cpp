#include "Engine/Core/Gm/GLibLoc/D3d/GmDirtyRanges.h"

#include "Engine/Core/Common/GeError.h"
#include "Engine/Core/Common/GeErrorNames.h"
#include "Engine/Core/Common/GeSimd.h"

#include <algorithm>

namespace {

const uint32_t kFirstBlockNodes = 16;

} // namespace

CGmDirtyRanges::CGmDirtyRanges()
{
    m_list.pool.InitFirstBlock(kFirstBlockNodes);
}

void CGmDirtyRanges::Add(uint32_t offset, uint32_t size)
{
    // 64-bit ends, so that a range reaching the top of the address space
    // cannot wrap.
    const uint64_t end = uint64_t(offset) + size;
    bool merged = false;
    for (Node* node = m_list.head; node; node = node->next) {
        GmByteRange& listed = node->value;
        const uint64_t listedEnd = uint64_t(listed.offset) + listed.size;
        const uint64_t lo = std::max<uint64_t>(offset, listed.offset);
        const uint64_t hi = std::min(end, listedEnd);
        if (hi < lo || hi == listed.offset)
            continue;
        const uint32_t start = std::min(offset, listed.offset);
        listed.size = uint32_t(std::max(end, listedEnd) - start);
        listed.offset = start;
        merged = true;
    }
    if (!merged)
        m_list.PushBack({offset, size});
}

void CGmDirtyRanges::Clear()
{
    if (m_list.head)
        m_list.UnlinkRange(m_list.head, m_list.tail);
}

namespace {

// Index buffers are dynamic and locked with DISCARD; vertex buffers plainly.
DWORD LockFlags(IDirect3DVertexBuffer9*) { return 0; }
DWORD LockFlags(IDirect3DIndexBuffer9*) { return D3DLOCK_DISCARD; }

template <typename D3dBuffer>
void Upload(D3dBuffer* buffer, const uint8_t* data, CGmDirtyRanges& dirty, const char* failurePrefix)
{
    for (const CGmDirtyRanges::Node* node = dirty.First(); node; node = node->next) {
        const GmByteRange& range = node->value;
        if (range.size == 0)
            continue; // a zero size would lock the whole buffer
        void* target = nullptr;
        const HRESULT result = buffer->Lock(range.offset, range.size, &target, LockFlags(buffer));
        if (FAILED(result) || !target) {
            GeRaiseError(CGeError::Format("%s%s", failurePrefix, GetD3dErrorName(result)), __FILE__, __LINE__);
            continue;
        }
        g_pGeSimd->Memcpy(target, data + range.offset, range.size);
        buffer->Unlock();
    }
    dirty.Clear();
}

} // namespace

namespace GmBuffer {

void UploadDirtyRanges(IDirect3DVertexBuffer9* buffer, const uint8_t* data, CGmDirtyRanges& dirty,
                       const char* failurePrefix)
{
    Upload(buffer, data, dirty, failurePrefix);
}

void UploadDirtyRanges(IDirect3DIndexBuffer9* buffer, const uint8_t* data, CGmDirtyRanges& dirty,
                       const char* failurePrefix)
{
    Upload(buffer, data, dirty, failurePrefix);
}

} // namespace GmBuffer
