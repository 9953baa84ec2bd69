// imgconv: decodes an image the way the game does and writes it out as an
// uncompressed 32-bit TGA, to look at what a data file really holds.
//
//   imgconv IN OUT.tga
//
// IN is any image the engine reads: TGA, ".gep", JPEG (".jpg", ".jpeg"; the
// name decides, as in the game) or DDS with DXT1 to DXT5 data, of which the
// top level is written, decoded by the device's own software DXT decoder.
//
// The header is checked before the file is read whole, so a huge file that
// cannot be an image costs no memory. Every refusal gives one line on stderr
// saying why and a non-zero exit. A JPEG cut inside its scan is written as the
// game shows it (the rows decoded so far, then what the decoder makes of the
// missing data), with one line and a non-zero exit. OUT is replaced only by a
// complete picture and never when it is not a regular file.
#include "Engine/Core/Common/GeCpuInfo.h"
#include "Engine/Core/Common/GeFileData.h"
#include "Engine/Core/Common/GeLittleEndian.h"
#include "Engine/Core/Common/GeSimd.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmFormatTable.h"
#include "Engine/Core/Gm/GmImage.h"
#include "Engine/Core/Gm/GmTgaWriter.h"
#include "Platform/D3d9/D3d9Dxt.h"
#include "Platform/System/PosixFiles.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

// Every pixel of a raw image as A8R8G8B8, rows without padding.
static bool ConvertToArgb(const CGmImage& source, CGmImage& argb)
{
    const uint32_t bytesPerPixel = GetFormatBytesPerPixel(source.format);
    if (bytesPerPixel == 0 || !argb.MakeRaw(source.width, source.height, GM_FMT_A8R8G8B8, source.width * 4))
        return false;
    for (uint32_t y = 0; y < source.height; ++y) {
        const uint8_t* in = source.data + static_cast<size_t>(y) * source.pitch;
        uint8_t* out = argb.data + static_cast<size_t>(y) * argb.pitch;
        for (uint32_t x = 0; x < source.width; ++x) {
            uint32_t pixel = 0;
            memcpy(&pixel, in + x * bytesPerPixel, bytesPerPixel);
            const uint32_t colour = PixelToArgb(source.format, pixel);
            memcpy(out + x * 4, &colour, 4);
        }
    }
    return true;
}

// The top level of a DDS file as A8R8G8B8. The engine keeps DDS files whole
// for the device; a tool decodes them with the device's decoder.
static GmImageProblem DecodeDdsTopLevel(const CGeFileData& file, CGmImage& argb)
{
    CGmImage dds;
    if (!dds.ReadPacked(file))
        return GetLastImageReport().problem;
    const D3DFORMAT format = static_cast<D3DFORMAT>(GetD3DFormat(dds.format));
    const uint64_t blockRowBytes = (dds.width + 3ull) / 4 * D3d9DxtBlockBytes(format);
    const uint64_t levelBytes = (dds.height + 3ull) / 4 * blockRowBytes;
    if (levelBytes > dds.storedSize - kDdsHeaderBytes)
        return GM_IMAGE_TRUNCATED;
    if (!argb.MakeRaw(dds.width, dds.height, GM_FMT_A8R8G8B8, dds.width * 4))
        return GetLastImageReport().problem;
    D3d9DecodeDxtSurface(format, dds.data + kDdsHeaderBytes, static_cast<uint32_t>(blockRowBytes), dds.width,
                         dds.height, reinterpret_cast<uint32_t*>(argb.data));
    return GM_IMAGE_NO_PROBLEM;
}

// The first kImageHeadBytes of a file (all of a shorter one) and its size.
static bool ReadHead(const char* path, CGeFileData& head, uint64_t& fileSize)
{
    static uint8_t bytes[kImageHeadBytes];
    head.path = path;
    const int fd = SysOpenForRead(path);
    const long long size = fd >= 0 ? SysFileSize(fd) : -1;
    const size_t wanted = size < kImageHeadBytes ? static_cast<size_t>(size) : kImageHeadBytes;
    const bool ok = size >= 0 && SysReadFully(fd, bytes, wanted);
    const int error = errno;
    if (fd >= 0)
        close(fd);
    errno = error;
    head.data = bytes;
    head.size = ok ? static_cast<uint32_t>(wanted) : 0;
    fileSize = ok ? static_cast<uint64_t>(size) : 0;
    return ok;
}

// The kind of file the user gave, for the line that refuses it.
static const char* KindName(const CGeFileData& head)
{
    const uint32_t first = head.size >= 4 ? ReadLe32(head.data) : 0;
    if (first == kGepSignature)
        return "GEP";
    if (first == kDdsSignature)
        return "DDS";
    if (IsJpegFile(head))
        return "JPEG";
    const char* path = head.path.c_str();
    return strstr(path, ".tga") || strstr(path, ".TGA") ? "TGA" : "image";
}

static std::string Describe(GmImageProblem problem, const std::string& kind, int32_t jpegError)
{
    switch (problem) {
    case GM_IMAGE_TRUNCATED:
        return "truncated " + kind + ": the file ends before the data its header promises";
    case GM_IMAGE_UNSUPPORTED:
        if (kind == "TGA")
            return "unsupported TGA kind (the engine reads uncompressed and run-length true-colour and "
                   "greyscale TGA of 8, 16, 24 or 32 bits)";
        if (kind == "DDS")
            return "unsupported DDS format (the engine reads DXT1 to DXT5)";
        return "unsupported " + kind + " pixel layout";
    case GM_IMAGE_DAMAGED:
        return "damaged " + kind + " header: its size or layout describes no image";
    case GM_IMAGE_TOO_LARGE:
        return "too large: more pixels than the engine takes (8192 x 8192)";
    case GM_IMAGE_JPEG_ERROR:
        return "JPEG decode error " + std::to_string(jpegError);
    default:
        return "not an image the engine reads (TGA, .gep, JPEG or DDS)";
    }
}

// The picture is written beside OUT under a temporary name and renamed over
// it when complete, so a failed write never costs the user an older OUT. The
// engine's writer reads a '\' as a separator, which a host path may hold in a
// name: it writes inside OUT's folder, under a name without one.
static bool WriteTgaReplacing(const CGmImage& argb, const std::string& outPath)
{
    const size_t slash = outPath.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : outPath.substr(0, slash);
    const std::string name = outPath.substr(slash + 1); // npos + 1 is 0
    CSysCurrentDirectoryScope scope;
    char temp[] = ".imgconv-XXXXXX";
    const int fd = scope.Enter(folder.c_str()) ? mkstemp(temp) : -1;
    if (fd < 0)
        return false;
    const mode_t mask = umask(0);
    umask(mask);
    const bool ready = fchmod(fd, 0666 & ~mask) == 0;
    close(fd);
    const bool ok = ready && WriteImageTga(argb, temp) && rename(temp, name.c_str()) == 0;
    if (!ok)
        unlink(temp);
    return ok;
}

static int Fail(const char* path, const std::string& problem)
{
    fprintf(stderr, "imgconv: %s: %s\n", path, problem.c_str());
    return 1;
}

int main(int argc, char** argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: imgconv IN OUT.tga\n");
        return 2;
    }
    const char* inPath = argv[1];
    const char* outPath = argv[2];
    GeCpuProbeCreate();
    GeSimdCreate();

    // Opening a pipe or a device to read it could wait for ever, and one given
    // as OUT would be replaced by the picture.
    struct stat info;
    if (stat(inPath, &info) == 0 && !S_ISREG(info.st_mode))
        return Fail(inPath, "not a regular file");
    if (stat(outPath, &info) == 0 && !S_ISREG(info.st_mode))
        return Fail(outPath, "not a regular file; nothing written");
    CGeFileData head;
    uint64_t fileSize = 0;
    if (!ReadHead(inPath, head, fileSize))
        return Fail(inPath, std::string("cannot be read: ") + strerror(errno));
    const std::string kind = KindName(head);
    const GmImageProblem headProblem = CheckImageHeader(head, fileSize);
    const bool dds = head.size >= 4 && memcmp(head.data, "DDS ", 4) == 0;
    head.data = nullptr;
    if (headProblem != GM_IMAGE_NO_PROBLEM)
        return Fail(inPath, Describe(headProblem, kind, 0));

    CGeFileData file = ReadWholeFile(inPath, false);
    if (!file.data)
        return Fail(inPath, "cannot be read whole");
    CGmImage argb;
    GmImageProblem problem = GM_IMAGE_NO_PROBLEM;
    if (dds) {
        problem = DecodeDdsTopLevel(file, argb);
    } else {
        CGmImage image;
        if (!LoadImage(file, image) || image.kind != GM_IMAGE_RAW || !image.data)
            problem = GetLastImageReport().problem != GM_IMAGE_NO_PROBLEM ? GetLastImageReport().problem
                                                                          : GM_IMAGE_DAMAGED;
        else if (!ConvertToArgb(image, argb))
            return Fail(inPath, "pixel format cannot be converted");
    }
    FreeFileData(file);
    if (problem != GM_IMAGE_NO_PROBLEM)
        return Fail(inPath, Describe(problem, kind, GetLastImageReport().jpegError));

    errno = 0;
    if (!WriteTgaReplacing(argb, outPath))
        return Fail(outPath, std::string("cannot be written") + (errno ? std::string(": ") + strerror(errno) : ""));
    if (!dds && GetLastImageReport().problem == GM_IMAGE_TRUNCATED)
        return Fail(inPath, "truncated JPEG: its data ends inside the scan; written as the game shows it, the rows "
                            "after the cut made up by the decoder");
    return 0;
}
