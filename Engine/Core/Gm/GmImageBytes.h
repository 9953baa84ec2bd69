// Shared by the image readers: the header layouts that both a reader and CheckImageHeader work
// from, and the record of the last problem.
#pragma once

#include "Engine/Core/Common/GeLittleEndian.h"
#include "Engine/Core/Gm/GmImage.h"

#include <cstdint>

// The first word of a file, 0 when the file is shorter than a word.
inline uint32_t FirstWord(const uint8_t* data, uint32_t size)
{
    return data && size >= 4 ? ReadLe32(data) : 0;
}

// Records why the current reader refuses its file (see GetLastImageReport).
void ReportImageProblem(GmImageProblem problem, int32_t jpegError = 0);
void ClearImageReport();

// Whether a raw image of this shape can be made (CGmImage::MakeRaw's test).
GmImageProblem RawImageProblem(uint32_t width, uint32_t height, uint32_t format, uint32_t pitch);

// What a header says, from the first headBytes bytes of a file of fileSize
// bytes; problem is set when the header alone rules the file out.
struct TgaLayout {
    uint32_t width = 0, height = 0, format = 0, bytesPerPixel = 0;
    bool topFirst = false, runLength = false;
    uint64_t pixelsAt = 0;  // offset of the pixel data
    GmImageProblem problem = GM_IMAGE_NO_PROBLEM;
};
TgaLayout ReadTgaLayout(const uint8_t* head, uint64_t headBytes, uint64_t fileSize);

struct GepLayout {
    uint32_t width = 0, height = 0, pixelCode = 0, format = 0, pitch = 0;
    GmImageProblem problem = GM_IMAGE_NO_PROBLEM;
};
GepLayout ReadGepLayout(const uint8_t* head, uint64_t headBytes, uint64_t fileSize);

struct DdsLayout {
    uint32_t width = 0, height = 0, format = 0, levels = 0;
    GmImageProblem problem = GM_IMAGE_NO_PROBLEM;
};
DdsLayout ReadDdsLayout(const uint8_t* head, uint64_t headBytes, uint64_t fileSize);
