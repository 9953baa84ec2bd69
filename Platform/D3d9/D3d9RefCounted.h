// COM-style lifetime shared by every object of the layer: made with one
// reference, freed by the Release that drops the last one.
// Internal header of the platform layer: only Platform/ and its tests include it.
#pragma once

#include "Platform/D3d9/D3d9.h"

template <class Interface>
class D3d9RefCounted : public Interface {
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
    DWORD m_refs = 1;
};
