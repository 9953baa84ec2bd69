// An index buffer of 16- or 32-bit indices: a system-memory copy that
// callers write, mirrored into a Direct3D index buffer of the default pool,
// the same way as CGmVertexBuffer.
//
// Only one lock is open at a time: LockRange refuses while one is, and Unlock
// ends it.
#pragma once

#include "Engine/Core/Gm/GLibLoc/D3d/GmDirtyRanges.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmGpuResource.h"
#include "Platform/D3d9/D3d9.h"

#include <cstdint>

class CGmIndexBuffer : public CGmGpuResource {
public:
    // indexSize is 2 or 4 bytes; the system copy of count indices is zeroed.
    CGmIndexBuffer(uint32_t indexSize, uint32_t count);
    ~CGmIndexBuffer() override;

    // Locks indices [first, first + n) for writing; n = 0 means up to the
    // end. False while a lock is open or when first is not below the count;
    // n is cut at the count.
    bool LockRange(uint32_t first, uint32_t n);
    void Unlock();

    // Changes the count. Within the capacity the content stays and
    // [0, new size) is dirty; beyond it the content is lost (zeroed) and the
    // Direct3D buffer is re-made only when there was one.
    void Resize(uint32_t n);

    // Use, Upload, then the indices of the current device.
    void Bind();

    bool EnsureCreated() override;
    void ReleaseDeviceObject() override;
    // Copies the dirty ranges into the Direct3D buffer (CopyIndices).
    void Upload() override;

    uint8_t* GetData() const { return m_data; }
    uint32_t IndexSize() const { return m_indexSize; }
    uint32_t Count() const { return m_count; }
    uint32_t Capacity() const { return m_capacity; }
    uint32_t TriangleCount() const { return m_triangleCount; }
    const CGmDirtyRanges& DirtyRanges() const { return m_dirty; }
    bool IsCreated() const { return m_created != 0; }
    IDirect3DIndexBuffer9* D3dBuffer() const { return m_ib; }

    uint8_t* m_lockPointer = nullptr; // the system copy while a range is locked
    uint32_t m_lockOffset = 0;        // bytes of the range last locked
    uint32_t m_lockSize = 0;

private:
    bool CreateD3dIb();
    void AllocateData();

    uint8_t* m_data = nullptr;
    uint32_t m_indexSize = 2;
    uint32_t m_capacity = 0;
    uint32_t m_count = 0;
    uint32_t m_triangleCount = 0;
    uint8_t m_created = 0;
    CGmDirtyRanges m_dirty;
    IDirect3DIndexBuffer9* m_ib = nullptr;
};
