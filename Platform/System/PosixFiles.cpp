#include "Platform/System/PosixFiles.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

std::string SysNormalizeSeparators(const char* path)
{
    std::string result(path ? path : "");
    std::replace(result.begin(), result.end(), '\\', '/');
    return result;
}

static bool PathExists(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

// The entry of `directory` whose name equals `name` apart from ASCII case.
static bool FindNoCase(const std::string& directory, const std::string& name, std::string* found)
{
    std::vector<SysDirEntry> entries;
    if (!SysListDirectory(directory.empty() ? "." : directory.c_str(), &entries))
        return false;
    for (const SysDirEntry& entry : entries) {
        if (strcasecmp(entry.name.c_str(), name.c_str()) == 0) {
            *found = entry.name;
            return true;
        }
    }
    return false;
}

bool SysResolvePathNoCase(const char* path, std::string* resolved)
{
    // A host path may hold a '\' in a name: what exists as given is taken
    // as given.
    if (path && path[0] && PathExists(path)) {
        *resolved = path;
        return true;
    }
    std::string wanted = SysNormalizeSeparators(path);
    if (wanted.empty())
        return false;
    if (PathExists(wanted)) {
        *resolved = wanted;
        return true;
    }

    std::string result = wanted[0] == '/' ? "/" : "";
    size_t start = 0;
    while (start <= wanted.size()) {
        size_t end = wanted.find('/', start);
        if (end == std::string::npos)
            end = wanted.size();
        std::string component = wanted.substr(start, end - start);
        start = end + 1;
        if (component.empty())
            continue;

        std::string directory = result;
        std::string candidate = directory + component;
        if (component != "." && component != ".." && !PathExists(candidate)) {
            std::string onDisk;
            if (!FindNoCase(directory, component, &onDisk))
                return false;
            candidate = directory + onDisk;
        }
        result = candidate;
        if (start <= wanted.size())
            result += '/';
    }
    *resolved = result;
    return true;
}

// A directory opens for reading on POSIX but is no file to read.
static int RefuseDirectory(int fd)
{
    struct stat info;
    if (fd >= 0 && fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
        close(fd);
        errno = EISDIR;
        return -1;
    }
    return fd;
}

int SysOpenForRead(const char* path)
{
    std::string name = path ? path : "";
    int fd = open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 && (errno == ENOENT || errno == ENOTDIR) && name.find('\\') != std::string::npos) {
        name = SysNormalizeSeparators(path);
        fd = open(name.c_str(), O_RDONLY | O_CLOEXEC);
    }
    if (fd >= 0 || errno != ENOENT)
        return RefuseDirectory(fd);
    std::string resolved;
    if (!SysResolvePathNoCase(name.c_str(), &resolved)) {
        errno = ENOENT;
        return -1;
    }
    return RefuseDirectory(open(resolved.c_str(), O_RDONLY | O_CLOEXEC));
}

// Calls transfer (read or write) until count bytes have moved; a call that
// moves nothing ends the loop as a failure.
template <typename Byte, typename Transfer>
static bool TransferFully(int fd, Byte* at, size_t count, Transfer transfer)
{
    while (count > 0) {
        ssize_t moved = transfer(fd, at, count);
        if (moved < 0 && errno == EINTR)
            continue;
        if (moved <= 0) {
            if (moved == 0)
                errno = EIO;
            return false;
        }
        at += moved;
        count -= static_cast<size_t>(moved);
    }
    return true;
}

bool SysReadFully(int fd, void* buffer, size_t count)
{
    return TransferFully(fd, static_cast<char*>(buffer), count, read);
}

bool SysWriteFully(int fd, const void* buffer, size_t count)
{
    return TransferFully(fd, static_cast<const char*>(buffer), count, write);
}

long long SysFileSize(int fd)
{
    struct stat info;
    if (fstat(fd, &info) != 0)
        return -1;
    return static_cast<long long>(info.st_size);
}

bool SysListDirectory(const char* directory, std::vector<SysDirEntry>* entries)
{
    entries->clear();
    DIR* dir = opendir(directory);
    if (!dir)
        return false;
    int dirFd = dirfd(dir);
    while (struct dirent* entry = readdir(dir)) {
        if (strcmp(entry->d_name, ".") == 0 || strcmp(entry->d_name, "..") == 0)
            continue;
        bool isDirectory = entry->d_type == DT_DIR;
        if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
            struct stat info;
            isDirectory = fstatat(dirFd, entry->d_name, &info, 0) == 0 && S_ISDIR(info.st_mode);
        }
        entries->push_back({entry->d_name, isDirectory});
    }
    closedir(dir);
    std::sort(entries->begin(), entries->end(),
              [](const SysDirEntry& a, const SysDirEntry& b) { return strcmp(a.name.c_str(), b.name.c_str()) < 0; });
    return true;
}

CSysCurrentDirectoryScope::CSysCurrentDirectoryScope()
    : savedDirectory(-1)
{
}

CSysCurrentDirectoryScope::~CSysCurrentDirectoryScope()
{
    if (savedDirectory >= 0) {
        // Nothing sensible is left to do when the way back has vanished.
        if (fchdir(savedDirectory) != 0) {
        }
        close(savedDirectory);
    }
}

bool CSysCurrentDirectoryScope::Enter(const char* directory)
{
    std::string target;
    if (!SysResolvePathNoCase(directory, &target))
        return false;
    if (savedDirectory < 0) {
        savedDirectory = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (savedDirectory < 0)
            return false;
    }
    return chdir(target.c_str()) == 0;
}
