// The shell and folder calls of the program's start-up: the user's local
// application-data folder, the current directory, folder creation and the
// program's own file.
//
// The local application-data folder is $XDG_DATA_HOME when that is set to an
// absolute path, else $HOME/.local/share (the XDG base-directory rules).
// Public header of the platform layer.
#pragma once

#include "Platform/Win32/WinTypes.h"

const DWORD MAX_PATH = 260;

const int CSIDL_LOCAL_APPDATA = 0x001c;
const HRESULT S_OK = 0;
const HRESULT E_FAIL = (HRESULT)0x80004005;
const HRESULT E_INVALIDARG = (HRESULT)0x80070057;

// Writes the folder's path (at most MAX_PATH bytes with the terminator) into
// path, making the folder and its missing parents (0700) first. S_OK on
// success; E_FAIL when the folder cannot be named or its path
// does not fit; E_INVALIDARG for any folder other than CSIDL_LOCAL_APPDATA.
// window, token and flags are ignored.
HRESULT SHGetFolderPathA(HWND window, int folder, HANDLE token, DWORD flags, char* path);

// The current directory into buffer (size bytes with the terminator). Returns
// its length; when it does not fit, the size needed (terminator included) and
// the buffer is untouched; 0 on failure.
DWORD GetCurrentDirectoryA(DWORD size, char* buffer);
BOOL SetCurrentDirectoryA(const char* path);

// Creates one directory (mode 0777 before the umask). FALSE when it exists
// already or cannot be made; GetLastError is not kept.
BOOL CreateDirectoryA(const char* path, void* securityAttributes);

// The program's own file, read from /proc/self/exe (module must be null).
// Returns the length copied, cut to size - 1 with the terminator; 0 on failure.
DWORD GetModuleFileNameA(HMODULE module, char* buffer, DWORD size);
