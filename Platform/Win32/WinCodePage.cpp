#include "Platform/Win32/WinCodePage.h"

namespace {

const uint32_t kReplacement = 0xFFFD;

// Bytes 0x80..0xBF; 0xC0..0xFF are the contiguous Cyrillic block U+0410..U+044F.
const uint16_t kUpperHalf[64] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F, // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90
    0xFFFD, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7, // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457, // B8
};

} // namespace

uint32_t Cp1251ToCodePoint(uint8_t byte)
{
    if (byte < 0x80)
        return byte;
    if (byte >= 0xC0)
        return 0x0410 + (byte - 0xC0);
    return kUpperHalf[byte - 0x80];
}

int CodePointToCp1251(uint32_t codePoint)
{
    if (codePoint < 0x80)
        return (int)codePoint;
    if (codePoint >= 0x0410 && codePoint <= 0x044F)
        return 0xC0 + (int)(codePoint - 0x0410);
    if (codePoint == kReplacement)
        return -1;
    for (int i = 0; i < 64; i++) {
        if (kUpperHalf[i] == codePoint)
            return 0x80 + i;
    }
    return -1;
}

void AppendUtf8(std::string* out, uint32_t cp)
{
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        cp = kReplacement;
    if (cp < 0x80) {
        out->push_back((char)cp);
    } else if (cp < 0x800) {
        out->push_back((char)(0xC0 | (cp >> 6)));
        out->push_back((char)(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out->push_back((char)(0xE0 | (cp >> 12)));
        out->push_back((char)(0x80 | ((cp >> 6) & 0x3F)));
        out->push_back((char)(0x80 | (cp & 0x3F)));
    } else {
        out->push_back((char)(0xF0 | (cp >> 18)));
        out->push_back((char)(0x80 | ((cp >> 12) & 0x3F)));
        out->push_back((char)(0x80 | ((cp >> 6) & 0x3F)));
        out->push_back((char)(0x80 | (cp & 0x3F)));
    }
}

std::string Cp1251ToUtf8(const char* text)
{
    std::string out;
    if (!text)
        return out;
    for (const unsigned char* p = (const unsigned char*)text; *p; p++)
        AppendUtf8(&out, Cp1251ToCodePoint(*p));
    return out;
}

uint32_t DecodeUtf8(const std::string& text, size_t* pos)
{
    size_t i = *pos;
    uint8_t lead = (uint8_t)text[i];
    int extra;
    uint32_t cp;
    if (lead < 0x80) {
        *pos = i + 1;
        return lead;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        extra = 1;
        cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        extra = 2;
        cp = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        extra = 3;
        cp = lead & 0x07;
    } else {
        *pos = i + 1;
        return kReplacement;
    }
    if (i + extra >= text.size()) {
        *pos = i + 1;
        return kReplacement;
    }
    for (int k = 1; k <= extra; k++) {
        uint8_t c = (uint8_t)text[i + k];
        if ((c & 0xC0) != 0x80) {
            *pos = i + 1;
            return kReplacement;
        }
        cp = (cp << 6) | (c & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not characters.
    static const uint32_t kMinimum[4] = {0, 0x80, 0x800, 0x10000};
    if (cp < kMinimum[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        *pos = i + 1;
        return kReplacement;
    }
    *pos = i + 1 + extra;
    return cp;
}
