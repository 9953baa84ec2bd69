#include "Engine/Core/Common/GeError.h"

#include "Engine/Core/Common/GeFormat.h"
#include "Platform/Win32/WinMessageBox.h"

#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const char kBoxTitle[] = "GE Error Handling";
const char kBoxQuestion[] = "Press ABORT to end the program, RETRY to debug, IGNORE to throw the error.";

int ShowSystemErrorBox(const char* text, const char* caption)
{
    return MessageBoxA(nullptr, text, caption, MB_ABORTRETRYIGNORE | MB_ICONSTOP);
}

GeErrorBoxFunction g_errorBoxFunction = ShowSystemErrorBox;

} // namespace

CGeError::CGeError(const CGeString& file, int32_t line, const CGeString& message)
    : file(file), line(line), message(message)
{
}

CGeString CGeError::Format(const char* format, ...)
{
    char text[512] = {};
    va_list args;
    va_start(args, format);
    int length = vsnprintf(text, sizeof(text), format, args);
    va_end(args);
    if (length < 0 || length >= (int)sizeof(text))
        return CGeString();
    return CGeString(text);
}

CGeString GeErrorText(const CGeError& error)
{
    CGeString text = FormatString("An error has occurred.\r\n\r\nError: %s \r\nFile: %s\r\n  Line: %d\r\n ",
                                  error.message.c_str(), error.file.c_str(), error.line);
    if (!error.reason.IsEmpty()) {
        text.Append("Reason: ");
        text.Append(error.reason.c_str());
    }
    text.Append("\r\n");
    return text;
}

bool GeErrorReport(const CGeString& message, const CGeString& file, int32_t line)
{
    CGeError error(file, line, message);
    CGeString text = GeErrorText(error);
    text.Append(kBoxQuestion);

    switch (g_errorBoxFunction(text.c_str(), kBoxTitle)) {
    case IDABORT:
        exit(-1);
    case IDRETRY:
        return false;
    case IDIGNORE:
        throw error;
    default:
        return true;   // no box: the caller goes on without a break
    }
}

void GeRaiseError(const CGeString& message, const char* file, int32_t line)
{
    if (!GeErrorReport(message, CGeString(file), line))
        GeDebugBreak();
}

bool GeIsDebuggerAttached()
{
    FILE* status = fopen("/proc/self/status", "r");
    if (!status)
        return false;
    char line[256];
    long tracer = 0;
    while (fgets(line, sizeof(line), status)) {
        if (strncmp(line, "TracerPid:", 10) == 0) {
            tracer = strtol(line + 10, nullptr, 10);
            break;
        }
    }
    fclose(status);
    return tracer != 0;
}

void GeDebugBreak()
{
    // An untraced SIGTRAP would kill the process.
    if (GeIsDebuggerAttached())
        raise(SIGTRAP);
}

GeErrorBoxFunction GeSetErrorBoxFunction(GeErrorBoxFunction function)
{
    GeErrorBoxFunction previous = g_errorBoxFunction;
    g_errorBoxFunction = function ? function : ShowSystemErrorBox;
    return previous;
}
