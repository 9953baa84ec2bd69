// Files and directories on POSIX, as the engine's file layer needs them.
//
// The game's data names are lower-case with '/' separators, but a data tree
// copied from elsewhere may hold "Gui/Gui_Res.XML". On a case-sensitive file
// system the loose-file layer therefore resolves a name component by
// component, whatever the case of each component on disk.
// Public header of the platform layer.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Turns every '\' into '/' (data paths are written with either).
std::string SysNormalizeSeparators(const char* path);

// Finds the file or directory that `path` names. A path that exists exactly
// as given is taken as it is (a host path may hold a '\' inside a name);
// otherwise every '\' is a separator and each component is matched
// case-insensitively (ASCII letters) when the exact name does not exist.
// An exact match of a component is preferred; among case variants the first
// in byte order wins. Returns false when nothing matches.
bool SysResolvePathNoCase(const char* path, std::string* resolved);

// Opens an existing file (not a directory) for reading, resolving its name
// as above. Returns the descriptor, or -1 with errno set.
int SysOpenForRead(const char* path);

// Reads or writes exactly `count` bytes, retrying after interruptions and
// partial transfers. A short transfer (end of file, full disk) is a failure;
// errno is then EIO unless the system gave a more precise error.
bool SysReadFully(int fd, void* buffer, size_t count);
bool SysWriteFully(int fd, const void* buffer, size_t count);

// Size of an open file, or -1.
long long SysFileSize(int fd);

struct SysDirEntry {
    std::string name;
    bool isDirectory;
};

// The entries of a directory other than "." and "..", sorted by name in
// unsigned byte order so that every listing is deterministic. False when the
// directory cannot be opened.
bool SysListDirectory(const char* directory, std::vector<SysDirEntry>* entries);

// Changes the process's current directory for the lifetime of the object and
// changes it back on every way out, errors and exceptions included.
class CSysCurrentDirectoryScope {
public:
    CSysCurrentDirectoryScope();
    ~CSysCurrentDirectoryScope();
    CSysCurrentDirectoryScope(const CSysCurrentDirectoryScope&) = delete;
    CSysCurrentDirectoryScope& operator=(const CSysCurrentDirectoryScope&) = delete;

    // Enters `directory` (resolved as above). False when it cannot be entered;
    // the current directory is then unchanged.
    bool Enter(const char* directory);

private:
    int savedDirectory; // descriptor of the directory to return to, or -1
};
