#include "Engine/Core/Common/GeStringText.h"

#include "Engine/Core/Common/GeArray.h"
#include "Engine/Core/Common/GeString.h"

#include <cstring>

namespace {

const uint32_t kNotFound = 0xFFFFFFFF;

// The index of the first occurrence of find in text at or after from.
template <typename String>
uint32_t FindFrom(const String& text, const String& find, uint32_t from)
{
    if (find.length == 0 || find.length > text.length)
        return kNotFound;
    const uint32_t last = text.length - find.length;
    for (uint32_t i = from; i <= last; i++) {
        if (memcmp(text.data + i, find.data, find.length * sizeof(find.data[0])) == 0)
            return i;
    }
    return kNotFound;
}

template <typename String>
String ReplaceAllIn(const String& source, const String& find, const String& replacement)
{
    String result(source);
    uint32_t position = 0;
    while (position < result.length) {
        uint32_t found = FindFrom(result, find, position);
        if (found == kNotFound)
            break;
        result.Insert(found, find.length, replacement);
        // Continue after the inserted text, which is never searched again.
        position = found + replacement.length;
    }
    return result;
}

} // namespace

CGeString CGeString::ReplaceAll(const CGeString& source, const CGeString& find, const CGeString& replacement)
{
    return ReplaceAllIn(source, find, replacement);
}

CGeWString CGeWString::ReplaceAll(const CGeWString& source, const CGeWString& find, const CGeWString& replacement)
{
    return ReplaceAllIn(source, find, replacement);
}

int32_t CGeString::FindLastOf(const CGeString& text, const char* set)
{
    for (uint32_t i = text.length; i-- > 1;) {
        if (text.data[i] && strchr(set, text.data[i]))
            return (int32_t)i;
    }
    return -1;
}

uint32_t CGeWString::Split(const CGeWString& source, CGeArray<CGeWString>& output, const CGeWString& separator)
{
    output.Clear();
    uint32_t position = 0;
    while (position < source.length) {
        uint32_t found = FindFrom(source, separator, position);
        if (found == kNotFound)
            break;
        output.Add(source.Mid(position, found - position));
        position = found + separator.length;
    }
    if (position < source.length)
        output.Add(source.Mid(position, source.length - position));
    return output.Count();
}

uint32_t CountPrintableChars(const char16_t* text)
{
    if (!text)
        return 0;
    uint32_t count = 0;
    const char16_t* p = text;
    while (*p) {
        if (*p < 32) {
            p++;
            continue;
        }
        if (*p == u'&') {
            if (p[1] == u'i' || p[1] == u'c') {
                p += 2;
                continue;
            }
            if (p[1] == u'0' && p[2] == u'x') {
                // '&' and the ten characters of "0xAARRGGBB".
                p++;
                for (int i = 0; i < 10 && *p; i++)
                    p++;
                continue;
            }
        }
        count++;
        p++;
    }
    return count;
}
