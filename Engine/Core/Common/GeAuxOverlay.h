// The debug information overlay: a registry of named debug variables, each
// bound to a variable of the program, whose values are watched while the game
// runs. A value is announced when it is registered and again whenever it
// changes; announcements go to a message output that filters by channel.
//
// Registration, removal and printing work only while the game runs windowed
// or before the device settings exist: a full-screen game watches nothing.
#pragma once

#include "Engine/Core/Common/GeArray.h"
#include "Engine/Core/Common/GeString.h"
#include "Engine/Core/Common/GeValue.h"
#include "Platform/Win32/WinTypes.h"

namespace AuxOverlay {

// Watches the variable behind binding under name, replacing an earlier
// registration of that name, and announces its current value.
void RegisterVariable(const GeValueBinding& binding, const char* name);

// Once per frame: announces every watched value that changed, in name order.
void Update();

// Stops watching name; true when it was registered.
bool RemoveVariable(const char* name);

// Formats a message (at most 4095 characters) and passes it to the output
// when the tag's channel gets through the filter. Always returns false.
bool Print(const char* tag, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;

// The channel of a tag: the text between a leading '@' and the next '@' (at
// most 99 characters), "none" for any other tag.
CGeString ChannelOfTag(const CGeString& tag);

// Asks the device window, when there is one, to close (WM_CLOSE).
void CloseDeviceWindow();
// The device layer names its window here while it exists (null afterwards).
void SetDeviceWindow(HWND window);

// Where passed messages go (tag's channel, message). The game has no display
// for them; null, the default, drops them.
typedef void (*OutputFunction)(const char* channel, const char* message);
OutputFunction SetOutput(OutputFunction output);

// The channels that get through; empty lets everything through, and "all"
// (in any case) does too. Nothing in the game fills it.
extern CGeArray<CGeString> channelFilter;

// True while name is watched.
bool IsRegistered(const char* name);

} // namespace AuxOverlay

// The close command, held where a debug console could reach it.
extern void (*g_auxCloseDeviceWindow)();
