#include "tests/Engine/Core/Gm/ImageFixtures.h"

#include <algorithm>
#include <cstring>

namespace imagefixture {

namespace {

void PutLe16(Bytes& out, size_t at, uint32_t value)
{
    out[at] = value & 0xFF;
    out[at + 1] = (value >> 8) & 0xFF;
}

void PutLe32(Bytes& out, size_t at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out[at + i] = (value >> (8 * i)) & 0xFF;
}

// TGA run-length packets: runs of equal pixels become repeat packets, the
// rest literal packets, at most 128 pixels each. Rows are not kept apart, so
// packets cross row ends as the format allows.
void AppendRunLength(Bytes& out, const Bytes& pixels, uint32_t bytesPerPixel)
{
    const size_t count = pixels.size() / bytesPerPixel;
    auto same = [&](size_t a, size_t b) {
        return memcmp(&pixels[a * bytesPerPixel], &pixels[b * bytesPerPixel], bytesPerPixel) == 0;
    };
    size_t i = 0;
    while (i < count) {
        size_t run = 1;
        while (i + run < count && run < 128 && same(i, i + run))
            ++run;
        if (run > 1) {
            out.push_back(static_cast<uint8_t>(0x80 | (run - 1)));
            out.insert(out.end(), &pixels[i * bytesPerPixel], &pixels[i * bytesPerPixel] + bytesPerPixel);
            i += run;
            continue;
        }
        size_t literal = 1;
        while (i + literal < count && literal < 128 && !(i + literal + 1 < count && same(i + literal, i + literal + 1)))
            ++literal;
        out.push_back(static_cast<uint8_t>(literal - 1));
        out.insert(out.end(), &pixels[i * bytesPerPixel], &pixels[(i + literal) * bytesPerPixel]);
        i += literal;
    }
}

}  // namespace

Bytes MakeTga(const TgaSpec& spec)
{
    const uint32_t bytesPerPixel = spec.bitsPerPixel / 8;
    Bytes out(18, 0);
    uint32_t type = spec.bitsPerPixel == 8 ? 3 : 2;
    if (spec.runLength)
        type |= 8;
    out[2] = static_cast<uint8_t>(spec.imageType >= 0 ? spec.imageType : type);
    PutLe16(out, 12, spec.width);
    PutLe16(out, 14, spec.height);
    out[16] = static_cast<uint8_t>(spec.bitsPerPixel);
    out[17] = spec.topFirst ? 0x20 : 0;

    // Stored rows: top first, or bottom first when the descriptor says so.
    Bytes stored;
    const size_t rowBytes = size_t(spec.width) * bytesPerPixel;
    const bool havePixels = rowBytes > 0 && spec.pixels.size() >= rowBytes * spec.height;
    for (uint32_t i = 0; i < spec.height && havePixels; ++i) {
        const uint32_t row = spec.topFirst ? i : spec.height - 1 - i;
        const auto begin = spec.pixels.begin() + row * rowBytes;
        stored.insert(stored.end(), begin, begin + rowBytes);
    }
    if (spec.runLength && bytesPerPixel > 0)
        AppendRunLength(out, stored, bytesPerPixel);
    else
        out.insert(out.end(), stored.begin(), stored.end());
    return out;
}

Bytes EncodeRunLength(const Bytes& elements, uint32_t elementBytes)
{
    Bytes out;
    const size_t count = elements.size() / elementBytes;
    auto element = [&](size_t i) { return elements.begin() + i * elementBytes; };
    size_t i = 0;
    while (i < count) {
        size_t run = 1;
        while (i + run < count && std::equal(element(i), element(i) + elementBytes, element(i + run)))
            ++run;
        i += run;
        while (run > 0) {
            out.insert(out.end(), element(i - 1), element(i - 1) + elementBytes);
            if (run == 1)
                break;
            const size_t take = run < 257 ? run : 257;
            out.insert(out.end(), element(i - 1), element(i - 1) + elementBytes);
            out.push_back(static_cast<uint8_t>((take - 1) & 0xFF));
            run -= take;
        }
    }
    return out;
}

Bytes MakePlane(const Bytes& data, uint32_t pitchWord, int64_t declaredBytes)
{
    // Sized once and filled in place (GCC 12 misreads inserts behind a fixed header).
    Bytes out((16 + data.size() + 15) & ~size_t(15), 0);
    PutLe32(out, 0, declaredBytes >= 0 ? static_cast<uint32_t>(declaredBytes) : static_cast<uint32_t>(data.size()));
    PutLe32(out, 4, pitchWord);
    std::copy(data.begin(), data.end(), out.begin() + 16);
    return out;
}

Bytes MakeGep(const GepSpec& spec)
{
    Bytes out(16 + spec.payload.size(), 0);
    out[0] = 'G';
    out[1] = 'E';
    out[2] = 'P';
    out[3] = 0x01;
    PutLe16(out, 4, spec.width);
    PutLe16(out, 6, spec.height);
    PutLe32(out, 9, spec.pixelCode);
    out[13] = spec.pitchMode;
    std::copy(spec.payload.begin(), spec.payload.end(), out.begin() + 16);
    return out;
}

Bytes MakeDds(const DdsSpec& spec)
{
    Bytes out(128 + spec.levelData.size(), 0);
    memcpy(out.data(), "DDS ", 4);
    PutLe32(out, 4, 124);
    PutLe32(out, 8, 0x1007 | (spec.mipCountFlag ? 0x20000 : 0));  // caps, height, width, pixel format
    PutLe32(out, 12, spec.height);
    PutLe32(out, 16, spec.width);
    PutLe32(out, 28, spec.mipCount);
    PutLe32(out, 76, 32);
    PutLe32(out, 80, spec.fourCcFlag ? 0x4 : 0x40);
    memcpy(&out[84], spec.fourCc, 4);
    std::copy(spec.levelData.begin(), spec.levelData.end(), out.begin() + 128);
    return out;
}

CGeFileData FileOver(const std::string& path, const Bytes& bytes)
{
    CGeFileData file;
    file.path = path.c_str();
    file.data = const_cast<uint8_t*>(bytes.data());
    file.size = static_cast<uint32_t>(bytes.size());
    return file;
}

std::vector<uint32_t> Words(const uint8_t* data, size_t count)
{
    std::vector<uint32_t> words(count);
    if (count)
        memcpy(words.data(), data, count * 4);
    return words;
}

}  // namespace imagefixture
