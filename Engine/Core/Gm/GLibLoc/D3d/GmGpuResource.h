// The base of every resource the collector owns, and of those that need a
// Direct3D object.
//
// A resource is reference counted from 1 and deleted by its last Release. A
// GPU resource gets its device object only when it is first used for drawing
// (CGmResourceManager::Use); the object can be taken away again at any time
// (eviction, hand-over, device reset) and is re-created at the next use, so
// every GPU resource keeps its content in system memory.
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

// Class tags: what a resource is underneath.
enum : uint16_t {
    GE_RES_CLASS_PLAIN = 0,
    GE_RES_CLASS_GPU = 1,
};

// Resource states.
enum : int32_t {
    GE_RES_STATE_NEW = 0,
    GE_RES_STATE_HANDED_OUT_AGAIN = 1, // the collector gave it out from its cache
    GE_RES_STATE_RELEASED = 2,         // set just before the last Release deletes it
};

// A use score runs from 0 (idle for a long time) to this.
constexpr int32_t kGmMaxUseScore = 1000;
// Device objects all GPU resources together may hold.
constexpr int32_t kGmDeviceObjectLimit = 20000;

class CGeResource;

// Whoever keeps resources by name (the resource collector): told when one of
// its resources is destroyed.
class IGeResourceOwner {
public:
    virtual void UnregisterResource(CGeResource* resource, uint16_t subTypeId) = 0;

protected:
    virtual ~IGeResourceOwner() = default;
};

class CGeResource {
public:
    CGeResource() = default;
    // Unregisters from the owning collector, when there is one.
    virtual ~CGeResource();
    CGeResource(const CGeResource&) = delete;
    CGeResource& operator=(const CGeResource&) = delete;

    void AddRef() { ++refCount; }
    // The new count; at 0 the state becomes released and the resource is deleted.
    int32_t Release();

    int32_t refCount = 1;
    int32_t state = GE_RES_STATE_NEW;
    uint16_t subTypeId = GE_RES_NONE;
    uint16_t classTag = GE_RES_CLASS_PLAIN;
    IGeResourceOwner* collector = nullptr;
};

class CGmGpuResource : public CGeResource {
public:
    CGmGpuResource() { classTag = GE_RES_CLASS_GPU; }

    // Creates the device object when there is none; true when the resource
    // holds one afterwards. False also when the device-object limit is reached.
    virtual bool EnsureCreated() = 0;
    // Releases the device object, if any; the system-memory content stays.
    virtual void ReleaseDeviceObject() = 0;
    // Transfers pending content into the device object.
    virtual void Upload() = 0;
    virtual void NoOp() {}

    int32_t score = 0; // 0..kGmMaxUseScore, how often the resource was used lately

protected:
    // For the destructors of the concrete classes (while their own
    // ReleaseDeviceObject is still the one that runs): lets the current
    // manager release the device object and forget the resource.
    void UnregisterFromManager();
};

// The device objects that GPU resources hold, program-wide. Creation routines
// check GmMayCreateDeviceObject first, then count each success and release.
extern int32_t g_gmDeviceObjectCount;
bool GmMayCreateDeviceObject();
// Tests lower the limit to reach it quickly; returns the previous limit.
int32_t GmSetDeviceObjectLimit(int32_t limit);
