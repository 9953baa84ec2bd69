#include "Engine/Core/Pack/Harvester.h"

#include "Engine/Core/Common/GeError.h"
#include "Engine/Core/Common/GeLittleEndian.h"
#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/Gc/FileWrapper.h"
#include "Engine/Core/Pack/DataPacker.h"
#include "Platform/System/PosixFiles.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <strings.h>

namespace {

CGeString s_root;              // directory of the packs, no trailing '/'
CGeString s_mountedPackPath;   // pack path of the last mount
CGeArray<CGeString> s_packs;   // lower-cased pack file names, in mount order
CHarvester::Index s_index;     // normalised name -> entry
CFileWrapper s_file;           // shared by every pack read, closed after each

const uint32_t kMaxNameLength = 2047;
const uint32_t kFatEntryFixedBytes = 2 + 4 + 4;

CGeString PackFilePath(uint32_t packIndex)
{
    return s_root + "/" + s_packs[packIndex];
}

int LastErrorOr(int fallback)
{
    return errno != 0 ? errno : fallback;
}

// Reads exactly count bytes at offset of the open pack; a short read fails.
bool ReadRange(uint8_t* buffer, uint32_t offset, uint32_t count)
{
    errno = 0;
    return s_file.Seek(offset, FILE_BEGIN) == static_cast<int64_t>(offset) && s_file.Read(buffer, count) == count;
}

// Adds the entries of one unpacked FAT to the index. An entry that does not
// lie wholly inside the FAT ends the walk; an entry whose block reaches past
// the pack is refused on its own. True when every entry was taken.
bool WalkFat(const uint8_t* fat, uint32_t fatSize, uint32_t packIndex, uint32_t packSize)
{
    bool whole = true;
    uint32_t at = 0;
    while (at < fatSize) {
        uint32_t left = fatSize - at;
        uint32_t nameLength = left >= 2 ? ReadLe16(fat + at) : 0;
        if (left < kFatEntryFixedBytes || nameLength > kMaxNameLength || left - kFatEntryFixedBytes < nameLength) {
            GE_ERROR_REPORT("MULTIFILE FAT ERROR\n");
            return false;
        }
        char name[kMaxNameLength + 1] = {};
        memcpy(name, fat + at + 2, nameLength);
        uint32_t size = ReadLe32(fat + at + 2 + nameLength);
        uint32_t offset = ReadLe32(fat + at + 2 + nameLength + 4);
        at += kFatEntryFixedBytes + nameLength;

        if (static_cast<uint64_t>(offset) + size > packSize) {
            GeLog(1, "Pack '%s': entry '%s' lies outside the pack, ignored", s_packs[packIndex].c_str(), name);
            whole = false;
            continue;
        }
        s_index[CHarvester::NormalizeName(name)] = PackEntry{offset, size, packIndex};
    }
    return whole;
}

// Reads the FAT block that the trailer word of the open pack names; null
// (with a log line) when the word does not name a block that fits before it.
uint8_t* ReadFatBlock(const CGeString& path, uint32_t packSize, uint32_t& fatLength)
{
    uint8_t trailer[4];
    if (packSize == 0xFFFFFFFFu || packSize < 4 + DataPacker::kBlockOverhead || !ReadRange(trailer, packSize - 4, 4)) {
        GeLog(1, "Pack '%s' is too short or unreadable, ignored", path.c_str());
        return nullptr;
    }
    fatLength = ReadLe32(trailer);
    if (fatLength < DataPacker::kBlockOverhead || fatLength > packSize - 4) {
        GeLog(1, "Pack '%s': FAT length %u does not fit a pack of %u bytes, ignored", path.c_str(), fatLength, packSize);
        return nullptr;
    }
    uint8_t* block = static_cast<uint8_t*>(malloc(fatLength));
    if (block && !ReadRange(block, packSize - 4 - fatLength, fatLength)) {
        free(block);
        block = nullptr;
    }
    if (!block)
        GeLog(1, "Pack '%s': FAT cannot be read, ignored", path.c_str());
    return block;
}

// Reads the trailer and the FAT of one pack and indexes its entries. True
// when the whole FAT was read and taken.
bool MountPack(uint32_t packIndex)
{
    CGeString path = PackFilePath(packIndex);
    if (!s_file.Open(path, GENERIC_READ, OPEN_EXISTING, nullptr)) {
        GE_ERROR_REPORT("Can't open file '%s'", path.c_str());
        return false;
    }
    uint32_t packSize = s_file.GetSize();
    if (packSize == 0) {
        s_file.Close();
        GE_ERROR_REPORT("File '%s' is empty", path.c_str());
        return false;
    }

    uint32_t fatLength = 0;
    uint8_t* fatBlock = ReadFatBlock(path, packSize, fatLength);
    s_file.Close();
    if (!fatBlock)
        return false;

    uint8_t* fat = DataPacker::Unpack(fatBlock, fatLength);
    free(fatBlock);
    if (!fat) {
        GeLog(1, "Pack '%s': FAT does not unpack, ignored", path.c_str());
        return false;
    }
    bool whole = WalkFat(fat, fatLength, packIndex, packSize);
    free(fat);
    return whole;
}

bool EndsWithNoCase(const std::string& text, const char* suffix)
{
    size_t n = strlen(suffix);
    return text.size() >= n && strcasecmp(text.c_str() + text.size() - n, suffix) == 0;
}

// ASCII-only case folding: bytes above 0x7F compare as themselves.
bool EqualsNoCaseAscii(const char* a, const char* b, uint32_t count)
{
    for (uint32_t i = 0; i < count; ++i) {
        char ca = a[i] >= 'A' && a[i] <= 'Z' ? static_cast<char>(a[i] + 32) : a[i];
        char cb = b[i] >= 'A' && b[i] <= 'Z' ? static_cast<char>(b[i] + 32) : b[i];
        if (ca != cb)
            return false;
    }
    return true;
}

void CollectFromPacks(const CGeString& prefix, CGeArray<CGeString>& output)
{
    const uint32_t n = prefix.length;
    const CHarvester::Index& index = s_index;
    for (auto* node = index.first; node; node = index.Next(node)) {
        const CGeString& name = node->key;
        // The name must continue with a separator after the prefix, so that
        // "dialog_system" lists neither "dialog_system2/x" nor itself.
        if (name.length > n + 1 && name.data[n] == '/' && EqualsNoCaseAscii(name.data, prefix.data, n))
            output.Add(CGeString(name.data + n + 1));
    }
}

// The whole-file loader reads through these while the pack path is set.
const CGePackReader kPackReader = {&CHarvester::GetFile, &CHarvester::HasFile, &CollectFromPacks};

} // namespace

CGeString CHarvester::NormalizeName(const char* name)
{
    CGeString normal = ToLowerString(CGeString(name));
    for (uint32_t i = 0; i < normal.length; ++i) {
        if (normal.data[i] == '\\')
            normal.data[i] = '/';
    }
    return normal;
}

void CHarvester::ScanPacks(const CGeString& prefix)
{
    std::vector<SysDirEntry> entries;
    if (!SysListDirectory(".", &entries))
        return;
    for (const SysDirEntry& entry : entries) {
        if (entry.isDirectory || entry.name.size() < prefix.length + 4)
            continue;
        if (strncasecmp(entry.name.c_str(), prefix.c_str(), prefix.length) != 0 || !EndsWithNoCase(entry.name, ".fpk"))
            continue;
        CGeString name(entry.name.substr(0, 511).c_str());
        if (s_file.Open(name, GENERIC_READ, OPEN_EXISTING, nullptr) && s_file.GetSize() != 0)
            s_packs.Add(ToLowerString(name));
        s_file.Close();
    }
}

// The directory and the base name of a pack path. A pack path is a path on
// this host, not a data name: a '\' in it is part of a name and no separator.
static void SplitPackPath(const CGeString& packPath, CGeString& directory, CGeString& baseName)
{
    std::string path = packPath.c_str();
    size_t slash = path.rfind('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (slash == std::string::npos)
        directory = ".";
    else
        directory = slash == 0 ? "/" : path.substr(0, slash).c_str();
    size_t dot = name.rfind('.');
    baseName = (dot == std::string::npos ? name : name.substr(0, dot)).c_str();
}

uint32_t CHarvester::Init()
{
    if (g_packPath == s_mountedPackPath)
        return s_index.count;
    s_mountedPackPath = g_packPath;
    SetPackReader(&kPackReader);

    // A new pack path replaces whatever an earlier one mounted, even when
    // its directory cannot be entered.
    CGeString prefix;
    SplitPackPath(g_packPath, s_root, prefix);
    s_packs.Clear();
    s_index.Clear();
    {
        CSysCurrentDirectoryScope scope;
        if (!scope.Enter(s_root.c_str())) {
            GeTrace("CHarvester::Init: cannot enter '%s'", s_root.c_str());
            return 0;
        }
        ScanPacks(prefix);
    }
    for (uint32_t i = 0; i < s_packs.count; ++i)
        MountPack(i);
    return s_index.count;
}

bool CHarvester::MountSinglePack(const CGeString& packFile)
{
    Unmount();
    s_mountedPackPath = packFile;
    SetPackReader(&kPackReader);
    std::string path = packFile.c_str();
    CGeString baseName;
    SplitPackPath(packFile, s_root, baseName);
    s_packs.Add(CGeString(path.substr(path.rfind('/') + 1).c_str())); // npos + 1 is 0
    return MountPack(0);
}

void CHarvester::Unmount()
{
    s_index.Clear();
    s_packs.Clear();
    s_root.Release();
    s_mountedPackPath.Release();
}

CGeFileData& CHarvester::GetFile(CGeFileData& out, const char* path, bool reportMissing)
{
    out.path.Release();
    out.data = nullptr;
    out.size = 0;

    CGeString name = NormalizeName(path);
    auto* node = s_index.Find(name);
    if (!node) {
        if (reportMissing)
            GeTrace("File '%s' is not in the packs of '%s'", name.c_str(), s_mountedPackPath.c_str());
        return out;
    }
    const PackEntry entry = node->value;
    const CGeString& packName = s_packs[entry.packIndex];

    if (!s_file.Open(PackFilePath(entry.packIndex), GENERIC_READ, OPEN_EXISTING, nullptr)) {
        GE_ERROR_REPORT("Can't open multifile '%s'", packName.c_str());
        return out;
    }
    uint8_t* block = static_cast<uint8_t*>(malloc(entry.size ? entry.size : 1));
    if (!block) {
        s_file.Close();
        GE_ERROR_REPORT("CHarvester::GetFile is out of memory on file '%s' in '%s'", name.c_str(), packName.c_str());
        return out;
    }
    bool read = ReadRange(block, entry.offset, entry.size);
    int readError = LastErrorOr(EIO);
    s_file.Close();
    if (!read) {
        free(block);
        GE_ERROR_REPORT("Error %d while reading %s\rfrom %s", readError, name.c_str(), packName.c_str());
        return out;
    }

    uint32_t length = entry.size;
    uint8_t* data = DataPacker::Unpack(block, length);
    free(block);
    out.path = name;
    if (data) {
        out.data = data;
        out.size = length;
    }
    return out;
}

uint32_t CHarvester::HasFile(const char* path, bool& found)
{
    auto* node = s_index.Find(NormalizeName(path));
    found = node != nullptr;
    return node ? node->value.size : 0;
}

const CHarvester::Index& CHarvester::GetIndex()
{
    return s_index;
}

const CGeArray<CGeString>& CHarvester::GetPackList()
{
    return s_packs;
}
