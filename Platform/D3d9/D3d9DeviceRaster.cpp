// Render targets, Clear, surface copies and the mapping of Direct3D's raster
// state (blend, depth, stencil, culling, fill, masks, bias, viewport) onto GL.
#include "Platform/D3d9/D3d9Device.h"

#include <algorithm>

// Groups of render states that map onto one piece of GL state; a change of
// any member re-sends the group at the next draw.
enum D3d9RasterGroup : uint32_t {
    kRasterBlend = 1u << 0,
    kRasterDepth = 1u << 1,
    kRasterStencil = 1u << 2,
    kRasterCull = 1u << 3,
    kRasterFill = 1u << 4,
    kRasterColourMask = 1u << 5,
    kRasterDepthBias = 1u << 6,
};

void D3d9Device::MarkRenderStateGroup(D3DRENDERSTATETYPE state)
{
    switch (state) {
    case D3DRS_ALPHABLENDENABLE:
    case D3DRS_SRCBLEND:
    case D3DRS_DESTBLEND:
    case D3DRS_BLENDOP:
    case D3DRS_BLENDFACTOR:
    case D3DRS_SEPARATEALPHABLENDENABLE:
    case D3DRS_SRCBLENDALPHA:
    case D3DRS_DESTBLENDALPHA:
    case D3DRS_BLENDOPALPHA:
        m_gl.rasterDirty |= kRasterBlend;
        break;
    case D3DRS_ZENABLE:
    case D3DRS_ZWRITEENABLE:
    case D3DRS_ZFUNC:
        m_gl.rasterDirty |= kRasterDepth;
        break;
    case D3DRS_STENCILENABLE:
    case D3DRS_STENCILFAIL:
    case D3DRS_STENCILZFAIL:
    case D3DRS_STENCILPASS:
    case D3DRS_STENCILFUNC:
    case D3DRS_STENCILREF:
    case D3DRS_STENCILMASK:
    case D3DRS_STENCILWRITEMASK:
        m_gl.rasterDirty |= kRasterStencil;
        break;
    case D3DRS_CULLMODE:
        m_gl.rasterDirty |= kRasterCull;
        break;
    case D3DRS_FILLMODE:
        m_gl.rasterDirty |= kRasterFill;
        break;
    case D3DRS_COLORWRITEENABLE:
        m_gl.rasterDirty |= kRasterColourMask;
        break;
    case D3DRS_DEPTHBIAS:
    case D3DRS_SLOPESCALEDEPTHBIAS:
        m_gl.rasterDirty |= kRasterDepthBias;
        break;
    default:
        break;
    }
}

void D3d9Device::InvalidateRasterCache()
{
    m_gl.rasterDirty = ~0u;
    m_gl.viewportMode = -1;
}

// ---------------------------------------------------------------------------
// Value mappings.

static GLenum CompareFunc(DWORD func)
{
    static const GLenum kFuncs[] = {GL_NEVER, GL_LESS, GL_EQUAL, GL_LEQUAL, GL_GREATER, GL_NOTEQUAL, GL_GEQUAL, GL_ALWAYS};
    return (func >= D3DCMP_NEVER && func <= D3DCMP_ALWAYS) ? kFuncs[func - 1] : GL_ALWAYS;
}

static GLenum BlendFactor(DWORD blend)
{
    switch (blend) {
    case D3DBLEND_ZERO: return GL_ZERO;
    case D3DBLEND_ONE: return GL_ONE;
    case D3DBLEND_SRCCOLOR: return GL_SRC_COLOR;
    case D3DBLEND_INVSRCCOLOR: return GL_ONE_MINUS_SRC_COLOR;
    case D3DBLEND_SRCALPHA: return GL_SRC_ALPHA;
    case D3DBLEND_INVSRCALPHA: return GL_ONE_MINUS_SRC_ALPHA;
    case D3DBLEND_DESTALPHA: return GL_DST_ALPHA;
    case D3DBLEND_INVDESTALPHA: return GL_ONE_MINUS_DST_ALPHA;
    case D3DBLEND_DESTCOLOR: return GL_DST_COLOR;
    case D3DBLEND_INVDESTCOLOR: return GL_ONE_MINUS_DST_COLOR;
    case D3DBLEND_SRCALPHASAT: return GL_SRC_ALPHA_SATURATE;
    case D3DBLEND_BLENDFACTOR: return GL_CONSTANT_COLOR;
    case D3DBLEND_INVBLENDFACTOR: return GL_ONE_MINUS_CONSTANT_COLOR;
    default: return GL_ONE;
    }
}

static GLenum BlendEquation(DWORD op)
{
    static const GLenum kOps[] = {GL_FUNC_ADD, GL_FUNC_SUBTRACT, GL_FUNC_REVERSE_SUBTRACT, GL_MIN, GL_MAX};
    return (op >= D3DBLENDOP_ADD && op <= D3DBLENDOP_MAX) ? kOps[op - 1] : GL_FUNC_ADD;
}

// Direct3D's INCR/DECR wrap and INCRSAT/DECRSAT clamp; GL's names cross over.
static GLenum StencilOp(DWORD op)
{
    static const GLenum kOps[] = {GL_KEEP, GL_ZERO, GL_REPLACE, GL_INCR, GL_DECR, GL_INVERT, GL_INCR_WRAP, GL_DECR_WRAP};
    return (op >= D3DSTENCILOP_KEEP && op <= D3DSTENCILOP_DECR) ? kOps[op - 1] : GL_KEEP;
}

// The (src, dst) pair for one of Direct3D's blend settings, with the two
// shorthand factors that set both sides.
static void BlendPair(DWORD src, DWORD dst, GLenum* glSrc, GLenum* glDst)
{
    if (src == D3DBLEND_BOTHSRCALPHA) {
        *glSrc = GL_SRC_ALPHA;
        *glDst = GL_ONE_MINUS_SRC_ALPHA;
    } else if (src == D3DBLEND_BOTHINVSRCALPHA) {
        *glSrc = GL_ONE_MINUS_SRC_ALPHA;
        *glDst = GL_SRC_ALPHA;
    } else {
        *glSrc = BlendFactor(src);
        *glDst = BlendFactor(dst);
    }
}

static void ColourToFloats(D3DCOLOR c, float out[4])
{
    out[0] = (float)((c >> 16) & 0xFF) / 255.0f;
    out[1] = (float)((c >> 8) & 0xFF) / 255.0f;
    out[2] = (float)(c & 0xFF) / 255.0f;
    out[3] = (float)(c >> 24) / 255.0f;
}

// ---------------------------------------------------------------------------
// Raster state.

void D3d9Device::ApplyBlend()
{
    const DWORD* rs = m_state->renderState;
    if (!rs[D3DRS_ALPHABLENDENABLE]) {
        glDisable(GL_BLEND);
        return;
    }
    glEnable(GL_BLEND);
    GLenum src, dst, srcAlpha, dstAlpha;
    BlendPair(rs[D3DRS_SRCBLEND], rs[D3DRS_DESTBLEND], &src, &dst);
    GLenum equation = BlendEquation(rs[D3DRS_BLENDOP]);
    GLenum equationAlpha = equation;
    if (rs[D3DRS_SEPARATEALPHABLENDENABLE]) {
        BlendPair(rs[D3DRS_SRCBLENDALPHA], rs[D3DRS_DESTBLENDALPHA], &srcAlpha, &dstAlpha);
        equationAlpha = BlendEquation(rs[D3DRS_BLENDOPALPHA]);
    } else {
        srcAlpha = src;
        dstAlpha = dst;
    }
    glBlendFuncSeparate(src, dst, srcAlpha, dstAlpha);
    glBlendEquationSeparate(equation, equationAlpha);
    float factor[4];
    ColourToFloats(rs[D3DRS_BLENDFACTOR], factor);
    glBlendColor(factor[0], factor[1], factor[2], factor[3]);
}

void D3d9Device::ApplyDepth()
{
    const DWORD* rs = m_state->renderState;
    if (rs[D3DRS_ZENABLE] == D3DZB_FALSE) {
        glDisable(GL_DEPTH_TEST);
        return;
    }
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(CompareFunc(rs[D3DRS_ZFUNC]));
    glDepthMask(rs[D3DRS_ZWRITEENABLE] ? GL_TRUE : GL_FALSE);
}

void D3d9Device::ApplyStencil()
{
    const DWORD* rs = m_state->renderState;
    if (!rs[D3DRS_STENCILENABLE]) {
        glDisable(GL_STENCIL_TEST);
        return;
    }
    glEnable(GL_STENCIL_TEST);
    glStencilFunc(CompareFunc(rs[D3DRS_STENCILFUNC]), (GLint)(rs[D3DRS_STENCILREF] & 0xFF), rs[D3DRS_STENCILMASK]);
    glStencilOp(StencilOp(rs[D3DRS_STENCILFAIL]), StencilOp(rs[D3DRS_STENCILZFAIL]), StencilOp(rs[D3DRS_STENCILPASS]));
    glStencilMask(rs[D3DRS_STENCILWRITEMASK]);
}

// Direct3D's CW culls triangles that run clockwise on screen. With GL's
// upper-left clip origin the facing sign is negated, so the GL front face
// that keeps counter-clockwise triangles differs from the fallback's.
void D3d9Device::ApplyCull()
{
    DWORD cull = m_state->renderState[D3DRS_CULLMODE];
    if (cull != D3DCULL_CW && cull != D3DCULL_CCW) {
        glDisable(GL_CULL_FACE);
        return;
    }
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    bool keepCounterClockwiseInGl = (cull == D3DCULL_CW) == m_caps.clipControl;
    glFrontFace(keepCounterClockwiseInGl ? GL_CCW : GL_CW);
}

void D3d9Device::ApplyDepthBias()
{
    const DWORD* rs = m_state->renderState;
    float bias = D3d9StateFloat(rs[D3DRS_DEPTHBIAS]);
    float slope = D3d9StateFloat(rs[D3DRS_SLOPESCALEDEPTHBIAS]);
    if (bias == 0.0f && slope == 0.0f) {
        glDisable(GL_POLYGON_OFFSET_FILL);
        glDisable(GL_POLYGON_OFFSET_LINE);
        return;
    }
    // Direct3D's bias is in depth units; GL's in steps of the depth buffer.
    glEnable(GL_POLYGON_OFFSET_FILL);
    glEnable(GL_POLYGON_OFFSET_LINE);
    glPolygonOffset(slope, bias * (float)(1u << m_gl.depthBits));
}

void D3d9Device::ApplyRasterState()
{
    uint32_t dirty = m_gl.rasterDirty;
    if (!dirty)
        return;
    m_gl.rasterDirty = 0;
    const DWORD* rs = m_state->renderState;
    if (dirty & kRasterBlend)
        ApplyBlend();
    if (dirty & kRasterDepth)
        ApplyDepth();
    if (dirty & kRasterStencil)
        ApplyStencil();
    if (dirty & kRasterCull)
        ApplyCull();
    if (dirty & kRasterFill) {
        DWORD fill = rs[D3DRS_FILLMODE];
        glPolygonMode(GL_FRONT_AND_BACK, fill == D3DFILL_POINT ? GL_POINT : fill == D3DFILL_WIREFRAME ? GL_LINE : GL_FILL);
    }
    if (dirty & kRasterColourMask) {
        DWORD mask = rs[D3DRS_COLORWRITEENABLE];
        glColorMask((mask & 1) != 0, (mask & 2) != 0, (mask & 4) != 0, (mask & 8) != 0);
    }
    if (dirty & kRasterDepthBias)
        ApplyDepthBias();
}

// Pre-transformed vertices are in render-target pixels, so they are mapped
// over the whole target; both kinds are clipped to the viewport by the scissor.
void D3d9Device::ApplyViewport(bool pretransformed)
{
    int mode = pretransformed ? 1 : 0;
    if (m_gl.viewportMode == mode)
        return;
    m_gl.viewportMode = mode;
    const D3DVIEWPORT9& vp = m_state->viewport;
    if (pretransformed) {
        glViewport(0, 0, (GLsizei)m_renderTarget->Width(), (GLsizei)m_renderTarget->Height());
        glDepthRange(0.0, 1.0);
    } else {
        glViewport((GLint)vp.X, (GLint)vp.Y, (GLsizei)vp.Width, (GLsizei)vp.Height);
        glDepthRange(vp.MinZ, vp.MaxZ);
    }
    glScissor((GLint)vp.X, (GLint)vp.Y, (GLsizei)vp.Width, (GLsizei)vp.Height);
}

void D3d9Device::UpdatePositionFix()
{
    const D3DVIEWPORT9& vp = m_state->viewport;
    float eps = m_caps.tieEpsilon;
    float (*fix)[4] = m_state->positionFix;
    m_state->targetWidth = m_renderTarget->Width();
    m_state->targetHeight = m_renderTarget->Height();
    fix[0][0] = 2.0f / (float)m_state->targetWidth;
    fix[0][1] = 2.0f / (float)m_state->targetHeight;
    fix[0][2] = 0.5f - eps;
    fix[0][3] = m_caps.clipControl ? -1.0f : 1.0f;
    fix[1][0] = vp.Width ? 1.0f / (float)vp.Width : 0.0f;
    fix[1][1] = vp.Height ? (1.0f - 2.0f * eps) / (float)vp.Height : 0.0f;
    fix[1][2] = m_caps.clipControl ? 1.0f : 2.0f;
    fix[1][3] = m_caps.clipControl ? 0.0f : -1.0f;
    m_state->dirty |= kD3d9DirtyPositionFix;
}

// ---------------------------------------------------------------------------
// Render targets.

void D3d9Device::BindTargets()
{
    if (!m_gl.targetsDirty)
        return;
    m_gl.targetsDirty = false;
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, m_drawFbo);
    m_renderTarget->Attach(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0);
    glFramebufferRenderbuffer(GL_DRAW_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, 0);
    if (m_depthStencil) {
        bool stencil = m_depthStencil->Info().stencil;
        m_depthStencil->Attach(GL_DRAW_FRAMEBUFFER, stencil ? GL_DEPTH_STENCIL_ATTACHMENT : GL_DEPTH_ATTACHMENT);
        switch (m_depthStencil->Info().internalFormat) {
        case GL_DEPTH_COMPONENT16: m_gl.depthBits = 16; break;
        case GL_DEPTH_COMPONENT32F:
        case GL_DEPTH32F_STENCIL8: m_gl.depthBits = 23; break;
        default: m_gl.depthBits = 24; break;
        }
    }
    GLenum buffer = GL_COLOR_ATTACHMENT0;
    glDrawBuffers(1, &buffer);
    m_gl.rasterDirty |= kRasterDepthBias;
    // A format GL cannot render to leaves draws without effect; say so once.
    GLenum status = glCheckFramebufferStatus(GL_DRAW_FRAMEBUFFER);
    static bool s_reported = false;
    if (status != GL_FRAMEBUFFER_COMPLETE && !s_reported) {
        SDL_Log("Direct3D device: render target format %u with depth format %u cannot be drawn to (GL status 0x%X)",
                (unsigned)m_renderTarget->Info().format,
                m_depthStencil ? (unsigned)m_depthStencil->Info().format : 0u, status);
        s_reported = true;
    }
}

static bool IsColourTarget(const D3d9Surface* s)
{
    return !s->Info().depth && (s->Kind() == D3d9SurfaceKind::kColourBuffer ||
                                (s->Kind() == D3d9SurfaceKind::kTextureLevel && (s->Usage() & D3DUSAGE_RENDERTARGET)));
}

static bool IsDepthTarget(const D3d9Surface* s)
{
    return s->Info().depth &&
           (s->Kind() == D3d9SurfaceKind::kDepthBuffer || s->Kind() == D3d9SurfaceKind::kTextureLevel);
}

static D3d9Surface* OurSurface(IDirect3DSurface9* surface, D3d9Device* device)
{
    return D3d9OurResource<D3d9Surface>(surface, device);
}

HRESULT D3d9Device::SetRenderTarget(DWORD index, IDirect3DSurface9* surface)
{
    if (index != 0)
        return surface ? D3DERR_INVALIDCALL : D3D_OK;
    D3d9Surface* ours = OurSurface(surface, this);
    if (!ours || !IsColourTarget(ours))
        return D3DERR_INVALIDCALL;
    D3d9HoldResource(m_renderTarget, ours);
    m_gl.targetsDirty = true;
    // A new target brings a viewport over all of it.
    m_state->viewport = {0, 0, ours->Width(), ours->Height(), 0.0f, 1.0f};
    m_gl.viewportMode = -1;
    UpdatePositionFix();
    return D3D_OK;
}

HRESULT D3d9Device::GetRenderTarget(DWORD index, IDirect3DSurface9** surface)
{
    if (!surface)
        return D3DERR_INVALIDCALL;
    *surface = nullptr;
    if (index != 0)
        return D3DERR_NOTFOUND;
    m_renderTarget->AddRef();
    *surface = m_renderTarget;
    return D3D_OK;
}

HRESULT D3d9Device::SetDepthStencilSurface(IDirect3DSurface9* surface)
{
    D3d9Surface* ours = OurSurface(surface, this);
    if (surface && (!ours || !IsDepthTarget(ours)))
        return D3DERR_INVALIDCALL;
    D3d9HoldResource(m_depthStencil, ours);
    m_gl.targetsDirty = true;
    return D3D_OK;
}

HRESULT D3d9Device::GetDepthStencilSurface(IDirect3DSurface9** surface)
{
    if (!surface)
        return D3DERR_INVALIDCALL;
    *surface = m_depthStencil;
    if (!m_depthStencil)
        return D3DERR_NOTFOUND;
    m_depthStencil->AddRef();
    return D3D_OK;
}

// ---------------------------------------------------------------------------
// Clear: the viewport (or the given rectangles inside it), whatever the
// write masks say.

HRESULT D3d9Device::Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil)
{
    if (!(flags & (D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) || (count && !rects))
        return D3DERR_INVALIDCALL;
    if ((flags & (D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) && !m_depthStencil)
        return D3DERR_INVALIDCALL;
    if ((flags & D3DCLEAR_STENCIL) && !m_depthStencil->Info().stencil)
        return D3DERR_INVALIDCALL;
    BindTargets();

    GLbitfield mask = 0;
    if (flags & D3DCLEAR_TARGET) {
        float c[4];
        ColourToFloats(color, c);
        glClearColor(c[0], c[1], c[2], c[3]);
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        mask |= GL_COLOR_BUFFER_BIT;
    }
    if (flags & D3DCLEAR_ZBUFFER) {
        glClearDepth(std::min(std::max(z, 0.0f), 1.0f));
        glDepthMask(GL_TRUE);
        mask |= GL_DEPTH_BUFFER_BIT;
    }
    if (flags & D3DCLEAR_STENCIL) {
        glClearStencil((GLint)(stencil & 0xFF));
        glStencilMask(0xFF);
        mask |= GL_STENCIL_BUFFER_BIT;
    }

    const D3DVIEWPORT9& vp = m_state->viewport;
    LONG vx1 = (LONG)vp.X, vy1 = (LONG)vp.Y, vx2 = (LONG)(vp.X + vp.Width), vy2 = (LONG)(vp.Y + vp.Height);
    D3DRECT whole = {vx1, vy1, vx2, vy2};
    if (count == 0) {
        rects = &whole;
        count = 1;
    }
    for (DWORD i = 0; i < count; ++i) {
        LONG x1 = std::max(rects[i].x1, vx1), y1 = std::max(rects[i].y1, vy1);
        LONG x2 = std::min(rects[i].x2, vx2), y2 = std::min(rects[i].y2, vy2);
        if (x1 >= x2 || y1 >= y2)
            continue;
        glScissor(x1, y1, x2 - x1, y2 - y1);
        glClear(mask);
    }
    m_gl.rasterDirty |= kRasterColourMask | kRasterDepth | kRasterStencil;
    m_gl.viewportMode = -1;
    return D3D_OK;
}

// ---------------------------------------------------------------------------
// Surface copies.

HRESULT D3d9Device::UpdateSurface(IDirect3DSurface9* source, const RECT* sourceRect, IDirect3DSurface9* dest,
                                  const POINT* destPoint)
{
    D3d9Surface* src = OurSurface(source, this);
    D3d9Surface* dst = OurSurface(dest, this);
    if (!src || !dst || src->Kind() != D3d9SurfaceKind::kMemory || dst->Kind() == D3d9SurfaceKind::kMemory ||
        dst->Info().depth || src->Info().format != dst->Info().format)
        return D3DERR_INVALIDCALL;
    RECT r = sourceRect ? *sourceRect : RECT{0, 0, (LONG)src->Width(), (LONG)src->Height()};
    POINT at = destPoint ? *destPoint : POINT{0, 0};
    int64_t w = (int64_t)r.right - r.left, h = (int64_t)r.bottom - r.top;
    if (r.left < 0 || r.top < 0 || w <= 0 || h <= 0 || (UINT)r.right > src->Width() ||
        (UINT)r.bottom > src->Height() || at.x < 0 || at.y < 0 || (int64_t)at.x + w > (int64_t)dst->Width() ||
        (int64_t)at.y + h > (int64_t)dst->Height())
        return D3DERR_INVALIDCALL;
    const D3d9FormatInfo& info = src->Info();
    if (info.blockBytes && ((r.left | r.top | at.x | at.y) % 4))
        return D3DERR_INVALIDCALL;
    const uint8_t* bytes = src->Memory() + (info.blockBytes
                                                ? (UINT)(r.top / 4) * src->Pitch() + (UINT)(r.left / 4) * info.blockBytes
                                                : (UINT)r.top * src->Pitch() + (UINT)r.left * info.bytesPerPixel);
    BindWorkTexture(dst->GlTexture());
    D3d9UploadRect(info, dst->GlLevel(), (UINT)at.x, (UINT)at.y, (UINT)w, (UINT)h, bytes, src->Pitch());
    return D3D_OK;
}

HRESULT D3d9Device::GetRenderTargetData(IDirect3DSurface9* renderTarget, IDirect3DSurface9* dest)
{
    D3d9Surface* src = OurSurface(renderTarget, this);
    D3d9Surface* dst = OurSurface(dest, this);
    if (!src || !dst || !IsColourTarget(src) || dst->Kind() != D3d9SurfaceKind::kMemory ||
        src->Info().format != dst->Info().format || src->Width() != dst->Width() || src->Height() != dst->Height())
        return D3DERR_INVALIDCALL;
    glBindFramebuffer(GL_READ_FRAMEBUFFER, m_readFbo);
    src->Attach(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    bool ok = D3d9ReadRect(src->Info(), 0, 0, src->Width(), src->Height(), dst->Memory(), dst->Pitch());
    return ok ? D3D_OK : D3DERR_INVALIDCALL;
}

HRESULT D3d9Device::StretchRect(IDirect3DSurface9* source, const RECT* sourceRect, IDirect3DSurface9* dest,
                                const RECT* destRect, D3DTEXTUREFILTERTYPE filter)
{
    D3d9Surface* src = OurSurface(source, this);
    D3d9Surface* dst = OurSurface(dest, this);
    if (!src || !dst || src->Kind() == D3d9SurfaceKind::kMemory || dst->Kind() == D3d9SurfaceKind::kMemory)
        return D3DERR_INVALIDCALL;
    bool depth = src->Info().depth;
    if (depth != dst->Info().depth)
        return D3DERR_INVALIDCALL;
    // Depth copies go whole surface to whole surface of one format.
    if (depth && (sourceRect || destRect || src->Info().internalFormat != dst->Info().internalFormat ||
                  src->Width() != dst->Width() || src->Height() != dst->Height()))
        return D3DERR_INVALIDCALL;
    RECT s = sourceRect ? *sourceRect : RECT{0, 0, (LONG)src->Width(), (LONG)src->Height()};
    RECT d = destRect ? *destRect : RECT{0, 0, (LONG)dst->Width(), (LONG)dst->Height()};
    auto inside = [](const RECT& r, const D3d9Surface* surface) {
        return r.left >= 0 && r.top >= 0 && r.left < r.right && r.top < r.bottom &&
               (UINT)r.right <= surface->Width() && (UINT)r.bottom <= surface->Height();
    };
    if (!inside(s, src) || !inside(d, dst))
        return D3DERR_INVALIDCALL;

    GLenum attachment = GL_COLOR_ATTACHMENT0;
    GLbitfield mask = GL_COLOR_BUFFER_BIT;
    if (depth) {
        attachment = src->Info().stencil ? GL_DEPTH_STENCIL_ATTACHMENT : GL_DEPTH_ATTACHMENT;
        mask = GL_DEPTH_BUFFER_BIT | (src->Info().stencil ? GL_STENCIL_BUFFER_BIT : 0);
    }
    glBindFramebuffer(GL_READ_FRAMEBUFFER, m_readFbo);
    glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, 0, 0);
    glFramebufferRenderbuffer(GL_READ_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, 0);
    src->Attach(GL_READ_FRAMEBUFFER, attachment);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, m_blitFbo);
    glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, 0, 0);
    glFramebufferRenderbuffer(GL_DRAW_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, 0);
    dst->Attach(GL_DRAW_FRAMEBUFFER, attachment);
    glDisable(GL_SCISSOR_TEST);
    GLenum glFilter = (!depth && filter == D3DTEXF_LINEAR) ? GL_LINEAR : GL_NEAREST;
    glBlitFramebuffer(s.left, s.top, s.right, s.bottom, d.left, d.top, d.right, d.bottom, mask, glFilter);
    glEnable(GL_SCISSOR_TEST);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, m_drawFbo);
    m_gl.viewportMode = -1;
    return D3D_OK;
}
