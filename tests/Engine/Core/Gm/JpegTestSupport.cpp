#include "JpegTestSupport.h"

#include "Engine/Core/Gm/GeInputStream.h"
#include "Engine/Core/Gm/GmJpegDecoder.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>

TestImage MakeTestImage(int width, int height, int channels, uint32_t seed)
{
    TestImage image;
    image.width = width;
    image.height = height;
    image.channels = channels;
    image.pixels.resize((size_t)width * height * channels);
    uint32_t state = seed;
    auto noise = [&state]() {
        state = state * 214013u + 2531011u;
        return (int)((state >> 16) & 0x7FFF) % 41 - 20;
    };
    for (int y = 0; y < height; y++) {
        for (int x = 0; x < width; x++) {
            uint8_t* p = &image.pixels[((size_t)y * width + x) * channels];
            bool edge = ((x / 13) + (y / 11)) % 5 == 0; // hard-edged tiles
            for (int c = 0; c < channels; c++) {
                int value = c == 0 ? x * 255 / (width > 1 ? width - 1 : 1)
                          : c == 1 ? y * 255 / (height > 1 ? height - 1 : 1)
                                   : ((x + y) * 4 + c * 40) & 255;
                value += noise();
                if (edge)
                    value = 255 - value;
                p[c] = (uint8_t)(value < 0 ? 0 : value > 255 ? 255 : value);
            }
        }
    }
    return image;
}

namespace {

std::vector<uint8_t> Encode(const TestImage& image, const EncodeOptions& options, bool forceBaseline)
{
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = (JDIMENSION)image.width;
    cinfo.image_height = (JDIMENSION)image.height;
    cinfo.input_components = image.channels;
    cinfo.in_color_space = image.channels == 1 ? JCS_GRAYSCALE : image.channels == 4 ? JCS_CMYK : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, options.quality, forceBaseline ? TRUE : FALSE);
    if (image.channels == 3) {
        cinfo.comp_info[0].h_samp_factor = options.lumaH;
        cinfo.comp_info[0].v_samp_factor = options.lumaV;
    }
    if (options.progressive)
        jpeg_simple_progression(&cinfo);
    cinfo.restart_interval = (unsigned)options.restartMcus;
    cinfo.arith_code = options.arithmetic ? TRUE : FALSE;
    cinfo.optimize_coding = options.optimize ? TRUE : FALSE;
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(&image.pixels[(size_t)cinfo.next_scanline * image.width * image.channels]);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::vector<uint8_t> file(buffer, buffer + size);
    free(buffer);
    return file;
}

} // namespace

std::vector<uint8_t> EncodeJpeg(const TestImage& image, const EncodeOptions& options)
{
    return Encode(image, options, true);
}

std::vector<uint8_t> EncodeJpegWideQuant(const TestImage& image, const EncodeOptions& options)
{
    return Encode(image, options, false);
}

void DecodeWithLibjpegInto(const std::vector<uint8_t>& file, bool fast, TestImage* image)
{
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, file.data(), (unsigned long)file.size());
    jpeg_read_header(&cinfo, TRUE);
    cinfo.dct_method = fast ? JDCT_IFAST : JDCT_ISLOW;
    cinfo.do_fancy_upsampling = FALSE;
    cinfo.out_color_space = cinfo.num_components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_start_decompress(&cinfo);
    image->width = (int)cinfo.output_width;
    image->height = (int)cinfo.output_height;
    image->channels = cinfo.output_components;
    image->pixels.resize((size_t)image->width * image->height * image->channels);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = &image->pixels[(size_t)cinfo.output_scanline * image->width * image->channels];
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
}

TestImage DecodeWithLibjpeg(const std::vector<uint8_t>& file, bool fast)
{
    TestImage image;
    DecodeWithLibjpegInto(file, fast, &image);
    return image;
}

OurDecode DecodeWithOurs(const std::vector<uint8_t>& file, bool fast)
{
    OurDecode result;
    CGeMemoryStream stream(file.data(), (uint32_t)file.size());
    CGmJpegDecoder decoder(&stream, fast);
    result.constructError = decoder.GetErrorCode();
    result.beginResult = decoder.Begin();
    result.error = decoder.GetErrorCode();
    if (result.beginResult != 0)
        return result;
    TestImage& image = result.image;
    image.width = decoder.GetWidth();
    image.height = decoder.GetHeight();
    image.channels = decoder.GetBytesPerPixel() == 1 ? 1 : 3;
    for (;;) {
        const uint8_t* row = nullptr;
        uint32_t bytes = 0;
        result.lastRowResult = decoder.DecodeRow(&row, &bytes);
        if (result.lastRowResult != 0)
            break;
        // Every byte handed out must be readable (ASan checks this).
        uint32_t sum = 0;
        for (uint32_t i = 0; i < bytes; i++)
            sum += row[i];
        (void)sum;
        if (bytes != (uint32_t)(image.width * decoder.GetBytesPerPixel()))
            break;
        for (int x = 0; x < image.width; x++) {
            for (int c = 0; c < image.channels; c++)
                image.pixels.push_back(row[x * decoder.GetBytesPerPixel() + c]);
        }
        result.rows++;
    }
    result.error = decoder.GetErrorCode();
    return result;
}

int MaxDifference(const TestImage& a, const TestImage& b, int channel)
{
    if (a.width != b.width || a.height != b.height || a.channels != b.channels || a.pixels.size() != b.pixels.size())
        return 256;
    int worst = 0;
    for (size_t i = 0; i < a.pixels.size(); i++) {
        if (channel >= 0 && (int)(i % a.channels) != channel)
            continue;
        int d = abs((int)a.pixels[i] - (int)b.pixels[i]);
        if (d > worst)
            worst = d;
    }
    return worst;
}
