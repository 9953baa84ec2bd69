// Writes pack archives (".fpk") in the layout that CHarvester reads:
// one DataPacker block per file, then the FAT as a block, then the FAT
// block's length as the last 4 bytes. Blocks are LZO1X-1 compressed,
// check-summed and scrambled (Engine/Core/Pack/PackScrambler.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// One block: compresses size bytes of data and appends the unpacked length,
// scrambles with seed, then appends the seed and the CRC of the stream.
std::vector<uint8_t> BuildPackBlock(const uint8_t* data, size_t size, uint32_t seed);

// Appends one FAT entry {u16 name length, name, u32 size, u32 offset}.
void AppendFatEntry(std::vector<uint8_t>& fat, const std::string& name, uint32_t size, uint32_t offset);

// Streams files into a new pack. Names are stored as given; the caller
// normalises them (lower case, '/' separators).
class CFpkWriter {
public:
    CFpkWriter() = default;
    ~CFpkWriter();
    CFpkWriter(const CFpkWriter&) = delete;
    CFpkWriter& operator=(const CFpkWriter&) = delete;

    // Creates or truncates the file at path; messages name the file
    // shownName when given (the pack a temporary file will become).
    bool Open(const char* path, std::string* error, const char* shownName = nullptr);
    bool AddFile(const std::string& name, const uint8_t* data, size_t size, std::string* error);
    // Writes the FAT block and the trailer and closes the file.
    bool Finish(std::string* error);

private:
    bool Append(const std::vector<uint8_t>& bytes, std::string* error);

    int fd = -1;
    uint64_t offset = 0;
    std::vector<uint8_t> fat;
    std::string path;
};

// Packs every file below directory (recursively, in name order) under its
// relative path, lower-cased with '/' separators. Anything in the tree that is
// neither a regular file nor a folder is refused, as is a packPath that exists
// and is not a regular file. The pack is built beside packPath and replaces it
// only when complete: on failure packPath is untouched.
bool WritePackFromDirectory(const char* packPath, const char* directory, std::string* error);
