#include "tools/fpk/FpkWriter.h"

#include "Engine/Core/Common/GeCrc32.h"
#include "Engine/Core/Pack/PackScrambler.h"
#include "Platform/System/PosixFiles.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <lzo/lzo1x.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

static void AppendU32(std::vector<uint8_t>& out, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

static void PutU32(uint8_t* at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<uint8_t>(value >> (8 * i));
}

std::vector<uint8_t> BuildPackBlock(const uint8_t* data, size_t size, uint32_t seed)
{
    static const bool lzoReady = lzo_init() == LZO_E_OK;
    (void)lzoReady;
    // LZO1X's worst case grows incompressible input by size / 16 + 67 bytes.
    std::vector<uint8_t> block(size + size / 16 + 64 + 3 + 12);
    std::vector<uint8_t> work(LZO1X_1_MEM_COMPRESS);
    lzo_uint streamLength = 0;
    static const uint8_t nothing = 0;
    lzo1x_1_compress(size ? data : &nothing, size, block.data(), &streamLength, work.data());

    uint32_t crc = Crc32(static_cast<uint32_t>(streamLength), block.data());
    PutU32(block.data() + streamLength, static_cast<uint32_t>(size));
    ScramblePackBody(block.data(), streamLength + 4, seed);
    PutU32(block.data() + streamLength + 4, seed);
    PutU32(block.data() + streamLength + 8, crc);
    block.resize(streamLength + 12);
    return block;
}

void AppendFatEntry(std::vector<uint8_t>& fat, const std::string& name, uint32_t size, uint32_t offset)
{
    fat.push_back(static_cast<uint8_t>(name.size()));
    fat.push_back(static_cast<uint8_t>(name.size() >> 8));
    fat.insert(fat.end(), name.begin(), name.end());
    AppendU32(fat, size);
    AppendU32(fat, offset);
}

CFpkWriter::~CFpkWriter()
{
    if (fd >= 0)
        close(fd);
}

bool CFpkWriter::Open(const char* packPath, std::string* error, const char* shownName)
{
    path = shownName ? shownName : packPath;
    fd = open(packPath, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        *error = path + ": " + strerror(errno);
        return false;
    }
    offset = 0;
    fat.clear();
    return true;
}

bool CFpkWriter::Append(const std::vector<uint8_t>& bytes, std::string* error)
{
    // Every block offset and size is an unsigned 32-bit word.
    if (offset + bytes.size() > 0xFFFFFFFFull) {
        *error = path + ": the pack would exceed 4 GiB";
        return false;
    }
    if (!SysWriteFully(fd, bytes.data(), bytes.size())) {
        *error = path + ": " + strerror(errno);
        return false;
    }
    offset += bytes.size();
    return true;
}

// A seed that differs from block to block yet makes the same pack from the
// same files.
static uint32_t BlockSeed(uint64_t offset, size_t size)
{
    return static_cast<uint32_t>(offset * 0x9E3779B1u) ^ static_cast<uint32_t>(size) ^ 0x46504B31u;
}

bool CFpkWriter::AddFile(const std::string& name, const uint8_t* data, size_t size, std::string* error)
{
    if (name.empty() || name.size() > 2047) {
        *error = "'" + name + "': a stored name holds 1 to 2047 bytes";
        return false;
    }
    if (size > 0xFFFFFFFFull) {
        *error = "'" + name + "' is larger than 4 GiB";
        return false;
    }
    std::vector<uint8_t> block = BuildPackBlock(data, size, BlockSeed(offset, size));
    uint32_t blockOffset = static_cast<uint32_t>(offset);
    if (!Append(block, error))
        return false;
    AppendFatEntry(fat, name, static_cast<uint32_t>(block.size()), blockOffset);
    return true;
}

bool CFpkWriter::Finish(std::string* error)
{
    std::vector<uint8_t> fatBlock = BuildPackBlock(fat.data(), fat.size(), BlockSeed(offset, fat.size()));
    std::vector<uint8_t> trailer;
    AppendU32(trailer, static_cast<uint32_t>(fatBlock.size()));
    bool ok = Append(fatBlock, error) && Append(trailer, error);
    if (close(fd) != 0 && ok) {
        *error = path + ": " + strerror(errno);
        ok = false;
    }
    fd = -1;
    return ok;
}

// The name the reader looks the file up by: lower case, and a '\' (legal in
// a file name here) read as the separator it is in every data name.
static std::string StoredName(std::string text)
{
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 32);
        else if (c == '\\')
            c = '/';
    }
    return text;
}

static bool ReadFile(const std::string& path, std::vector<uint8_t>& bytes, std::string* error)
{
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    long long size = fd >= 0 ? SysFileSize(fd) : -1;
    bool ok = size >= 0;
    if (ok) {
        bytes.resize(static_cast<size_t>(size));
        ok = SysReadFully(fd, bytes.data(), bytes.size());
    }
    if (!ok)
        *error = path + ": " + strerror(errno);
    if (fd >= 0)
        close(fd);
    return ok;
}

// What a directory entry that is neither a regular file nor a folder is, for
// the line that refuses it.
static const char* SpecialFileKind(mode_t mode)
{
    if (S_ISFIFO(mode))
        return "a named pipe";
    if (S_ISSOCK(mode))
        return "a socket";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "a device node";
    return "not a regular file";
}

// Only regular files and folders are packed: reading a pipe or a device could
// block for ever or never end, so anything else is refused before the pack is
// begun. Links are followed.
static bool CollectFiles(const std::string& directory, const std::string& relative,
                         std::vector<std::pair<std::string, std::string>>& files, std::string* error)
{
    std::vector<SysDirEntry> entries;
    if (!SysListDirectory(directory.c_str(), &entries)) {
        *error = directory + ": " + strerror(errno);
        return false;
    }
    for (const SysDirEntry& entry : entries) {
        std::string path = directory + "/" + entry.name;
        std::string name = relative.empty() ? entry.name : relative + "/" + entry.name;
        if (entry.isDirectory) {
            if (!CollectFiles(path, name, files, error))
                return false;
            continue;
        }
        struct stat info;
        if (stat(path.c_str(), &info) != 0) {
            *error = path + ": " + strerror(errno);
            return false;
        }
        if (!S_ISREG(info.st_mode)) {
            *error = path + ": " + SpecialFileKind(info.st_mode) + ", only regular files and folders are packed";
            return false;
        }
        files.emplace_back(StoredName(name), path);
    }
    return true;
}

// Whether two paths name the same file (the pack may be written into the very
// directory it packs, and must not pack an older copy of itself).
static bool SameFile(const std::string& a, const std::string& b)
{
    std::error_code ignored;
    return std::filesystem::equivalent(a, b, ignored);
}

// The pack is written into a new file beside its destination and renamed over
// it only when complete, so a failure never costs the user an existing file.
class CPackTempFile {
public:
    ~CPackTempFile()
    {
        if (!path.empty())
            unlink(path.c_str());
    }

    bool Create(const std::string& destination, std::string* error)
    {
        std::vector<char> pattern(destination.begin(), destination.end());
        static const char suffix[] = ".tmp-XXXXXX";
        pattern.insert(pattern.end(), suffix, suffix + sizeof(suffix));
        int fd = mkostemp(pattern.data(), O_CLOEXEC);
        if (fd < 0) {
            *error = destination + ": cannot create a file beside it: " + strerror(errno);
            return false;
        }
        path = pattern.data();
        // mkstemp makes the file private; a pack gets the mode of the file it
        // replaces, or the usual mode of a new file.
        struct stat old;
        mode_t mode;
        if (stat(destination.c_str(), &old) == 0) {
            mode = old.st_mode & 07777;
        } else {
            const mode_t mask = umask(0);
            umask(mask);
            mode = 0666 & ~mask;
        }
        const bool ok = fchmod(fd, mode) == 0;
        close(fd);
        if (!ok)
            *error = destination + ": " + strerror(errno);
        return ok;
    }

    bool RenameTo(const std::string& destination, std::string* error)
    {
        if (rename(path.c_str(), destination.c_str()) != 0) {
            *error = destination + ": " + strerror(errno);
            return false;
        }
        path.clear();
        return true;
    }

    std::string path;
};

// An existing destination must be a regular file: a folder, a pipe or a
// device given by mistake is refused before anything is written.
static bool CheckDestination(const char* packPath, std::string* error)
{
    struct stat info;
    if (stat(packPath, &info) != 0 || S_ISREG(info.st_mode))
        return true;
    const char* kind = S_ISDIR(info.st_mode) ? "a folder" : SpecialFileKind(info.st_mode);
    *error = std::string(packPath) + ": " + kind + ", not a pack file; nothing written";
    return false;
}

bool WritePackFromDirectory(const char* packPath, const char* directory, std::string* error)
{
    std::vector<std::pair<std::string, std::string>> files; // stored name, path on disk
    if (!CheckDestination(packPath, error) || !CollectFiles(directory, "", files, error))
        return false;
    files.erase(std::remove_if(files.begin(), files.end(), [&](const auto& file) { return SameFile(file.second, packPath); }),
                files.end());
    std::sort(files.begin(), files.end());
    for (size_t i = 1; i < files.size(); ++i) {
        if (files[i].first == files[i - 1].first) {
            *error = "'" + files[i - 1].second + "' and '" + files[i].second + "' have the same stored name";
            return false;
        }
    }

    CPackTempFile temp;
    if (!temp.Create(packPath, error))
        return false;
    CFpkWriter writer;
    if (!writer.Open(temp.path.c_str(), error, packPath))
        return false;
    std::vector<uint8_t> bytes;
    for (const auto& file : files) {
        if (!ReadFile(file.second, bytes, error) || !writer.AddFile(file.first, bytes.data(), bytes.size(), error))
            return false;
    }
    return writer.Finish(error) && temp.RenameTo(packPath, error);
}
