// libjpeg-turbo as the test oracle of the engine's JPEG decoder: it writes the
// test images and decodes them for comparison. Only tests and benchmarks use
// it; the engine decodes with CGmJpegDecoder alone.
#pragma once

#include <cstdint>
#include <vector>

struct TestImage {
    int width = 0;
    int height = 0;
    int channels = 3; // 1 grey, 3 RGB, 4 CMYK
    std::vector<uint8_t> pixels;
};

// A deterministic picture with gradients, noise and hard edges, so that every
// frequency and both signs of every coefficient occur.
TestImage MakeTestImage(int width, int height, int channels, uint32_t seed = 1);

struct EncodeOptions {
    int quality = 90;
    int lumaH = 1;          // sampling factors of the first component
    int lumaV = 1;
    bool progressive = false;
    int restartMcus = 0;    // restart interval in MCUs, 0 for none
    bool arithmetic = false;
    bool optimize = false;  // optimised Huffman tables
};

std::vector<uint8_t> EncodeJpeg(const TestImage& image, const EncodeOptions& options);

// As EncodeJpeg, but quantisation values may exceed 255 (16-bit DQT tables,
// an extended sequential frame).
std::vector<uint8_t> EncodeJpegWideQuant(const TestImage& image, const EncodeOptions& options);

// libjpeg-turbo's decode without fancy upsampling: JDCT_ISLOW when fast is
// false, JDCT_IFAST otherwise. RGB or grey samples.
TestImage DecodeWithLibjpeg(const std::vector<uint8_t>& file, bool fast);

// The same into an image whose buffer is reused when it is large enough.
void DecodeWithLibjpegInto(const std::vector<uint8_t>& file, bool fast, TestImage* image);

// The engine decoder's result for one stream.
struct OurDecode {
    int32_t constructError = 0;
    int beginResult = 0;
    int32_t error = 0;      // the decoder's error code at the end
    int lastRowResult = 0;  // the last DecodeRow result
    int rows = 0;           // rows delivered
    TestImage image;        // RGB or grey samples of the delivered rows
};

OurDecode DecodeWithOurs(const std::vector<uint8_t>& file, bool fast);

// Largest absolute difference between two images of the same shape, or 256
// when the shapes differ. When channel is given, only that channel.
int MaxDifference(const TestImage& a, const TestImage& b, int channel = -1);
