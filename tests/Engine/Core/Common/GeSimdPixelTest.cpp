// Pixel kernels: 16- and 24-bit expansion, alpha insertion, and the two YUV formulas:
// full range in the generic code, studio range in the MMX-derived classes when their
// alignment and width conditions hold.
#include "Engine/Core/Common/GeSimdKernels.h"

#include "GeSimdTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

using namespace simdtest;

namespace {

class GeSimdPixel : public KernelTest {};

TEST_F(GeSimdPixel, Expand565LeavesTheLowBitsEmpty)
{
    // Header: byte count, then twelve bytes that are not read; then the pixels.
    uint8_t block[16 + 10] = {9, 0, 0, 0, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE,
                              0x00, 0xF8, 0xE0, 0x07, 0x1F, 0x00, 0xFF, 0xFF, 0x34, 0x12};
    for (const auto& k : kernels_) {
        SCOPED_TRACE(k->GetName());
        uint32_t dst[5] = {1, 1, 1, 1, 1};
        k->Expand565To32(dst, block);   // 9 bytes: four whole pixels
        EXPECT_EQ(dst[0], 0x00F80000u);
        EXPECT_EQ(dst[1], 0x0000FC00u);
        EXPECT_EQ(dst[2], 0x000000F8u);
        EXPECT_EQ(dst[3], 0x00F8FCF8u);
        EXPECT_EQ(dst[4], 1u);
    }
}

TEST_F(GeSimdPixel, AlphaAndRgb24MatchTheGenericCode)
{
    typedef std::function<void(const CGeSimd&, uint32_t*, const uint8_t*, int32_t)> PixelOp;
    struct Case {
        const char* name;
        int srcBytesPerPixel;
        PixelOp run;
        bool (*has)(const CGeSimd&);
    };
    const Case cases[] = {
        {"SetAlpha", 1, [](const CGeSimd& k, uint32_t* d, const uint8_t* s, int32_t n) { k.SetAlpha(d, s, n); },
         [](const CGeSimd&) { return true; }},
        {"ExpandRgb24To32", 3,
         [](const CGeSimd& k, uint32_t* d, const uint8_t* s, int32_t n) { k.ExpandRgb24To32(d, s, n); },
         [](const CGeSimd&) { return true; }},
#if GE_SIMD_X86
        {"ExpandRgb24To32Prefetched", 3,
         [](const CGeSimd& k, uint32_t* d, const uint8_t* s, int32_t n) {
             dynamic_cast<const CGeSimdMMX_EMMX&>(k).ExpandRgb24To32Prefetched(d, s, n);
         },
         [](const CGeSimd& k) { return IsA<CGeSimdMMX_EMMX>(k); }},
#endif
    };
    Random rnd(30);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const auto& k : kernels_) {
            if (!c.has(*k))
                continue;
            SCOPED_TRACE(k->GetName());
            for (int32_t n = 0; n <= 70; n += (n < 40 ? 1 : 10)) {
                for (size_t dstOffset : {0, 4}) {
                    for (size_t srcOffset = 0; srcOffset < 8; srcOffset += 1) {
                        Buffer<uint8_t> src(c.srcBytesPerPixel * n, srcOffset);
                        rnd.FillBytes(src);
                        Buffer<uint32_t> want(n, dstOffset), got(n, dstOffset);
                        rnd.FillBytes(want);
                        memcpy(got.data(), want.data(), n * sizeof(uint32_t));
                        if (c.srcBytesPerPixel == 1)
                            generic_.SetAlpha(want.data(), src.data(), n);
                        else
                            generic_.ExpandRgb24To32(want.data(), src.data(), n);
                        c.run(*k, got.data(), src.data(), n);
                        ASSERT_EQ(want.ToVector(), got.ToVector()) << "n " << n << " offsets " << dstOffset << ", "
                                                                   << srcOffset;
                    }
                }
            }
        }
    }
}

TEST_F(GeSimdPixel, SetAlphaAndRgb24Values)
{
    for (const auto& k : kernels_) {
        SCOPED_TRACE(k->GetName());
        uint32_t pixels[2] = {0x11223344, 0xAABBCCDD};
        const uint8_t alpha[2] = {0x80, 0x00};
        k->SetAlpha(pixels, alpha, 2);
        EXPECT_EQ(pixels[0], 0x80223344u);
        EXPECT_EQ(pixels[1], 0x00BBCCDDu);
        const uint8_t rgb[6] = {1, 2, 3, 4, 5, 6};
        k->ExpandRgb24To32(pixels, rgb, 2);
        EXPECT_EQ(pixels[0], 0x00030201u);
        EXPECT_EQ(pixels[1], 0x00060504u);
    }
}

// ---------------------------------------------------------------------------
// YUV

struct Yuv {
    uint8_t y, u, v;
    uint32_t fullRange, studioRange;
};

// Worked out from the two formulas by hand (full range through its tables).
const Yuv kYuvCases[] = {
    {128, 128, 128, 0x00808080, 0x00828281}, {16, 128, 128, 0x00101010, 0x00000000},
    {235, 128, 128, 0x00EBEBEB, 0x00FDFDFD}, {100, 50, 200, 0x00C94C00, 0x00D44500},
    {255, 255, 255, 0x00FF78FF, 0x00FF7CFF}, {0, 0, 0, 0x00008800, 0x00008800},
    {200, 30, 90, 0x0093FF1A, 0x0098FF0F},   {0, 255, 255, 0x00B200E1, 0x00B800ED},
};

// A planar frame with its own strides and a destination of `pitch` bytes per row.
struct Frame {
    int32_t width, height, yStride, chromaStride, pitch;
    Buffer<uint8_t> y, u, v, dst;

    Frame(int32_t w, int32_t h, int32_t yStride, int32_t chromaStride, int32_t pitch, size_t dstOffset = 0)
        : width(w), height(h), yStride(yStride), chromaStride(chromaStride), pitch(pitch),
          y(static_cast<size_t>(yStride) * h), u(static_cast<size_t>(chromaStride) * ((h + 1) / 2)),
          v(static_cast<size_t>(chromaStride) * ((h + 1) / 2)), dst(static_cast<size_t>(pitch) * h, dstOffset)
    {
        memset(dst.data(), 0xCC, dst.size());
    }

    void Convert(const CGeSimd& k, uint8_t forceGeneric)
    {
        k.ConvertYUVToRGB(y.data(), yStride, u.data(), v.data(), chromaStride, dst.data(), pitch, width, height,
                          forceGeneric);
    }

    uint32_t Pixel(int32_t x, int32_t row) const
    {
        uint32_t p;
        memcpy(&p, dst.data() + static_cast<size_t>(row) * pitch + 4 * x, sizeof p);
        return p;
    }
};

TEST_F(GeSimdPixel, YuvFormulas)
{
    for (const auto& k : kernels_) {
        SCOPED_TRACE(k->GetName());
        for (const Yuv& c : kYuvCases) {
            Frame frame(8, 2, 8, 4, 32);
            memset(frame.y.data(), c.y, frame.y.size());
            memset(frame.u.data(), c.u, frame.u.size());
            memset(frame.v.data(), c.v, frame.v.size());
            frame.Convert(*k, 0);
            const uint32_t expected = HasStudioYuv(*k) ? c.studioRange : c.fullRange;
            EXPECT_EQ(frame.Pixel(0, 0), expected) << int(c.y) << " " << int(c.u) << " " << int(c.v);
            EXPECT_EQ(frame.Pixel(7, 1), expected);
            frame.Convert(*k, 1);
            EXPECT_EQ(frame.Pixel(3, 1), c.fullRange);
        }
    }
}

// Any width that is not a multiple of 8, or a pointer that is not 8-byte aligned,
// sends every class to the full-range formula.
TEST_F(GeSimdPixel, UnsuitableFramesUseTheFullRangeFormula)
{
    const Yuv& c = kYuvCases[0];
    struct Shape {
        int32_t width;
        size_t dstOffset;
    };
    for (const Shape& shape : {Shape{12, 0}, Shape{8, 4}, Shape{7, 0}}) {
        for (const auto& k : kernels_) {
            SCOPED_TRACE(k->GetName());
            Frame frame(shape.width, 2, 16, 8, 64, shape.dstOffset);
            memset(frame.y.data(), c.y, frame.y.size());
            memset(frame.u.data(), c.u, frame.u.size());
            memset(frame.v.data(), c.v, frame.v.size());
            frame.Convert(*k, 0);
            EXPECT_EQ(frame.Pixel(0, 0), c.fullRange) << "width " << shape.width;
            EXPECT_EQ(frame.Pixel(shape.width - 1, 1), c.fullRange) << "width " << shape.width;
        }
    }
}

// An odd width converts exactly that many pixels: nothing past the row is read or
// written (the buffers end where the frame ends).
TEST_F(GeSimdPixel, OddWidthStaysInsideItsRows)
{
    for (const auto& k : kernels_) {
        SCOPED_TRACE(k->GetName());
        Frame tight(5, 3, 5, 3, 20);
        memset(tight.y.data(), 100, tight.y.size());
        memset(tight.u.data(), 50, tight.u.size());
        memset(tight.v.data(), 200, tight.v.size());
        tight.Convert(*k, 0);
        EXPECT_EQ(tight.Pixel(4, 2), 0x00C94C00u);

        Frame padded(5, 3, 6, 3, 24);
        memset(padded.y.data(), 100, padded.y.size());
        memset(padded.u.data(), 50, padded.u.size());
        memset(padded.v.data(), 200, padded.v.size());
        padded.Convert(*k, 0);
        for (int32_t row = 0; row < 3; row++) {
            EXPECT_EQ(padded.Pixel(4, row), 0x00C94C00u);
            EXPECT_EQ(padded.Pixel(5, row), 0xCCCCCCCCu) << "row " << row;
        }
    }
}

// The accelerated conversion against a plain per-pixel evaluation of the studio
// formula, on random frames with padded strides, through both store paths of the
// extended-MMX body (16-byte aligned rows and merely 8-byte aligned ones).
TEST_F(GeSimdPixel, StudioConversionMatchesItsFormulaOnRandomFrames)
{
    auto studio = [](int y, int u, int v) {
        const int luma = (y - 16) * 74, cu = u - 128, cv = v - 128;
        auto clamp = [](int x) { return static_cast<uint32_t>(std::min(255, std::max(0, x))); };
        return clamp((luma + 102 * cv + 32) >> 6) << 16 | clamp((luma - 25 * cu - 52 * cv + 32) >> 6) << 8 |
               clamp((luma + 129 * cu) >> 6);
    };
    Random rnd(31);
    for (const auto& k : kernels_) {
        if (!HasStudioYuv(*k))
            continue;
        SCOPED_TRACE(k->GetName());
        for (int32_t width = 8; width <= 72; width += 8) {
            for (int32_t height : {1, 2, 5}) {
                for (int32_t extraPitch : {0, 8}) {
                    Frame frame(width, height, width + 8, width / 2 + 8, 4 * width + extraPitch);
                    rnd.FillBytes(frame.y);
                    rnd.FillBytes(frame.u);
                    rnd.FillBytes(frame.v);
                    frame.Convert(*k, 0);
                    for (int32_t row = 0; row < height; row++) {
                        for (int32_t x = 0; x < width; x++) {
                            const int y = frame.y[row * frame.yStride + x];
                            const int u = frame.u[(row / 2) * frame.chromaStride + x / 2];
                            const int v = frame.v[(row / 2) * frame.chromaStride + x / 2];
                            ASSERT_EQ(frame.Pixel(x, row), studio(y, u, v))
                                << "width " << width << " pixel " << x << ", " << row;
                        }
                        if (extraPitch) {
                            ASSERT_EQ(frame.Pixel(width, row), 0xCCCCCCCCu);
                        }
                    }
                }
            }
        }
    }
}

// Forced generic conversion gives the generic object's pixels in every class.
TEST_F(GeSimdPixel, ForcedGenericConversionMatchesTheGenericObject)
{
    Random rnd(32);
    Frame want(24, 3, 24, 12, 96);
    rnd.FillBytes(want.y);
    rnd.FillBytes(want.u);
    rnd.FillBytes(want.v);
    want.Convert(generic_, 0);
    for (const auto& k : kernels_) {
        SCOPED_TRACE(k->GetName());
        Frame got(24, 3, 24, 12, 96);
        memcpy(got.y.data(), want.y.data(), want.y.size());
        memcpy(got.u.data(), want.u.data(), want.u.size());
        memcpy(got.v.data(), want.v.data(), want.v.size());
        got.Convert(*k, 1);
        EXPECT_EQ(want.dst.ToVector(), got.dst.ToVector());
    }
}

}  // namespace
