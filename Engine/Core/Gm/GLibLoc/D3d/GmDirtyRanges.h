// Byte ranges of a buffer's system copy written since its last upload, in
// the order they were first written.
//
// A new range grows every listed range it meets: one that overlaps it, or
// that it starts exactly at the end of. A range that ends exactly where a
// listed one begins is listed on its own; listed ranges never merge with each
// other. Uploading copies each listed range once.
//
// Below it, the pieces that vertex and index buffers share.
#pragma once

#include "Engine/Core/Common/GePoolList.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmGpuResource.h"
#include "Platform/D3d9/D3d9.h"

#include <cstdint>

struct GmByteRange {
    uint32_t offset;
    uint32_t size;
};

class CGmDirtyRanges {
public:
    CGmDirtyRanges();

    void Add(uint32_t offset, uint32_t size);
    // Gives every node back to the list's pool.
    void Clear();

    uint32_t Count() const { return m_list.count; }
    bool IsEmpty() const { return m_list.count == 0; }

    using Node = CGePoolList<GmByteRange>::Node;
    const Node* First() const { return m_list.head; }

private:
    CGePoolList<GmByteRange> m_list;
};

// What both buffer kinds share.
namespace GmBuffer {

// Cuts a lock of n elements (0: up to the end) from `first` at the count;
// false when first is not below the count. A range past the count would mark
// (and later upload) bytes beyond both copies.
inline bool ClampLockRange(uint32_t count, uint32_t first, uint32_t* n)
{
    if (first >= count)
        return false;
    const uint32_t available = count - first;
    if (*n == 0 || *n > available)
        *n = available;
    return true;
}

// Copies every dirty range of the system copy into the Direct3D buffer and
// empties the list. A range whose lock fails goes to the error box with
// `failurePrefix` followed by the error's name, and is not copied.
void UploadDirtyRanges(IDirect3DVertexBuffer9* buffer, const uint8_t* data, CGmDirtyRanges& dirty,
                       const char* failurePrefix);
void UploadDirtyRanges(IDirect3DIndexBuffer9* buffer, const uint8_t* data, CGmDirtyRanges& dirty,
                       const char* failurePrefix);

// Releases a Direct3D buffer that was counted as a device object.
template <typename D3dBuffer>
void ReleaseCounted(D3dBuffer** buffer, uint8_t* created)
{
    if (!*created)
        return;
    if (*buffer)
        (*buffer)->Release();
    *buffer = nullptr;
    --g_gmDeviceObjectCount;
    *created = 0;
}

} // namespace GmBuffer
