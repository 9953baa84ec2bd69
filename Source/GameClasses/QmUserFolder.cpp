#include "Source/GameClasses/QmUserFolder.h"

#include "Engine/Core/Common/GeFileData.h"
#include "Platform/Win32/WinShell.h"

#include <cstdio>
#include <cstring>
#include <string>

char g_userFolder[kUserFolderSize];

namespace {

const char kFolderName[] = "qasimar";

// base + "/qasimar" into g_userFolder; false when it does not fit.
bool ComposeFolder(const char* base)
{
    size_t length = strlen(base);
    if (length > 0 && (base[length - 1] == '\\' || base[length - 1] == '/'))
        --length;
    if (length + 1 + sizeof(kFolderName) > kUserFolderSize)
        return false;
    memmove(g_userFolder, base, length);
    g_userFolder[length] = '/';
    memcpy(g_userFolder + length + 1, kFolderName, sizeof(kFolderName));
    return true;
}

} // namespace

const char* GetUserDataFolder()
{
    char base[MAX_PATH];
    bool composed = false;
    if (SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, base) == S_OK)
        composed = ComposeFolder(base);
    if (!composed) {
        const DWORD length = GetCurrentDirectoryA(MAX_PATH, base);
        composed = length > 0 && length < MAX_PATH && ComposeFolder(base);
    }
    if (!composed)
        memcpy(g_userFolder, kFolderName, sizeof(kFolderName));
    CreateDirectoryA(g_userFolder, nullptr);
    return g_userFolder;
}

bool QmReplaceFile(const char* path, const void* data, uint32_t size)
{
    const std::string temporary = std::string(path) + ".tmp";
    CGeFileData record;
    record.path = temporary.c_str();
    record.data = (uint8_t*)data;
    record.size = size;
    const bool written = WriteWholeFile(record);
    record.data = nullptr; // not ours to free
    if (!written || rename(temporary.c_str(), path) != 0) {
        remove(temporary.c_str());
        return false;
    }
    return true;
}
