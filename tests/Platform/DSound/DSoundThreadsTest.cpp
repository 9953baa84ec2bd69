// The layer under the engine's three threads at once: a mixing thread pulls
// blocks, a streaming thread refills a ring at its notifications under a
// critical section and stops it after the data ends, and the main thread
// plays, stops, pans and sets volumes meanwhile. The streamed data must come
// out exactly; run under ThreadSanitizer this also checks the locking.
#include "DSoundTestSupport.h"

#include "Platform/Win32/WinThreads.h"
#include "Platform/Win32/WinTime.h"

#include <atomic>
#include <chrono>

namespace {

const DWORD kSegmentFrames = 16537; // the engine's 3/8 s at 44100 Hz
const DWORD kSegmentBytes = kSegmentFrames * 4;
const DWORD kSourceFrames = 200000;
const DWORD kPulledFrames = kSourceFrames + 3 * kSegmentFrames;
const DWORD kBlockFrames = 441; // 10 ms

CFrame SourceFrame(DWORD n)
{
    const int left = (int)((n * 7) % 60000) - 30000;
    return {left, -left};
}

struct CStream {
    IDirectSoundBuffer* buffer = nullptr;
    HANDLE events[8] = {};
    CRITICAL_SECTION section;
    std::atomic<bool> run{true};
    // Source frames written into the ring so far (zeros after the data).
    std::atomic<DWORD> writtenFrames{0};
    std::atomic<bool> stopped{false};
    DWORD nextSegment = 0;
    DWORD nextEvent = 0;
    DWORD wraps = 0;
};

// Writes the next source segment into ring segment k.
void WriteSegment(CStream* stream, DWORD k)
{
    void* data = nullptr;
    DWORD bytes = 0;
    if (stream->buffer->Lock(k * kSegmentBytes, kSegmentBytes, &data, &bytes, nullptr, nullptr, 0) != DS_OK)
        return;
    int16_t* samples = static_cast<int16_t*>(data);
    const DWORD first = stream->nextSegment * kSegmentFrames;
    for (DWORD i = 0; i < kSegmentFrames; i++) {
        const DWORD n = first + i;
        const CFrame f = n < kSourceFrames ? SourceFrame(n) : CFrame{0, 0};
        samples[2 * i] = (int16_t)f.left;
        samples[2 * i + 1] = (int16_t)f.right;
    }
    stream->buffer->Unlock(data, bytes, nullptr, 0);
    stream->nextSegment++;
    stream->writtenFrames.store(stream->nextSegment * kSegmentFrames);
}

// One pass of the streaming thread, as the engine's: every signalled event in
// order refills the segment that just finished.
void ServicePass(CStream* stream)
{
    EnterCriticalSection(&stream->section);
    DWORD signalled = WaitForMultipleObjects(8, stream->events, FALSE, 0);
    if (signalled < WAIT_OBJECT_0 + 8) {
        while (WaitForSingleObject(stream->events[stream->nextEvent], 0) == WAIT_OBJECT_0) {
            const DWORD k = stream->nextEvent;
            WriteSegment(stream, k);
            if (k == 7)
                stream->wraps++;
            ResetEvent(stream->events[k]);
            stream->nextEvent = (k + 1) & 7;
        }
    }
    DWORD status = 0;
    DWORD cursor = 0;
    stream->buffer->GetStatus(&status);
    stream->buffer->GetCurrentPosition(&cursor, nullptr);
    const DWORD played = stream->wraps * 8 * kSegmentFrames + cursor / 4;
    if ((status & DSBSTATUS_PLAYING) && played >= kSourceFrames) {
        stream->buffer->Stop();
        stream->stopped = true;
    }
    LeaveCriticalSection(&stream->section);
}

void StreamingThread(void* argument)
{
    CStream* stream = static_cast<CStream*>(argument);
    while (stream->run.load()) {
        ServicePass(stream);
        Sleep(1);
    }
}

struct CPuller {
    IDirectSound* sound;
    CStream* stream;
    std::vector<int16_t> output;
    std::atomic<bool> done{false};
    bool timedOut = false;
};

void MixingThread(void* argument)
{
    CPuller* puller = static_cast<CPuller*>(argument);
    puller->output.resize(2 * kPulledFrames);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    for (DWORD at = 0; at < kPulledFrames; at += kBlockFrames) {
        // Real output runs at a steady pace the streaming keeps ahead of; here
        // the puller waits instead of running over unwritten segments.
        while (puller->stream->writtenFrames.load() < at + kBlockFrames && !puller->stream->stopped.load()) {
            if (std::chrono::steady_clock::now() > deadline) {
                puller->timedOut = true;
                puller->done = true;
                return;
            }
            Sleep(0);
        }
        const DWORD frames = std::min(kBlockFrames, kPulledFrames - at);
        DSoundTestPull(puller->sound, puller->output.data() + 2 * at, frames);
    }
    puller->done = true;
}

class DSoundThreads : public CManualSoundTest {};

TEST_F(DSoundThreads, StreamingRefillsWhileAnotherThreadMixesAndTheMainThreadPlays)
{
    CStream stream;
    InitializeCriticalSection(&stream.section);
    stream.buffer = Create(kStreamed2d, PcmFormat(44100, 2, 16), 8 * kSegmentBytes);
    auto* notify = Query<IDirectSoundNotify>(stream.buffer, IID_IDirectSoundNotify);
    DSBPOSITIONNOTIFY positions[8];
    for (DWORD k = 0; k < 8; k++) {
        stream.events[k] = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        positions[k] = {(k + 1) * kSegmentBytes - 1, stream.events[k]};
    }
    ASSERT_EQ(notify->SetNotificationPositions(8, positions), DS_OK);
    for (DWORD k = 0; k < 8; k++)
        WriteSegment(&stream, k);
    ASSERT_EQ(stream.buffer->Play(0, 0, DSBPLAY_LOOPING), DS_OK);

    // Silent buffers for the main thread: whatever it does to them, the mix
    // must stay exactly the stream.
    std::vector<IDirectSoundBuffer*> others;
    for (int i = 0; i < 4; i++)
        others.push_back(Create(i % 2 ? kStatic2d : kStreamed2d, PcmFormat(22050, 1, 16), 4000));

    HANDLE streaming = (HANDLE)_beginthread(&StreamingThread, 0, &stream);
    CPuller puller;
    puller.sound = m_sound;
    puller.stream = &stream;
    HANDLE mixing = (HANDLE)_beginthread(&MixingThread, 0, &puller);

    for (int round = 0; !puller.done.load(); round++) {
        IDirectSoundBuffer* other = others[round % others.size()];
        other->Play(0, 0, round % 3 ? DSBPLAY_LOOPING : 0);
        other->SetVolume(-(round % 10000));
        other->SetPan(round % 2 ? 3000 : -3000);
        if (round % 5 == 0)
            other->Stop();
        stream.buffer->SetVolume(0);
        stream.buffer->SetPan(0);
        DWORD status = 0;
        stream.buffer->GetStatus(&status);
        if (round % 50 == 0) {
            // Buffers come and go while the mixer walks its list.
            IDirectSoundBuffer* passing = nullptr;
            TryCreate(kStatic2d, PcmFormat(44100, 2, 8), 400, &passing);
            passing->Play(0, 0, DSBPLAY_LOOPING);
            passing->SetVolume(DSBVOLUME_MIN);
        }
        Sleep(round % 2);
    }
    EXPECT_EQ(WaitForSingleObject(mixing, INFINITE), WAIT_OBJECT_0);
    CloseHandle(mixing);
    ASSERT_FALSE(puller.timedOut) << "the streaming fell behind for good";

    // The streaming thread stops the ring within a pass of the data's end.
    for (int i = 0; i < 2000 && !stream.stopped.load(); i++)
        Sleep(1);
    EXPECT_TRUE(stream.stopped.load());
    stream.run = false;
    EXPECT_EQ(WaitForSingleObject(streaming, INFINITE), WAIT_OBJECT_0);
    CloseHandle(streaming);

    for (DWORD n = 0; n < kPulledFrames; n++) {
        const CFrame expected = n < kSourceFrames ? SourceFrame(n) : CFrame{0, 0};
        ASSERT_EQ(puller.output[2 * n], expected.left) << "frame " << n;
        ASSERT_EQ(puller.output[2 * n + 1], expected.right) << "frame " << n;
    }
    DWORD status = 1;
    stream.buffer->GetStatus(&status);
    EXPECT_EQ(status, 0u);

    for (HANDLE event : stream.events)
        CloseHandle(event);
    DeleteCriticalSection(&stream.section);
}

} // namespace
