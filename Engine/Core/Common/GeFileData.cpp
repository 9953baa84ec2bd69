#include "Engine/Core/Common/GeFileData.h"

#include "Engine/Core/Common/GeLog.h"
#include "Platform/System/PosixFiles.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>

CGeString g_packPath;

static const CGePackReader* s_packReader = nullptr;

void SetPackReader(const CGePackReader* reader)
{
    s_packReader = reader;
}

static bool PackMode()
{
    return g_packPath.length != 0;
}

CGeFileData LoadFileData(const char* path, bool reportMissing)
{
    CGeFileData record;
    if (!PackMode())
        return ReadWholeFile(path, reportMissing);
    if (s_packReader)
        return s_packReader->getFile(record, path, reportMissing);
    if (reportMissing)
        GeTrace("File '%s': no pack is mounted", path);
    return record;
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
    found = false;
    if (PackMode())
        return s_packReader ? s_packReader->hasFile(path, found) : 0;

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
        if (s_packReader)
            s_packReader->collectFiles(CGeString(prefix.c_str()), output);
        return;
    }
    // The walk goes by path rather than by changing the current directory,
    // so the process's current directory is never touched.
    std::string onDisk;
    if (SysResolvePathNoCase(prefix.c_str(), &onDisk))
        CollectFromDisk(onDisk, "", output);
}
