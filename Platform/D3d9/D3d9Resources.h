// The device's resources: textures with their level surfaces, stand-alone
// surfaces (system memory, render targets, depth-stencil buffers) and vertex
// and index buffers. Internal to the layer.
// Internal header of the platform layer: only Platform/ and its tests include it.
#pragma once

#include "Platform/D3d9/D3d9.h"
#include "Platform/D3d9/D3d9Format.h"
#include "Platform/Win32/WinRefCounted.h"

#include <vector>

class D3d9Device;

// Live resources are linked into their device's list, so that a device that
// goes away first can cut them loose instead of leaving them a dangling pointer.
class D3d9ResourceLink {
public:
    explicit D3d9ResourceLink(D3d9Device* device);
    virtual ~D3d9ResourceLink();
    D3d9Device* Device() const { return m_device; }
    // The device and its GL context are going away: the GL names died with
    // the context and must not be deleted later, when another context may
    // be current and own the same numbers.
    virtual void DetachFromDevice() { m_device = nullptr; }

    D3d9ResourceLink* m_prev = nullptr;
    D3d9ResourceLink* m_next = nullptr;

protected:
    D3d9Device* m_device;
};

// Reference counting and GetDevice, shared by every resource class.
template <class Interface>
class D3d9Object : public WinRefCounted<Interface>, public D3d9ResourceLink {
public:
    explicit D3d9Object(D3d9Device* device) : D3d9ResourceLink(device) {}
    HRESULT GetDevice(IDirect3DDevice9** device) override;
};

// The resource of class T behind an interface pointer handed to device; null
// for null and for what is not a T or belongs to another device.
template <class T, class Interface>
T* D3d9OurResource(Interface* given, const D3d9Device* device)
{
    T* ours = dynamic_cast<T*>(given);
    return ours && ours->Device() == device ? ours : nullptr;
}

// Puts resource (or null) into one of the device's slots, which holds a
// reference: the new one is referenced before the old one is released, so
// that the last reference of what is set again is never dropped.
template <class T>
void D3d9HoldResource(T*& slot, T* resource)
{
    if (slot == resource)
        return;
    if (resource)
        resource->AddRef();
    if (slot)
        slot->Release();
    slot = resource;
}

class D3d9Texture;

// Where a surface's pixels live.
enum class D3d9SurfaceKind {
    kMemory,        // system memory (offscreen plain surfaces)
    kTextureLevel,  // one level of a texture; references go to the texture
    kColourBuffer,  // a single-level GL texture of its own (back buffer, render targets)
    kDepthBuffer,   // a GL renderbuffer (depth-stencil surfaces)
};

class D3d9Surface final : public D3d9Object<IDirect3DSurface9> {
public:
    // Memory, colour and depth surfaces.
    D3d9Surface(D3d9Device* device, D3d9SurfaceKind kind, const D3d9FormatInfo* info, UINT width, UINT height,
                D3DPOOL pool, DWORD usage);
    // Level `level` of `texture`.
    D3d9Surface(D3d9Device* device, D3d9Texture* texture, UINT level);
    ~D3d9Surface() override;
    void DetachFromDevice() override;

    bool Created() const;

    DWORD AddRef() override;
    DWORD Release() override;
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_SURFACE; }
    HRESULT GetDesc(D3DSURFACE_DESC* desc) override;
    HRESULT LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override;
    HRESULT UnlockRect() override;

    // Attaches the pixels to the bound draw or read framebuffer.
    void Attach(GLenum framebufferTarget, GLenum attachment) const;

    D3d9SurfaceKind Kind() const { return m_kind; }
    const D3d9FormatInfo& Info() const { return *m_info; }
    UINT Width() const { return m_width; }
    UINT Height() const { return m_height; }
    UINT Pitch() const { return m_pitch; }
    uint8_t* Memory() { return m_memory.data(); }
    GLuint GlTexture() const;
    GLint GlLevel() const { return (GLint)m_level; }
    D3d9Texture* Container() const { return m_container; }
    DWORD Usage() const { return m_usage; }

private:
    D3d9SurfaceKind m_kind;
    const D3d9FormatInfo* m_info;
    UINT m_width;
    UINT m_height;
    UINT m_pitch = 0;
    D3DPOOL m_pool;
    DWORD m_usage;
    D3d9Texture* m_container = nullptr;
    UINT m_level = 0;
    std::vector<uint8_t> m_memory;
    GLuint m_glTexture = 0;
    GLuint m_glRenderbuffer = 0;
    bool m_locked = false;
};

class D3d9Texture final : public D3d9Object<IDirect3DTexture9> {
public:
    D3d9Texture(D3d9Device* device, const D3d9FormatInfo* info, UINT width, UINT height, UINT levels,
                DWORD usage, D3DPOOL pool);
    ~D3d9Texture() override;
    void DetachFromDevice() override;

    bool Created() const { return m_glTexture != 0; }

    D3DRESOURCETYPE GetType() override { return D3DRTYPE_TEXTURE; }
    DWORD GetLevelCount() override { return (DWORD)m_levels.size(); }
    HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) override;
    HRESULT GetSurfaceLevel(UINT level, IDirect3DSurface9** surface) override;
    HRESULT LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override;
    HRESULT UnlockRect(UINT level) override;
    HRESULT AddDirtyRect(const RECT*) override { return D3D_OK; }

    const D3d9FormatInfo& Info() const { return *m_info; }
    GLuint GlTexture() const { return m_glTexture; }
    DWORD Usage() const { return m_usage; }
    D3DPOOL Pool() const { return m_pool; }
    UINT LevelWidth(UINT level) const;
    UINT LevelHeight(UINT level) const;
    // Uploads Direct3D-layout data into a rectangle of a level.
    void Upload(UINT level, const RECT& rect, const void* data, UINT pitch);

private:
    struct LevelLock {
        bool locked = false;
        bool readOnly = false;
        RECT rect = {};
        UINT pitch = 0;
        std::vector<uint8_t> data;
    };

    const D3d9FormatInfo* m_info;
    UINT m_width;
    UINT m_height;
    DWORD m_usage;
    D3DPOOL m_pool;
    GLuint m_glTexture = 0;
    std::vector<D3d9Surface*> m_levels;
    std::vector<LevelLock> m_locks;
};

// A GL buffer object with a system-memory copy that locks hand out.
class D3d9BufferData {
public:
    D3d9BufferData(UINT length, DWORD usage);
    ~D3d9BufferData();
    bool Created() const { return m_glBuffer != 0; }
    void ForgetGlBuffer() { m_glBuffer = 0; }
    HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags);
    HRESULT Unlock();
    GLuint GlBuffer() const { return m_glBuffer; }
    UINT Length() const { return (UINT)m_memory.size(); }
    const uint8_t* Memory() const { return m_memory.data(); }

private:
    std::vector<uint8_t> m_memory;
    GLuint m_glBuffer = 0;
    DWORD m_usage;
    bool m_locked = false;
    bool m_discard = false;
    bool m_readOnly = false;
    UINT m_lockOffset = 0;
    UINT m_lockSize = 0;
};

// What vertex and index buffers share: the data, its locks, and giving the GL
// buffer back to the device.
template <class Interface, D3DRESOURCETYPE Type>
class D3d9Buffer : public D3d9Object<Interface> {
public:
    D3d9Buffer(D3d9Device* device, UINT length, DWORD usage);
    ~D3d9Buffer() override;
    void DetachFromDevice() override;
    bool Created() const { return m_data.Created(); }
    D3DRESOURCETYPE GetType() override { return Type; }
    HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags) override { return m_data.Lock(offset, size, data, flags); }
    HRESULT Unlock() override { return m_data.Unlock(); }
    const D3d9BufferData& Data() const { return m_data; }

private:
    D3d9BufferData m_data;
};

class D3d9VertexBuffer final : public D3d9Buffer<IDirect3DVertexBuffer9, D3DRTYPE_VERTEXBUFFER> {
public:
    D3d9VertexBuffer(D3d9Device* device, UINT length, DWORD usage, DWORD) : D3d9Buffer(device, length, usage) {}
};

class D3d9IndexBuffer final : public D3d9Buffer<IDirect3DIndexBuffer9, D3DRTYPE_INDEXBUFFER> {
public:
    D3d9IndexBuffer(D3d9Device* device, UINT length, DWORD usage, D3DFORMAT format)
        : D3d9Buffer(device, length, usage), m_indexSize(format == D3DFMT_INDEX32 ? 4 : 2)
    {
    }
    UINT IndexSize() const { return m_indexSize; }

private:
    UINT m_indexSize;
};
