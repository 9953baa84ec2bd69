#include "Engine/Core/Common/GePath.h"

#include "Engine/Core/Common/GeLog.h"
#include "Platform/System/PosixFiles.h"

#include <cstring>
#include <strings.h>
#include <unistd.h>

CGeString DataRootPrefix;

namespace {

CGeString ForwardSlashes(const CGeString& path)
{
    return CGeString::ReplaceAll(path, "\\", "/");
}

// The index of the last '\' or '/', or -1; index 0 counts.
int32_t LastSeparator(const CGeString& path)
{
    for (uint32_t i = path.length; i-- > 0;) {
        if (path.data[i] == '\\' || path.data[i] == '/')
            return (int32_t)i;
    }
    return -1;
}

} // namespace

CGeString GetPathBaseName(const CGeString& path)
{
    if (path.IsEmpty())
        return CGeString();
    int32_t backslash = CGeString::FindLastOf(path, "\\");
    int32_t slash = CGeString::FindLastOf(path, "/");
    int32_t separator = backslash > slash ? backslash : slash;
    int32_t dot = CGeString::FindLastOf(path, ".");
    if (separator < 0)
        return dot < 0 ? path : path.Mid(0, (uint32_t)dot);
    uint32_t start = (uint32_t)separator + 1;
    uint32_t end = dot < separator ? path.length : (uint32_t)dot;
    return path.Mid(start, end - start);
}

CGeString GetPathExtension(const CGeString& path)
{
    const char* dot = strrchr(path.c_str(), '.');
    return dot ? CGeString(dot + 1) : CGeString();
}

CGeString GetPathDirectory(const CGeString& path)
{
    int32_t separator = LastSeparator(path);
    if (separator < 0)
        return CGeString(".");
    return ForwardSlashes(path.Mid(0, (uint32_t)separator));
}

bool IsPathUnderBase(const CGeString& path)
{
    if (path.length < DataRootPrefix.length)
        return false;
    CGeString normalized = ForwardSlashes(path);
    return strncasecmp(normalized.c_str(), DataRootPrefix.c_str(), DataRootPrefix.length) == 0;
}

CGeString GetPathRelativeToBase(const CGeString& path)
{
    if (!IsPathUnderBase(path))
        return CGeString();
    return ForwardSlashes(path.Mid(DataRootPrefix.length, path.length - DataRootPrefix.length));
}

CGeString ResolveDirectoryPath(const CGeString& path)
{
    const char* text = path.c_str();
    bool driveLetter = path.length >= 2 && text[1] == ':';
    bool doubleSlash = (text[0] == '/' && text[1] == '/') || (text[0] == '\\' && text[1] == '\\');
    if (driveLetter || doubleSlash)
        return path;

    char resolved[2048] = {};
    {
        // Enter the directory and read where that is; the scope returns to
        // the current directory on the way out.
        CSysCurrentDirectoryScope scope;
        std::string target = SysNormalizeSeparators(path.IsEmpty() ? "." : text);
        if (!scope.Enter(target.c_str()))
            GeTrace("ResolveDirectoryPath: can't enter %s\n", target.c_str());
        if (!getcwd(resolved, sizeof(resolved) - 1)) {
            GeTrace("ResolveDirectoryPath: can't read the current directory\n");
            resolved[0] = 0;
        }
    }

    CGeString result = ForwardSlashes(CGeString(resolved));
    if (result.IsEmpty() || result.c_str()[result.length - 1] != '/')
        result.Append("/");
    return result;
}
