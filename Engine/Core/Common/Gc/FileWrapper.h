// A small file handle for the pack code: open, read, size, seek, close.
//
// Access, creation and seek codes are the Win32 numbers the engine's callers
// pass. Misuse (a call on a closed wrapper) and read errors go to the error
// box; after Retry the call goes on and fails the ordinary way.
#pragma once

#include "Engine/Core/Common/GeString.h"

#include <cstdint>

#ifndef GENERIC_READ
#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#endif
#ifndef CREATE_ALWAYS
#define CREATE_NEW 1
#define CREATE_ALWAYS 2
#define OPEN_EXISTING 3
#define OPEN_ALWAYS 4
#endif
#ifndef FILE_BEGIN
#define FILE_BEGIN 0
#define FILE_CURRENT 1
#define FILE_END 2
#endif

class CFileWrapper {
public:
    CFileWrapper() = default;
    ~CFileWrapper() { Close(); }
    CFileWrapper(const CFileWrapper&) = delete;
    CFileWrapper& operator=(const CFileWrapper&) = delete;

    // Closes an open file first. An existing file opened for reading is found
    // whatever the case of its name on disk. On failure lastError and *error
    // receive the system's error number.
    bool Open(const CGeString& path, uint32_t access, uint32_t creation, uint32_t* error);
    void Close();

    // Reads up to count bytes (fewer only at the end of the file) and returns
    // how many were read.
    uint32_t Read(void* buffer, uint32_t count);

    // The file's size; 0xFFFFFFFF when no file is open or the file is larger
    // than a pack can address.
    uint32_t GetSize();

    // Moves the file position (method FILE_BEGIN, FILE_CURRENT or FILE_END);
    // returns the new position or -1. The distance is 64-bit so that every
    // offset a pack can hold (unsigned 32-bit) is reachable.
    int64_t Seek(int64_t distance, uint32_t method);

    bool IsOpen() const { return handle >= 0; }

    int handle = -1;        // POSIX descriptor; -1 when no file is open
    CGeString path;         // path of the last Open; empty when closed
    uint32_t lastError = 0; // error of the last failed open, else 0
};
