#include "Platform/D3d9/D3d9Resources.h"

#include "Platform/D3d9/D3d9Device.h"

#include <algorithm>
#include <cstring>

// ---------------------------------------------------------------------------
// Device link and reference counting.

D3d9ResourceLink::D3d9ResourceLink(D3d9Device* device) : m_device(device)
{
    if (m_device)
        m_device->LinkResource(this);
}

D3d9ResourceLink::~D3d9ResourceLink()
{
    if (m_device)
        m_device->UnlinkResource(this);
}

template <class Interface>
HRESULT D3d9Object<Interface>::GetDevice(IDirect3DDevice9** device)
{
    if (!device)
        return D3DERR_INVALIDCALL;
    *device = m_device;
    if (!m_device)
        return D3DERR_INVALIDCALL;
    m_device->AddRef();
    return D3D_OK;
}

template class D3d9Object<IDirect3DSurface9>;
template class D3d9Object<IDirect3DTexture9>;
template class D3d9Object<IDirect3DVertexBuffer9>;
template class D3d9Object<IDirect3DIndexBuffer9>;

// GL reports a failed allocation only through its error flag. Clearing the
// flags before a creation and reading them after tells whether it worked.
static void ClearGlErrors()
{
    for (int i = 0; i < 16 && glGetError() != GL_NO_ERROR; ++i) {
    }
}

static bool GlRanOutOfMemory()
{
    bool outOfMemory = false;
    for (int i = 0; i < 16; ++i) {
        GLenum error = glGetError();
        if (error == GL_NO_ERROR)
            break;
        outOfMemory |= error == GL_OUT_OF_MEMORY;
    }
    return outOfMemory;
}

// A lock rectangle must lie inside the surface; for block formats it must
// also start and end on block edges (or at the surface's edge).
static bool ValidLockRect(const D3d9FormatInfo& info, const RECT& r, UINT width, UINT height)
{
    if (r.left < 0 || r.top < 0 || r.left >= r.right || r.top >= r.bottom)
        return false;
    if ((UINT)r.right > width || (UINT)r.bottom > height)
        return false;
    if (info.blockBytes) {
        if ((r.left % 4) || (r.top % 4))
            return false;
        if (((UINT)r.right != width && (r.right % 4)) || ((UINT)r.bottom != height && (r.bottom % 4)))
            return false;
    }
    return true;
}

static UINT LockOffset(const D3d9FormatInfo& info, const RECT& r, UINT pitch)
{
    if (info.blockBytes)
        return (UINT)(r.top / 4) * pitch + (UINT)(r.left / 4) * info.blockBytes;
    return (UINT)r.top * pitch + (UINT)r.left * info.bytesPerPixel;
}

// ---------------------------------------------------------------------------
// Surfaces.

D3d9Surface::D3d9Surface(D3d9Device* device, D3d9SurfaceKind kind, const D3d9FormatInfo* info, UINT width,
                         UINT height, D3DPOOL pool, DWORD usage)
    : D3d9Object(device), m_kind(kind), m_info(info), m_width(width), m_height(height), m_pool(pool),
      m_usage(usage)
{
    m_pitch = D3d9RowPitch(*info, width);
    ClearGlErrors();
    switch (kind) {
    case D3d9SurfaceKind::kMemory:
        m_memory.assign((size_t)m_pitch * D3d9RowCount(*info, height), 0);
        break;
    case D3d9SurfaceKind::kColourBuffer:
        glGenTextures(1, &m_glTexture);
        m_device->BindWorkTexture(m_glTexture);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
        glTexImage2D(GL_TEXTURE_2D, 0, (GLint)info->internalFormat, (GLsizei)width, (GLsizei)height, 0,
                     info->uploadFormat, info->uploadType, nullptr);
        break;
    case D3d9SurfaceKind::kDepthBuffer:
        glGenRenderbuffers(1, &m_glRenderbuffer);
        glBindRenderbuffer(GL_RENDERBUFFER, m_glRenderbuffer);
        glRenderbufferStorage(GL_RENDERBUFFER, info->internalFormat, (GLsizei)width, (GLsizei)height);
        break;
    case D3d9SurfaceKind::kTextureLevel:
        break;
    }
    if (GlRanOutOfMemory()) {
        glDeleteTextures(1, &m_glTexture);
        glDeleteRenderbuffers(1, &m_glRenderbuffer);
        m_glTexture = m_glRenderbuffer = 0;
    }
}

D3d9Surface::D3d9Surface(D3d9Device* device, D3d9Texture* texture, UINT level)
    : D3d9Object(device), m_kind(D3d9SurfaceKind::kTextureLevel), m_info(&texture->Info()),
      m_width(texture->LevelWidth(level)), m_height(texture->LevelHeight(level)), m_pool(texture->Pool()),
      m_usage(texture->Usage()), m_container(texture), m_level(level)
{
    m_pitch = D3d9RowPitch(*m_info, m_width);
}

D3d9Surface::~D3d9Surface()
{
    if (m_device) {
        m_device->ForgetSurface(this);
        if (m_glTexture)
            m_device->ForgetTexture(m_glTexture);
    }
    if (m_glTexture)
        glDeleteTextures(1, &m_glTexture);
    if (m_glRenderbuffer)
        glDeleteRenderbuffers(1, &m_glRenderbuffer);
}

void D3d9Surface::DetachFromDevice()
{
    D3d9ResourceLink::DetachFromDevice();
    m_glTexture = 0;
    m_glRenderbuffer = 0;
}

bool D3d9Surface::Created() const
{
    switch (m_kind) {
    case D3d9SurfaceKind::kColourBuffer:
        return m_glTexture != 0;
    case D3d9SurfaceKind::kDepthBuffer:
        return m_glRenderbuffer != 0;
    default:
        return true;
    }
}

// A level surface lives as long as its texture and counts on its behalf.
DWORD D3d9Surface::AddRef()
{
    return m_container ? m_container->AddRef() : D3d9Object::AddRef();
}

DWORD D3d9Surface::Release()
{
    return m_container ? m_container->Release() : D3d9Object::Release();
}

GLuint D3d9Surface::GlTexture() const
{
    return m_container ? m_container->GlTexture() : m_glTexture;
}

HRESULT D3d9Surface::GetDesc(D3DSURFACE_DESC* desc)
{
    if (!desc)
        return D3DERR_INVALIDCALL;
    *desc = {m_info->format, D3DRTYPE_SURFACE, m_usage, m_pool, D3DMULTISAMPLE_NONE, 0, m_width, m_height};
    return D3D_OK;
}

HRESULT D3d9Surface::LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags)
{
    if (m_container)
        return m_container->LockRect(m_level, locked, rect, flags);
    if (!locked || m_kind != D3d9SurfaceKind::kMemory || m_locked)
        return D3DERR_INVALIDCALL;
    RECT whole = {0, 0, (LONG)m_width, (LONG)m_height};
    const RECT& r = rect ? *rect : whole;
    if (!ValidLockRect(*m_info, r, m_width, m_height))
        return D3DERR_INVALIDCALL;
    locked->Pitch = (INT)m_pitch;
    locked->pBits = m_memory.data() + LockOffset(*m_info, r, m_pitch);
    m_locked = true;
    return D3D_OK;
}

HRESULT D3d9Surface::UnlockRect()
{
    if (m_container)
        return m_container->UnlockRect(m_level);
    if (!m_locked)
        return D3DERR_INVALIDCALL;
    m_locked = false;
    return D3D_OK;
}

void D3d9Surface::Attach(GLenum framebufferTarget, GLenum attachment) const
{
    if (m_glRenderbuffer)
        glFramebufferRenderbuffer(framebufferTarget, attachment, GL_RENDERBUFFER, m_glRenderbuffer);
    else
        glFramebufferTexture2D(framebufferTarget, attachment, GL_TEXTURE_2D, GlTexture(), (GLint)m_level);
}

// ---------------------------------------------------------------------------
// Textures.

static UINT LevelSide(UINT side, UINT level)
{
    side >>= level;
    return side ? side : 1;
}

D3d9Texture::D3d9Texture(D3d9Device* device, const D3d9FormatInfo* info, UINT width, UINT height, UINT levels,
                         DWORD usage, D3DPOOL pool)
    : D3d9Object(device), m_info(info), m_width(width), m_height(height), m_usage(usage), m_pool(pool)
{
    UINT fullChain = 1;
    while ((width >> fullChain) || (height >> fullChain))
        ++fullChain;
    if (levels == 0 || levels > fullChain)
        levels = fullChain;

    ClearGlErrors();
    glGenTextures(1, &m_glTexture);
    m_device->BindWorkTexture(m_glTexture);
    // A level range that matches what exists keeps GL from treating the
    // texture as incomplete when a mip filter is chosen.
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, (GLint)levels - 1);
    glTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_RGBA, info->swizzle);
    for (UINT level = 0; level < levels; ++level) {
        GLsizei w = (GLsizei)LevelSide(width, level), h = (GLsizei)LevelSide(height, level);
        if (info->blockBytes && info->conversion == D3d9Conversion::kNone) {
            GLsizei size = (GLsizei)(D3d9RowPitch(*info, (UINT)w) * D3d9RowCount(*info, (UINT)h));
            std::vector<uint8_t> zero((size_t)size, 0);
            glCompressedTexImage2D(GL_TEXTURE_2D, (GLint)level, info->internalFormat, w, h, 0, size, zero.data());
        } else {
            glTexImage2D(GL_TEXTURE_2D, (GLint)level, (GLint)info->internalFormat, w, h, 0, info->uploadFormat,
                         info->uploadType, nullptr);
        }
    }
    if (GlRanOutOfMemory()) {
        m_device->ForgetTexture(m_glTexture);
        glDeleteTextures(1, &m_glTexture);
        m_glTexture = 0;
    }
    m_locks.resize(levels);
    m_levels.resize(levels);
    for (UINT level = 0; level < levels; ++level)
        m_levels[level] = new D3d9Surface(device, this, level);
}

D3d9Texture::~D3d9Texture()
{
    for (D3d9Surface* level : m_levels)
        delete level;
    if (m_device)
        m_device->ForgetTexture(m_glTexture);
    if (m_glTexture)
        glDeleteTextures(1, &m_glTexture);
}

void D3d9Texture::DetachFromDevice()
{
    D3d9ResourceLink::DetachFromDevice();
    m_glTexture = 0;
}

UINT D3d9Texture::LevelWidth(UINT level) const
{
    return LevelSide(m_width, level);
}

UINT D3d9Texture::LevelHeight(UINT level) const
{
    return LevelSide(m_height, level);
}

HRESULT D3d9Texture::GetLevelDesc(UINT level, D3DSURFACE_DESC* desc)
{
    if (level >= m_levels.size())
        return D3DERR_INVALIDCALL;
    return m_levels[level]->GetDesc(desc);
}

HRESULT D3d9Texture::GetSurfaceLevel(UINT level, IDirect3DSurface9** surface)
{
    if (!surface || level >= m_levels.size())
        return D3DERR_INVALIDCALL;
    AddRef();
    *surface = m_levels[level];
    return D3D_OK;
}

HRESULT D3d9Texture::LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags)
{
    // Render targets and depth buffers of the default pool cannot be locked.
    if (!locked || level >= m_levels.size() || (m_usage & (D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL)))
        return D3DERR_INVALIDCALL;
    LevelLock& lock = m_locks[level];
    if (lock.locked)
        return D3DERR_INVALIDCALL;
    RECT whole = {0, 0, (LONG)LevelWidth(level), (LONG)LevelHeight(level)};
    const RECT& r = rect ? *rect : whole;
    if (!ValidLockRect(*m_info, r, LevelWidth(level), LevelHeight(level)))
        return D3DERR_INVALIDCALL;
    // The lock hands out a fresh buffer for the rectangle; Unlock uploads it.
    // Direct3D textures of the default pool cannot be read back through a
    // lock either, so nothing of the old content is lost to a writer.
    lock.rect = r;
    lock.pitch = D3d9RowPitch(*m_info, (UINT)(r.right - r.left));
    lock.data.assign((size_t)lock.pitch * D3d9RowCount(*m_info, (UINT)(r.bottom - r.top)), 0);
    lock.readOnly = (flags & D3DLOCK_READONLY) != 0;
    lock.locked = true;
    locked->Pitch = (INT)lock.pitch;
    locked->pBits = lock.data.data();
    return D3D_OK;
}

HRESULT D3d9Texture::UnlockRect(UINT level)
{
    if (level >= m_levels.size() || !m_locks[level].locked)
        return D3DERR_INVALIDCALL;
    LevelLock& lock = m_locks[level];
    if (!lock.readOnly)
        Upload(level, lock.rect, lock.data.data(), lock.pitch);
    lock.locked = false;
    std::vector<uint8_t>().swap(lock.data);
    return D3D_OK;
}

void D3d9Texture::Upload(UINT level, const RECT& rect, const void* data, UINT pitch)
{
    if (!m_device)
        return;
    m_device->BindWorkTexture(m_glTexture);
    D3d9UploadRect(*m_info, (GLint)level, (UINT)rect.left, (UINT)rect.top, (UINT)(rect.right - rect.left),
                   (UINT)(rect.bottom - rect.top), data, pitch);
}

// ---------------------------------------------------------------------------
// Buffers.

D3d9BufferData::D3d9BufferData(UINT length, DWORD usage) : m_memory(length, 0), m_usage(usage)
{
    ClearGlErrors();
    glGenBuffers(1, &m_glBuffer);
    glBindBuffer(GL_COPY_WRITE_BUFFER, m_glBuffer);
    glBufferData(GL_COPY_WRITE_BUFFER, (GLsizeiptr)length, nullptr,
                 (usage & D3DUSAGE_DYNAMIC) ? GL_DYNAMIC_DRAW : GL_STATIC_DRAW);
    if (GlRanOutOfMemory()) {
        glDeleteBuffers(1, &m_glBuffer);
        m_glBuffer = 0;
    }
}

D3d9BufferData::~D3d9BufferData()
{
    if (m_glBuffer)
        glDeleteBuffers(1, &m_glBuffer);
}

HRESULT D3d9BufferData::Lock(UINT offset, UINT size, void** data, DWORD flags)
{
    if (!data || m_locked)
        return D3DERR_INVALIDCALL;
    if (offset > m_memory.size())
        return D3DERR_INVALIDCALL;
    if (size == 0)
        size = (UINT)m_memory.size() - offset;
    if (size > m_memory.size() - offset)
        return D3DERR_INVALIDCALL;
    m_lockOffset = offset;
    m_lockSize = size;
    m_discard = (flags & D3DLOCK_DISCARD) && (m_usage & D3DUSAGE_DYNAMIC);
    m_readOnly = (flags & D3DLOCK_READONLY) != 0;
    m_locked = true;
    *data = m_memory.data() + offset;
    return D3D_OK;
}

HRESULT D3d9BufferData::Unlock()
{
    if (!m_locked)
        return D3DERR_INVALIDCALL;
    m_locked = false;
    if (m_readOnly || m_lockSize == 0 || !m_glBuffer)
        return D3D_OK;
    glBindBuffer(GL_COPY_WRITE_BUFFER, m_glBuffer);
    if (m_discard) {
        // A discarding lock gives the driver a fresh store instead of waiting
        // for draws that still read the old one.
        glBufferData(GL_COPY_WRITE_BUFFER, (GLsizeiptr)m_memory.size(), nullptr, GL_DYNAMIC_DRAW);
        glBufferSubData(GL_COPY_WRITE_BUFFER, 0, (GLsizeiptr)m_memory.size(), m_memory.data());
    } else {
        glBufferSubData(GL_COPY_WRITE_BUFFER, (GLintptr)m_lockOffset, (GLsizeiptr)m_lockSize,
                        m_memory.data() + m_lockOffset);
    }
    return D3D_OK;
}

template <class Interface, D3DRESOURCETYPE Type>
D3d9Buffer<Interface, Type>::D3d9Buffer(D3d9Device* device, UINT length, DWORD usage)
    : D3d9Object<Interface>(device), m_data(length, usage)
{
}

template <class Interface, D3DRESOURCETYPE Type>
D3d9Buffer<Interface, Type>::~D3d9Buffer()
{
    if (this->m_device)
        this->m_device->ForgetBuffer(m_data.GlBuffer());
}

template <class Interface, D3DRESOURCETYPE Type>
void D3d9Buffer<Interface, Type>::DetachFromDevice()
{
    D3d9ResourceLink::DetachFromDevice();
    m_data.ForgetGlBuffer();
}

template class D3d9Buffer<IDirect3DVertexBuffer9, D3DRTYPE_VERTEXBUFFER>;
template class D3d9Buffer<IDirect3DIndexBuffer9, D3DRTYPE_INDEXBUFFER>;
