// Position notification as the engine's streaming uses it: a ring of eight
// segments of 3/8 s, an event at the last byte of each segment.
#include "DSoundTestSupport.h"

#include "Platform/Win32/WinThreads.h"

#include <string>

namespace {

// The engine's segment: 3/8 s aligned down to whole frames.
DWORD SegmentBytes(const WAVEFORMATEX& format)
{
    const DWORD bytes = format.nSamplesPerSec * format.nBlockAlign * 3 / 8;
    return bytes - bytes % format.nBlockAlign;
}

class DSoundNotify : public CManualSoundTest {
protected:
    void TearDown() override
    {
        CManualSoundTest::TearDown();
        for (HANDLE event : m_events)
            CloseHandle(event);
    }

    // A streamed ring of eight segments with the engine's eight positions.
    IDirectSoundBuffer* CreateRing(const WAVEFORMATEX& format, DWORD flags = kStreamed2d)
    {
        m_segment = SegmentBytes(format);
        IDirectSoundBuffer* buffer = Create(flags, format, 8 * m_segment);
        auto* notify = Query<IDirectSoundNotify>(buffer, IID_IDirectSoundNotify);
        DSBPOSITIONNOTIFY positions[8];
        for (DWORD k = 0; k < 8; k++) {
            m_events.push_back(CreateEventA(nullptr, TRUE, FALSE, nullptr));
            positions[k] = {(k + 1) * m_segment - 1, m_events.back()};
        }
        EXPECT_EQ(notify->SetNotificationPositions(8, positions), DS_OK);
        return buffer;
    }

    // "01000000": which of the last ring's eight events are set.
    std::string Signalled() const
    {
        std::string set;
        for (size_t i = m_events.size() < 8 ? 0 : m_events.size() - 8; i < m_events.size(); i++)
            set += WaitForSingleObject(m_events[i], 0) == WAIT_OBJECT_0 ? '1' : '0';
        return set;
    }

    void ResetAll()
    {
        for (HANDLE event : m_events)
            ResetEvent(event);
    }

    DWORD m_segment = 0;
    std::vector<HANDLE> m_events;
};

TEST_F(DSoundNotify, EachEngineFormatSignalsAtItsSegmentBoundary)
{
    const WAVEFORMATEX formats[] = {PcmFormat(44100, 2, 16), PcmFormat(44100, 1, 16), PcmFormat(22050, 1, 16),
                                    PcmFormat(22050, 2, 16), PcmFormat(48000, 2, 16)};
    for (const WAVEFORMATEX& format : formats) {
        SCOPED_TRACE(testing::Message() << format.nSamplesPerSec << " Hz, " << format.nChannels << " channels");
        IDirectSoundBuffer* ring = CreateRing(format);
        ring->Play(0, 0, DSBPLAY_LOOPING);
        // The output frame at which the cursor reaches the end of segment 1,
        // within one frame for rates that do not divide the output rate.
        const double due = (double)(m_segment / format.nBlockAlign) * 44100.0 / format.nSamplesPerSec;
        Pull((DWORD)due - 1);
        EXPECT_EQ(Signalled(), "00000000");
        Pull(2);
        EXPECT_EQ(Signalled(), "10000000");
        ring->Stop();
    }
}

TEST_F(DSoundNotify, StereoRingSignalsExactlyAtTheBoundarySeveralInOnePullAndOnTheWrap)
{
    IDirectSoundBuffer* ring = CreateRing(PcmFormat(44100, 2, 16));
    ASSERT_EQ(m_segment, 66148u);
    ring->Play(0, 0, DSBPLAY_LOOPING);
    Pull(16536);
    EXPECT_EQ(Signalled(), "00000000");
    EXPECT_EQ(Cursor(ring), 66144u);
    Pull(1);
    EXPECT_EQ(Signalled(), "10000000");
    EXPECT_EQ(Cursor(ring), 66148u);

    // Three segments in one pull: all three events, and they stay set.
    Pull(3 * 16537);
    EXPECT_EQ(Signalled(), "11110000");
    ResetEvent(m_events[0]);
    EXPECT_EQ(WaitForMultipleObjects(8, m_events.data(), FALSE, 0), WAIT_OBJECT_0 + 1);
    ResetAll();

    // Up to the end of the ring: the last event fires as the cursor wraps to 0.
    Pull(4 * 16537 - 1);
    EXPECT_EQ(Signalled(), "00001110");
    Pull(1);
    EXPECT_EQ(Signalled(), "00001111");
    EXPECT_EQ(Cursor(ring), 0u);
}

TEST_F(DSoundNotify, StoppedMovedOrSilentBuffers)
{
    IDirectSoundBuffer* ring = CreateRing(PcmFormat(22050, 1, 16));
    // A stopped buffer signals nothing.
    Pull(4 * 16536);
    EXPECT_EQ(Signalled(), "00000000");

    // A jump across positions signals none of them.
    ASSERT_EQ(ring->SetCurrentPosition(3 * m_segment + 10), DS_OK);
    ring->Play(0, 0, DSBPLAY_LOOPING);
    Pull(10);
    EXPECT_EQ(Signalled(), "00000000");
    ring->Stop();
    Pull(100000);
    EXPECT_EQ(Signalled(), "00000000");

    // A silenced buffer keeps time and signals all the same.
    ring->SetVolume(DSBVOLUME_MIN);
    ring->Play(0, 0, DSBPLAY_LOOPING);
    const std::vector<CFrame> out = Pull(2 * (m_segment / 2));
    EXPECT_EQ(Signalled(), "00010000");
    EXPECT_EQ(out.back().left, 0);
}

TEST_F(DSoundNotify, StopNotificationFiresOnStopAndAtTheEndButNotOnAWrap)
{
    const WAVEFORMATEX format = PcmFormat(44100, 1, 16);
    IDirectSoundBuffer* buffer = Create(kStreamed2d, format, 200);
    auto* notify = Query<IDirectSoundNotify>(buffer, IID_IDirectSoundNotify);
    HANDLE stopped = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    m_events.push_back(stopped);
    DSBPOSITIONNOTIFY position = {DSBPN_OFFSETSTOP, stopped};
    ASSERT_EQ(notify->SetNotificationPositions(1, &position), DS_OK);

    buffer->Play(0, 0, DSBPLAY_LOOPING);
    Pull(250); // wraps once
    EXPECT_EQ(WaitForSingleObject(stopped, 0), WAIT_TIMEOUT);
    buffer->Stop();
    EXPECT_EQ(WaitForSingleObject(stopped, 0), WAIT_OBJECT_0);
    ResetEvent(stopped);
    buffer->Stop(); // already stopped: nothing to signal
    EXPECT_EQ(WaitForSingleObject(stopped, 0), WAIT_TIMEOUT);

    buffer->Play(0, 0, 0);
    Pull(40);
    EXPECT_EQ(WaitForSingleObject(stopped, 0), WAIT_TIMEOUT);
    Pull(100);
    EXPECT_EQ(WaitForSingleObject(stopped, 0), WAIT_OBJECT_0);
}

TEST_F(DSoundNotify, PositionsAreSetOnAStoppedBufferWithinIt)
{
    IDirectSoundBuffer* buffer = Create(kStreamed2d, PcmFormat(44100, 1, 16), 200);
    auto* notify = Query<IDirectSoundNotify>(buffer, IID_IDirectSoundNotify);
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    m_events.push_back(event);
    DSBPOSITIONNOTIFY position = {200, event};
    EXPECT_EQ(notify->SetNotificationPositions(1, &position), DSERR_INVALIDPARAM);
    position.dwOffset = 199;
    buffer->Play(0, 0, DSBPLAY_LOOPING);
    EXPECT_EQ(notify->SetNotificationPositions(1, &position), DSERR_INVALIDCALL);
    buffer->Stop();
    EXPECT_EQ(notify->SetNotificationPositions(1, &position), DS_OK);
    // A new list replaces the old one; an empty one clears it.
    EXPECT_EQ(notify->SetNotificationPositions(0, nullptr), DS_OK);
    buffer->Play(0, 0, DSBPLAY_LOOPING);
    Pull(500);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
}

} // namespace
