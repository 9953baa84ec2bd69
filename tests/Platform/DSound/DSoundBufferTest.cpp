// Secondary buffers on the manual backend: what each of the engine's flag
// words allows, Lock regions, cursor and status, volume and pan gains, sample
// formats and rates, and the saturating sum.
#include "DSoundTestSupport.h"

#include <cmath>

namespace {

const WAVEFORMATEX kStereo16 = PcmFormat(44100, 2, 16);
const WAVEFORMATEX kMono16 = PcmFormat(44100, 1, 16);

class DSoundBuffer : public CManualSoundTest {};

TEST_F(DSoundBuffer, EachEngineFlagWordGivesExactlyItsControls)
{
    struct Case {
        DWORD flags;
        HRESULT pan;
        bool notify;
        bool threeD;
    };
    const Case cases[] = {
        {kStatic2d, DS_OK, false, false},
        {kStreamed2d, DS_OK, true, false},
        {kStatic3d, DSERR_CONTROLUNAVAIL, false, true},
        {kStreamed3d, DSERR_CONTROLUNAVAIL, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << "flags 0x" << c.flags);
        IDirectSoundBuffer* buffer = Create(c.flags, kMono16, 4000);
        ASSERT_NE(buffer, nullptr);
        EXPECT_EQ(buffer->SetVolume(-100), DS_OK);
        EXPECT_EQ(buffer->SetPan(-100), c.pan);
        void* notify = nullptr;
        EXPECT_EQ(buffer->QueryInterface(IID_IDirectSoundNotify, &notify), c.notify ? DS_OK : DSERR_NOINTERFACE);
        Hold(static_cast<IDirectSoundNotify*>(notify));
        void* threeD = nullptr;
        EXPECT_EQ(buffer->QueryInterface(IID_IDirectSound3DBuffer, &threeD), c.threeD ? DS_OK : DSERR_NOINTERFACE);
        Hold(static_cast<IDirectSound3DBuffer*>(threeD));
        void* listener = nullptr;
        EXPECT_EQ(buffer->QueryInterface(IID_IDirectSound3DListener, &listener), DSERR_NOINTERFACE);
    }

    // Without CTRLVOLUME there is no volume either.
    IDirectSoundBuffer* bare = Create(DSBCAPS_LOCSOFTWARE, kMono16, 4000);
    EXPECT_EQ(bare->SetVolume(-100), DSERR_CONTROLUNAVAIL);
}

TEST_F(DSoundBuffer, OnlyThe3dPrimaryBufferGivesTheListener)
{
    IDirectSoundBuffer* primary = CreatePrimary(kPrimary3d);
    auto* listener = Query<IDirectSound3DListener>(primary, IID_IDirectSound3DListener);
    ASSERT_NE(listener, nullptr);
    float rolloff = 0;
    EXPECT_EQ(listener->GetRolloffFactor(&rolloff), DS_OK);
    EXPECT_FLOAT_EQ(rolloff, 1.0f);
    // Asking again gives the same primary buffer.
    EXPECT_EQ(CreatePrimary(kPrimary3d), primary);

    // The device keeps its first primary buffer; a plain one is another device's.
    IDirectSound* plain = nullptr;
    DSoundTestSetBackend(DSoundTestBackend::Manual);
    ASSERT_EQ(DirectSoundCreate(nullptr, &plain, nullptr), DS_OK);
    DSoundTestSetBackend(DSoundTestBackend::Audio);
    DSBUFFERDESC desc = {};
    desc.dwSize = 36;
    desc.dwFlags = kPrimaryPlain;
    IDirectSoundBuffer* plainPrimary = nullptr;
    ASSERT_EQ(plain->CreateSoundBuffer(&desc, &plainPrimary, nullptr), DS_OK);
    void* none = nullptr;
    EXPECT_EQ(plainPrimary->QueryInterface(IID_IDirectSound3DListener, &none), DSERR_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
    plainPrimary->Release();
    plain->Release();
}

TEST_F(DSoundBuffer, CreationRejectsWhatCannotBePlayed)
{
    struct Case {
        const char* what;
        DWORD flags;
        WAVEFORMATEX format;
        DWORD bytes;
        HRESULT expected;
    };
    WAVEFORMATEX notPcm = kMono16;
    notPcm.wFormatTag = 3;
    const Case cases[] = {
        {"3D needs mono", kStatic3d, kStereo16, 4000, DSERR_INVALIDPARAM},
        {"3D and pan exclude each other", kStreamed3d | DSBCAPS_CTRLPAN, kMono16, 4000, DSERR_INVALIDPARAM},
        {"below the minimum size", kStatic2d, kMono16, 3, DSERR_INVALIDPARAM},
        {"the minimum size", kStatic2d, kMono16, 4, DS_OK},
        {"24-bit samples", kStatic2d, PcmFormat(44100, 1, 24), 4000, DSERR_BADFORMAT},
        {"six channels", kStatic2d, PcmFormat(44100, 6, 16), 4000, DSERR_BADFORMAT},
        {"rate too low", kStatic2d, PcmFormat(99, 1, 16), 4000, DSERR_BADFORMAT},
        {"not PCM", kStatic2d, notPcm, 4000, DSERR_BADFORMAT},
        {"8-bit stereo at 8 kHz", kStatic2d, PcmFormat(8000, 2, 8), 4000, DS_OK},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        IDirectSoundBuffer* buffer = nullptr;
        EXPECT_EQ(TryCreate(c.flags, c.format, c.bytes, &buffer), c.expected);
        EXPECT_EQ(buffer != nullptr, c.expected == DS_OK);
    }

    DSBUFFERDESC desc = {};
    desc.dwSize = 36;
    desc.dwFlags = kPrimary3d;
    desc.dwBufferBytes = 4000; // a primary buffer takes no size
    IDirectSoundBuffer* buffer = nullptr;
    EXPECT_EQ(m_sound->CreateSoundBuffer(&desc, &buffer, nullptr), DSERR_INVALIDPARAM);
    desc.dwBufferBytes = 0;
    int outer = 0;
    EXPECT_EQ(m_sound->CreateSoundBuffer(&desc, &buffer, &outer), DSERR_NOAGGREGATION);
    desc.lpwfxFormat = nullptr;
    desc.dwFlags = kStatic2d;
    desc.dwBufferBytes = 4000;
    EXPECT_EQ(m_sound->CreateSoundBuffer(&desc, &buffer, nullptr), DSERR_INVALIDPARAM);
}

TEST_F(DSoundBuffer, PrimaryFormatNeedsPriorityLevel)
{
    IDirectSoundBuffer* primary = CreatePrimary(kPrimary3d);
    const WAVEFORMATEX format = kStereo16;
    ASSERT_EQ(m_sound->SetCooperativeLevel(nullptr, DSSCL_NORMAL), DS_OK);
    EXPECT_EQ(primary->SetFormat(&format), DSERR_PRIOLEVELNEEDED);
    ASSERT_EQ(m_sound->SetCooperativeLevel(nullptr, DSSCL_EXCLUSIVE), DS_OK);
    EXPECT_EQ(primary->SetFormat(&format), DS_OK);
    EXPECT_EQ(m_sound->SetSpeakerConfig(DSSPEAKER_STEREO), DS_OK);
    EXPECT_EQ(primary->Restore(), DS_OK);
}

TEST_F(DSoundBuffer, LockGivesTheWrappedPairOrRejectsTheRegion)
{
    IDirectSoundBuffer* buffer = Create(kStatic2d, kMono16, 1000);
    uint8_t* base = nullptr;
    {
        void* p = nullptr;
        DWORD n = 0;
        ASSERT_EQ(buffer->Lock(0, 1000, &p, &n, nullptr, nullptr, 0), DS_OK);
        base = static_cast<uint8_t*>(p);
        EXPECT_EQ(n, 1000u);
        ASSERT_EQ(buffer->Unlock(p, n, nullptr, 0), DS_OK);
    }
    struct Case {
        DWORD offset;
        DWORD bytes;
        DWORD flags;
        bool wantSecond;
        HRESULT expected;
        DWORD firstOffset;
        DWORD firstBytes;
        bool hasSecond;
        DWORD secondBytes;
    };
    const Case cases[] = {
        {900, 300, 0, true, DS_OK, 900, 100, true, 200},
        {900, 300, 0, false, DS_OK, 900, 100, false, 0},
        {0, 1000, 0, true, DS_OK, 0, 1000, false, 0},
        {100, 200, 0, true, DS_OK, 100, 200, false, 0},
        {0, 0, DSBLOCK_ENTIREBUFFER, true, DS_OK, 0, 1000, false, 0},
        {1000, 1, 0, true, DSERR_INVALIDPARAM, 0, 0, false, 0},
        {0, 1001, 0, true, DSERR_INVALIDPARAM, 0, 0, false, 0},
        {0, 0, 0, true, DSERR_INVALIDPARAM, 0, 0, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "Lock(" << c.offset << ", " << c.bytes << ")");
        void* first = nullptr;
        DWORD firstBytes = 0;
        void* second = reinterpret_cast<void*>(1);
        DWORD secondBytes = 99;
        HRESULT result = c.wantSecond ? buffer->Lock(c.offset, c.bytes, &first, &firstBytes, &second,
                                                     &secondBytes, c.flags)
                                      : buffer->Lock(c.offset, c.bytes, &first, &firstBytes, nullptr, nullptr,
                                                     c.flags);
        ASSERT_EQ(result, c.expected);
        if (FAILED(result))
            continue;
        EXPECT_EQ(first, base + c.firstOffset);
        EXPECT_EQ(firstBytes, c.firstBytes);
        if (c.wantSecond) {
            EXPECT_EQ(second, c.hasSecond ? base : nullptr);
            EXPECT_EQ(secondBytes, c.secondBytes);
        }
        void* unlockSecond = c.wantSecond ? second : nullptr;
        // Unlock wants back exactly what Lock gave.
        EXPECT_EQ(buffer->Unlock(base + 1, firstBytes, unlockSecond, 0), DSERR_INVALIDPARAM);
        EXPECT_EQ(buffer->Unlock(first, firstBytes, unlockSecond, c.wantSecond ? secondBytes : 0), DS_OK);
    }
    EXPECT_EQ(buffer->Unlock(base, 1000, nullptr, 0), DSERR_INVALIDPARAM); // nothing is locked
}

// A stereo ramp whose frame i is (3i, -5i), wrapped to 16 bits.
CFrame RampFrame(DWORD i)
{
    return {(int16_t)(3 * i), (int16_t)(-5 * (int)i)};
}

void FillRamp(IDirectSoundBuffer* buffer, DWORD frames)
{
    CManualSoundTest::Fill16(buffer, frames * 4, [](DWORD sample) {
        const CFrame f = RampFrame(sample / 2);
        return (int16_t)(sample % 2 ? f.right : f.left);
    });
}

TEST_F(DSoundBuffer, WrittenFramesComeOutExactly)
{
    IDirectSoundBuffer* buffer = Create(kStatic2d, kStereo16, 4000);
    FillRamp(buffer, 1000);
    EXPECT_EQ(Status(buffer), 0u);
    EXPECT_EQ(Cursor(buffer), 0u);
    ASSERT_EQ(buffer->Play(0, 0, 0), DS_OK);
    const std::vector<CFrame> out = Pull(1000);
    for (DWORD i = 0; i < 1000; i++) {
        ASSERT_EQ(out[i].left, RampFrame(i).left) << i;
        ASSERT_EQ(out[i].right, RampFrame(i).right) << i;
    }
}

TEST_F(DSoundBuffer, BufferPlayedOnceStopsAtItsEndAndALoopGoesOn)
{
    IDirectSoundBuffer* once = Create(kStatic2d, kStereo16, 4000);
    FillConstant(once, 4000, 1000);
    ASSERT_EQ(once->Play(0, 0, 0), DS_OK);
    EXPECT_EQ(Status(once), DSBSTATUS_PLAYING);
    std::vector<CFrame> out = Pull(1500);
    EXPECT_FRAME_NEAR(out[0], 1000, 1000);
    EXPECT_FRAME_NEAR(out[999], 1000, 1000);
    EXPECT_FRAME_NEAR(out[1000], 0, 0);
    EXPECT_FRAME_NEAR(out[1499], 0, 0);
    EXPECT_EQ(Status(once), 0u);
    once->Stop();

    IDirectSoundBuffer* loop = Create(kStatic2d, kStereo16, 4000);
    FillConstant(loop, 4000, 1000);
    ASSERT_EQ(loop->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    out = Pull(1500);
    for (const CFrame& f : out)
        ASSERT_EQ(f.left, 1000);
    EXPECT_EQ(Status(loop), DSBSTATUS_PLAYING | DSBSTATUS_LOOPING);
    EXPECT_EQ(Cursor(loop), 2000u);

    // Playing again without the looping flag replaces it: the buffer now ends.
    ASSERT_EQ(loop->Play(0, 0, 0), DS_OK);
    EXPECT_EQ(Status(loop), DSBSTATUS_PLAYING);
    out = Pull(600);
    EXPECT_EQ(out[499].left, 1000);
    EXPECT_EQ(out[500].left, 0);
    EXPECT_EQ(Status(loop), 0u);

    EXPECT_EQ(loop->Play(1, 0, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(loop->Play(0, 1, 0), DSERR_INVALIDPARAM);
}

TEST_F(DSoundBuffer, StopKeepsTheCursorAndPlayResumesThere)
{
    IDirectSoundBuffer* buffer = Create(kStatic2d, kStereo16, 4000);
    FillRamp(buffer, 1000);
    ASSERT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    Pull(300);
    ASSERT_EQ(buffer->Stop(), DS_OK);
    EXPECT_EQ(Cursor(buffer), 1200u);
    for (const CFrame& f : Pull(200))
        ASSERT_EQ(f.left, 0);
    EXPECT_EQ(Cursor(buffer), 1200u);
    ASSERT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    std::vector<CFrame> out = Pull(10);
    for (DWORD i = 0; i < 10; i++)
        EXPECT_EQ(out[i].left, RampFrame(300 + i).left);

    // The cursor moves at once, playing or not, to the frame holding the byte.
    ASSERT_EQ(buffer->SetCurrentPosition(400), DS_OK);
    EXPECT_EQ(PullOne().left, RampFrame(100).left);
    buffer->Stop();
    ASSERT_EQ(buffer->SetCurrentPosition(802), DS_OK);
    EXPECT_EQ(Cursor(buffer), 800u);
    buffer->Play(0, 0, 0);
    EXPECT_EQ(PullOne().left, RampFrame(200).left);
    EXPECT_EQ(buffer->SetCurrentPosition(4000), DSERR_INVALIDPARAM);
}

TEST_F(DSoundBuffer, VolumeAndPanGainsFollowTheMilliBelLaw)
{
    struct Case {
        LONG volume;
        LONG pan;
        WORD channels;
        int left;
        int right;
    };
    const Case cases[] = {
        {0, 0, 2, 16384, 16384},
        {-602, 0, 2, 8193, 8193},
        {-752, 0, 2, 6893, 6893},
        {-1000, 0, 2, 5181, 5181},
        {-2000, 0, 2, 1638, 1638},
        {-10000, 0, 2, 0, 0},
        {0, -2173, 1, 16384, 1343},
        {0, 10000, 1, 0, 16384},
        {0, -10000, 1, 16384, 0},
        {-602, 602, 1, 4097, 8193},
        {-5000, -5000, 1, 52, 0}, // the far side passes -10000 mB: exact silence
        {0, 1250, 2, 3885, 16384},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "volume " << c.volume << " pan " << c.pan << " channels " << c.channels);
        IDirectSoundBuffer* buffer = Create(kStatic2d, PcmFormat(44100, c.channels, 16), 4000);
        FillConstant(buffer, 4000, 16384);
        ASSERT_EQ(buffer->SetVolume(c.volume), DS_OK);
        ASSERT_EQ(buffer->SetPan(c.pan), DS_OK);
        buffer->Play(0, 0, DSBPLAY_LOOPING);
        EXPECT_FRAME_NEAR(PullOne(), c.left, c.right);
        buffer->Stop();
    }

    IDirectSoundBuffer* buffer = Create(kStatic2d, kMono16, 4000);
    EXPECT_EQ(buffer->SetVolume(1), DSERR_INVALIDPARAM);
    EXPECT_EQ(buffer->SetVolume(-10001), DSERR_INVALIDPARAM);
    EXPECT_EQ(buffer->SetPan(10001), DSERR_INVALIDPARAM);
    EXPECT_EQ(buffer->SetPan(-10001), DSERR_INVALIDPARAM);
}

TEST_F(DSoundBuffer, PrimaryVolumeScalesTheWholeMix)
{
    IDirectSoundBuffer* primary = CreatePrimary(kPrimary3d);
    IDirectSoundBuffer* buffer = Create(kStatic2d, kStereo16, 4000);
    FillConstant(buffer, 4000, 16384);
    buffer->Play(0, 0, DSBPLAY_LOOPING);
    ASSERT_EQ(primary->SetVolume(-602), DS_OK);
    EXPECT_FRAME_NEAR(PullOne(), 8193, 8193);
    EXPECT_EQ(primary->SetPan(0), DSERR_CONTROLUNAVAIL);
}

TEST_F(DSoundBuffer, VoicesAddAndSaturate)
{
    struct Case {
        int16_t a;
        int16_t b;
        int sum;
    };
    const Case cases[] = {{20000, 20000, 32767}, {-20000, -20000, -32768}, {10000, -3000, 7000}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.a << " + " << c.b);
        IDirectSoundBuffer* a = Create(kStatic2d, kStereo16, 400);
        IDirectSoundBuffer* b = Create(kStatic2d, kStereo16, 400);
        FillConstant(a, 400, c.a);
        FillConstant(b, 400, c.b);
        a->Play(0, 0, DSBPLAY_LOOPING);
        b->Play(0, 0, DSBPLAY_LOOPING);
        EXPECT_FRAME_NEAR(PullOne(), c.sum, c.sum);
        a->Stop();
        b->Stop();
    }
}

TEST_F(DSoundBuffer, EightBitSamplesAreUnsignedAroundTheMiddle)
{
    IDirectSoundBuffer* buffer = Create(kStatic2d, PcmFormat(44100, 1, 8), 4);
    void* p = nullptr;
    DWORD n = 0;
    ASSERT_EQ(buffer->Lock(0, 4, &p, &n, nullptr, nullptr, 0), DS_OK);
    const uint8_t samples[4] = {0x80, 0xFF, 0x00, 0x40};
    std::memcpy(p, samples, 4);
    buffer->Unlock(p, n, nullptr, 0);
    buffer->Play(0, 0, 0);
    std::vector<CFrame> out = Pull(5);
    const int expected[5] = {0, 32512, -32768, -16384, 0};
    for (int i = 0; i < 5; i++)
        EXPECT_FRAME_NEAR(out[i], expected[i], expected[i]);

    // A new 8-bit buffer holds silence, not -32768.
    IDirectSoundBuffer* fresh = Create(kStatic2d, PcmFormat(44100, 2, 8), 400);
    fresh->Play(0, 0, DSBPLAY_LOOPING);
    EXPECT_FRAME_NEAR(PullOne(), 0, 0);
}

TEST_F(DSoundBuffer, HalfRateSourceAdvancesHalfAFramePerOutputFrameInterpolated)
{
    // The silent placeholder source: 0.25 s of 22050 Hz mono.
    IDirectSoundBuffer* placeholder = Create(kStatic2d, PcmFormat(22050, 1, 16), 11024);
    placeholder->Play(0, 0, 0);
    Pull(1001);
    EXPECT_EQ(Cursor(placeholder), 500u * 2);
    Pull(11024 - 1001 - 1);
    EXPECT_EQ(Status(placeholder), DSBSTATUS_PLAYING);
    Pull(1);
    EXPECT_EQ(Status(placeholder), 0u);

    // Between two source frames the output lies half-way.
    IDirectSoundBuffer* ramp = Create(kStatic2d, PcmFormat(22050, 1, 16), 8);
    Fill16(ramp, 8, [](DWORD i) { return (int16_t)(1000 * (int)i); });
    ramp->Play(0, 0, 0);
    std::vector<CFrame> out = Pull(9);
    const int expected[9] = {0, 500, 1000, 1500, 2000, 2500, 3000, 1500, 0};
    for (int i = 0; i < 9; i++)
        EXPECT_FRAME_NEAR(out[i], expected[i], expected[i]);

    // A looping buffer interpolates from its last frame into its first.
    ramp->SetCurrentPosition(6);
    ramp->Play(0, 0, DSBPLAY_LOOPING);
    out = Pull(3);
    EXPECT_FRAME_NEAR(out[1], 1500, 1500);
    EXPECT_FRAME_NEAR(out[2], 0, 0);
}

TEST_F(DSoundBuffer, ReleasingABufferWhileItPlaysTakesItOutOfTheMix)
{
    IDirectSoundBuffer* buffer = nullptr;
    WAVEFORMATEX format = kStereo16;
    DSBUFFERDESC desc = {36, kStatic2d, 400, 0, &format, DS3DALG_DEFAULT};
    ASSERT_EQ(m_sound->CreateSoundBuffer(&desc, &buffer, nullptr), DS_OK);
    FillConstant(buffer, 400, 5000);
    buffer->Play(0, 0, DSBPLAY_LOOPING);
    EXPECT_FRAME_NEAR(PullOne(), 5000, 5000);
    EXPECT_EQ(buffer->Release(), 0u);
    EXPECT_FRAME_NEAR(PullOne(), 0, 0);
}

} // namespace
