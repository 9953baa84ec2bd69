// Internal header of the platform layer (sound): interfaces that share the lifetime of the object they belong to.
#pragma once

#include "Platform/DSound/DSound.h"

#include "Platform/Win32/WinRefCounted.h"

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
