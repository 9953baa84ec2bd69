#include "Engine/Core/Common/Gc/FileWrapper.h"

#include "Engine/Core/Common/GeError.h"
#include "Platform/System/PosixFiles.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

bool CFileWrapper::Open(const CGeString& newPath, uint32_t access, uint32_t creation, uint32_t* error)
{
    Close();
    if (error)
        *error = 0;
    path = newPath;

    const bool reading = (access & GENERIC_READ) != 0;
    const bool writing = (access & GENERIC_WRITE) != 0;
    int flags = O_CLOEXEC | (reading && writing ? O_RDWR : writing ? O_WRONLY : O_RDONLY);
    switch (creation) {
    case CREATE_NEW: flags |= O_CREAT | O_EXCL; break;
    case CREATE_ALWAYS: flags |= O_CREAT | O_TRUNC; break;
    case OPEN_ALWAYS: flags |= O_CREAT; break;
    default: break; // OPEN_EXISTING
    }

    // Reading takes a path that exists as given before its '\' separators
    // are turned round (a pack's host path may hold one in a folder name).
    if (flags == (O_CLOEXEC | O_RDONLY))
        handle = SysOpenForRead(path.c_str());
    else
        handle = open(SysNormalizeSeparators(path.c_str()).c_str(), flags, 0644);
    if (handle < 0) {
        lastError = static_cast<uint32_t>(errno);
        if (error)
            *error = lastError;
        return false;
    }
    return true;
}

void CFileWrapper::Close()
{
    if (handle >= 0)
        close(handle);
    handle = -1;
    lastError = 0;
    path.Release();
}

uint32_t CFileWrapper::Read(void* buffer, uint32_t count)
{
    if (handle < 0)
        GE_ERROR_REPORT("File %s is invalid", path.c_str());
    uint32_t total = 0;
    while (total < count) {
        ssize_t got = read(handle, static_cast<char*>(buffer) + total, count - total);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            GE_ERROR_REPORT("File %s: error %d while reading data", path.c_str(), errno);
            break;
        }
        if (got == 0)
            break;
        total += static_cast<uint32_t>(got);
    }
    return total;
}

uint32_t CFileWrapper::GetSize()
{
    if (handle < 0) {
        GE_ERROR_REPORT("File %s is invalid", path.c_str());
        return 0xFFFFFFFFu;
    }
    long long size = SysFileSize(handle);
    if (size < 0 || size >= 0xFFFFFFFFll)
        return 0xFFFFFFFFu;
    return static_cast<uint32_t>(size);
}

int64_t CFileWrapper::Seek(int64_t distance, uint32_t method)
{
    if (handle < 0)
        GE_ERROR_REPORT("File %s is invalid", path.c_str());
    int whence = method == FILE_END ? SEEK_END : method == FILE_CURRENT ? SEEK_CUR : SEEK_SET;
    return lseek(handle, distance, whence);
}
