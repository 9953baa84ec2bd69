// Internal header of the platform layer (sound): COM-style lifetime for the layer's objects.
#pragma once

#include "Platform/DSound/DSound.h"

#include <atomic>

// Made with one reference, freed by the Release that drops the last one.
// Buffers are released from the engine's two threads, so the count is atomic.
template <class Interface>
class CDsRefCounted : public Interface {
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

// An interface that is part of another object (a buffer's notify or 3D
// interface, the primary buffer's listener): it shares the whole object's
// reference count and answers its queries.
template <class Interface, class Whole>
class CDsPartOf : public Interface {
public:
    explicit CDsPartOf(Whole* whole) : m_whole(whole) {}
    HRESULT QueryInterface(REFIID iid, void** object) override { return m_whole->QueryInterface(iid, object); }
    DWORD AddRef() override { return m_whole->AddRef(); }
    DWORD Release() override { return m_whole->Release(); }

protected:
    Whole* m_whole;
};
