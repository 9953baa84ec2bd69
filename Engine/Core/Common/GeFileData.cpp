#include "Engine/Core/Common/GeFileData.h"

#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Pack/Harvester.h"
#include "Platform/System/PosixFiles.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>

CGeString g_packPath;

static bool PackMode()
{
    return g_packPath.length != 0;
}

CGeFileData LoadFileData(const char* path, bool reportMissing)
{
    CGeFileData record;
    if (PackMode())
        return CHarvester::GetFile(record, path, reportMissing);
    return ReadWholeFile(path, reportMissing);
}

CGeFileData ReadWholeFile(const char* path, bool reportMissing)
{
    CGeFileData record;
    record.path = path;
    int fd = SysOpenForRead(path);
    if (fd < 0) {
        if (reportMissing)
            GeTrace("File '%s' not found", path);
        return record;
    }

    long long size = SysFileSize(fd);
    if (size > 0 && size <= 0xFFFFFFFFll) {
        uint8_t* buffer = static_cast<uint8_t*>(malloc(static_cast<size_t>(size)));
        if (buffer && SysReadFully(fd, buffer, static_cast<size_t>(size))) {
            record.data = buffer;
            record.size = static_cast<uint32_t>(size);
        } else {
            free(buffer);
        }
    }
    close(fd);
    return record;
}

void FreeFileData(CGeFileData& record)
{
    free(record.data);
    record.data = nullptr;
    record.size = 0;
    record.path.Release();
}

uint32_t QueryFileSize(const char* path, bool& found)
{
    if (PackMode())
        return CHarvester::HasFile(path, found);

    found = false;
    int fd = SysOpenForRead(path);
    if (fd < 0)
        return 0;
    long long size = SysFileSize(fd);
    close(fd);
    if (size < 0)
        return 0;
    found = true;
    return size > 0xFFFFFFFFll ? 0xFFFFFFFFu : static_cast<uint32_t>(size);
}

// Creates the file, finding an existing directory whatever its case.
static int CreateForWrite(const std::string& path)
{
    const int flags = O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC;
    int fd = open(path.c_str(), flags, 0644);
    size_t slash = path.rfind('/');
    if (fd >= 0 || errno != ENOENT || slash == std::string::npos || slash == 0)
        return fd;
    std::string directory;
    if (!SysResolvePathNoCase(path.substr(0, slash).c_str(), &directory))
        return -1;
    return open((directory + path.substr(slash)).c_str(), flags, 0644);
}

bool WriteWholeFile(CGeFileData record)
{
    if (!record.data && record.size != 0)
        return false;
    int fd = CreateForWrite(SysNormalizeSeparators(record.path.c_str()));
    if (fd < 0)
        return false;
    bool written = SysWriteFully(fd, record.data, record.size);
    return close(fd) == 0 && written;
}

// ASCII-only case folding: bytes above 0x7F compare as themselves.
static bool EqualsNoCaseAscii(const char* a, const char* b, uint32_t count)
{
    for (uint32_t i = 0; i < count; ++i) {
        char ca = a[i] >= 'A' && a[i] <= 'Z' ? static_cast<char>(a[i] + 32) : a[i];
        char cb = b[i] >= 'A' && b[i] <= 'Z' ? static_cast<char>(b[i] + 32) : b[i];
        if (ca != cb)
            return false;
    }
    return true;
}

static void CollectFromPacks(const CGeString& prefix, CGeArray<CGeString>& output)
{
    const uint32_t n = prefix.length;
    const CHarvester::Index& index = CHarvester::GetIndex();
    for (auto* node = index.first; node; node = index.Next(node)) {
        const CGeString& name = node->key;
        // The name must continue with a separator after the prefix, so that
        // "dialog_system" lists neither "dialog_system2/x" nor itself.
        if (name.length > n + 1 && name.data[n] == '/' && EqualsNoCaseAscii(name.data, prefix.data, n))
            output.Add(CGeString(name.data + n + 1));
    }
}

static void AddListedFile(const std::string& relative, CGeArray<CGeString>& output)
{
    CGeString name(relative.substr(0, 511).c_str());
    output.Add(ToLowerString(name));
}

static void CollectFromDisk(const std::string& directory, const std::string& relative, CGeArray<CGeString>& output)
{
    std::vector<SysDirEntry> entries;
    if (!SysListDirectory(directory.c_str(), &entries))
        return;
    for (const SysDirEntry& entry : entries) {
        std::string path = directory + "/" + entry.name;
        std::string inner = relative.empty() ? entry.name : relative + "/" + entry.name;
        if (entry.isDirectory) {
            if (entry.name != "_svn" && entry.name != ".svn")
                CollectFromDisk(path, inner, output);
            continue;
        }
        int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            continue;
        long long size = SysFileSize(fd);
        close(fd);
        if (size > 0)
            AddListedFile(inner, output);
    }
}

void CollectFileList(const CGeString& directory, CGeArray<CGeString>& output)
{
    output.Clear();
    if (directory.length == 0)
        return;
    std::string prefix = SysNormalizeSeparators(directory.c_str());
    if (PackMode()) {
        CollectFromPacks(CGeString(prefix.c_str()), output);
        return;
    }
    // The walk goes by path rather than by changing the current directory,
    // so the process's current directory is never touched.
    std::string onDisk;
    if (SysResolvePathNoCase(prefix.c_str(), &onDisk))
        CollectFromDisk(onDisk, "", output);
}
