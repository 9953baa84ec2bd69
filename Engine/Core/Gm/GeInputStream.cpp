#include "Engine/Core/Gm/GeInputStream.h"

#include "Engine/Core/Common/GeSimd.h"

#include <cstring>

CGeMemoryStream::CGeMemoryStream(const void* data, uint32_t size)
    : m_data(static_cast<const uint8_t*>(data)), m_size(data ? size : 0), m_position(0)
{
}

int32_t CGeMemoryStream::Read(void* destination, uint32_t count, bool* end)
{
    uint32_t left = m_size - m_position;
    uint32_t n = count < left ? count : left;
    // The result is signed: never hand out more than it can report.
    if (n > 0x7FFFFFFFu)
        n = 0x7FFFFFFFu;
    if (n > 0) {
        // The kernel's copy once the core has chosen one (tools and tests may
        // run without it).
        if (g_pGeSimd)
            g_pGeSimd->Memcpy(destination, m_data + m_position, n);
        else
            memcpy(destination, m_data + m_position, n);
    }
    m_position += n;
    *end = left < count;
    return (int32_t)n;
}
