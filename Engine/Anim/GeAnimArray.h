// The animation library's one array helper: an array of n value-initialised
// elements, its old content dropped (readers fill it at once).
#pragma once

#include "Engine/Core/Common/GeArray.h"

#include <cstdint>
#include <new>

template <typename T>
void AnimResetArray(CGeArray<T>& array, uint32_t n)
{
    array.Clear();
    if (!n)
        return;
    array.InsertGap(0, n);
    for (uint32_t i = 0; i < n; ++i)
        new (&array[i]) T();
}
