#include "Platform/D3d9/D3d9Format.h"

#include "Platform/D3d9/D3d9Dxt.h"

#include <cstring>
#include <vector>

#define RGBA_SWIZZLE {GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA}

static const D3d9FormatInfo kFormats[] = {
    {D3DFMT_A8R8G8B8, 4, 0, GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, RGBA_SWIZZLE,
     D3d9Conversion::kNone, false, false},
    // Alpha is dropped in GL so that it reads 1, also as a blend destination.
    {D3DFMT_X8R8G8B8, 4, 0, GL_RGB8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, RGBA_SWIZZLE,
     D3d9Conversion::kNone, false, false},
    {D3DFMT_R8G8B8, 3, 0, GL_RGB8, GL_BGR, GL_UNSIGNED_BYTE, RGBA_SWIZZLE, D3d9Conversion::kNone, false, false},
    // GL packs 5_6_5 with its first component (red) in the top bits, like Direct3D.
    {D3DFMT_R5G6B5, 2, 0, GL_RGB8, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, RGBA_SWIZZLE, D3d9Conversion::kNone,
     false, false},
    {D3DFMT_X1R5G5B5, 2, 0, GL_RGB5, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, RGBA_SWIZZLE,
     D3d9Conversion::kNone, false, false},
    {D3DFMT_A1R5G5B5, 2, 0, GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, RGBA_SWIZZLE,
     D3d9Conversion::kNone, false, false},
    {D3DFMT_A4R4G4B4, 2, 0, GL_RGBA4, GL_BGRA, GL_UNSIGNED_SHORT_4_4_4_4_REV, RGBA_SWIZZLE,
     D3d9Conversion::kNone, false, false},
    {D3DFMT_X4R4G4B4, 2, 0, GL_RGB4, GL_BGRA, GL_UNSIGNED_SHORT_4_4_4_4_REV, RGBA_SWIZZLE,
     D3d9Conversion::kNone, false, false},
    {D3DFMT_A8, 1, 0, GL_R8, GL_RED, GL_UNSIGNED_BYTE, {GL_ZERO, GL_ZERO, GL_ZERO, GL_RED},
     D3d9Conversion::kNone, false, false},
    {D3DFMT_L8, 1, 0, GL_R8, GL_RED, GL_UNSIGNED_BYTE, {GL_RED, GL_RED, GL_RED, GL_ONE}, D3d9Conversion::kNone,
     false, false},
    {D3DFMT_A8L8, 2, 0, GL_RG8, GL_RG, GL_UNSIGNED_BYTE, {GL_RED, GL_RED, GL_RED, GL_GREEN},
     D3d9Conversion::kNone, false, false},
    {D3DFMT_A4L4, 1, 0, GL_RG8, GL_RG, GL_UNSIGNED_BYTE, {GL_RED, GL_RED, GL_RED, GL_GREEN},
     D3d9Conversion::kA4L4, false, false},
    // Signed formats, only meaningful to bump mapping: (U, V, L or W, Q).
    {D3DFMT_V8U8, 2, 0, GL_RG8_SNORM, GL_RG, GL_BYTE, {GL_RED, GL_GREEN, GL_ONE, GL_ONE}, D3d9Conversion::kNone,
     false, false},
    {D3DFMT_L6V5U5, 2, 0, GL_RGBA8_SNORM, GL_RGBA, GL_BYTE, {GL_RED, GL_GREEN, GL_BLUE, GL_ONE},
     D3d9Conversion::kL6V5U5, false, false},
    {D3DFMT_X8L8V8U8, 4, 0, GL_RGBA8_SNORM, GL_RGBA, GL_BYTE, {GL_RED, GL_GREEN, GL_BLUE, GL_ONE},
     D3d9Conversion::kX8L8V8U8, false, false},
    {D3DFMT_Q8W8V8U8, 4, 0, GL_RGBA8_SNORM, GL_RGBA, GL_BYTE, RGBA_SWIZZLE, D3d9Conversion::kNone, false, false},
    {D3DFMT_V16U16, 4, 0, GL_RG16_SNORM, GL_RG, GL_SHORT, {GL_RED, GL_GREEN, GL_ONE, GL_ONE},
     D3d9Conversion::kNone, false, false},
    // Depth formats. Stencil bits below 8 are not available in GL; those
    // formats get 8 stencil bits (they wrap at 256).
    {D3DFMT_D16_LOCKABLE, 2, 0, GL_DEPTH_COMPONENT16, GL_DEPTH_COMPONENT, GL_UNSIGNED_SHORT, RGBA_SWIZZLE,
     D3d9Conversion::kNone, true, false},
    {D3DFMT_D16, 2, 0, GL_DEPTH_COMPONENT16, GL_DEPTH_COMPONENT, GL_UNSIGNED_SHORT, RGBA_SWIZZLE,
     D3d9Conversion::kNone, true, false},
    {D3DFMT_D32, 4, 0, GL_DEPTH_COMPONENT32F, GL_DEPTH_COMPONENT, GL_FLOAT, RGBA_SWIZZLE, D3d9Conversion::kNone,
     true, false},
    {D3DFMT_D32F_LOCKABLE, 4, 0, GL_DEPTH_COMPONENT32F, GL_DEPTH_COMPONENT, GL_FLOAT, RGBA_SWIZZLE,
     D3d9Conversion::kNone, true, false},
    {D3DFMT_D24X8, 4, 0, GL_DEPTH_COMPONENT24, GL_DEPTH_COMPONENT, GL_UNSIGNED_INT, RGBA_SWIZZLE,
     D3d9Conversion::kNone, true, false},
    {D3DFMT_D24S8, 4, 0, GL_DEPTH24_STENCIL8, GL_DEPTH_STENCIL, GL_UNSIGNED_INT_24_8, RGBA_SWIZZLE,
     D3d9Conversion::kNone, true, true},
    {D3DFMT_D24X4S4, 4, 0, GL_DEPTH24_STENCIL8, GL_DEPTH_STENCIL, GL_UNSIGNED_INT_24_8, RGBA_SWIZZLE,
     D3d9Conversion::kNone, true, true},
    {D3DFMT_D15S1, 2, 0, GL_DEPTH24_STENCIL8, GL_DEPTH_STENCIL, GL_UNSIGNED_INT_24_8, RGBA_SWIZZLE,
     D3d9Conversion::kNone, true, true},
    {D3DFMT_D24FS8, 4, 0, GL_DEPTH32F_STENCIL8, GL_DEPTH_STENCIL, GL_FLOAT_32_UNSIGNED_INT_24_8_REV, RGBA_SWIZZLE,
     D3d9Conversion::kNone, true, true},
    // DXT2 and DXT4 hold premultiplied colour in the layouts of DXT3 and DXT5.
    {D3DFMT_DXT1, 0, 8, GL_COMPRESSED_RGBA_S3TC_DXT1_EXT, 0, 0, RGBA_SWIZZLE, D3d9Conversion::kNone, false, false},
    {D3DFMT_DXT2, 0, 16, GL_COMPRESSED_RGBA_S3TC_DXT3_EXT, 0, 0, RGBA_SWIZZLE, D3d9Conversion::kNone, false, false},
    {D3DFMT_DXT3, 0, 16, GL_COMPRESSED_RGBA_S3TC_DXT3_EXT, 0, 0, RGBA_SWIZZLE, D3d9Conversion::kNone, false, false},
    {D3DFMT_DXT4, 0, 16, GL_COMPRESSED_RGBA_S3TC_DXT5_EXT, 0, 0, RGBA_SWIZZLE, D3d9Conversion::kNone, false, false},
    {D3DFMT_DXT5, 0, 16, GL_COMPRESSED_RGBA_S3TC_DXT5_EXT, 0, 0, RGBA_SWIZZLE, D3d9Conversion::kNone, false, false},
};

// The same block formats decoded on upload when GL has no S3TC.
static const D3d9FormatInfo kDecodedDxt[] = {
    {D3DFMT_DXT1, 0, 8, GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, RGBA_SWIZZLE, D3d9Conversion::kDxtDecode,
     false, false},
    {D3DFMT_DXT2, 0, 16, GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, RGBA_SWIZZLE,
     D3d9Conversion::kDxtDecode, false, false},
    {D3DFMT_DXT3, 0, 16, GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, RGBA_SWIZZLE,
     D3d9Conversion::kDxtDecode, false, false},
    {D3DFMT_DXT4, 0, 16, GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, RGBA_SWIZZLE,
     D3d9Conversion::kDxtDecode, false, false},
    {D3DFMT_DXT5, 0, 16, GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, RGBA_SWIZZLE,
     D3d9Conversion::kDxtDecode, false, false},
};

const D3d9FormatInfo* D3d9FindFormat(D3DFORMAT format, bool s3tc)
{
    if (!s3tc) {
        for (const D3d9FormatInfo& info : kDecodedDxt)
            if (info.format == format)
                return &info;
    }
    for (const D3d9FormatInfo& info : kFormats)
        if (info.format == format)
            return &info;
    return nullptr;
}

UINT D3d9RowPitch(const D3d9FormatInfo& info, UINT width)
{
    if (info.blockBytes)
        return ((width + 3) / 4) * info.blockBytes;
    return width * info.bytesPerPixel;
}

UINT D3d9RowCount(const D3d9FormatInfo& info, UINT height)
{
    return info.blockBytes ? (height + 3) / 4 : height;
}

// ---------------------------------------------------------------------------
// Upload.

// A two's-complement field of `bits` bits scaled to the signed 8-bit range.
static int8_t SignedBits(uint32_t value, int bits)
{
    int32_t v = (int32_t)(value << (32 - bits)) >> (32 - bits);
    int32_t scaled = v * 127 / ((1 << (bits - 1)) - 1);
    return (int8_t)(scaled < -127 ? -127 : scaled);
}

// Converts a rectangle into the tightly packed form of info.uploadFormat/Type.
static void ConvertRect(const D3d9FormatInfo& info, UINT width, UINT height, const uint8_t* src, UINT pitch,
                        std::vector<uint8_t>* out)
{
    switch (info.conversion) {
    case D3d9Conversion::kA4L4:
        out->resize((size_t)width * height * 2);
        for (UINT y = 0; y < height; ++y)
            for (UINT x = 0; x < width; ++x) {
                uint8_t v = src[y * pitch + x];
                (*out)[(y * width + x) * 2 + 0] = (uint8_t)((v & 0xF) * 17);
                (*out)[(y * width + x) * 2 + 1] = (uint8_t)((v >> 4) * 17);
            }
        break;
    case D3d9Conversion::kL6V5U5:
        out->resize((size_t)width * height * 4);
        for (UINT y = 0; y < height; ++y)
            for (UINT x = 0; x < width; ++x) {
                uint32_t v = (uint32_t)src[y * pitch + x * 2] | ((uint32_t)src[y * pitch + x * 2 + 1] << 8);
                int8_t* o = (int8_t*)&(*out)[(y * width + x) * 4];
                o[0] = SignedBits(v & 31, 5);
                o[1] = SignedBits((v >> 5) & 31, 5);
                o[2] = (int8_t)(((v >> 10) & 63) * 127 / 63);
                o[3] = 127;
            }
        break;
    case D3d9Conversion::kX8L8V8U8:
        out->resize((size_t)width * height * 4);
        for (UINT y = 0; y < height; ++y)
            for (UINT x = 0; x < width; ++x) {
                const uint8_t* p = src + y * pitch + x * 4;
                int8_t* o = (int8_t*)&(*out)[(y * width + x) * 4];
                o[0] = (int8_t)p[0];
                o[1] = (int8_t)p[1];
                o[2] = (int8_t)(p[2] >> 1);
                o[3] = 127;
            }
        break;
    case D3d9Conversion::kDxtDecode:
        out->resize((size_t)width * height * 4);
        D3d9DecodeDxtSurface(info.format, src, pitch, width, height, (uint32_t*)out->data());
        break;
    case D3d9Conversion::kNone:
        break;
    }
}

void D3d9UploadRect(const D3d9FormatInfo& info, GLint level, UINT x, UINT y, UINT width, UINT height,
                    const void* data, UINT pitch)
{
    const uint8_t* bytes = (const uint8_t*)data;
    if (info.blockBytes && info.conversion == D3d9Conversion::kNone) {
        // Compressed data must arrive tightly packed.
        UINT rowBytes = D3d9RowPitch(info, width), rows = D3d9RowCount(info, height);
        std::vector<uint8_t> packed;
        if (pitch != rowBytes) {
            packed.resize((size_t)rowBytes * rows);
            for (UINT r = 0; r < rows; ++r)
                std::memcpy(&packed[(size_t)r * rowBytes], bytes + (size_t)r * pitch, rowBytes);
            bytes = packed.data();
        }
        glCompressedTexSubImage2D(GL_TEXTURE_2D, level, (GLint)x, (GLint)y, (GLsizei)width, (GLsizei)height,
                                  info.internalFormat, (GLsizei)(rowBytes * rows), bytes);
        return;
    }
    if (info.conversion != D3d9Conversion::kNone) {
        std::vector<uint8_t> converted;
        ConvertRect(info, width, height, bytes, pitch, &converted);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
        glTexSubImage2D(GL_TEXTURE_2D, level, (GLint)x, (GLint)y, (GLsizei)width, (GLsizei)height,
                        info.uploadFormat, info.uploadType, converted.data());
        return;
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, (GLint)(pitch / info.bytesPerPixel));
    glTexSubImage2D(GL_TEXTURE_2D, level, (GLint)x, (GLint)y, (GLsizei)width, (GLsizei)height, info.uploadFormat,
                    info.uploadType, bytes);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
}

bool D3d9ReadRect(const D3d9FormatInfo& info, UINT x, UINT y, UINT width, UINT height, void* data, UINT pitch)
{
    if (info.blockBytes || info.conversion != D3d9Conversion::kNone || info.depth)
        return false;
    if (pitch % info.bytesPerPixel)
        return false;
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ROW_LENGTH, (GLint)(pitch / info.bytesPerPixel));
    glReadPixels((GLint)x, (GLint)y, (GLsizei)width, (GLsizei)height, info.uploadFormat, info.uploadType, data);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    return true;
}
