#include "Engine/Core/Gm/GmImage.h"

#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GePath.h"
#include "Engine/Core/Common/GeSimd.h"
#include "Engine/Core/Common/GeXml.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmFormatTable.h"
#include "Engine/Core/Gm/GmImageBytes.h"

#include <cstdlib>
#include <cstring>

void CGmImage::FreeData()
{
    free(data);
    data = nullptr;
}

namespace {
GmImageReport s_lastReport;
}

const GmImageReport& GetLastImageReport()
{
    return s_lastReport;
}

void ReportImageProblem(GmImageProblem problem, int32_t jpegError)
{
    s_lastReport.problem = problem;
    s_lastReport.jpegError = jpegError;
}

void ClearImageReport()
{
    ReportImageProblem(GM_IMAGE_NO_PROBLEM);
}

GmImageProblem RawImageProblem(uint32_t width, uint32_t height, uint32_t format, uint32_t pitch)
{
    const uint64_t bytes = static_cast<uint64_t>(height) * pitch;
    // Whoever reads a raw image takes width pixels from every row, so a row
    // must hold them: a ".gep" header may name any pitch.
    const uint64_t rowBytes = static_cast<uint64_t>(width) * GetFormatBytesPerPixel(format);
    if (bytes == 0 || rowBytes > pitch)
        return GM_IMAGE_DAMAGED;
    return bytes <= kMaxImageBytes ? GM_IMAGE_NO_PROBLEM : GM_IMAGE_TOO_LARGE;
}

bool CGmImage::MakeRaw(uint32_t newWidth, uint32_t newHeight, uint32_t newFormat, uint32_t newPitch)
{
    const uint64_t bytes = static_cast<uint64_t>(newHeight) * newPitch;
    const GmImageProblem problem = RawImageProblem(newWidth, newHeight, newFormat, newPitch);
    const bool usable = problem == GM_IMAGE_NO_PROBLEM;
    if (usable && kind == GM_IMAGE_RAW && data && width == newWidth && height == newHeight &&
        format == newFormat && pitch == newPitch)
        return true;
    FreeData();
    width = newWidth;
    height = newHeight;
    format = newFormat;
    pitch = newPitch;
    kind = GM_IMAGE_RAW;
    if (!usable) {
        GeTrace("image of %u x %u with pitch %u refused\n", newWidth, newHeight, newPitch);
        ReportImageProblem(problem);
        return false;
    }
    // Zeroed, so that a file that fills less than the whole image leaves
    // defined pixels behind.
    data = static_cast<uint8_t*>(calloc(1, static_cast<size_t>(bytes)));
    return data != nullptr;
}

bool CGmImage::Assign(const CGmImage& source)
{
    if (!source.data)
        return false;
    if (source.kind == GM_IMAGE_RAW && kind != GM_IMAGE_RAW)
        return false;
    // A DDS record carries its file bytes like a packed one: without them the
    // copy could never be uploaded.
    const size_t bytes = source.kind == GM_IMAGE_RAW ? source.RawBytes() : source.storedSize;
    if (source.kind != GM_IMAGE_RAW) {
        pixelCode = source.pixelCode;
        storedSize = source.storedSize;
    }
    FreeData();
    data = static_cast<uint8_t*>(malloc(bytes ? bytes : 1));
    if (!data)
        return false;
    g_pGeSimd->Memcpy(data, source.data, bytes);
    width = source.width;
    height = source.height;
    format = source.format;
    pitch = source.pitch;
    kind = source.kind;
    return true;
}

uint32_t PaddedWidth(uint32_t width)
{
    uint32_t power = 1;
    while (power < width && power < 0x80000000u)
        power <<= 1;
    return power < width + 2 ? power : width + 2;
}

bool IsTgaFile(const CGeFileData& file)
{
    // Files named like a TGA but too short for the header are nothing at all.
    if (!strstr(file.path.c_str(), ".tga") && !strstr(file.path.c_str(), ".TGA"))
        return false;
    if (!file.data || file.size < 18)
        return false;
    const uint8_t type = file.data[2];
    if (type == 9 || type == 10 || type == 11) {
        GeTrace("%s: run-length TGA of type %u is not supported\n", file.path.c_str(), type);
        return false;
    }
    return (type & 7) == 2 || (type & 7) == 3;
}

bool IsJpegFile(const CGeFileData& file)
{
    const CGeString extension = ToUpperString(GetPathExtension(file.path));
    return extension == "JPG" || extension == "JPEG";
}

// A GEP file needs its 16-byte header; the pixel code sits unaligned at 9.
static bool IsGepFile(const CGeFileData& file)
{
    return FirstWord(file.data, file.size) == kGepSignature && file.size >= kGepHeaderBytes;
}

uint32_t DetectImageType(const CGeFileData& file)
{
    if (IsGepFile(file))
        return ReadLe32(file.data + 9) == kDdsPixelCode ? GM_IMAGE_TYPE_DDS : GM_IMAGE_TYPE_PACKED;
    if (IsTgaFile(file))
        return GM_IMAGE_TYPE_TGA;
    if (IsJpegFile(file))
        return GM_IMAGE_TYPE_PACKED;
    if (FirstWord(file.data, file.size) == kDdsSignature)
        return GM_IMAGE_TYPE_DDS;
    return GM_IMAGE_TYPE_NONE;
}

// Why no reader takes a file: a file named like a TGA is too short for its
// header or of a TGA kind the engine does not read (colour-mapped, or the
// run-length types 9 to 11); anything else is no image at all.
static GmImageProblem UnreadableFileProblem(const CGeFileData& file)
{
    if (!strstr(file.path.c_str(), ".tga") && !strstr(file.path.c_str(), ".TGA"))
        return GM_IMAGE_NOT_AN_IMAGE;
    return file.data && file.size >= 18 ? GM_IMAGE_UNSUPPORTED : GM_IMAGE_TRUNCATED;
}

bool LoadImage(const CGeFileData& file, CGmImage& image)
{
    ClearImageReport();
    if (IsTgaFile(file))
        return image.ReadTga(file);
    if (IsGepFile(file)) {
        CGmImage packed(GM_IMAGE_PACKED);
        return packed.ReadGepHeader(file) && CGmImage::DecodeGep(packed, image);
    }
    if (IsJpegFile(file)) {
        // A JPEG that cannot be decoded is a failure, so that the caller can
        // fall back instead of showing an empty image.
        CGmImage packed(GM_IMAGE_PACKED);
        return packed.ReadJpegPacked(file) && CGmImage::DecodeJpeg(packed, image);
    }
    if (FirstWord(file.data, file.size) == kDdsSignature)
        return true;
    ReportImageProblem(UnreadableFileProblem(file));
    return false;
}

bool CGmImage::ReadPacked(const CGeFileData& file)
{
    ClearImageReport();
    if (FirstWord(file.data, file.size) == kGepSignature)
        return ReadGepHeader(file);
    if (IsJpegFile(file))
        return ReadJpegPacked(file);
    if (FirstWord(file.data, file.size) == kDdsSignature)
        return ReadDds(file);
    ReportImageProblem(GM_IMAGE_NOT_AN_IMAGE);
    return false;
}

GmImageProblem CheckImageHeader(const CGeFileData& head, uint64_t fileSize)
{
    const uint64_t headBytes = head.data ? head.size : 0;
    if (IsGepFile(head))
        return ReadGepLayout(head.data, headBytes, fileSize).problem;
    if (IsTgaFile(head))
        return ReadTgaLayout(head.data, headBytes, fileSize).problem;
    if (IsJpegFile(head))
        return GM_IMAGE_NO_PROBLEM;
    if (FirstWord(head.data, head.size) == kDdsSignature)
        return ReadDdsLayout(head.data, headBytes, fileSize).problem;
    return UnreadableFileProblem(head);
}
