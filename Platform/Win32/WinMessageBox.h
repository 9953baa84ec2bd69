// The modal system message box, shown through SDL. The engine's fatal-error
// report asks Abort/Retry/Ignore with the stop icon.
// Public header of the platform layer.
#pragma once

#include "Platform/Win32/WinTypes.h"

// Buttons (low nibble of the type).
const UINT MB_OK = 0x00000000;
const UINT MB_OKCANCEL = 0x00000001;
const UINT MB_ABORTRETRYIGNORE = 0x00000002;
const UINT MB_YESNOCANCEL = 0x00000003;
const UINT MB_YESNO = 0x00000004;
const UINT MB_RETRYCANCEL = 0x00000005;
const UINT MB_CANCELTRYCONTINUE = 0x00000006;
const UINT MB_TYPEMASK = 0x0000000F;

// Icons (second nibble).
const UINT MB_ICONHAND = 0x00000010;
const UINT MB_ICONSTOP = MB_ICONHAND;
const UINT MB_ICONERROR = MB_ICONHAND;
const UINT MB_ICONQUESTION = 0x00000020;
const UINT MB_ICONEXCLAMATION = 0x00000030;
const UINT MB_ICONWARNING = MB_ICONEXCLAMATION;
const UINT MB_ICONASTERISK = 0x00000040;
const UINT MB_ICONINFORMATION = MB_ICONASTERISK;
const UINT MB_ICONMASK = 0x000000F0;

// Results; 0 means the box could not be shown.
const int IDOK = 1;
const int IDCANCEL = 2;
const int IDABORT = 3;
const int IDRETRY = 4;
const int IDIGNORE = 5;
const int IDYES = 6;
const int IDNO = 7;
const int IDTRYAGAIN = 10;
const int IDCONTINUE = 11;

// Text and caption are Windows-1251 text. The owner is ignored: the box is
// always top-level. Returns the pressed button's ID*, or 0 when no box could
// be shown (headless video driver, no display, box closed by the window
// manager); the caption and text then go to stderr. Never blocks headless.
int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type);
