#include "Engine/Core/Common/GeString.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

// Both string types share one implementation over their character type,
// working on the (data, length) pair that each of them holds.
namespace {

template <typename Char>
Char* AllocChars(uint32_t count)
{
    void* memory = std::malloc(size_t(count) * sizeof(Char));
    if (!memory)
        throw std::bad_alloc();
    return static_cast<Char*>(memory);
}

template <typename Char>
uint32_t TextLength(const Char* text)
{
    uint32_t n = 0;
    if (text) {
        while (text[n])
            ++n;
    }
    return n;
}

template <typename Char>
void CopyChars(Char* to, const Char* from, uint32_t count)
{
    if (count)
        std::memmove(to, from, size_t(count) * sizeof(Char));
}

template <typename Char>
void FreeChars(Char*& data, uint32_t& length)
{
    std::free(data);
    data = nullptr;
    length = 0;
}

// Hands the buffer of (fromData, fromLength) over, freeing the one it replaces;
// the source is left empty. Moving a string onto itself changes nothing.
template <typename Char>
void MoveChars(Char*& data, uint32_t& length, Char*& fromData, uint32_t& fromLength)
{
    if (&data == &fromData)
        return;
    std::free(data);
    data = fromData;
    length = fromLength;
    fromData = nullptr;
    fromLength = 0;
}

template <typename Char>
void ResizeChars(Char*& data, uint32_t& length, uint32_t n, bool keep)
{
    if (GeStringCapacity(n) != GeStringCapacity(length)) {
        Char* fresh = n ? AllocChars<Char>(GeStringCapacity(n)) : nullptr;
        if (fresh && data && keep) {
            uint32_t kept = std::min(length, n);
            CopyChars(fresh, data, kept);
            fresh[kept] = 0;
        }
        std::free(data);
        data = fresh;
    }
    length = n;
}

// The old contents are never copied before they are dropped. The source may
// lie inside the destination's own buffer: it is read before that is freed.
template <typename Char>
void AssignChars(Char*& data, uint32_t& length, const Char* source, uint32_t n)
{
    if (source == data)
        return;
    Char* target = data;
    if (GeStringCapacity(n) != GeStringCapacity(length))
        target = n ? AllocChars<Char>(GeStringCapacity(n)) : nullptr;
    if (n) {
        CopyChars(target, source, n);
        target[n] = 0;
    }
    if (target != data)
        std::free(data);
    data = target;
    length = n;
}

// Appending the string to itself works: when the buffer is replaced, both
// parts are copied before the old one is freed.
template <typename Char>
void AppendChars(Char*& data, uint32_t& length, const Char* text, uint32_t m)
{
    if (m == 0)
        return;
    uint32_t newLength = length + m;
    if (GeStringCapacity(newLength) != GeStringCapacity(length)) {
        Char* fresh = AllocChars<Char>(GeStringCapacity(newLength));
        CopyChars(fresh, data, length);
        CopyChars(fresh + length, text, m);
        std::free(data);
        data = fresh;
    } else {
        CopyChars(data + length, text, m);
    }
    data[newLength] = 0;
    length = newLength;
}

// Fills an empty string with left followed by right in one allocation.
template <typename Char>
void JoinChars(Char*& data, uint32_t& length, const Char* left, uint32_t leftLength, const Char* right,
               uint32_t rightLength)
{
    uint32_t n = leftLength + rightLength;
    if (n == 0)
        return;
    data = AllocChars<Char>(GeStringCapacity(n));
    CopyChars(data, left, leftLength);
    CopyChars(data + leftLength, right, rightLength);
    data[n] = 0;
    length = n;
}

// Replaces count characters from position with the text in a new buffer; an
// empty string becomes a copy of the text.
template <typename Char>
void InsertChars(Char*& data, uint32_t& length, uint32_t position, uint32_t count, const Char* text,
                 uint32_t textLength)
{
    if (length == 0) {
        AssignChars(data, length, text, textLength);
        return;
    }
    position = std::min(position, length);
    uint32_t end = count > length - position ? length : position + count;
    uint32_t newLength = position + textLength + (length - end);
    Char* fresh = nullptr;
    if (newLength) {
        fresh = AllocChars<Char>(GeStringCapacity(newLength));
        CopyChars(fresh, data, position);
        CopyChars(fresh + position, text, textLength);
        CopyChars(fresh + position + textLength, data + end, length - end);
        fresh[newLength] = 0;
    }
    std::free(data);
    data = fresh;
    length = newLength;
}

// Fills an empty string with up to count characters of (data, length) from
// start; a start past the end gives none.
template <typename Char>
void MidChars(Char*& resultData, uint32_t& resultLength, const Char* data, uint32_t length, uint32_t start,
              uint32_t count)
{
    if (start < length)
        JoinChars<Char>(resultData, resultLength, data + start, std::min(count, length - start), nullptr, 0);
}

}  // namespace

// ---------------------------------------------------------------------------
// CGeString

CGeString::CGeString(const char* text)
{
    AssignChars(data, length, text, TextLength(text));
}

CGeString::CGeString(const CGeString& other)
{
    AssignChars(data, length, other.data, other.length);
}

CGeString::CGeString(CGeString&& other) noexcept
{
    MoveChars(data, length, other.data, other.length);
}

CGeString& CGeString::operator=(const CGeString& other)
{
    AssignChars(data, length, other.data, other.length);
    return *this;
}

CGeString& CGeString::operator=(const char* text)
{
    AssignChars(data, length, text, TextLength(text));
    return *this;
}

CGeString& CGeString::operator=(CGeString&& other) noexcept
{
    MoveChars(data, length, other.data, other.length);
    return *this;
}

void CGeString::Release()
{
    FreeChars(data, length);
}

void CGeString::Resize(uint32_t n, bool keep)
{
    ResizeChars(data, length, n, keep);
}

void CGeString::Append(const char* text)
{
    AppendChars(data, length, text, TextLength(text));
}

void CGeString::Insert(uint32_t position, uint32_t count, const CGeString& text)
{
    InsertChars(data, length, position, count, text.data, text.length);
}

CGeString CGeString::Mid(uint32_t start, uint32_t count) const
{
    CGeString result;
    MidChars(result.data, result.length, data, length, start, count);
    return result;
}

bool CGeString::operator==(const char* text) const
{
    return std::strcmp(c_str(), text ? text : "") == 0;
}

CGeString operator+(const CGeString& left, const char* right)
{
    CGeString result;
    JoinChars(result.data, result.length, left.c_str(), left.length, right, TextLength(right));
    return result;
}

CGeString operator+(const CGeString& left, const CGeString& right)
{
    CGeString result;
    JoinChars(result.data, result.length, left.c_str(), left.length, right.c_str(), right.length);
    return result;
}

// Copies text through convert, byte by byte, up to its first zero byte. Names
// are cut at 1023 bytes, the size of the engine's name buffers.
template <typename Convert>
static CGeString ConvertNameBytes(const CGeString& text, Convert convert)
{
    const uint32_t kMaxBytes = 1023;
    CGeString result;
    uint32_t n = uint32_t(strnlen(text.c_str(), std::min(text.length, kMaxBytes)));
    if (n == 0)
        return result;
    result.Resize(n, false);
    for (uint32_t i = 0; i < n; ++i)
        result.data[i] = convert(text.data[i]);
    result.data[n] = 0;
    return result;
}

CGeString ToLowerString(const CGeString& text)
{
    return ConvertNameBytes(text, [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; });
}

CGeString ToUpperString(const CGeString& text)
{
    return ConvertNameBytes(text, [](char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; });
}

// ---------------------------------------------------------------------------
// CGeWString

CGeWString::CGeWString(const char16_t* text)
{
    AssignChars(data, length, text, TextLength(text));
}

CGeWString::CGeWString(const CGeWString& other)
{
    AssignChars(data, length, other.data, other.length);
}

CGeWString::CGeWString(CGeWString&& other) noexcept
{
    MoveChars(data, length, other.data, other.length);
}

CGeWString& CGeWString::operator=(const CGeWString& other)
{
    AssignChars(data, length, other.data, other.length);
    return *this;
}

CGeWString& CGeWString::operator=(const char16_t* text)
{
    AssignChars(data, length, text, TextLength(text));
    return *this;
}

CGeWString& CGeWString::operator=(CGeWString&& other) noexcept
{
    MoveChars(data, length, other.data, other.length);
    return *this;
}

void CGeWString::Release()
{
    FreeChars(data, length);
}

void CGeWString::Resize(uint32_t n, bool keep)
{
    ResizeChars(data, length, n, keep);
}

CGeWString& CGeWString::operator+=(const CGeWString& other)
{
    AppendChars(data, length, other.data, other.length);
    return *this;
}

void CGeWString::Append(const char16_t* text)
{
    AppendChars(data, length, text, TextLength(text));
}

CGeWString CGeWString::Concat(const CGeWString& left, const char16_t* right)
{
    CGeWString result;
    JoinChars(result.data, result.length, left.c_str(), left.length, right, TextLength(right));
    return result;
}

void CGeWString::Insert(uint32_t position, uint32_t count, const CGeWString& text)
{
    InsertChars(data, length, position, count, text.data, text.length);
}

CGeWString CGeWString::Mid(uint32_t start, uint32_t count) const
{
    CGeWString result;
    MidChars(result.data, result.length, data, length, start, count);
    return result;
}

bool CGeWString::operator==(const CGeWString& other) const
{
    if (length != other.length)
        return false;
    return length == 0 || std::memcmp(data, other.data, size_t(length) * sizeof(char16_t)) == 0;
}

CGeWString operator+(const CGeWString& left, const CGeWString& right)
{
    CGeWString result;
    JoinChars(result.data, result.length, left.c_str(), left.length, right.c_str(), right.length);
    return result;
}
