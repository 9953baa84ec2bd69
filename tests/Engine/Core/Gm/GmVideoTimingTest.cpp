// Videos follow the play time of their sound track: the player asks for frame
// trunc(rate x t / 1000) of the sound's play time t in milliseconds, never
// going back. Here a sound plays on the sound layer's manual backend and is
// pulled in uneven steps; after each step the frame of the play time is
// decoded, and the picture shown must stay within one frame of the audio that
// has really been mixed, over the whole clip.
#include "Engine/Core/Gm/GmImage.h"
#include "Engine/Core/Gm/GmTexture.h"
#include "Engine/Core/Gm/GmVideoDecoder.h"
#include "Platform/DSound/DSound.h"
#include "Platform/DSound/DSoundTesting.h"
#include "tests/Engine/Core/Gm/ImageFixtures.h"
#include "tests/Engine/Core/Gm/VideoFixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

using namespace videofixture;

namespace {

constexpr DWORD kRate = 44100;

TEST(GmVideoDecoderTiming, FramesFollowTheSoundsPlayTimeWithinOneFrame)
{
    ClipSpec spec;
    spec.frames = 30;
    spec.fpsNumerator = 15;
    const Clip clip = MakeTheoraClip(spec);
    CGmVideoDecoder* video = new CGmVideoDecoder();
    ASSERT_TRUE(video->Open(imagefixture::FileOver("timing.ogv", clip.bytes)));
    const float rate = video->GetFrameRate();
    const int32_t frames = int32_t(video->GetFrameCount());

    // The sound track: two seconds of a quiet tone, longer than the clip.
    DSoundTestSetBackend(DSoundTestBackend::Manual);
    IDirectSound* sound = nullptr;
    ASSERT_EQ(DS_OK, DirectSoundCreate(nullptr, &sound, nullptr));
    DSoundTestSetBackend(DSoundTestBackend::Audio);
    ASSERT_EQ(DS_OK, sound->SetCooperativeLevel(nullptr, DSSCL_PRIORITY));
    WAVEFORMATEX format = {};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 1;
    format.nSamplesPerSec = kRate;
    format.wBitsPerSample = 16;
    format.nBlockAlign = 2;
    format.nAvgBytesPerSec = kRate * 2;
    DSBUFFERDESC desc = {};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DSBCAPS_GETCURRENTPOSITION2 | DSBCAPS_CTRLVOLUME;
    desc.dwBufferBytes = 2 * kRate * 2;
    desc.lpwfxFormat = &format;
    IDirectSoundBuffer* track = nullptr;
    ASSERT_EQ(DS_OK, sound->CreateSoundBuffer(&desc, &track, nullptr));
    void* data = nullptr;
    DWORD bytes = 0;
    ASSERT_EQ(DS_OK, track->Lock(0, desc.dwBufferBytes, &data, &bytes, nullptr, nullptr, 0));
    int16_t* samples = static_cast<int16_t*>(data);
    for (DWORD i = 0; i < bytes / 2; ++i)
        samples[i] = int16_t(1000 * std::sin(i * 0.05));
    ASSERT_EQ(DS_OK, track->Unlock(data, bytes, nullptr, 0));
    ASSERT_EQ(DS_OK, track->Play(0, 0, 0));

    // Steps of 5 to 61 ms of audio: some shorter than a frame, some longer.
    std::vector<int16_t> mixed;
    uint64_t pulled = 0;
    int32_t frame = -1;
    int worst = 0;
    for (uint32_t step = 0; frame < frames - 1; ++step) {
        ASSERT_LT(step, 1000u);
        const DWORD count = kRate * (5 + (step * 37) % 57) / 1000;
        mixed.resize(2 * size_t(count));
        ASSERT_TRUE(DSoundTestPull(sound, mixed.data(), count));
        pulled += count;

        // The play time as the sound reports it: the play cursor in milliseconds.
        DWORD cursor = 0;
        ASSERT_EQ(DS_OK, track->GetCurrentPosition(&cursor, nullptr));
        const uint64_t playTime = uint64_t(cursor) * 1000 / format.nAvgBytesPerSec;
        const int32_t target = std::min(int32_t(rate * float(playTime) / 1000.0f), frames - 1);
        if (target > frame) {
            frame = target;
            video->NextFrame(frame);
            video->CopyFrameToTexture();
        }
        if (frame < 0)
            continue;
        const CGmImage& image = *video->GetTexture()->Image();
        const int shown = ReadPictureIndex(image.data, image.pitch, image.width, image.height);
        const int heard = std::min(int(double(pulled) * rate / kRate), frames - 1);
        worst = std::max(worst, std::abs(shown - heard));
        EXPECT_LE(std::abs(shown - heard), 1) << "after " << pulled << " frames of audio";
    }
    EXPECT_LE(worst, 1);
    EXPECT_EQ(frames - 1, video->GetShownFrame());

    track->Release();
    sound->Release();
    video->Release();
}

} // namespace
