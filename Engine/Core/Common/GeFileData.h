// Whole-file access for every loader of the engine.
//
// Game data comes either from the pack archives of the working directory or
// from loose files, never from both: a non-empty pack path means packs only.
// Files the program writes (screenshots, save slots) are always loose.
#pragma once

#include "Engine/Core/Common/GeArray.h"
#include "Engine/Core/Common/GeString.h"

#include <cstdint>

// One whole file in memory. The receiver owns the buffer (malloc) and the path
// and releases both with FreeFileData.
struct CGeFileData {
    CGeString path;          // as given, or the normalised name for pack files
    uint8_t* data = nullptr; // null when nothing was read
    uint32_t size = 0;       // 0 when nothing was read
};

// The switch between packs and loose files. Start-up sets it to the resolved
// working directory followed by "resource.fpk"; empty means loose files.
extern CGeString g_packPath;

// What answers the reads while the pack path is set. The pack library lives
// above this one and installs its reader when it mounts packs; until then a
// pack-mode read finds nothing, as with packs that hold nothing.
struct CGePackReader {
    // {normalised name, data, size}; {"", null, 0} for a name no pack holds.
    CGeFileData& (*getFile)(CGeFileData& out, const char* path, bool reportMissing);
    // The stored block size of a packed file (not its unpacked length).
    uint32_t (*hasFile)(const char* path, bool& found);
    // Appends the names below a directory, as CollectFileList lists them.
    void (*collectFiles)(const CGeString& directory, CGeArray<CGeString>& output);
};
void SetPackReader(const CGePackReader* reader);

// From the packs when the pack path is set, otherwise from disk.
CGeFileData LoadFileData(const char* path, bool reportMissing = true);

// From disk only. A missing, unreadable or empty file, or one that cannot be
// read whole, gives {path, null, 0}. The name's case on disk does not matter.
CGeFileData ReadWholeFile(const char* path, bool reportMissing = true);

void FreeFileData(CGeFileData& record);

// With the pack path set: the stored block size of a packed file (not its
// unpacked length). Otherwise the size of the loose file.
uint32_t QueryFileSize(const char* path, bool& found);

// Creates or replaces the file at record.path with record.size bytes of
// record.data. False when the file cannot be created or written whole.
bool WriteWholeFile(CGeFileData record);

// The relative paths of every non-empty file below a data directory (given
// without a trailing separator), from the pack index or the disk.
void CollectFileList(const CGeString& directory, CGeArray<CGeString>& output);
