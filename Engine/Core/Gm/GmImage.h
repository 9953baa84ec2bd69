// The system-memory image behind every texture, and the readers that make one
// from a file: uncompressed and run-length TGA, the engine's own ".gep" packed
// format, JPEG files and DDS files (kept whole until the texture uploads them).
//
// Every reader trusts nothing in the file: reads stay inside the loaded bytes,
// writes stay inside the destination, and a file that cannot be decoded gives
// false and a debug trace, never a crash.
#pragma once

#include "Engine/Core/Common/GeFileData.h"

#include <cstddef>
#include <cstdint>

// What a CGmImage holds.
enum : uint32_t {
    GM_IMAGE_RAW = 1,     // rows of pixels, top row first
    GM_IMAGE_PACKED = 2,  // a GEP payload or a whole JPEG file, decoded at upload
    GM_IMAGE_DDS = 3,     // a whole DDS file; pitch holds the mip level count
};

// The result of DetectImageType.
enum : uint32_t {
    GM_IMAGE_TYPE_NONE = 0,
    GM_IMAGE_TYPE_TGA = 1,
    GM_IMAGE_TYPE_PACKED = 2,
    GM_IMAGE_TYPE_DDS = 3,
};

// ".gep" files: the signature word, the header size, and the pixel codes the
// decoder knows. Low byte = layout, bits 8 to 11 = colour coding (0 raw,
// 1 run-length, 2 JPEG), bit 12 = run-length alpha plane.
constexpr uint32_t kGepSignature = 0x01504547;  // "GEP" 0x01
constexpr uint32_t kGepHeaderBytes = 16;
constexpr uint32_t kGepPlaneHeaderBytes = 16;
constexpr uint32_t kDdsSignature = 0x20534444;  // "DDS "
constexpr uint32_t kDdsHeaderBytes = 128;       // signature and DDSURFACEDESC2
constexpr uint32_t kDdsPixelCode = 6;
constexpr uint32_t kJpegColourCode = 0x201;
constexpr uint32_t kJpegGreyCode = 0x205;

// The largest decoded image the readers allocate: a 8192 by 8192 32-bit image
// with its row padding. Anything larger is treated as a damaged file.
constexpr uint64_t kMaxImageBytes = uint64_t(8192 + 2) * 8192 * 4;

class CGmImage {
public:
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t format = 0;     // engine format code (GmFormatTable.h)
    uint32_t pitch = 0;      // bytes per row; for a DDS image the mip level count
    uint32_t kind = 0;       // GM_IMAGE_RAW, _PACKED or _DDS; 0 for an empty record
    uint8_t* data = nullptr; // malloc'ed, owned
    uint32_t pixelCode = 0;  // packed and DDS images: how data is coded
    uint32_t storedSize = 0; // packed and DDS images: bytes of data

    // An empty record; a packed record starts as CGmImage(GM_IMAGE_PACKED).
    CGmImage() = default;
    explicit CGmImage(uint32_t initialKind) : kind(initialKind) {}
    ~CGmImage() { FreeData(); }
    CGmImage(const CGmImage&) = delete;
    CGmImage& operator=(const CGmImage&) = delete;

    void FreeData();

    // Copies another record with its data. False when the source has no data,
    // or when it is raw and this record is not.
    bool Assign(const CGmImage& source);

    // Fills this record from a GEP, JPEG or DDS file without decoding it.
    bool ReadPacked(const CGeFileData& file);

    bool ReadTga(const CGeFileData& file);
    bool ReadGepHeader(const CGeFileData& file);
    bool ReadJpegPacked(const CGeFileData& file);
    bool ReadDds(const CGeFileData& file);

    // Decode a packed record into a raw destination, which is (re)allocated
    // unless it already is a raw image of the source's size, format and pitch.
    static bool DecodeGep(const CGmImage& source, CGmImage& destination);
    static bool DecodeJpeg(const CGmImage& source, CGmImage& destination);

    // Resamplers between raw images. The destination's width, height, format
    // and pitch are set by the caller; its pixels are allocated when missing.
    static bool ScaleNearest(CGmImage& destination, const CGmImage& source);
    static bool ScaleBilinear(CGmImage& destination, const CGmImage& source);
    static bool Stretch(CGmImage& destination, const CGmImage& source);
    static bool ScaleBilinearFloat(CGmImage& destination, const CGmImage& source);

    // Makes this record a raw image of the given shape with height x pitch
    // bytes of zeroed pixels, unless it already is one. False when the size is
    // zero or beyond kMaxImageBytes, when a row of pitch bytes cannot hold
    // width pixels, or when the memory is not there.
    bool MakeRaw(uint32_t newWidth, uint32_t newHeight, uint32_t newFormat, uint32_t newPitch);

    // Bytes of pixel data a raw image holds (height x pitch).
    size_t RawBytes() const { return static_cast<size_t>(height) * pitch; }
};

// Decodes any recognised file into a raw image. DDS files are accepted but
// left as they are: they are only ever taken in packed form.
bool LoadImage(const CGeFileData& file, CGmImage& image);

// Why a reader refused a file, or what it had to make up for. The engine only
// traces these; tools tell the user.
enum GmImageProblem : uint32_t {
    GM_IMAGE_NO_PROBLEM = 0,
    GM_IMAGE_NOT_AN_IMAGE,  // no reader takes the file
    GM_IMAGE_TRUNCATED,     // the file ends before the data its header promises
    GM_IMAGE_UNSUPPORTED,   // a kind of the format the engine does not read
    GM_IMAGE_DAMAGED,       // header fields that describe no image
    GM_IMAGE_TOO_LARGE,     // more than kMaxImageBytes of pixels
    GM_IMAGE_JPEG_ERROR,    // the JPEG decoder failed; jpegError says why
};

struct GmImageReport {
    GmImageProblem problem = GM_IMAGE_NO_PROBLEM;
    int32_t jpegError = 0;
};

// What the last LoadImage or CGmImage::ReadPacked found wrong with its file;
// GM_IMAGE_TRUNCATED after a success means a JPEG whose data ends inside its
// scan, shown as far as it was decoded. Main thread, like the readers.
const GmImageReport& GetLastImageReport();

// The bytes of a file's beginning that CheckImageHeader looks at.
constexpr uint32_t kImageHeadBytes = 128;

// Decides from the beginning of a file (head: its path and its first
// kImageHeadBytes bytes, or all of a shorter file) and its size what the
// readers would refuse on the header's word alone, so that a caller need not
// read a huge file whole to learn that it cannot be used. Never refuses a file
// that a reader takes. JPEG files pass: their decoder bounds its own memory.
GmImageProblem CheckImageHeader(const CGeFileData& head, uint64_t fileSize);

// GM_IMAGE_TYPE_*: which loader a texture should use for the file.
uint32_t DetectImageType(const CGeFileData& file);

bool IsTgaFile(const CGeFileData& file);
bool IsJpegFile(const CGeFileData& file);

// Width of TGA and JPEG rows in memory: the next power of two, but at most
// two pixels wider than the image.
uint32_t PaddedWidth(uint32_t width);

// Alpha planes: a plane is a 32-bit byte count, twelve further header bytes,
// then the data. planeBytes is how much of the plane (from its header on) is
// really there; pixelCount is the room in pixels. Both routines write only
// the alpha bytes of the pixels.
void CopyAlphaPlane(const uint8_t* plane, size_t planeBytes, uint32_t* pixels, size_t pixelCount);
void DecodeAlphaRle(const uint8_t* plane, size_t planeBytes, uint32_t* pixels, size_t pixelCount);

// Pixel values of an engine format to and from A8R8G8B8.
uint32_t PixelToArgb(uint32_t engineFormat, uint32_t pixel);
uint32_t ArgbToPixel(uint32_t engineFormat, uint32_t colour);

// Blends two colours channel by channel by t in 0..255 (the low byte of t).
void LerpColorArgb(uint32_t t, uint32_t a, uint32_t b, uint32_t* out);

// Bytes of one DDS mip level of the given size for DXT1 (8-byte blocks) or
// the other DXT formats (16-byte blocks).
uint32_t DdsLevelBytes(uint32_t engineFormat, uint32_t width, uint32_t height);
