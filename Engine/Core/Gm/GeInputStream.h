// Byte sources for the image decoders.
//
// The JPEG decoder pulls its input through this interface so that it never
// needs to know where the bytes live; in the engine they always come from a
// file already loaded into memory.
#pragma once

#include <cstdint>

class CGeInputStream {
public:
    virtual ~CGeInputStream() {}

    // Copies up to count bytes to destination and returns how many were
    // delivered, or -1 on a read error. *end is set once the source cannot
    // deliver all that was asked for.
    virtual int32_t Read(void* destination, uint32_t count, bool* end) = 0;
};

// A stream over bytes that the caller keeps alive for the stream's lifetime.
class CGeMemoryStream : public CGeInputStream {
public:
    CGeMemoryStream(const void* data, uint32_t size);

    int32_t Read(void* destination, uint32_t count, bool* end) override;

private:
    const uint8_t* m_data;
    uint32_t m_size;
    uint32_t m_position;
};
