#include "Engine/Core/Common/GeLog.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace {

int g_lastLevel;
CGeString g_lastMessage;

bool LogToStderr()
{
    static const bool enabled = getenv("QASIMAR_LOG") != nullptr;
    return enabled;
}

bool TraceToStderr()
{
    static const bool enabled = getenv("QASIMAR_TRACE") != nullptr;
    return enabled;
}

} // namespace

void GeLog(int level, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    GeLogV(level, format, args);
    va_end(args);
}

void GeLogV(int level, const char* format, va_list args)
{
    char text[4096];
    if (vsnprintf(text, sizeof(text), format, args) < 0)
        text[0] = 0;

    g_lastLevel = level;
    g_lastMessage = text;
    if (LogToStderr())
        fprintf(stderr, "[%d] %s", level, text);
}

int GeLogLastLevel()
{
    return g_lastLevel;
}

const CGeString& GeLogLastMessage()
{
    return g_lastMessage;
}

void GeLogClearLast()
{
    g_lastLevel = 0;
    g_lastMessage.Release();
}

void GeTrace(const char* format, ...)
{
    if (!TraceToStderr())
        return;
    char text[4096];
    va_list args;
    va_start(args, format);
    const int length = vsnprintf(text, sizeof(text), format, args);
    va_end(args);
    if (length < 0)
        return;
    // Callers end their lines or not; each trace is one line.
    const size_t end = static_cast<size_t>(length) < sizeof(text) ? static_cast<size_t>(length) : sizeof(text) - 1;
    fprintf(stderr, "%s%s", text, end > 0 && text[end - 1] == '\n' ? "" : "\n");
}
