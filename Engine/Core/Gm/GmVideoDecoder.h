// An Ogg Theora video played into a texture, one frame on demand.
//
// Open takes the whole file, reads the Theora headers and indexes every packet
// that follows them: the packet bytes are copied into one block, and the key
// frames (intra frames) are listed, so that any frame is reached without
// reading the file again. NextFrame(n) decodes forward from the frame already
// decoded, or from the key frame at or before n when that is nearer or n lies
// behind; CopyFrameToTexture converts the decoded picture into the texture's
// image, once per decoded frame.
//
// The texture has the picture's size (the stream's display size, without the
// coded border that pads a frame to whole macroblocks). An optional companion
// file beside the video, the same base name with ".geav", gives every frame an
// alpha plane; the texture then has an alpha channel (A8R8G8B8), otherwise
// not (X8R8G8B8). Pages of other logical streams in the file (a Vorbis track)
// are skipped.
//
// Header errors raise the error box and leave the decoder closed: a closed
// decoder, or one without a single frame, does nothing in NextFrame and
// CopyFrameToTexture. A damaged companion is ignored with a log line.
#pragma once

#include "Engine/Core/Common/GeArray.h"
#include "Engine/Core/Common/GeFileData.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmGpuResource.h"

#include <cstdint>

class CGmTexture;

// The collector's sub-TypeId of a video.
constexpr uint16_t GE_RES_VIDEO = 1;

// The ".geav" companion: "GEAV", the frame count at 8, the kind at 12 and a
// table of record offsets from 16; each record is an alpha plane as the image
// code reads it (its byte count, twelve further header bytes, the data).
constexpr uint32_t kGeavHeaderBytes = 16;
enum : uint8_t {
    GEAV_KIND_PLAIN = 1, // one byte per pixel
    GEAV_KIND_RLE = 2,   // run-length coded bytes
};

class CGmVideoDecoder : public CGeResource {
public:
    // Bytes handed to the Ogg sync layer at a time.
    static constexpr uint32_t kFeedBytes = 8192;

    // An empty decoder with a 1 by 1 texture.
    CGmVideoDecoder();
    ~CGmVideoDecoder() override;

    // Reads the headers, makes the texture, loads the companion and builds
    // the packet index. Nothing happens for an empty file. The bytes are read
    // during the call only. False when the video cannot be opened.
    bool Open(const CGeFileData& file);

    // Releases the index and every decoding state; the texture stays.
    void Close();

    // Decodes frame n, clamped to the video (a negative n gives frame 0).
    void NextFrame(int32_t n);

    // Converts the decoded frame into the texture's image (with the
    // companion's alpha) when it is not the frame shown already.
    void CopyFrameToTexture();

    // Frames per second: numerator / denominator of the stream as unsigned
    // 32-bit numbers; 0 when the denominator is 0 or nothing is open.
    float GetFrameRate() const;
    uint32_t GetFrameRateNumerator() const { return m_fpsNumerator; }
    uint32_t GetFrameRateDenominator() const { return m_fpsDenominator; }

    // Frames in the index; 0 unless the video is open.
    uint32_t GetFrameCount() const { return m_opened ? m_packets.Count() : 0; }
    bool IsOpened() const { return m_opened; }

    // The texture that shows the frames; the decoder holds a reference.
    CGmTexture* GetTexture() const { return m_texture; }

    // Whether a companion gives the frames their alpha.
    bool HasAlpha() const { return m_companion != nullptr; }

    // The frame whose picture the decoder holds, and the one the texture
    // shows; -1 for none.
    int32_t GetDecodedFrame() const { return m_decodedFrame; }
    int32_t GetShownFrame() const { return m_shownFrame; }

    // Packets given to the Theora decoder since the video was opened, and
    // the key frames of the index: what seeking costs and where it starts.
    uint32_t GetPacketsDecoded() const { return m_packetsDecoded; }
    const CGeArray<uint32_t>& GetKeyFrames() const { return m_keyFrames; }

    // Passed unchanged to the colour conversion (0: the kernel may use its
    // studio-range fast path).
    uint8_t m_forceGeneric = 0;

private:
    // One packet of the index; its bytes lie in the packet block.
    struct Packet {
        uint32_t offset;
        uint32_t bytes;
        int64_t granulePos;
        int64_t packetNo;
    };
    struct TheoraStreams;

    // Starts from fresh Ogg and Theora states at the beginning of the file
    // and decodes the three headers; false (error box raised, states
    // released) on the first error.
    bool SetFile();
    bool BuildPacketIndex();
    void LoadCompanion(const CGeString& videoPath);
    // The next packet of the chosen stream; false at the end of the data.
    bool ReadDataPacket(uint32_t& bytes, const uint8_t*& data, int64_t& granulePos, int64_t& packetNo);
    // Hands the next kFeedBytes of the file to the sync layer; false when
    // the file is used up.
    bool FeedSync();
    void LoadPacketInTheora(uint32_t packet);
    void ReleaseStates();
    const uint8_t* CompanionRecord(uint32_t frame, uint32_t& recordBytes) const;

    CGmTexture* m_texture = nullptr;
    const uint8_t* m_fileBytes = nullptr; // only while Open runs
    uint32_t m_fileSize = 0;
    uint32_t m_readPosition = 0;
    TheoraStreams* m_streams = nullptr;
    bool m_endOfData = false;
    bool m_opened = false;
    bool m_havePicture = false;

    CGeArray<Packet> m_packets;
    uint8_t* m_packetBlock = nullptr;
    CGeArray<uint32_t> m_keyFrames;
    int32_t m_decodedFrame = -1;
    int32_t m_shownFrame = -1;
    uint32_t m_packetsDecoded = 0;

    uint32_t m_pictureWidth = 0;
    uint32_t m_pictureHeight = 0;
    uint32_t m_pictureX = 0;
    uint32_t m_pictureY = 0;
    uint32_t m_fpsNumerator = 0;
    uint32_t m_fpsDenominator = 0;

    uint8_t* m_companion = nullptr;
    uint32_t m_companionSize = 0;
    uint32_t m_companionFrames = 0;
    uint8_t m_companionKind = 0;
};
