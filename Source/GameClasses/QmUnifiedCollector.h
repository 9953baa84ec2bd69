// The program-wide catalogues of the game layer: the joint-animation tracks
// per skeleton, the inventory item descriptions, the game strings, the global
// actors and the overlay documents, all in static maps with no owning object.
//
// Tracks are kept per skeleton key (the caller's identifier of an entity's
// skeleton: the entity's address) in lists sorted by track name. The
// catalogue holds a reference only on tracks that it loaded first: a track
// the resource collector already had gives its extra reference back.
//
// Items and game strings are read once by the game processor's start; actors
// and documents come and go with scripts. Clear (first step of shutdown)
// deletes items, actors and documents; tracks and strings stay until the
// program ends. A damaged or missing file gives a level-2 log or a trace line
// and loads what it can; nothing here throws.
//
// Choices: an item file whose root is not "items_list" loads no items and says
// so at level 2. A location actor asked for while no location is current is
// refused at level 2 instead of being lost. An actor deleted by Clear is first
// taken out of every loaded location, so no location keeps a dangling pointer
// to it. A document replaced under its name stays alive until Clear, since it
// may still be on screen.
#pragma once

#include "Engine/Core/Common/GeMap.h"
#include "Engine/Core/Common/GeString.h"

#include <cstdint>

class CGeJointsKeySequence;
class CQmEntity;
class CQmInvItemDesc;
class CQmOverlayDocument;
class TiXmlDocument;

// Game strings by id.
using QmStringTable = CGeStringMap<CGeWString>;

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

    // Fills the item catalogue from an item file (path as given, through the
    // packs or the disk); a later item of one name replaces the earlier.
    static void LoadInventoryItems(const char* path);
    // The item of that name, or null (callers log their own messages).
    static CQmInvItemDesc* FindItem(const char* name);
    static uint32_t ItemCount();

    // Reads the "string" children of the document's root into table.
    static void LoadStrings(const TiXmlDocument& document, QmStringTable& table);
    // Data root + "strings/game_strings.xml" into the game strings.
    static void LoadGameStrings();
    // The game string, or the one shared empty text for an unknown id.
    static const CGeWString& GetString(const char* id);
    // Empties the game strings (program exit).
    static void ClearStrings();

    // Loads an actor from data root + filePath under name (the file's base
    // name when empty), hidden, with an actor property. Global actors go to
    // the catalogue, the others to the current location. The entity, or null
    // when nothing was loaded.
    static CQmEntity* LoadActor(const char* filePath, const char* name, bool global);
    static CQmEntity* FindActor(const char* name);
    // Unloads a global actor everywhere; the main hero is never removed.
    static void RemoveActor(const char* name);

    // Keeps a document under its name; a replaced one lives until Clear.
    static void StoreDocument(const CGeString& name, CQmOverlayDocument* document);
    static CQmOverlayDocument* FindDocument(const char* name);

    // Deletes items (sprite first), actors and documents; the inventory
    // empties itself and drops its selection first.
    static void Clear();
};
