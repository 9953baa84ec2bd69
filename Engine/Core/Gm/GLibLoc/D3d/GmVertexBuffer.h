// A vertex buffer: a system-memory copy that callers write, mirrored into a
// Direct3D vertex buffer of the default pool.
//
// Writers lock a range of vertices (which marks those bytes dirty), write
// through the lock pointer (the start of the system copy) and unlock. Bind
// makes the buffer resident through the resource manager and uploads only the
// dirty bytes. The system copy is the master: a buffer whose Direct3D object
// was taken away (eviction, device reset) re-creates it at its next Bind and
// uploads its whole content again.
#pragma once

#include "Engine/Core/Gm/GLibLoc/D3d/GmDirtyRanges.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmGpuResource.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmVertexLayout.h"
#include "Platform/D3d9/D3d9.h"

#include <cstdint>

class CGmVertexBuffer : public CGmGpuResource {
public:
    // Init(flags, count).
    CGmVertexBuffer(uint32_t flags, uint32_t count);
    ~CGmVertexBuffer() override;

    // Sets the layout from the flags and capacity = count = the given count;
    // allocates a zeroed system copy when there is none.
    void Init(uint32_t flags, uint32_t count);

    // Locks vertices [first, first + n) for writing; n = 0 means up to the
    // end. False when first is not below the count; n is cut at the count.
    bool LockRange(uint32_t first, uint32_t n);
    void Unlock();

    // Changes the count. Within the capacity the content stays and
    // [0, new size) is dirty; beyond it the content is lost (zeroed) and the
    // Direct3D buffer is re-made only when there was one.
    void Resize(uint32_t n);

    // Copies the first min(counts) vertices element by element from another
    // layout: every element both layouts have, at each one's own offsets.
    void CopyFrom(const CGmVertexBuffer& source);

    // Use, Upload, then stream 0 and the FVF of the current device.
    void Bind();

    // Frees the system copy and releases the Direct3D buffer.
    void FreeData();

    bool EnsureCreated() override;
    void ReleaseDeviceObject() override;
    // Copies the dirty ranges into the Direct3D buffer (Update).
    void Upload() override;

    uint8_t* GetData() const { return m_data; }
    uint32_t Count() const { return m_count; }
    uint32_t Capacity() const { return m_capacity; }
    uint32_t Stride() const { return m_layout.stride; }
    uint32_t Flags() const { return m_layout.flags; }
    const GmVertexLayout& Layout() const { return m_layout; }
    const CGmDirtyRanges& DirtyRanges() const { return m_dirty; }
    bool IsCreated() const { return m_created != 0; }
    IDirect3DVertexBuffer9* D3dBuffer() const { return m_vb; }

    uint8_t* m_lockPointer = nullptr; // the system copy while a range is locked
    uint32_t m_lockOffset = 0;        // bytes of the range last locked
    uint32_t m_lockSize = 0;

private:
    uint32_t m_capacity = 0;
    uint32_t m_count = 0;
    GmVertexLayout m_layout;
    uint8_t* m_data = nullptr;
    uint8_t m_created = 0;
    CGmDirtyRanges m_dirty;
    IDirect3DVertexBuffer9* m_vb = nullptr;
};
