// The program-wide catalogues of the game layer. Built so far: the
// joint-animation tracks per skeleton.
//
// Tracks are kept per skeleton key (the caller's identifier of an entity's
// skeleton: the entity's address) in lists sorted by track name. The
// catalogue holds a reference only on tracks that it loaded first: a track
// the resource collector already had gives its extra reference back.
#pragma once

#include "Engine/Core/Common/GeString.h"

#include <cstdint>

class CGeJointsKeySequence;

class CQmUnifiedCollector {
public:
    // Registers the track file (data root + path) for the key; the track's
    // name (the file's base name), or an empty name when it cannot be loaded.
    // A name the key already has is logged and its name returned.
    static CGeString LoadJointsAnimTrack(const char* path, uintptr_t key);
    // The key's track of that name; null (logged for an unknown key or a key
    // without tracks) otherwise.
    static CGeJointsKeySequence* GetJointsAnimTrack(uintptr_t key, const char* name);
    // Tracks of a key (0 for an unknown key).
    static uint32_t TrackCount(uintptr_t key);
    // Drops the track catalogue and the references it holds (program exit).
    static void ClearTracks();
};
