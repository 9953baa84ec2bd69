#include "Platform/Win32/WinShell.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

bool CopyPath(const std::string& text, char* out, size_t size)
{
    if (text.empty() || text.size() + 1 > size)
        return false;
    memcpy(out, text.c_str(), text.size() + 1);
    return true;
}

// Makes the folder and any missing parents, private to the user as XDG asks;
// Windows always has the local application data folder, a fresh Linux account
// (or a $XDG_DATA_HOME pointed somewhere new) may not, and the settings and
// save slots would then fail to write.
void MakeFolders(const std::string& path)
{
    for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1))
        mkdir(path.substr(0, slash).c_str(), 0700);
    mkdir(path.c_str(), 0700);
}

} // namespace

HRESULT SHGetFolderPathA(HWND, int folder, HANDLE, DWORD, char* path)
{
    if (folder != CSIDL_LOCAL_APPDATA || !path)
        return E_INVALIDARG;
    // XDG: a relative $XDG_DATA_HOME is invalid and ignored.
    const char* dataHome = getenv("XDG_DATA_HOME");
    if (dataHome && dataHome[0] == '/') {
        MakeFolders(dataHome);
        return CopyPath(dataHome, path, MAX_PATH) ? S_OK : E_FAIL;
    }
    const char* home = getenv("HOME");
    if (!home || home[0] != '/')
        return E_FAIL;
    std::string local = std::string(home);
    if (local.back() != '/')
        local += '/';
    local += ".local/share";
    MakeFolders(local);
    return CopyPath(local, path, MAX_PATH) ? S_OK : E_FAIL;
}

DWORD GetCurrentDirectoryA(DWORD size, char* buffer)
{
    char* current = getcwd(nullptr, 0);
    if (!current)
        return 0;
    const size_t length = strlen(current);
    DWORD result = (DWORD)length;
    if (buffer && length + 1 <= size)
        memcpy(buffer, current, length + 1);
    else
        result = (DWORD)(length + 1);
    free(current);
    return result;
}

BOOL SetCurrentDirectoryA(const char* path)
{
    return path && chdir(path) == 0;
}

BOOL CreateDirectoryA(const char* path, void*)
{
    return path && mkdir(path, 0777) == 0;
}

DWORD GetModuleFileNameA(HMODULE module, char* buffer, DWORD size)
{
    if (module || !buffer || size == 0)
        return 0;
    char target[4096];
    const ssize_t length = readlink("/proc/self/exe", target, sizeof(target) - 1);
    if (length <= 0)
        return 0;
    const size_t copied = (size_t)length < size - 1 ? (size_t)length : size - 1;
    memcpy(buffer, target, copied);
    buffer[copied] = '\0';
    return (DWORD)copied;
}
