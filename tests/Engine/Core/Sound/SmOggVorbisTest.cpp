// Ogg Vorbis sources against libvorbisfile's decode of the same clips: random
// ranges sample for sample, tables from files and from decoding, the refused
// inputs, the repeated-request shortcut and two threads reading one source.
#include "Engine/Core/Sound/SmOggVorbis.h"
#include "Engine/Core/Common/GeRandom.h"
#include "SoundFixtures.h"
#include "tests/Support/ErrorBoxRecorder.h"
#include "tests/Support/TestTempDir.h"

#include "Engine/Core/Common/GeLog.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <map>
#include <thread>
#include <tuple>

namespace {

CGeFileData FileOf(const std::string& bytes)
{
    CGeFileData file;
    file.size = static_cast<uint32_t>(bytes.size());
    file.data = static_cast<uint8_t*>(malloc(bytes.size() ? bytes.size() : 1));
    memcpy(file.data, bytes.data(), bytes.size());
    return file;
}

struct CClip {
    std::string ogg;
    std::string pcm; // the reference decode
};

// Clips are encoded once per process.
const CClip& Clip(uint16_t channels, uint32_t rate, double seconds)
{
    static std::map<std::tuple<int, int, int>, CClip> clips;
    CClip& clip = clips[{channels, static_cast<int>(rate), static_cast<int>(seconds * 10)}];
    if (clip.ogg.empty()) {
        clip.ogg = VorbisClip(channels, rate, seconds);
        clip.pcm = VorbisReference(clip.ogg);
    }
    return clip;
}

bool DecodeTable(const CClip& clip, std::vector<uint32_t>& table, uint32_t& total)
{
    return SmDecodeOggPacketTable(reinterpret_cast<const uint8_t*>(clip.ogg.data()),
                                  static_cast<uint32_t>(clip.ogg.size()), table, total);
}

CSmOggVorbis* LoadClip(const CGeString& name, const std::string& ogg)
{
    CSmOggVorbis* source = new CSmOggVorbis;
    CGeFileData file = FileOf(ogg);
    EXPECT_TRUE(source->Load(name, file));
    return source;
}

} // namespace

TEST(SmOggVorbis, RandomRangesEqualTheReferenceDecodeSampleForSample)
{
    struct {
        uint16_t channels;
        uint32_t rate;
        double seconds;
    } clips[] = {{1, 22050, 2}, {2, 22050, 2}, {1, 44100, 2}, {2, 44100, 10}};
    CTestTempDir dir;
    GeSrand(19);
    for (auto& c : clips) {
        const CClip& clip = Clip(c.channels, c.rate, c.seconds);
        ASSERT_FALSE(clip.pcm.empty());
        CSmOggVorbis* source = LoadClip((dir / "clip.ogg").c_str(), clip.ogg);
        ASSERT_EQ(source->GetSize(), clip.pcm.size());
        const WAVEFORMATEX* f = source->GetFormat();
        EXPECT_EQ(f->nChannels, c.channels);
        EXPECT_EQ(f->nSamplesPerSec, c.rate);
        EXPECT_EQ(f->nBlockAlign, 2 * c.channels);
        EXPECT_EQ(source->GetDuration(), static_cast<uint32_t>(clip.pcm.size() * 1000ull / f->nAvgBytesPerSec));
        // Packet bytes (less than the file, which adds page headers) plus 4 per entry.
        const uint32_t packetBytes = source->GetMemoryBytes() - 4 * source->GetPacketCount();
        EXPECT_LT(packetBytes, clip.ogg.size());
        EXPECT_GT(packetBytes, clip.ogg.size() * 9 / 10);
        const uint32_t align = f->nBlockAlign;
        const uint32_t frames = source->GetSize() / align;
        for (int i = 0; i < 40; i++) {
            uint32_t first = static_cast<uint32_t>(GeRand() * 32768 + GeRand()) % frames;
            uint32_t count =
                1 + static_cast<uint32_t>(GeRand() * 32768 + GeRand()) % std::min<uint32_t>(frames - first, 30000);
            if (i == 0) {
                first = 0; // inside the first audio packet
                count = 100;
            } else if (i == 1) {
                first = frames - count; // up to the very end
            }
            const uint8_t* bytes = source->GetBytes(first * align, count * align);
            ASSERT_NE(bytes, nullptr);
            ASSERT_EQ(memcmp(bytes, clip.pcm.data() + first * align, count * align), 0)
                << c.channels << " ch " << c.rate << " Hz, frames " << first << " + " << count;
        }
        source->Release();
    }
}

TEST(SmOggVorbis, ATableFileIsUsedWhenItFitsAndRebuiltWhenItDoesNot)
{
    const CClip& clip = Clip(2, 44100, 2);
    std::vector<uint32_t> table;
    uint32_t total = 0;
    ASSERT_TRUE(DecodeTable(clip, table, total));
    EXPECT_EQ(total, clip.pcm.size());
    ASSERT_GT(table.size(), 4u);
    EXPECT_EQ(table[0] | table[1] | table[2] | table[3], 0u); // headers, and the first audio packet

    CTestTempDir dir;
    const CGeString name = (dir / "t.ogg").c_str();
    {
        // A fitting table gives the same bytes.
        dir.Write("t.ogg.tbl", PacketTableFile(table, total));
        CSmOggVorbis* source = LoadClip(name, clip.ogg);
        EXPECT_EQ(source->GetPacketTable(), table);
        EXPECT_EQ(source->GetSize(), total);
        const uint8_t* bytes = source->GetBytes(1000 * 4, 20000 * 4);
        ASSERT_NE(bytes, nullptr);
        EXPECT_EQ(memcmp(bytes, clip.pcm.data() + 4000, 80000), 0);
        source->Release();
    }
    struct {
        std::vector<uint32_t> entries;
        uint32_t total;
    } wrong[] = {
        {std::vector<uint32_t>(table.begin(), table.end() - 1), total - table.back()}, // one entry short
        {table, total + 4},                                                            // sum disagrees
    };
    for (auto& w : wrong) {
        std::vector<uint32_t> entries = w.entries;
        if (w.total == total + 4)
            entries[5] += 4;
        dir.Write("t.ogg.tbl", PacketTableFile(entries, w.total));
        CErrorBoxRecorder box;
        GeLogClearLast();
        CSmOggVorbis* source = LoadClip(name, clip.ogg);
        EXPECT_TRUE(CErrorBoxRecorder::Messages().empty());
        EXPECT_NE(GeLogLastMessage().c_str(), std::string()); // logged
        EXPECT_EQ(source->GetPacketTable(), table);
        EXPECT_EQ(source->GetSize(), total);
        source->Release();
    }
}

TEST(SmOggVorbis, RefusedInputsLeaveAnEmptySourceWithTheirMessage)
{
    const CClip& clip = Clip(1, 22050, 2);
    std::vector<uint32_t> table;
    uint32_t total = 0;
    ASSERT_TRUE(DecodeTable(clip, table, total));
    CTestTempDir dir;
    const std::string name = dir / "r.ogg";
    // The identification header is the first page's only packet: its body
    // starts after the 27-byte page header and one lacing value.
    std::string badInfo = clip.ogg;
    badInfo[28 + 1] = 'x'; // "\x01vorbis" becomes "\x01xorbis"
    struct {
        std::string ogg;
        std::string table;
        std::string message;
    } cases[] = {
        {std::string(), std::string(), "unexpected:: CSmOggVorbis: data is null with '" + name + "'"},
        {std::string(5000, 'z'), std::string(), "Input does not appear to be an Ogg bitstream"},
        {badInfo, std::string(), "Header of init info isn't accepted by vorbis. Exiting"},
        {clip.ogg, PacketTableFile(table, total, static_cast<int64_t>(table.size() * 4 + 4)),
         "CSmOggVorbis: '" + name + ".tbl' is not table file: invalid size"},
        {clip.ogg, PacketTableFile(table, total).substr(0, 18),
         "CSmOggVorbis: '" + name + ".tbl' is not table file: invalid size"},
    };
    for (auto& c : cases) {
        std::remove((name + ".tbl").c_str());
        if (!c.table.empty())
            dir.Write("r.ogg.tbl", c.table);
        CErrorBoxRecorder box;
        CSmOggVorbis* source = new CSmOggVorbis;
        CGeFileData file = c.ogg.empty() ? CGeFileData{} : FileOf(c.ogg);
        EXPECT_FALSE(source->Load(name.c_str(), file)) << c.message;
        ASSERT_EQ(CErrorBoxRecorder::Messages().size(), 1u) << c.message;
        EXPECT_EQ(CErrorBoxRecorder::Messages()[0], c.message);
        EXPECT_EQ(source->GetSize(), 0u);
        EXPECT_EQ(source->GetBytes(0, 4), nullptr);
        EXPECT_EQ(CErrorBoxRecorder::Messages().back(), "CSmWave:GetBytes no data");
        source->Release();
    }
}

TEST(SmOggVorbis, ARepeatedRequestDecodesOnceAndOutOfRangeRequestsAreRefused)
{
    const CClip& clip = Clip(2, 44100, 2);
    CTestTempDir dir;
    CSmOggVorbis* source = LoadClip((dir / "s.ogg").c_str(), clip.ogg);
    const uint32_t before = source->GetDecodeCount();
    const uint8_t* a = source->GetBytes(4000, 8000);
    const uint8_t* b = source->GetBytes(4000, 8000);
    EXPECT_EQ(a, b);
    EXPECT_EQ(source->GetDecodeCount(), before + 1);
    source->GetBytes(4000, 8004);
    EXPECT_EQ(source->GetDecodeCount(), before + 2);

    CErrorBoxRecorder box;
    EXPECT_EQ(source->GetBytes(source->GetSize() - 4, 8), nullptr);
    EXPECT_EQ(CErrorBoxRecorder::Messages().back(), "CSmWave:GetBytes range error");
    EXPECT_NE(source->GetBytes(source->GetSize() - 4, 4), nullptr);
    source->Release();
}

TEST(SmOggVorbis, TwoThreadsReadingOneSourceEachGetTheirOwnBytes)
{
    const CClip& clip = Clip(2, 44100, 10);
    CTestTempDir dir;
    CSmOggVorbis* source = LoadClip((dir / "m.ogg").c_str(), clip.ogg);
    const uint32_t segment = 16536 * 4;
    std::atomic<int> wrong{0};
    auto reader = [&](uint32_t start) {
        for (int pass = 0; pass < 12; pass++) {
            const uint32_t offset = ((start + pass * 3) % 24) * segment / 2;
            const uint8_t* bytes = source->GetBytes(offset, segment);
            // Another thread's request must not change these bytes while they
            // are read.
            std::this_thread::yield();
            if (!bytes || memcmp(bytes, clip.pcm.data() + offset, segment) != 0)
                wrong++;
        }
    };
    std::thread other(reader, 1);
    reader(2);
    other.join();
    EXPECT_EQ(wrong.load(), 0);
    source->Release();
}
