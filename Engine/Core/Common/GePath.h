// Path operations on engine strings. Paths inside the engine use '/'; every
// operation that normalises a path turns '\' into '/'.
#pragma once

#include "Engine/Core/Common/GeString.h"

// Put before every data path; start-up sets it to "", so that every path is
// under the base and relative to it as it is.
extern CGeString DataRootPrefix;

// "Gui/gui_res.xml" gives "gui_res": no directory, no extension. A separator
// or '.' at index 0 is not seen (CGeString::FindLastOf).
CGeString GetPathBaseName(const CGeString& path);

// The text after the last '.', or "".
CGeString GetPathExtension(const CGeString& path);

// The text before the last separator with '/' separators; "." when the path
// has no separator.
CGeString GetPathDirectory(const CGeString& path);

// Whether the path begins with DataRootPrefix (ASCII case ignored).
bool IsPathUnderBase(const CGeString& path);

// The rest of the path after DataRootPrefix with '/' separators; "" when the
// path is not under it.
CGeString GetPathRelativeToBase(const CGeString& path);

// The absolute form of a directory with '/' separators and a final '/'.
// "C:..." and paths that begin with two slashes count as absolute already and
// are returned unchanged; an empty path means the current directory. A
// directory that cannot be entered resolves to the current directory.
CGeString ResolveDirectoryPath(const CGeString& path);
