// Ogg Vorbis sources: packets kept whole, decoded per request under the
// source's lock into a buffer of the calling thread.
#include "Engine/Core/Sound/SmOggVorbis.h"

#include "Engine/Core/Common/GeError.h"
#include "Engine/Core/Common/GeLittleEndian.h"
#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GeSimd.h"

#include <algorithm>
#include <cstring>

namespace {

// The decoder hands out at most this many frames per read.
const int kReadFrames = 4096;

// Feeds the file to the pager 4096 bytes at a time and calls visit(packet) for
// every packet of the logical stream that the first page belongs to. The
// number of packets, or -1 when not a single page could be read.
template <typename Visit>
int64_t WalkPackets(const uint8_t* data, uint32_t size, Visit&& visit)
{
    ogg_sync_state sync;
    ogg_sync_init(&sync);
    ogg_stream_state stream;
    bool anyPage = false;
    long serial = 0;
    int64_t count = 0;
    uint32_t fed = 0;
    for (;;) {
        ogg_page page;
        const int result = ogg_sync_pageout(&sync, &page);
        if (result == 0) {
            if (fed >= size)
                break;
            const uint32_t piece = std::min<uint32_t>(4096, size - fed);
            char* buffer = ogg_sync_buffer(&sync, piece);
            memcpy(buffer, data + fed, piece);
            ogg_sync_wrote(&sync, piece);
            fed += piece;
            continue;
        }
        if (result < 0)
            continue; // bytes skipped up to the next page
        if (!anyPage) {
            anyPage = true;
            serial = ogg_page_serialno(&page);
            ogg_stream_init(&stream, static_cast<int>(serial));
        }
        if (ogg_page_serialno(&page) != serial)
            continue;
        ogg_stream_pagein(&stream, &page);
        ogg_packet packet;
        int got;
        while ((got = ogg_stream_packetout(&stream, &packet)) != 0) {
            if (got < 0)
                continue; // a gap in the stream: the packet is lost
            visit(packet);
            ++count;
        }
    }
    if (anyPage)
        ogg_stream_clear(&stream);
    ogg_sync_clear(&sync);
    return anyPage ? count : -1;
}

const char* const kHeaderErrors[3] = {
    "Header of init info isn't accepted by vorbis. Exiting",
    "Header of comments isn't accepted by vorbis. Exiting",
    "Header of codebooks isn't accepted by vorbis. Exiting",
};

// The three headers into info and comment; the index of the refused header,
// or -1.
int ReadHeaders(const std::vector<ogg_packet>& packets, vorbis_info& info, vorbis_comment& comment)
{
    for (int i = 0; i < 3; i++) {
        ogg_packet header = i < static_cast<int>(packets.size()) ? packets[i] : ogg_packet{};
        if (i >= static_cast<int>(packets.size()) || vorbis_synthesis_headerin(&info, &comment, &header) < 0)
            return i;
    }
    return -1;
}

// Every audio packet decoded once, in order: its PCM bytes into the table.
uint32_t DecodeTable(vorbis_info& info, std::vector<ogg_packet>& packets, std::vector<uint32_t>& table)
{
    table.assign(packets.size(), 0);
    vorbis_dsp_state dsp;
    vorbis_block block;
    if (vorbis_synthesis_init(&dsp, &info) != 0)
        return 0;
    vorbis_block_init(&dsp, &block);
    uint64_t total = 0;
    for (size_t i = 3; i < packets.size(); i++) {
        if (vorbis_synthesis(&block, &packets[i]) == 0)
            vorbis_synthesis_blockin(&dsp, &block);
        uint64_t frames = 0;
        float** pcm = nullptr;
        int ready;
        while ((ready = vorbis_synthesis_pcmout(&dsp, &pcm)) > 0) {
            const int take = std::min(ready, kReadFrames);
            frames += static_cast<uint64_t>(take);
            vorbis_synthesis_read(&dsp, take);
        }
        const uint64_t bytes = frames * static_cast<uint64_t>(info.channels) * 2;
        table[i] = static_cast<uint32_t>(std::min<uint64_t>(bytes, 0xFFFFFFFFu));
        total += table[i];
    }
    vorbis_block_clear(&block);
    vorbis_dsp_clear(&dsp);
    return static_cast<uint32_t>(std::min<uint64_t>(total, 0xFFFFFFFFu));
}

// Both passes of the loader over the file: the packet records and one block
// that holds their bytes. -1 when no page could be read.
int64_t StorePackets(const uint8_t* data, uint32_t size, std::vector<ogg_packet>& packets, std::vector<uint8_t>& bytes)
{
    size_t byteCount = 0;
    const int64_t count = WalkPackets(data, size, [&](const ogg_packet& p) { byteCount += p.bytes; });
    if (count < 0)
        return count;
    packets.assign(static_cast<size_t>(count), ogg_packet{});
    bytes.assign(byteCount, 0);
    size_t index = 0;
    size_t at = 0;
    WalkPackets(data, size, [&](const ogg_packet& p) {
        if (index >= packets.size() || at + p.bytes > bytes.size())
            return;
        packets[index] = p;
        memcpy(bytes.data() + at, p.packet, p.bytes);
        packets[index].packet = bytes.data() + at;
        at += p.bytes;
        ++index;
    });
    return count;
}

} // namespace

bool SmDecodeOggPacketTable(const uint8_t* data, uint32_t size, std::vector<uint32_t>& table, uint32_t& total)
{
    table.clear();
    total = 0;
    std::vector<ogg_packet> packets;
    std::vector<uint8_t> bytes;
    if (!data || StorePackets(data, size, packets, bytes) < 0)
        return false;
    vorbis_info info;
    vorbis_comment comment;
    vorbis_info_init(&info);
    vorbis_comment_init(&comment);
    const bool ok = ReadHeaders(packets, info, comment) < 0;
    if (ok)
        total = DecodeTable(info, packets, table);
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
    return ok;
}

CSmOggVorbis::CSmOggVorbis()
{
    InitializeCriticalSection(&section);
    if (!g_pGeSimd)
        GeSimdCreate();
}

CSmOggVorbis::~CSmOggVorbis()
{
    CSmOggVorbis::Unload();
    DeleteCriticalSection(&section);
}

void CSmOggVorbis::Unload()
{
    packets.clear();
    packetBytes.clear();
    packetCount = 0;
    table.clear();
    if (infoReady) {
        vorbis_comment_clear(&comment);
        vorbis_info_clear(&info);
        infoReady = false;
    }
    EnterCriticalSection(&section);
    outputs.clear();
    LeaveCriticalSection(&section);
    CSmSoundData::Unload();
}

bool CSmOggVorbis::Fail()
{
    Unload();
    return false;
}

bool CSmOggVorbis::Load(const CGeString& soundName, CGeFileData& file)
{
    Unload();
    if (!file.data || file.size == 0) {
        GE_ERROR_REPORT("unexpected:: CSmOggVorbis: data is null with '%s'", soundName.c_str());
        FreeFileData(file);
        return false;
    }

    // The table file, when there is one.
    CGeString tableName = soundName;
    tableName.Append(".tbl");
    CGeFileData tableFile = LoadFileData(tableName.c_str(), false);
    std::vector<uint32_t> fileTable;
    uint32_t fileTotal = 0;
    const bool haveTable = tableFile.data != nullptr;
    if (haveTable) {
        const uint32_t n = tableFile.size >= 16 ? ReadLe32(tableFile.data + 8) : 0xFFFFFFFFu;
        if (tableFile.size < 16 || n != tableFile.size - 16 || n % 4 != 0) {
            GE_ERROR_REPORT("CSmOggVorbis: '%s' is not table file: invalid size", tableName.c_str());
            FreeFileData(tableFile);
            FreeFileData(file);
            return Fail();
        }
        fileTotal = ReadLe32(tableFile.data + 12);
        fileTable.resize(n / 4);
        for (uint32_t i = 0; i < n / 4; i++)
            fileTable[i] = ReadLe32(tableFile.data + 16 + 4 * i);
        FreeFileData(tableFile);
    }

    const int64_t count = StorePackets(file.data, file.size, packets, packetBytes);
    FreeFileData(file);
    if (count < 0) {
        GE_ERROR_REPORT("Input does not appear to be an Ogg bitstream");
        return Fail();
    }
    packetCount = static_cast<uint32_t>(count);

    vorbis_info_init(&info);
    vorbis_comment_init(&comment);
    infoReady = true;
    const int refused = ReadHeaders(packets, info, comment);
    if (refused >= 0) {
        GE_ERROR_REPORT("%s", kHeaderErrors[refused]);
        return Fail();
    }
    if (info.channels < 1 || info.channels > 2 || info.rate <= 0) {
        GE_ERROR_REPORT("CSmOggVorbis: %d channels at %ld Hz cannot be played with %s", info.channels, info.rate,
                        soundName.c_str());
        return Fail();
    }
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = static_cast<WORD>(info.channels);
    format.nSamplesPerSec = static_cast<DWORD>(info.rate);
    format.wBitsPerSample = 16;
    format.nBlockAlign = static_cast<WORD>(2 * info.channels);
    format.nAvgBytesPerSec = format.nBlockAlign * format.nSamplesPerSec;

    bool tableFits = false;
    if (haveTable) {
        // The table must describe this stream: one entry a packet, none for the
        // headers, entries adding up to the total, and the total the stream's
        // last granule position in bytes when the stream states it.
        uint64_t sum = 0;
        for (uint32_t entry : fileTable)
            sum += entry;
        const ogg_int64_t lastGranule = packets.empty() ? -1 : packets.back().granulepos;
        tableFits = fileTable.size() == packets.size() && sum == fileTotal &&
                    (packets.size() < 3 || (fileTable[0] | fileTable[1] | fileTable[2]) == 0) &&
                    (lastGranule < 0 ||
                     static_cast<uint64_t>(lastGranule) * format.nBlockAlign == static_cast<uint64_t>(fileTotal));
        if (!tableFits)
            GeLog(1, "CSmOggVorbis: the table '%s' does not match the stream; decoding it instead\n",
                  tableName.c_str());
    }
    if (tableFits) {
        table = std::move(fileTable);
        pcmBytes = fileTotal;
    } else {
        pcmBytes = DecodeTable(info, packets, table);
    }
    memoryBytes = static_cast<uint32_t>(packetBytes.size() + 4 * table.size());
    name = soundName;
    return true;
}

CSmOggVorbis::COutput& CSmOggVorbis::OutputOfThisThread()
{
    const std::thread::id self = std::this_thread::get_id();
    for (COutput& output : outputs) {
        if (output.thread == self)
            return output;
    }
    outputs.emplace_back();
    outputs.back().thread = self;
    return outputs.back();
}

const uint8_t* CSmOggVorbis::GetBytes(uint32_t offset, uint32_t count)
{
    if (packetCount == 0) {
        GE_ERROR_REPORT("CSmWave:GetBytes no data");
        return nullptr;
    }
    if (static_cast<uint64_t>(offset) + count > pcmBytes) {
        GE_ERROR_REPORT("CSmWave:GetBytes range error");
        return nullptr;
    }
    // The packets that cover the range, from the first audio packet on.
    int64_t first = -1;
    int64_t last = -1;
    uint32_t firstStart = 0;
    uint64_t end = 0;
    const uint64_t wantedEnd = static_cast<uint64_t>(offset) + count;
    for (uint32_t i = 3; i < packetCount; i++) {
        const uint64_t start = end;
        end += table[i];
        if (first < 0 && end > offset) {
            first = i;
            firstStart = static_cast<uint32_t>(start);
        }
        if (end >= wantedEnd) {
            last = i;
            break;
        }
    }
    if (packetCount < 4 || first < 0 || last < 0 || last < first) {
        GE_ERROR_REPORT("CSmOggVorbis::GetBytes: Something odd with asking range of data");
        return nullptr;
    }

    EnterCriticalSection(&section);
    COutput& output = OutputOfThisThread();
    if (!(output.valid && output.offset == offset && output.count == count))
        Decode(output, static_cast<uint32_t>(first), static_cast<uint32_t>(last), firstStart, offset, count);
    const uint8_t* result = output.bytes.data();
    LeaveCriticalSection(&section);
    return result;
}

void CSmOggVorbis::Decode(COutput& output, uint32_t first, uint32_t last, uint32_t firstStart, uint32_t offset,
                          uint32_t count)
{
    ++decodeCount;
    if (output.bytes.size() < count)
        output.bytes.resize(count);
    memset(output.bytes.data(), 0, count);
    output.valid = false;

    vorbis_dsp_state dsp;
    vorbis_block block;
    if (vorbis_synthesis_init(&dsp, &info) != 0)
        return;
    vorbis_block_init(&dsp, &block);
    const uint32_t frameBytes = format.nBlockAlign;
    const uint64_t wantedEnd = static_cast<uint64_t>(offset) + count;
    uint64_t packetStart = firstStart;
    // The packet before the first one only primes the overlap.
    for (uint32_t i = first - 1; i <= last; i++) {
        if (vorbis_synthesis(&block, &packets[i]) == 0)
            vorbis_synthesis_blockin(&dsp, &block);
        uint64_t produced = 0;
        float** pcm = nullptr;
        int ready;
        while ((ready = vorbis_synthesis_pcmout(&dsp, &pcm)) > 0) {
            const int take = std::min(ready, kReadFrames);
            if (i >= first) {
                // What of this piece lies inside both the packet's own bytes
                // and the request.
                const uint64_t pieceStart = packetStart + produced;
                const uint64_t pieceEnd =
                    std::min(pieceStart + static_cast<uint64_t>(take) * frameBytes, packetStart + table[i]);
                const uint64_t from = std::max<uint64_t>(pieceStart, offset);
                const uint64_t to = std::min(pieceEnd, wantedEnd);
                if (from < to) {
                    output.scratch.resize(static_cast<size_t>(take) * format.nChannels);
                    g_pGeSimd->ConvertFloatToInt16Interleaved(output.scratch.data(), pcm, static_cast<uint32_t>(take),
                                                              format.nChannels);
                    memcpy(output.bytes.data() + (from - offset),
                           reinterpret_cast<const uint8_t*>(output.scratch.data()) + (from - pieceStart),
                           static_cast<size_t>(to - from));
                }
            }
            produced += static_cast<uint64_t>(take) * frameBytes;
            vorbis_synthesis_read(&dsp, take);
        }
        if (i >= first)
            packetStart += table[i];
    }
    vorbis_block_clear(&block);
    vorbis_dsp_clear(&dsp);
    output.offset = offset;
    output.count = count;
    output.valid = true;
}
