// The engine's two string value types.
//
// CGeString holds 8-bit text, CGeWString UTF-16 text (char16_t units; wchar_t
// is 32-bit on Linux). Neither stores a capacity: the buffer of a string of
// length n always holds GeStringCapacity(n) characters, so every operation
// decides from the old and new length alone whether to touch the heap.
// An empty string owns no buffer and reads as "".
#pragma once

#include <cstdint>

template <typename T>
class CGeArray;
#include <cstring>

// Buffer size in characters for a string of n characters: 0 for n == 0,
// otherwise n + 32 with the low five bits cleared (room for the terminator).
constexpr uint32_t GeStringCapacity(uint32_t n)
{
    return n == 0 ? 0 : ((n + 32) & ~31u);
}

class CGeString {
public:
    char* data = nullptr;  // null exactly when length is 0
    uint32_t length = 0;   // bytes, without the terminator

    CGeString() = default;
    CGeString(const char* text);
    CGeString(const CGeString& other);
    CGeString(CGeString&& other) noexcept;
    ~CGeString() { Release(); }

    CGeString& operator=(const CGeString& other);
    CGeString& operator=(const char* text);
    CGeString& operator=(CGeString&& other) noexcept;

    // Frees the buffer; the string becomes empty.
    void Release();

    // Sets the length to n. The buffer is replaced only when the capacity
    // changes; with keep set the surviving characters are copied over and
    // terminated. No terminator is written at position n: callers that fill
    // the characters write it themselves.
    void Resize(uint32_t n, bool keep);

    void Append(const char* text);
    CGeString Mid(uint32_t start, uint32_t count) const;

    // Replaces count bytes from position (fewer when the string ends first)
    // with text; count 0 inserts. An empty string becomes a copy of text.
    void Insert(uint32_t position, uint32_t count, const CGeString& text);

    // Text operations, in GeStringText.cpp. ReplaceAll never searches the
    // replacement again, so replacing "a" by "aa" ends; find is not empty.
    static CGeString ReplaceAll(const CGeString& source, const CGeString& find, const CGeString& replacement);
    // The index of the last character of text that is in set, searching down
    // to index 1: index 0 is never reported. -1 when there is none.
    static int32_t FindLastOf(const CGeString& text, const char* set);

    const char* c_str() const { return data ? data : ""; }
    uint32_t Length() const { return length; }
    bool IsEmpty() const { return length == 0; }

    // Equality and order compare every byte of both lengths, so that the two
    // always agree, also for the rare string with a zero byte inside. They
    // are the map's inner loop, hence inline.
    bool operator==(const CGeString& other) const
    {
        return length == other.length && (length == 0 || std::memcmp(data, other.data, length) == 0);
    }
    bool operator==(const char* text) const;
    bool operator!=(const CGeString& other) const { return !(*this == other); }
    bool operator!=(const char* text) const { return !(*this == text); }

    // Unsigned byte order, a prefix before the longer text: the key order of
    // every string-keyed map and sorted array.
    bool operator<(const CGeString& other) const { return Compare(other) < 0; }

    // The same order three-way: below 0, 0 or above 0.
    int Compare(const CGeString& other) const
    {
        const uint32_t common = length < other.length ? length : other.length;
        const int order = CompareBytes(data, other.data, common);
        if (order != 0)
            return order;
        return length < other.length ? -1 : (length > other.length ? 1 : 0);
    }

private:
    // memcmp's order (unsigned bytes), eight bytes at a time without a call:
    // names share long prefixes ("locations/loc03/objects/..."), and this is
    // the inner loop of every look-up in a string-keyed map. A word read most
    // significant byte first orders as its bytes do; the last word overlaps
    // the one before, whose bytes are already known to be equal.
    static uint64_t OrderedWord(const char* bytes)
    {
        uint64_t word;
        std::memcpy(&word, bytes, sizeof word);
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
        word = __builtin_bswap64(word);
#endif
        return word;
    }

    static int CompareBytes(const char* a, const char* b, uint32_t count)
    {
        if (count < 8) {
            for (uint32_t i = 0; i < count; ++i) {
                if (a[i] != b[i])
                    return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[i]) ? -1 : 1;
            }
            return 0;
        }
        for (uint32_t i = 0;; i += 8) {
            if (i + 8 > count)
                i = count - 8;
            const uint64_t x = OrderedWord(a + i);
            const uint64_t y = OrderedWord(b + i);
            if (x != y)
                return x < y ? -1 : 1;
            if (i + 8 == count)
                return 0;
        }
    }
};

CGeString operator+(const CGeString& left, const char* right);
CGeString operator+(const CGeString& left, const CGeString& right);

// Lower-cases or upper-cases the ASCII letters of at most the first 1023
// bytes of text.
CGeString ToLowerString(const CGeString& text);
CGeString ToUpperString(const CGeString& text);

class CGeWString {
public:
    char16_t* data = nullptr;  // null exactly when length is 0
    uint32_t length = 0;       // UTF-16 units, without the terminator

    CGeWString() = default;
    CGeWString(const char16_t* text);
    CGeWString(const CGeWString& other);
    CGeWString(CGeWString&& other) noexcept;
    ~CGeWString() { Release(); }

    CGeWString& operator=(const CGeWString& other);
    CGeWString& operator=(const char16_t* text);
    CGeWString& operator=(CGeWString&& other) noexcept;

    void Release();
    void Resize(uint32_t n, bool keep);

    CGeWString& operator+=(const CGeWString& other);
    void Append(const char16_t* text);

    // A new string: left followed by the zero-terminated right.
    static CGeWString Concat(const CGeWString& left, const char16_t* right);

    // Replaces count units from position (fewer when the string ends first)
    // with text; count 0 inserts. An empty string becomes a copy of text.
    void Insert(uint32_t position, uint32_t count, const CGeWString& text);
    CGeWString Mid(uint32_t start, uint32_t count) const;

    // Text operations, in GeStringText.cpp; see CGeString::ReplaceAll.
    static CGeWString ReplaceAll(const CGeWString& source, const CGeWString& find, const CGeWString& replacement);
    // Clears output and fills it with the pieces between separators: two
    // separators in a row give an empty piece, a separator at the end adds
    // none, an empty source gives none. Returns the number of pieces.
    static uint32_t Split(const CGeWString& source, CGeArray<CGeWString>& output, const CGeWString& separator);

    const char16_t* c_str() const { return data ? data : u""; }
    uint32_t Length() const { return length; }
    bool IsEmpty() const { return length == 0; }

    bool operator==(const CGeWString& other) const;
    bool operator!=(const CGeWString& other) const { return !(*this == other); }
};

CGeWString operator+(const CGeWString& left, const CGeWString& right);
