// The clipboard, holding Unicode text (CF_UNICODETEXT: UTF-16 char16_t,
// zero-terminated) in memory blocks of the Global* family. Text is exchanged
// with the desktop through SDL as UTF-8; line ends are passed as they are.
// Public header of the platform layer.
#pragma once

#include <cstddef>

#include "Platform/Win32/WinTypes.h"

const UINT CF_TEXT = 1;
const UINT CF_UNICODETEXT = 13;

const UINT GMEM_FIXED = 0x0000;
const UINT GMEM_MOVEABLE = 0x0002;
const UINT GMEM_ZEROINIT = 0x0040;
const UINT GHND = GMEM_MOVEABLE | GMEM_ZEROINIT;

// Blocks are always zero-filled. Lock returns the block's bytes (null for an
// unknown handle); Free returns null on success and the handle on failure.
HGLOBAL GlobalAlloc(UINT flags, size_t bytes);
void* GlobalLock(HGLOBAL block);
BOOL GlobalUnlock(HGLOBAL block);
size_t GlobalSize(HGLOBAL block);
HGLOBAL GlobalFree(HGLOBAL block);

// FALSE when the clipboard is already open.
BOOL OpenClipboard(HWND owner);
// Frees the data handed out by GetClipboardData.
BOOL CloseClipboard();
BOOL EmptyClipboard();

// Takes ownership of a CF_UNICODETEXT block (read up to its terminator or its
// end; unpaired surrogates become U+FFFD) and publishes the text. Other
// formats are refused (null).
HANDLE SetClipboardData(UINT format, HANDLE data);
// A block of UTF-16 text with its terminator, valid until CloseClipboard;
// null when there is no text or the clipboard is not open.
HANDLE GetClipboardData(UINT format);
// TRUE for CF_UNICODETEXT while the clipboard holds non-empty text.
BOOL IsClipboardFormatAvailable(UINT format);
