// The data source of ".ogg" sounds: the compressed Vorbis packets stay in
// memory and only the packets that cover a requested byte range are decoded,
// so that a long piece of music costs little memory.
//
// A companion table (the sound's path with ".tbl" appended) gives the decoded
// PCM bytes of every packet, so that loading decodes nothing; without one, or
// when a table's entries do not match the stream, the table is made by
// decoding the stream once (logged in the second case). Layout, little-endian:
// 8 unread bytes, N = byte length of the entries (file size - 16, a multiple
// of 4), the total PCM bytes, then N / 4 entries, headers included (0 each).
// SmDecodeOggPacketTable is the one routine that decodes a table, shared with
// the tool that writes ".tbl" files.
//
// Output is signed 16-bit interleaved PCM at the stream's rate and channels.
// A request is decoded from the packet before its first packet (which primes
// the overlap and yields nothing copied) through its last one. GetBytes runs on
// the main thread and on the streaming thread: decoding is guarded by the
// source's own critical section and every thread gets an output buffer of its
// own, so a pointer one thread holds is never overwritten by the other. A
// request equal to the thread's previous one returns its buffer undecoded.
// Bytes a decode does not yield read as silence.
#pragma once

#include "Engine/Core/Sound/SmSoundData.h"
#include "Platform/Win32/WinThreads.h"

#include <ogg/ogg.h>
#include <vorbis/codec.h>

#include <cstdint>
#include <thread>
#include <vector>

// Decodes every packet of an Ogg Vorbis file in order, as a table-less load
// does: the PCM bytes each packet yields (0 for the three headers and for the
// first audio packet) and their sum. False when the data is not an Ogg Vorbis
// stream.
bool SmDecodeOggPacketTable(const uint8_t* data, uint32_t size, std::vector<uint32_t>& table, uint32_t& total);

class CSmOggVorbis : public CSmSoundData {
public:
    CSmOggVorbis();
    ~CSmOggVorbis() override;

    bool Load(const CGeString& name, CGeFileData& file) override;
    void Unload() override;
    const uint8_t* GetBytes(uint32_t offset, uint32_t count) override;

    uint32_t GetPacketCount() const { return packetCount; }
    const std::vector<uint32_t>& GetPacketTable() const { return table; }
    // How many requests were decoded rather than answered from the buffer.
    uint32_t GetDecodeCount() const { return decodeCount; }

private:
    struct COutput {
        std::thread::id thread;
        std::vector<uint8_t> bytes;
        std::vector<int16_t> scratch;
        uint32_t offset = 0;
        uint32_t count = 0;
        bool valid = false;
    };

    bool Fail();
    COutput& OutputOfThisThread();
    void Decode(COutput& output, uint32_t first, uint32_t last, uint32_t firstStart, uint32_t offset, uint32_t count);

    std::vector<ogg_packet> packets;
    std::vector<uint8_t> packetBytes;
    uint32_t packetCount = 0;
    std::vector<uint32_t> table;
    vorbis_info info = {};
    vorbis_comment comment = {};
    bool infoReady = false;
    std::vector<COutput> outputs;
    uint32_t decodeCount = 0;
    CRITICAL_SECTION section;
};
