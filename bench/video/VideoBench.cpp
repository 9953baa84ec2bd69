// Playing a 1280 x 720 Theora clip (key frames up to 64 apart) frame by frame:
//   Decoder/frames         NextFrame and CopyFrameToTexture for every frame,
//                          from the first to the last: decoding and the
//                          conversion into the texture's image;
//   DecoderUpload/frames   the same with the texture bound after each frame
//                          on a headless device, so that every frame is
//                          uploaded;
//   Libtheora/frames       the reference: the same packets through a bare
//                          theora_decode_packetin and theora_decode_YUVout.
//   Decoder/worst_seek     the longest backward step: frame 63 after frame 64,
//                          decoded again from key frame 0 and converted;
//   Libtheora/key_run      its reference: packets 0 to 63 through the bare
//                          decoder and one picture fetched.
// Each iteration plays the whole clip (or makes one seek); the ratios and the
// frames per second are printed at the end.
#include "Engine/Core/Common/GeCpuInfo.h"
#include "Engine/Core/Common/GeSimd.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmDeviceWrapper.h"
#include "Engine/Core/Gm/GmTexture.h"
#include "Engine/Core/Gm/GmVideoDecoder.h"
#include "bench/Support/BenchDevice.h"
#include "bench/Support/BenchRatio.h"
#include "tools/videoclip/TheoraClipWriter.h"

#include <benchmark/benchmark.h>
#include <ogg/ogg.h>
#include <theora/theora.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kWidth = 1280;
constexpr uint32_t kHeight = 720;
constexpr uint32_t kFrames = 128;
constexpr uint32_t kKeyInterval = 64;

theoraclip::Clip g_clip;

// The clip's packets in order, headers first, as the reference feeds them.
struct Packets {
    std::vector<std::vector<uint8_t>> bytes;
    std::vector<ogg_packet> records;
};
Packets g_packets;

void SplitPackets(const theoraclip::Bytes& file)
{
    ogg_sync_state sync;
    ogg_sync_init(&sync);
    char* buffer = ogg_sync_buffer(&sync, long(file.size()));
    memcpy(buffer, file.data(), file.size());
    ogg_sync_wrote(&sync, long(file.size()));
    ogg_stream_state stream;
    bool started = false;
    ogg_page page;
    while (ogg_sync_pageout(&sync, &page) > 0) {
        if (!started) {
            ogg_stream_init(&stream, ogg_page_serialno(&page));
            started = true;
        }
        ogg_stream_pagein(&stream, &page);
        ogg_packet packet;
        while (ogg_stream_packetout(&stream, &packet) > 0) {
            g_packets.bytes.emplace_back(packet.packet, packet.packet + packet.bytes);
            g_packets.records.push_back(packet);
        }
    }
    for (size_t i = 0; i < g_packets.records.size(); ++i)
        g_packets.records[i].packet = g_packets.bytes[i].data();
    if (started)
        ogg_stream_clear(&stream);
    ogg_sync_clear(&sync);
}

// A bare libtheora decoder over the clip's headers.
struct BareDecoder {
    theora_info info;
    theora_comment comment;
    theora_state state;

    BareDecoder()
    {
        theora_info_init(&info);
        theora_comment_init(&comment);
        for (int i = 0; i < 3; ++i)
            theora_decode_header(&info, &comment, &g_packets.records[i]);
        theora_decode_init(&state, &info);
    }
    ~BareDecoder()
    {
        theora_clear(&state);
        theora_comment_clear(&comment);
        theora_info_clear(&info);
    }
};

volatile uint8_t g_sink;

void Libtheora(benchmark::State& state)
{
    BareDecoder decoder;
    yuv_buffer picture;
    for (auto _ : state) {
        for (size_t i = 3; i < g_packets.records.size(); ++i) {
            theora_decode_packetin(&decoder.state, &g_packets.records[i]);
            theora_decode_YUVout(&decoder.state, &picture);
            g_sink = picture.y[0];
        }
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kFrames);
}

void LibtheoraKeyRun(benchmark::State& state)
{
    BareDecoder decoder;
    yuv_buffer picture;
    for (auto _ : state) {
        for (size_t i = 3; i < 3 + kKeyInterval; ++i)
            theora_decode_packetin(&decoder.state, &g_packets.records[i]);
        theora_decode_YUVout(&decoder.state, &picture);
        g_sink = picture.y[0];
    }
}

CGmVideoDecoder* OpenClip()
{
    CGeFileData file;
    file.path = "bench/clip.ogv";
    file.data = g_clip.bytes.data();
    file.size = uint32_t(g_clip.bytes.size());
    CGmVideoDecoder* video = new CGmVideoDecoder();
    if (!video->Open(file) || video->GetFrameCount() != kFrames) {
        fprintf(stderr, "the clip does not open\n");
        exit(1);
    }
    return video;
}

void PlayClip(benchmark::State& state, bool upload)
{
    CGmVideoDecoder* video = OpenClip();
    for (auto _ : state) {
        for (int32_t frame = 0; frame < int32_t(kFrames); ++frame) {
            video->NextFrame(frame);
            video->CopyFrameToTexture();
            if (upload)
                video->GetTexture()->Bind(0);
        }
    }
    if (upload && !video->GetTexture()->m_texture)
        state.SkipWithError("the texture was not uploaded");
    state.SetItemsProcessed(int64_t(state.iterations()) * kFrames);
    g_pGmDevice->GetDevice()->SetTexture(0, nullptr);
    video->Release();
}

void Decoder(benchmark::State& state)
{
    PlayClip(state, false);
}

void DecoderUpload(benchmark::State& state)
{
    PlayClip(state, true);
}

void DecoderWorstSeek(benchmark::State& state)
{
    CGmVideoDecoder* video = OpenClip();
    const int32_t behindKey = int32_t(kKeyInterval) - 1;
    for (auto _ : state) {
        state.PauseTiming();
        video->NextFrame(behindKey + 1);
        state.ResumeTiming();
        video->NextFrame(behindKey);
        video->CopyFrameToTexture();
    }
    state.SetItemsProcessed(int64_t(state.iterations()));
    video->Release();
}

// The shared reporter, also keeping the best items per second of each run.
class CVideoBenchReporter : public CBenchRatioReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            auto rate = run.counters.find("items_per_second");
            if (run.run_type == Run::RT_Iteration && !run.error_occurred && rate != run.counters.end()) {
                double& best = m_itemsPerSecond[run.run_name.function_name];
                best = std::max(best, double(rate->second));
            }
        }
        CBenchRatioReporter::ReportRuns(runs);
    }

    // item names what one item of the run is: "frame" or "seek".
    void PrintRate(const char* what, const std::string& name, const char* item) const
    {
        auto found = m_itemsPerSecond.find(name);
        if (found != m_itemsPerSecond.end())
            std::printf("  %-40s %7.1f %ss per second, %6.2f ms a %s\n", what, found->second, item,
                        1000.0 / found->second, item);
    }

private:
    std::map<std::string, double> m_itemsPerSecond;
};

} // namespace

int main(int argc, char** argv)
{
    CBenchDevice::PreferOffscreen();
    benchmark::Initialize(&argc, argv);
    GeCpuProbeCreate();
    GeSimdCreate();

    theoraclip::ClipSpec spec;
    spec.width = kWidth;
    spec.height = kHeight;
    spec.frames = kFrames;
    spec.keyInterval = kKeyInterval;
    spec.detail = true;
    g_clip = theoraclip::MakeTheoraClip(spec);
    SplitPackets(g_clip.bytes);
    if (g_packets.records.size() != kFrames + 3) {
        fprintf(stderr, "the clip has %zu packets\n", g_packets.records.size());
        return 1;
    }

    CBenchDevice* device = new CBenchDevice();

    benchmark::RegisterBenchmark("Decoder/frames", Decoder)->Unit(benchmark::kMillisecond)->Repetitions(3);
    benchmark::RegisterBenchmark("DecoderUpload/frames", DecoderUpload)->Unit(benchmark::kMillisecond)->Repetitions(3);
    benchmark::RegisterBenchmark("Libtheora/frames", Libtheora)->Unit(benchmark::kMillisecond)->Repetitions(3);
    benchmark::RegisterBenchmark("Decoder/worst_seek", DecoderWorstSeek)->Unit(benchmark::kMillisecond)->Repetitions(3);
    benchmark::RegisterBenchmark("Libtheora/key_run", LibtheoraKeyRun)->Unit(benchmark::kMillisecond)->Repetitions(3);
    CVideoBenchReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    CBenchRatioReporter::PrintRatios("A 1280 x 720 Theora clip of 128 frames, key frames 64 apart, played frame by "
                                     "frame, against a bare libtheora decode of the same packets");
    reporter.PrintRatio("NextFrame + CopyFrameToTexture", "Decoder/frames", "Libtheora/frames");
    reporter.PrintRatio("the same with the texture uploaded", "DecoderUpload/frames", "Libtheora/frames");
    reporter.PrintRatio("worst backward seek (64 packets)", "Decoder/worst_seek", "Libtheora/key_run");
    reporter.PrintRate("NextFrame + CopyFrameToTexture", "Decoder/frames", "frame");
    reporter.PrintRate("the same with the texture uploaded", "DecoderUpload/frames", "frame");
    reporter.PrintRate("bare libtheora decode", "Libtheora/frames", "frame");
    reporter.PrintRate("worst backward seek", "Decoder/worst_seek", "seek");

    delete device;
    benchmark::Shutdown();
    return 0;
}
