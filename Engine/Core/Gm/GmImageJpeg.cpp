// JPEG files and JPEG-coded GEP payloads wait for the engine's JPEG decoder;
// until it is built in they are refused.
#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Gm/GmImage.h"

bool CGmImage::ReadJpegPacked(const CGeFileData& file)
{
    FreeData();
    storedSize = 0;
    GeTrace("%s: no JPEG decoder\n", file.path.c_str());
    return false;
}

bool CGmImage::DecodeJpeg(const CGmImage& source, CGmImage&)
{
    GeTrace("no JPEG decoder for %u bytes\n", source.storedSize);
    return false;
}
