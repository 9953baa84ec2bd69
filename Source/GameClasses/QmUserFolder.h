// The per-user folder: "qasimar" inside the user's local application-data
// folder (the current directory when there is none), created when missing.
// The settings file and the save slots live there.
//
// Files in it are replaced through a temporary file beside them, renamed over
// the old one only once it is written whole: a full disk or a crash while
// saving leaves the previous file intact.
#pragma once

#include <cstdint>

// Room for the folder path with its terminator.
constexpr uint32_t kUserFolderSize = 260;

// The folder path, recomputed on every call of GetUserDataFolder.
extern char g_userFolder[kUserFolderSize];

// Asks the shell for the local application-data folder, falls back to the
// current directory, strips one trailing separator, appends "/qasimar" and
// creates that folder (an existing one is fine). A path that would not fit
// the buffer falls back to the current directory, then to "qasimar".
const char* GetUserDataFolder();

// Writes size bytes to path + ".tmp", then renames it over path. False (the
// old file untouched, the temporary file removed) when anything fails.
bool QmReplaceFile(const char* path, const void* data, uint32_t size);
