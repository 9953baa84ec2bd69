// The base of every resource the collector owns, and of those that need a
// Direct3D object. Reference counted from 1; the last Release deletes.
#pragma once

#include <cstdint>

// Sub-TypeIds of the GPU resources.
enum : uint16_t {
    GE_RES_TEXTURE = 0,
    GE_RES_VERTEX_BUFFER = 2,
    GE_RES_INDEX_BUFFER = 3,
    GE_RES_BACKGROUND = 9,
    GE_RES_NONE = 0xFFFF,
};

class CGeResource {
public:
    CGeResource() = default;
    virtual ~CGeResource() = default;
    CGeResource(const CGeResource&) = delete;
    CGeResource& operator=(const CGeResource&) = delete;

    // The new count; at 0 the state becomes 2 and the resource is deleted.
    int32_t Release();

    int32_t refCount = 1;
    int32_t state = 0;
    uint16_t subTypeId = GE_RES_NONE;
    uint16_t classTag = 0;
    void* collector = nullptr;
};

class CGmGpuResource : public CGeResource {
public:
    CGmGpuResource() { classTag = 1; }

    // True when the resource holds a device object afterwards.
    virtual bool EnsureCreated() = 0;
    virtual void ReleaseDeviceObject() = 0;
    virtual void Upload() = 0;
    virtual void NoOp() {}

    int32_t score = 0; // 0..1000, how often the resource was used lately
};
