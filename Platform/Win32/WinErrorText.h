// The thread's last Win32 error code and the system's text for a code, for the
// engine's error reports ("The system cannot find the file specified." ...).
// Public header of the platform layer.
#pragma once

#include <cstdarg>

#include "Platform/Win32/WinTypes.h"

const DWORD ERROR_SUCCESS = 0;
const DWORD ERROR_INVALID_FUNCTION = 1;
const DWORD ERROR_FILE_NOT_FOUND = 2;
const DWORD ERROR_PATH_NOT_FOUND = 3;
const DWORD ERROR_TOO_MANY_OPEN_FILES = 4;
const DWORD ERROR_ACCESS_DENIED = 5;
const DWORD ERROR_INVALID_HANDLE = 6;
const DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
const DWORD ERROR_OUTOFMEMORY = 14;
const DWORD ERROR_NO_MORE_FILES = 18;
const DWORD ERROR_SHARING_VIOLATION = 32;
const DWORD ERROR_HANDLE_EOF = 38;
const DWORD ERROR_INVALID_PARAMETER = 87;
const DWORD ERROR_DISK_FULL = 112;
const DWORD ERROR_INSUFFICIENT_BUFFER = 122;
const DWORD ERROR_ALREADY_EXISTS = 183;
const DWORD ERROR_MR_MID_NOT_FOUND = 317;
const DWORD ERROR_INVALID_WINDOW_HANDLE = 1400;
const DWORD ERROR_CANNOT_FIND_WND_CLASS = 1407;
const DWORD ERROR_CLASS_ALREADY_EXISTS = 1410;
const DWORD ERROR_CLIPBOARD_NOT_OPEN = 1418;

const DWORD FORMAT_MESSAGE_ALLOCATE_BUFFER = 0x00000100;
const DWORD FORMAT_MESSAGE_IGNORE_INSERTS = 0x00000200;
const DWORD FORMAT_MESSAGE_FROM_STRING = 0x00000400;
const DWORD FORMAT_MESSAGE_FROM_HMODULE = 0x00000800;
const DWORD FORMAT_MESSAGE_FROM_SYSTEM = 0x00001000;

// Per thread, as on Win32. The window layer sets it when a call fails.
DWORD GetLastError();
void SetLastError(DWORD code);

// Only the system message table is known (FORMAT_MESSAGE_FROM_SYSTEM); the
// language and the inserts are ignored. Copies the code's text, which ends in
// "\r\n" like the system's, and returns its length. Returns 0 and leaves the
// buffer untouched when the code has no text (ERROR_MR_MID_NOT_FOUND) or the
// text does not fit with its terminator (ERROR_INSUFFICIENT_BUFFER).
DWORD FormatMessageA(DWORD flags, const void* source, DWORD messageId, DWORD languageId,
                     char* buffer, DWORD size, va_list* arguments);
