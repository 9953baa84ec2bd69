#include "Engine/Core/Gm/GmTexture.h"

#include "Engine/Core/Common/GeErrorNames.h"
#include "Engine/Core/Common/GeMath.h"
#include "Engine/Core/Common/GeSimd.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmDeviceWrapper.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmFormatTable.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmResourceManager.h"
#include "Engine/Core/Gm/GmImage.h"
#include "Engine/Core/Gm/GmTgaWriter.h"

#include <algorithm>
#include <cstring>

namespace {

// Engine formats 18 to 24 are depth formats: such a texture is a depth-stencil
// texture whatever else was asked for.
const uint32_t kFirstDepthFormat = 18;
const uint32_t kLastDepthFormat = 24;

// DXT1 packs a 4 by 4 block into 8 bytes, the other DXT formats into 16.
const uint32_t kDxt1BlockBytes = 8;
const uint32_t kDxtBlockBytes = 16;

// A scaled side beyond this is refused before it is turned into an integer;
// the image code refuses far smaller images anyway.
const float kMaxScaledSide = 65536.0f;

uint32_t Pow2(uint32_t side)
{
    return NextPowerOfTwo(side ? side : 1);
}

IDirect3DDevice9* Device()
{
    return g_pGmDevice ? g_pGmDevice->GetDevice() : nullptr;
}

// Copies rows of up to `bytes` each between two pitches.
void CopyRows(uint8_t* dst, uint32_t dstPitch, const uint8_t* src, uint32_t srcPitch, uint32_t rows)
{
    if (dstPitch == srcPitch) {
        g_pGeSimd->Memcpy(dst, src, size_t(rows) * srcPitch);
        return;
    }
    const uint32_t bytes = std::min(dstPitch, srcPitch);
    for (uint32_t y = 0; y < rows; ++y)
        g_pGeSimd->Memcpy(dst + size_t(y) * dstPitch, src + size_t(y) * srcPitch, bytes);
}

// A raw record over memory it does not own (a locked surface), so that the
// decoders can write into it directly.
class CSurfaceImage : public CGmImage {
public:
    CSurfaceImage(const CGmImage& shape, void* bits, uint32_t surfacePitch)
    {
        width = shape.width;
        height = shape.height;
        format = shape.format;
        pitch = surfacePitch;
        kind = GM_IMAGE_RAW;
        data = static_cast<uint8_t*>(bits);
    }
    ~CSurfaceImage() { data = nullptr; }
};

// The system-memory surface that uploads and read-backs go through. One is
// kept between uploads of the same size and format: making and zeroing a
// fresh one each time cost as much as decoding a JPEG. The device wrapper
// owns it, so that it goes before the device does.
class CStagingSurfaceKeeper : public CGeResource {
public:
    ~CStagingSurfaceKeeper() override
    {
        if (surface)
            surface->Release();
        if (s_kept == this)
            s_kept = nullptr;
    }

    // A surface of that size and format on the current device, or null.
    static IDirect3DSurface9* Get(uint32_t width, uint32_t height, D3DFORMAT format)
    {
        IDirect3DDevice9* device = Device();
        if (!device)
            return nullptr;
        if (!s_kept || s_kept->wrapper != g_pGmDevice) {
            s_kept = new CStagingSurfaceKeeper();
            s_kept->wrapper = g_pGmDevice;
            g_pGmDevice->m_owned.Add(s_kept);
        }
        CStagingSurfaceKeeper& kept = *s_kept;
        if (kept.surface && kept.width == width && kept.height == height && kept.format == format)
            return kept.surface;
        if (kept.surface)
            kept.surface->Release();
        kept.surface = nullptr;
        const HRESULT result =
            device->CreateOffscreenPlainSurface(width, height, format, D3DPOOL_SYSTEMMEM, &kept.surface, nullptr);
        if (FAILED(result)) {
            GmTrace("CGmTexture: CreateOffscreenPlainSurface failed: %s\n", GetD3dErrorName(result));
            kept.surface = nullptr;
            return nullptr;
        }
        kept.width = width;
        kept.height = height;
        kept.format = format;
        return kept.surface;
    }

private:
    static CStagingSurfaceKeeper* s_kept;
    const CGmDeviceWrapper* wrapper = nullptr;
    IDirect3DSurface9* surface = nullptr;
    uint32_t width = 0;
    uint32_t height = 0;
    D3DFORMAT format = D3DFMT_UNKNOWN;
};

CStagingSurfaceKeeper* CStagingSurfaceKeeper::s_kept = nullptr;

// Level 0 of a texture and the staging surface of its size and format,
// locked while this lives.
class CStagingSurface {
public:
    CStagingSurface(IDirect3DTexture9* texture, DWORD lockFlags) : m_lockFlags(lockFlags)
    {
        D3DSURFACE_DESC desc;
        if (FAILED(texture->GetSurfaceLevel(0, &level)) || FAILED(level->GetDesc(&desc))) {
            GmTrace("CGmTexture: level 0 of the texture cannot be reached\n");
            return;
        }
        width = desc.Width;
        height = desc.Height;
        staging = CStagingSurfaceKeeper::Get(width, height, desc.Format);
    }
    ~CStagingSurface()
    {
        Unlock();
        if (level)
            level->Release();
    }
    CStagingSurface(const CStagingSurface&) = delete;
    CStagingSurface& operator=(const CStagingSurface&) = delete;

    bool Lock()
    {
        if (!staging)
            return false;
        const HRESULT result = staging->LockRect(&locked, nullptr, m_lockFlags);
        if (FAILED(result)) {
            GmTrace("CGmTexture: LockRect failed: %s\n", GetD3dErrorName(result));
            return false;
        }
        m_locked = true;
        return true;
    }
    void Unlock()
    {
        if (m_locked)
            staging->UnlockRect();
        m_locked = false;
    }
    uint8_t* Bits() const { return static_cast<uint8_t*>(locked.pBits); }
    uint32_t Pitch() const { return uint32_t(locked.Pitch); }

    IDirect3DSurface9* level = nullptr;
    IDirect3DSurface9* staging = nullptr; // kept by CStagingSurfaceKeeper
    uint32_t width = 0;
    uint32_t height = 0;
    D3DLOCKED_RECT locked = {};

private:
    DWORD m_lockFlags = 0;
    bool m_locked = false;
};

} // namespace

// ---------------------------------------------------------------------------
// Life and images.

CGmTexture::CGmTexture()
{
    Create(1, 1, GM_FMT_A8R8G8B8, false);
}

CGmTexture::CGmTexture(const CGeFileData& file, bool forceRaw)
{
    if (!LoadFromFile(file, forceRaw)) {
        GmTrace("CGmTexture: %s is no usable image\n", file.path.c_str());
        MakeFallbackImage();
    }
}

CGmTexture::~CGmTexture()
{
    UnregisterFromManager();
    ReleaseDeviceObject();
    delete m_image;
    m_image = nullptr;
}

void CGmTexture::BeginReplacingImage()
{
    m_needsUpload = 1;
    UnregisterFromManager();
    // A texture made outside the manager still holds its object.
    ReleaseDeviceObject();
    delete m_image;
    m_image = nullptr;
}

void CGmTexture::MakeFallbackImage()
{
    Create(1, 1, GM_FMT_A8R8G8B8, false);
}

void CGmTexture::Create(uint32_t width, uint32_t height, uint32_t engineFormat, bool renderTarget)
{
    BeginReplacingImage();
    m_renderTarget = renderTarget ? 1 : 0;
    m_image = new CGmImage();
    // Zeroed pixels: a texture shows black, transparent until it is written.
    m_image->MakeRaw(width, height, engineFormat, GetFormatBytesPerPixel(engineFormat) * width);
}

bool CGmTexture::LoadFromFile(const CGeFileData& file, bool forceRaw)
{
    if (!file.data || file.size == 0)
        return false;
    const uint32_t type = DetectImageType(file);
    if (type == GM_IMAGE_TYPE_NONE)
        return false;
    BeginReplacingImage();
    m_renderTarget = 0;
    bool loaded;
    // DDS files have no raw form: they stay whole even when raw is asked for.
    if (type == GM_IMAGE_TYPE_TGA || (forceRaw && type != GM_IMAGE_TYPE_DDS)) {
        m_image = new CGmImage();
        loaded = LoadImage(file, *m_image);
    } else {
        m_image = new CGmImage(GM_IMAGE_PACKED);
        loaded = m_image->ReadPacked(file);
    }
    if (!loaded) {
        GmTrace("CGmTexture::LoadFromFile: %s cannot be decoded\n", file.path.c_str());
        MakeFallbackImage();
    }
    return loaded;
}

uint8_t* CGmTexture::GetFrameImage(uint32_t* pitch)
{
    if (!m_image || m_image->kind != GM_IMAGE_RAW || !m_image->data || m_image->width == 0 ||
        m_image->height == 0)
        return nullptr;
    m_imageWritten = 1;
    m_needsUpload = 1;
    if (pitch)
        *pitch = m_image->pitch;
    return m_image->data;
}

bool CGmTexture::TexelAlpha(uint32_t x, uint32_t y, uint8_t* alpha) const
{
    *alpha = 0;
    if (!m_image || m_image->kind != GM_IMAGE_RAW || !m_image->data || x >= m_image->width || y >= m_image->height)
        return false;
    const uint32_t bytesPerPixel = GetFormatBytesPerPixel(m_image->format);
    if (bytesPerPixel == 0 || bytesPerPixel > 4 || uint64_t(x + 1) * bytesPerPixel > m_image->pitch)
        return false;
    uint32_t pixel = 0;
    memcpy(&pixel, m_image->data + size_t(y) * m_image->pitch + size_t(x) * bytesPerPixel, bytesPerPixel);
    *alpha = uint8_t(PixelToArgb(m_image->format, pixel) >> 24);
    return true;
}

void CGmTexture::ScaleImage(float xFactor, float yFactor, uint32_t mode)
{
    if (!m_image || m_image->kind != GM_IMAGE_RAW)
        return;
    const float width = float(m_image->width) * xFactor + 0.1f;
    const float height = float(m_image->height) * yFactor + 0.1f;
    const uint32_t bytesPerPixel = GetFormatBytesPerPixel(m_image->format);
    if (!(width >= 1.0f && height >= 1.0f && width < kMaxScaledSide && height < kMaxScaledSide) ||
        bytesPerPixel == 0) {
        GmTrace("CGmTexture::ScaleImage: factors %g, %g refused\n", xFactor, yFactor);
        return;
    }
    UnregisterFromManager();
    ReleaseDeviceObject();
    m_needsUpload = 1;

    CGmImage* scaled = new CGmImage();
    scaled->width = uint32_t(width);
    scaled->height = uint32_t(height);
    scaled->format = m_image->format;
    scaled->pitch = bytesPerPixel * scaled->width;
    scaled->kind = GM_IMAGE_RAW;
    bool done;
    switch (mode) {
    case GM_SCALE_BILINEAR: done = CGmImage::ScaleBilinear(*scaled, *m_image); break;
    case GM_SCALE_STRETCH: done = CGmImage::Stretch(*scaled, *m_image); break;
    case GM_SCALE_BILINEAR_FLOAT: done = CGmImage::ScaleBilinearFloat(*scaled, *m_image); break;
    default: done = CGmImage::ScaleNearest(*scaled, *m_image); break;
    }
    if (!done) {
        GmTrace("CGmTexture::ScaleImage: mode %u cannot scale this image\n", mode);
        delete scaled;
        return;
    }
    delete m_image;
    m_image = scaled;
}

void CGmTexture::CropImage(uint32_t left, uint32_t right, uint32_t top, uint32_t bottom)
{
    if (!m_image || m_image->kind != GM_IMAGE_RAW || !m_image->data || (left | right | top | bottom) == 0)
        return;
    const CGmImage& source = *m_image;
    if (uint64_t(left) + right >= source.width || uint64_t(top) + bottom >= source.height) {
        GmTrace("CGmTexture::CropImage: margins %u, %u, %u, %u leave nothing\n", left, right, top, bottom);
        return;
    }
    const uint32_t bytesPerPixel = GetFormatBytesPerPixel(source.format);
    const uint32_t croppedWidth = source.width - left - right;
    const uint32_t croppedHeight = source.height - top - bottom;
    const uint32_t width = std::min(croppedWidth + 2, Pow2(croppedWidth));
    const uint32_t height = std::min(croppedHeight + 2, Pow2(croppedHeight));
    CGmImage* cropped = new CGmImage();
    if (bytesPerPixel == 0 || !cropped->MakeRaw(width, height, source.format, bytesPerPixel * width)) {
        delete cropped;
        return;
    }
    UnregisterFromManager();
    ReleaseDeviceObject();
    m_needsUpload = 1;

    // Source column and row of the new image's first pixel; border pixels
    // beyond the source repeat its edge.
    const int64_t x0 = int64_t(left) - (width > croppedWidth ? 1 : 0);
    const int64_t y0 = int64_t(top) - (height > croppedHeight ? 1 : 0);
    auto clamp = [](int64_t v, uint32_t size) { return uint32_t(std::min<int64_t>(std::max<int64_t>(v, 0), size - 1)); };
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* srcRow = source.data + size_t(clamp(y0 + y, source.height)) * source.pitch;
        uint8_t* dstRow = cropped->data + size_t(y) * cropped->pitch;
        for (uint32_t x = 0; x < width; ++x)
            memcpy(dstRow + x * bytesPerPixel, srcRow + size_t(clamp(x0 + x, source.width)) * bytesPerPixel,
                   bytesPerPixel);
    }
    delete m_image;
    m_image = cropped;
}

void CGmTexture::ContentSize(uint32_t* width, uint32_t* height) const
{
    *width = m_image ? m_image->width : 0;
    *height = m_image ? m_image->height : 0;
}

bool CGmTexture::IsCompatible(const CGmTextureBase& other) const
{
    const CGmImage* a = m_image;
    const CGmImage* b = other.m_image;
    return a && b && m_renderTarget == other.m_renderTarget && a->kind == GM_IMAGE_RAW && b->kind == GM_IMAGE_RAW &&
           Pow2(a->width) == Pow2(b->width) && Pow2(a->height) == Pow2(b->height) && a->format == b->format;
}

// ---------------------------------------------------------------------------
// The Direct3D texture.

bool CGmTexture::Bind(uint32_t stage)
{
    if (g_pGmResourceManager)
        g_pGmResourceManager->Use(this, GE_RES_TEXTURE);
    else
        EnsureCreated();
    Upload();
    if (!g_pGmDevice || !g_pGmDevice->CanCall())
        return false;
    return SUCCEEDED(Device()->SetTexture(stage, m_texture));
}

bool CGmTexture::EnsureCreated()
{
    if (!m_image)
        return false;
    if (m_texture)
        return true;
    const uint32_t format = m_image->format == GM_FMT_R8G8B8 ? GM_FMT_X8R8G8B8 : m_image->format;
    uint32_t usage = m_renderTarget ? D3DUSAGE_RENDERTARGET : 0;
    if (format >= kFirstDepthFormat && format <= kLastDepthFormat)
        usage = (usage & ~D3DUSAGE_RENDERTARGET) | D3DUSAGE_DEPTHSTENCIL;
    uint32_t levels = 1;
    if (m_image->kind == GM_IMAGE_DDS) {
        levels = m_image->pitch;
        usage |= D3DUSAGE_DYNAMIC;
    }
    return CreateD3dTexture(Pow2(m_image->width), Pow2(m_image->height), levels, format, usage, false);
}

bool CGmTexture::CreateD3dTexture(uint32_t width, uint32_t height, uint32_t levels, uint32_t engineFormat,
                                  uint32_t usage, bool loud)
{
    IDirect3DDevice9* device = Device();
    if (!GmMayCreateDeviceObject() || !device)
        return false;
    const D3DFORMAT format = D3DFORMAT(GetD3DFormat(engineFormat));
    const HRESULT result =
        device->CreateTexture(width, height, levels, usage, format, D3DPOOL_DEFAULT, &m_texture, nullptr);
    if (SUCCEEDED(result) && m_texture) {
        ++g_gmDeviceObjectCount;
        m_needsUpload = 1;
        m_usage = usage;
        return true;
    }
    m_texture = nullptr;
    // Short of video memory the manager makes room and tries again.
    if (loud || result != D3DERR_OUTOFVIDEOMEMORY)
        GmTrace("CGmTexture: CreateTexture of %u x %u, format %u failed: %s\n", width, height, engineFormat,
                GetD3dErrorName(result));
    return false;
}

void CGmTexture::ReleaseDeviceObject()
{
    if (!m_texture)
        return;
    m_texture->Release();
    m_texture = nullptr;
    --g_gmDeviceObjectCount;
}

void CGmTexture::Upload()
{
    if (!m_texture || !m_image || !g_pGmDevice || g_pGmDevice->m_failed)
        return;
    if (m_renderTarget) {
        ReadBackRenderTarget();
        return;
    }
    if (!m_needsUpload)
        return;
    if (m_image->kind == GM_IMAGE_DDS)
        UploadDds();
    else
        UploadRaw();
    m_needsUpload = 0;
}

void CGmTexture::UploadRaw()
{
    m_texture->AddDirtyRect(nullptr);
    CStagingSurface surface(m_texture, 0);
    if (!surface.Lock())
        return;
    const CGmImage& image = *m_image;
    uint8_t* bits = surface.Bits();
    const uint32_t pitch = surface.Pitch();
    const uint32_t rows = std::min(image.height, surface.height);

    // A packed image decodes straight into the surface when the rows agree,
    // else into a temporary image that is copied like a raw one.
    CGmImage decoded;
    const CGmImage* raw = &image;
    bool filled = false;
    if (image.kind == GM_IMAGE_PACKED) {
        if (image.pitch == pitch && image.height <= surface.height) {
            // The kept surface holds an earlier upload: a decoder that stops
            // early must leave black behind, not that.
            g_pGeSimd->Memset(bits, 0, size_t(rows) * pitch);
            CSurfaceImage target(image, bits, pitch);
            filled = CGmImage::DecodeGep(image, target);
        }
        if (!filled) {
            if (!CGmImage::DecodeGep(image, decoded))
                GmTrace("CGmTexture: the packed image cannot be decoded\n");
            raw = &decoded;
        }
    }
    if (!filled && !raw->data)
        g_pGeSimd->Memset(bits, 0, size_t(rows) * pitch);
    if (!filled && raw->data) {
        if (raw->format == GM_FMT_R8G8B8) {
            // Three bytes per pixel become four (X8R8G8B8).
            const uint32_t columns = std::min(raw->width, surface.width);
            if (pitch == 4 * raw->width && raw->pitch == 3 * raw->width)
                g_pGeSimd->ExpandRgb24To32(reinterpret_cast<uint32_t*>(bits), raw->data, int32_t(columns * rows));
            else
                for (uint32_t y = 0; y < rows; ++y)
                    g_pGeSimd->ExpandRgb24To32(reinterpret_cast<uint32_t*>(bits + size_t(y) * pitch),
                                               raw->data + size_t(y) * raw->pitch, int32_t(columns));
        } else {
            CopyRows(bits, pitch, raw->data, raw->pitch, rows);
        }
    }
    // The columns right of the image repeat its last pixel and the rows below
    // it its last row: the kept surface holds an earlier upload there, and
    // filtering at the edges should fetch the edge, not black.
    const uint32_t bytesPerPixel = GetFormatBytesPerPixel(raw->format == GM_FMT_R8G8B8 ? GM_FMT_X8R8G8B8 : raw->format);
    const uint32_t columns = std::min(image.width, surface.width);
    if (bytesPerPixel && columns && columns < surface.width)
        for (uint32_t y = 0; y < rows; ++y) {
            uint8_t* row = bits + size_t(y) * pitch;
            for (uint32_t x = columns; x < surface.width; ++x)
                memcpy(row + x * bytesPerPixel, row + (columns - 1) * bytesPerPixel, bytesPerPixel);
        }
    for (uint32_t y = std::max(rows, 1u); y < surface.height; ++y)
        memcpy(bits + size_t(y) * pitch, bits + size_t(y - 1) * pitch, pitch);
    surface.Unlock();

    const HRESULT result = Device()->UpdateSurface(surface.staging, nullptr, surface.level, nullptr);
    if (FAILED(result))
        GmTrace("CGmTexture: UpdateSurface failed: %s\n", GetD3dErrorName(result));
}

void CGmTexture::UploadDds()
{
    const CGmImage& image = *m_image;
    if (!image.data || image.storedSize < kDdsHeaderBytes)
        return;
    const uint8_t* source = image.data + kDdsHeaderBytes;
    size_t available = image.storedSize - kDdsHeaderBytes;
    const uint32_t blockBytes = image.format == GM_FMT_DXT1 ? kDxt1BlockBytes : kDxtBlockBytes;
    uint32_t width = image.width;
    uint32_t height = image.height;
    // The walk ends when a side reaches 1, so a 1-pixel level is never written.
    for (uint32_t level = 0; width != 1 && height != 1 && level < image.pitch; ++level) {
        const uint32_t rowBytes = std::max(1u, width / 4) * blockBytes;
        const uint32_t rows = std::max(1u, height / 4);
        const size_t levelBytes = size_t(rowBytes) * rows;
        if (levelBytes > available) {
            GmTrace("CGmTexture: the DDS file ends inside level %u\n", level);
            return;
        }
        D3DLOCKED_RECT locked;
        const HRESULT result = m_texture->LockRect(level, &locked, nullptr, 0);
        if (FAILED(result)) {
            GmTrace("CGmTexture: LockRect of level %u failed: %s\n", level, GetD3dErrorName(result));
            return;
        }
        CopyRows(static_cast<uint8_t*>(locked.pBits), uint32_t(locked.Pitch), source, rowBytes, rows);
        m_texture->UnlockRect(level);
        source += levelBytes;
        available -= levelBytes;
        width = std::max(1u, width / 2);
        height = std::max(1u, height / 2);
    }
}

void CGmTexture::ReadBackRenderTarget()
{
    CGmImage& image = *m_image;
    if (image.kind != GM_IMAGE_RAW || !image.data)
        return;
    CStagingSurface surface(m_texture, D3DLOCK_READONLY);
    if (!surface.staging)
        return;
    const HRESULT result = Device()->GetRenderTargetData(surface.level, surface.staging);
    if (FAILED(result)) {
        GmTrace("CGmTexture: GetRenderTargetData failed: %s\n", GetD3dErrorName(result));
        return;
    }
    if (!surface.Lock())
        return;
    CopyRows(image.data, image.pitch, surface.Bits(), surface.Pitch(), std::min(image.height, surface.height));
}

// ---------------------------------------------------------------------------
// Helpers of other modules.

uint32_t GetImageWidth(const CGmTexture* texture)
{
    return texture && texture->Image() ? texture->Image()->width : 1;
}

uint32_t GetImageWidthPow2(const CGmTexture* texture)
{
    return texture && texture->Image() ? Pow2(texture->Image()->width) : 1;
}

uint32_t GetImageHeightPow2(const CGmTexture* texture)
{
    return texture && texture->Image() ? Pow2(texture->Image()->height) : 1;
}

void CaptureSurfaceToTga(const CGmTexture* texture, const CGeString& path)
{
    if (texture && texture->Image())
        WriteImageTga(*texture->Image(), path);
}
