// The SRT reader of the video player: UTF-16 text in, subtitle entries out.
// Every field is read with explicit bounds, so no file can make it read or
// write past its buffers.
#include "Source/GameClasses/QmVideoPlayer.h"

#include <string>

namespace {

// The characters a "%s" field stops at and that a blank in a header skips.
bool IsBlank(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\v' || c == u'\f';
}

bool IsDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

void SkipBlanks(const char16_t*& p, const char16_t* end)
{
    while (p < end && IsBlank(*p))
        ++p;
}

// The entry number: an optional sign and at least one digit.
bool ReadNumber(const char16_t*& p, const char16_t* end)
{
    if (p < end && (*p == u'+' || *p == u'-'))
        ++p;
    const char16_t* digits = p;
    while (p < end && IsDigit(*p))
        ++p;
    return p > digits;
}

// A run of non-blank characters, at least one.
bool ReadField(const char16_t*& p, const char16_t* end, std::u16string& field)
{
    const char16_t* start = p;
    while (p < end && !IsBlank(*p))
        ++p;
    field.assign(start, p);
    return p > start;
}

bool Match(const char16_t*& p, const char16_t* end, const char16_t* literal)
{
    const char16_t* q = p;
    for (; *literal; ++literal, ++q)
        if (q == end || *q != *literal)
            return false;
    p = q;
    return true;
}

// The number a part of a time starts with, read as atoi reads it.
double LeadingNumber(const std::u16string& text, size_t begin, size_t end)
{
    size_t i = begin;
    double sign = 1.0;
    if (i < end && (text[i] == u'+' || text[i] == u'-'))
        sign = text[i++] == u'-' ? -1.0 : 1.0;
    double value = 0.0;
    for (; i < end && IsDigit(text[i]); ++i)
        value = value * 10.0 + double(text[i] - u'0');
    return sign * value;
}

// hh:mm:ss,mmm, cut at positions 2, 5 and 8 whatever the separators are.
const size_t kShortestTime = 12;
float ReadTime(const std::u16string& text)
{
    const double hours = LeadingNumber(text, 0, 2);
    const double minutes = LeadingNumber(text, 3, 5);
    const double seconds = LeadingNumber(text, 6, 8);
    const double milliseconds = LeadingNumber(text, 9, text.size());
    return float(hours * 3600.0 + minutes * 60.0 + seconds + milliseconds * 0.001);
}

bool IsUpperHex(char16_t c)
{
    return IsDigit(c) || (c >= u'A' && c <= u'F');
}

// "<c:#RRGGBB>" with upper-case digits at the start of the text.
bool ReadColourTag(const std::u16string& text, uint32_t& colour)
{
    const size_t kTagLength = 11;
    if (text.size() < kTagLength || text.compare(0, 4, u"<c:#") != 0 || text[10] != u'>')
        return false;
    uint32_t value = 0;
    for (size_t i = 4; i < 10; ++i) {
        if (!IsUpperHex(text[i]))
            return false;
        value = value << 4 | uint32_t(IsDigit(text[i]) ? text[i] - u'0' : text[i] - u'A' + 10);
    }
    colour = value;
    return true;
}

void AddEntry(const std::u16string& text, float start, float end, QmSubtitle& entry)
{
    entry = QmSubtitle();
    entry.start = start;
    entry.end = end;
    size_t skip = 0;
    if (ReadColourTag(text, entry.colour))
        skip = 11;
    std::u16string stored;
    if (text.compare(skip, 3, u"<i>") == 0) {
        stored = u"&i";
        skip += 3;
    }
    stored.append(text, skip, std::u16string::npos);
    const size_t length = stored.size() < QmSubtitle::kMaxText ? stored.size() : QmSubtitle::kMaxText;
    stored.copy(entry.text, length);
    entry.text[length] = 0;
}

} // namespace

uint32_t QmReadSubtitles(const char16_t* text, uint32_t length, QmSubtitle* entries, uint32_t max)
{
    const char16_t* p = text;
    const char16_t* end = text + length;
    uint32_t count = 0;
    std::u16string startField, endField, collected;
    while (count < max) {
        SkipBlanks(p, end);
        if (!ReadNumber(p, end))
            break;
        SkipBlanks(p, end);
        if (!ReadField(p, end, startField))
            break;
        SkipBlanks(p, end);
        if (!Match(p, end, u"-->"))
            break;
        SkipBlanks(p, end);
        if (!ReadField(p, end, endField))
            break;
        if (startField.size() < kShortestTime || endField.size() < kShortestTime)
            break;
        // The text starts on the line after the times.
        while (p < end && (*p == u' ' || *p == u'\t' || *p == u'\r'))
            ++p;
        if (p < end && *p == u'\n')
            ++p;

        collected.clear();
        bool lineBreak = false;
        bool emptyLine = false;
        while (p < end) {
            const char16_t c = *p++;
            if (c == u'\r')
                continue;
            if (c == u'\n') {
                if (collected.empty())
                    continue;
                if (lineBreak) {
                    emptyLine = true;
                    break;
                }
                lineBreak = true;
                continue;
            }
            if (lineBreak) {
                collected += u'\n';
                lineBreak = false;
            }
            collected += c;
        }
        if (!emptyLine && collected.empty())
            break;
        AddEntry(collected, ReadTime(startField), ReadTime(endField), entries[count++]);
        if (!emptyLine)
            break;
    }
    return count;
}
