#include "Platform/D3d9/D3d9Format.h"

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
// S3TC decoding.

static uint32_t Expand565(uint16_t c)
{
    uint32_t r = (c >> 11) & 31, g = (c >> 5) & 63, b = c & 31;
    r = (r << 3) | (r >> 2);
    g = (g << 2) | (g >> 4);
    b = (b << 3) | (b >> 2);
    return 0xFF000000u | (r << 16) | (g << 8) | b;
}

// Per channel (a * wa + b * wb) / (wa + wb), alpha opaque.
static uint32_t MixColour(uint32_t a, uint32_t b, uint32_t wa, uint32_t wb)
{
    uint32_t out = 0xFF000000u;
    for (int shift = 0; shift < 24; shift += 8) {
        uint32_t ca = (a >> shift) & 0xFF, cb = (b >> shift) & 0xFF;
        out |= ((ca * wa + cb * wb) / (wa + wb)) << shift;
    }
    return out;
}

static void DecodeColourBlock(const uint8_t* block, bool allowTransparent, uint32_t texels[16])
{
    uint16_t c0 = (uint16_t)(block[0] | (block[1] << 8));
    uint16_t c1 = (uint16_t)(block[2] | (block[3] << 8));
    uint32_t palette[4];
    palette[0] = Expand565(c0);
    palette[1] = Expand565(c1);
    if (c0 > c1 || !allowTransparent) {
        palette[2] = MixColour(palette[0], palette[1], 2, 1);
        palette[3] = MixColour(palette[0], palette[1], 1, 2);
    } else {
        palette[2] = MixColour(palette[0], palette[1], 1, 1);
        palette[3] = 0;  // transparent black
    }
    uint32_t codes = (uint32_t)block[4] | ((uint32_t)block[5] << 8) | ((uint32_t)block[6] << 16) |
                     ((uint32_t)block[7] << 24);
    for (int i = 0; i < 16; ++i)
        texels[i] = palette[(codes >> (2 * i)) & 3];
}

static void ApplyAlpha(uint32_t texels[16], const uint8_t alpha[16])
{
    for (int i = 0; i < 16; ++i)
        texels[i] = (texels[i] & 0x00FFFFFFu) | ((uint32_t)alpha[i] << 24);
}

void D3d9DecodeDxtBlock(D3DFORMAT format, const uint8_t* block, uint32_t texels[16])
{
    if (format == D3DFMT_DXT1) {
        DecodeColourBlock(block, true, texels);
        return;
    }
    uint8_t alpha[16];
    if (format == D3DFMT_DXT2 || format == D3DFMT_DXT3) {
        for (int i = 0; i < 16; ++i) {
            int nibble = (block[i / 2] >> ((i & 1) * 4)) & 0xF;
            alpha[i] = (uint8_t)(nibble * 17);
        }
    } else {
        uint32_t a0 = block[0], a1 = block[1];
        uint32_t palette[8] = {a0, a1};
        if (a0 > a1) {
            for (uint32_t k = 1; k < 7; ++k)
                palette[k + 1] = ((7 - k) * a0 + k * a1) / 7;
        } else {
            for (uint32_t k = 1; k < 5; ++k)
                palette[k + 1] = ((5 - k) * a0 + k * a1) / 5;
            palette[6] = 0;
            palette[7] = 255;
        }
        uint64_t codes = 0;
        for (int i = 0; i < 6; ++i)
            codes |= (uint64_t)block[2 + i] << (8 * i);
        for (int i = 0; i < 16; ++i)
            alpha[i] = (uint8_t)palette[(codes >> (3 * i)) & 7];
    }
    DecodeColourBlock(block + 8, false, texels);
    ApplyAlpha(texels, alpha);
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
    case D3d9Conversion::kDxtDecode: {
        out->resize((size_t)width * height * 4);
        uint32_t* texelsOut = (uint32_t*)out->data();
        for (UINT by = 0; by < (height + 3) / 4; ++by)
            for (UINT bx = 0; bx < (width + 3) / 4; ++bx) {
                uint32_t texels[16];
                D3d9DecodeDxtBlock(info.format, src + by * pitch + bx * info.blockBytes, texels);
                for (UINT i = 0; i < 16; ++i) {
                    UINT x = bx * 4 + i % 4, y = by * 4 + i / 4;
                    if (x < width && y < height)
                        texelsOut[y * width + x] = texels[i];
                }
            }
        break;
    }
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
