// The handful of Win32 scalar and handle types that the engine's window, input and
// error code is written against. Sizes follow Win32 where our data or messages
// depend on them; handles are pointer-sized.
// Public header of the platform layer.
#pragma once

#include <cstdint>

typedef int32_t BOOL;
typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef uint32_t UINT;
typedef int32_t HRESULT;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;
typedef int16_t SHORT;
typedef uint16_t ATOM;
typedef intptr_t LONG_PTR;
typedef uintptr_t ULONG_PTR;
typedef const char* LPCSTR;
typedef char* LPSTR;
typedef void* HANDLE;
typedef HANDLE HGLOBAL;

struct HWND__;
typedef HWND__* HWND;
struct HINSTANCE__;
typedef HINSTANCE__* HINSTANCE;
struct HDC__;
typedef HDC__* HDC;
struct HCURSOR__;
typedef HCURSOR__* HCURSOR;
struct HICON__;
typedef HICON__* HICON;
struct HMENU__;
typedef HMENU__* HMENU;
struct HBRUSH__;
typedef HBRUSH__* HBRUSH;
typedef HINSTANCE HMODULE;

#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};

struct POINT {
    LONG x;
    LONG y;
};

#define LOWORD(l) ((WORD)(((uintptr_t)(l)) & 0xFFFF))
#define HIWORD(l) ((WORD)((((uintptr_t)(l)) >> 16) & 0xFFFF))
#define MAKELONG(a, b) ((LONG)(((WORD)((uintptr_t)(a) & 0xFFFF)) | ((DWORD)((WORD)((uintptr_t)(b) & 0xFFFF))) << 16))
#define MAKELPARAM(l, h) ((LPARAM)(DWORD)MAKELONG(l, h))
#define MAKEWPARAM(l, h) ((WPARAM)(DWORD)MAKELONG(l, h))

// Integer resource identifiers passed where a name is expected (IDC_ARROW ...).
#define MAKEINTRESOURCEA(i) ((LPSTR)(uintptr_t)(WORD)(i))
