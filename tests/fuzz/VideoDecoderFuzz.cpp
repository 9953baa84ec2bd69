#include "tests/fuzz/VideoDecoderFuzz.h"

#include "Engine/Core/Common/GeCpuInfo.h"
#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GeSimd.h"
#include "Engine/Core/Gm/GmImage.h"
#include "Engine/Core/Gm/GmTexture.h"
#include "Engine/Core/Gm/GmVideoDecoder.h"
#include "tests/Support/ErrorBoxRecorder.h"

#include <algorithm>

namespace {

// Frames a single input may decode: the inputs stay quick however many empty
// packets they hold.
constexpr uint32_t kMaxFrames = 256;

} // namespace

FuzzOutcome RunVideoDecoderFuzz(const uint8_t* data, size_t size)
{
    FuzzOutcome outcome;
    if (!g_pGeCpuInfo)
        GeCpuProbeCreate();
    if (!g_pGeSimd)
        GeSimdCreate();
    CErrorBoxRecorder boxes;
    CErrorBoxRecorder::Messages().clear();
    GeLogClearLast();

    CGeFileData file;
    file.path = "fuzz/video.ogv";
    file.data = const_cast<uint8_t*>(data);
    file.size = static_cast<uint32_t>(size);
    CGmVideoDecoder* decoder = new CGmVideoDecoder();
    outcome.taken = decoder->Open(file);
    const uint32_t frames = decoder->GetFrameCount();
    if (outcome.taken) {
        const CGmImage* image = decoder->GetTexture()->Image();
        FUZZ_EXPECT(outcome, image->kind == GM_IMAGE_RAW && image->data && image->width > 0 && image->height > 0 &&
                                 image->pitch >= 4 * image->width);
        const CGeArray<uint32_t>& keys = decoder->GetKeyFrames();
        FUZZ_EXPECT(outcome, std::is_sorted(keys.begin(), keys.end()) &&
                                 (keys.IsEmpty() || keys[keys.Count() - 1] < frames));
    } else {
        FUZZ_EXPECT(outcome, size == 0 || !CErrorBoxRecorder::Messages().empty() || GeLogLastLevel() > 0);
        FUZZ_EXPECT(outcome, frames == 0);
    }
    int32_t shown = -1;
    for (uint32_t frame = 0; frame < std::min(frames, kMaxFrames); ++frame) {
        decoder->NextFrame(static_cast<int32_t>(frame));
        FUZZ_EXPECT(outcome, decoder->GetDecodedFrame() == static_cast<int32_t>(frame));
        decoder->CopyFrameToTexture();
        // A frame is shown unless libtheora has not decoded any picture yet.
        FUZZ_EXPECT(outcome, decoder->GetShownFrame() == static_cast<int32_t>(frame) || shown == -1);
        shown = decoder->GetShownFrame();
    }
    decoder->NextFrame(0);
    decoder->CopyFrameToTexture();
    if (frames == 0) {
        FUZZ_EXPECT(outcome, decoder->GetPacketsDecoded() == 0 && decoder->GetShownFrame() == -1);
    } else {
        FUZZ_EXPECT(outcome, decoder->GetDecodedFrame() == 0);
    }
    decoder->Release();

    return outcome;
}

int FuzzVideoDecoder(const uint8_t* data, size_t size)
{
    return FuzzVerdict(RunVideoDecoderFuzz(data, size), "VideoDecoderFuzz.cpp");
}
