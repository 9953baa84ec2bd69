// Synthetic Ogg Theora clips, written with libtheoraenc: the video tests',
// the video benchmark's, the game layer's and the demo's (videoclip).
//
// Every picture shows its index as the 8 bits of its Gray code in large luma
// cells (a row of eight cells, bit 0 on the left, over the top quarter; their
// complements over the second quarter), light for 1 and dark for 0, so that
// the index can be read back after lossy coding. A clip can have a picture offset inside its coded
// frame, repeated frames (zero-length packets), a damaged data packet, a
// damaged header, a dropped page, and a second logical stream (a Vorbis-like
// track) whose pages come first and between the video's.
#pragma once

#include <cstdint>
#include <vector>

namespace theoraclip {

using Bytes = std::vector<uint8_t>;

struct ClipSpec {
    uint32_t width = 64;          // the picture
    uint32_t height = 48;
    uint32_t offsetX = 0;         // the picture's place in the coded frame,
    uint32_t offsetY = 0;         // from its top left corner
    uint32_t frames = 40;         // pictures submitted to the encoder
    uint32_t keyInterval = 8;     // the largest distance between key frames
    uint32_t fpsNumerator = 25;
    uint32_t fpsDenominator = 1;
    int quality = 48;             // 0..63
    bool detail = false;          // a moving ramp behind the cells (the benchmark's content)
    bool otherStream = false;     // a second logical stream beside the video
    std::vector<uint32_t> repeatAfter; // pictures followed by one zero-length packet
    int damagedPacket = -1;       // data packet whose first byte gets the header bit
    bool damagedHeader = false;   // the setup header cut to a few bytes
    int droppedPage = -1;         // page of the video stream left out of the file
};

struct Clip {
    Bytes bytes;
    // Per data packet: the index its picture shows, whether libtheora calls
    // it a key frame, and its size.
    std::vector<uint32_t> shows;
    std::vector<bool> keyFrame;
    std::vector<uint32_t> packetBytes;
};

Clip MakeTheoraClip(const ClipSpec& spec);

// The index that an A8R8G8B8 image of a picture shows (the cells read at
// their centres), or -1 when the two halves disagree.
int ReadPictureIndex(const uint8_t* pixels, uint32_t pitch, uint32_t width, uint32_t height);

} // namespace theoraclip
