// The index of the pack archives (".fpk") of the working directory.
//
// A pack is a run of DataPacker blocks, one per file, then the FAT (itself a
// block) and, in the last 4 bytes, the FAT block's length L (little-endian).
// The unpacked FAT is a list of entries with no header and no count:
//   u16 nameLength, nameLength bytes of name (at most 2047),
//   u32 size of the file's block, u32 offset of the block in the pack.
// Mounting reads every FAT into one index from normalised name (lower-case,
// '/' separators) to {pack, offset, size}; each file read then opens its
// pack, reads the one block, closes the pack and unpacks the block.
#pragma once

#include "Engine/Core/Common/GeArray.h"
#include "Engine/Core/Common/GeFileData.h"
#include "Engine/Core/Common/GeString.h"
#include "Engine/Core/Common/GeMap.h"

#include <cstdint>

struct PackEntry {
    uint32_t offset;    // of the block, from the start of the pack
    uint32_t size;      // stored block length
    uint32_t packIndex; // into the pack list
};

class CHarvester {
public:
    typedef CGeStringMap<PackEntry> Index;

    // Mounts the packs that the pack path names: every file of its directory
    // whose name begins with the path's base name and ends in ".fpk", in name
    // order, a later pack winning for a name that several hold. Does nothing
    // when that pack path is already mounted. Returns the number of names.
    // Mounting makes the whole-file loader read through the packs.
    static uint32_t Init();

    // Appends the usable (non-empty) files of the current directory that
    // match prefix + "*.fpk" to the pack list, in name order.
    static void ScanPacks(const CGeString& prefix);

    // Mounts exactly one pack file, dropping whatever was mounted (the pack
    // tool inspects single archives this way). True when its whole FAT was
    // read and every entry taken.
    static bool MountSinglePack(const CGeString& packFile);

    // Forgets every mounted pack and name.
    static void Unmount();

    // The unpacked bytes of one file; {"", null, 0} when the name is not
    // mounted, {name, null, 0} when its block cannot be read or unpacked.
    static CGeFileData& GetFile(CGeFileData& out, const char* path, bool reportMissing);

    // The stored block size of a file (not its unpacked length).
    static uint32_t HasFile(const char* path, bool& found);

    // The mounted names in key order, and the packs they come from.
    static const Index& GetIndex();
    static const CGeArray<CGeString>& GetPackList();

    // Lower-cases a data name (ASCII, at most its first 1023 bytes) and turns
    // every '\' into '/', as every mount and look-up does.
    static CGeString NormalizeName(const char* name);
};
