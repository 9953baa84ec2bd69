#include "Platform/Win32/WinSdl.h"

void WinSuspendCursorClip()
{
}

void WinResumeCursorClip()
{
}
