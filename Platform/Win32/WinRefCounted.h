// Internal header of the platform layer: COM-style lifetime shared by the
// device and sound layers' objects.
#pragma once

#include "Platform/Win32/WinTypes.h"

#include <atomic>

// Made with one reference, freed by the Release that drops the last one.
// Sound buffers are released from the engine's two threads, so the count is
// atomic; for the device's single-threaded objects that costs nothing that shows.
template <class Interface>
class WinRefCounted : public Interface {
public:
    DWORD AddRef() override { return ++m_refs; }
    DWORD Release() override
    {
        DWORD refs = --m_refs;
        if (refs == 0)
            delete this;
        return refs;
    }

private:
    std::atomic<DWORD> m_refs{1};
};
