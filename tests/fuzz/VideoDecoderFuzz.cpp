#include "tests/fuzz/VideoDecoderFuzz.h"

#include "Engine/Core/Common/GeCpuInfo.h"
#include "Engine/Core/Common/GeError.h"
#include "Engine/Core/Common/GeSimd.h"
#include "Engine/Core/Gm/GmVideoDecoder.h"

#include <algorithm>

namespace {

// Frames a single input may decode: the inputs stay quick however many empty
// packets they hold.
constexpr uint32_t kMaxFrames = 256;

int NoBox(const char*, const char*)
{
    return 0;
}

} // namespace

int FuzzVideoDecoder(const uint8_t* data, size_t size)
{
    if (!g_pGeCpuInfo)
        GeCpuProbeCreate();
    if (!g_pGeSimd)
        GeSimdCreate();
    const GeErrorBoxFunction previous = GeSetErrorBoxFunction(NoBox);

    CGeFileData file;
    file.path = "fuzz/video.ogv";
    file.data = const_cast<uint8_t*>(data);
    file.size = static_cast<uint32_t>(size);
    CGmVideoDecoder* decoder = new CGmVideoDecoder();
    decoder->Open(file);
    const uint32_t frames = std::min(decoder->GetFrameCount(), kMaxFrames);
    for (uint32_t frame = 0; frame < frames; ++frame) {
        decoder->NextFrame(static_cast<int32_t>(frame));
        decoder->CopyFrameToTexture();
    }
    decoder->NextFrame(0);
    decoder->CopyFrameToTexture();
    decoder->Release();

    GeSetErrorBoxFunction(previous);
    return 0;
}
