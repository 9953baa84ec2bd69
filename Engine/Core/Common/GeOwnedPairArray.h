// Clearing of the dialog code's arrays of string pairs: entries that own two
// strings, `first` and `second`, plus data of their own.
#pragma once

#include "Engine/Core/Common/GeArray.h"

// Frees both strings of every entry, then the element storage; count and
// capacity become 0. The dialog system calls it when it reloads and at exit.
template <typename Entry>
void ClearOwnedPairArray(CGeArray<Entry>& array)
{
    for (Entry& entry : array) {
        entry.first.Release();
        entry.second.Release();
    }
    array.Clear();
}
