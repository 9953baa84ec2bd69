// The engine's log: problems an operation survives (bad script arguments, a
// name that finds nothing) are recorded here and the operation goes on.
//
// Levels in use: 1 for refused input (bad arguments, unsupported save data),
// 2 for failed look-ups by name. The log keeps only the last message and its
// level; when the environment variable QASIMAR_LOG is set, every message is
// also written to stderr.
#pragma once

#include "Engine/Core/Common/GeString.h"

#include <cstdarg>

// Formats like printf; a result longer than 4095 characters is cut.
void GeLog(int level, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;

// The same with the arguments already gathered, for logging helpers.
void GeLogV(int level, const char* format, va_list args);

int GeLogLastLevel();
const CGeString& GeLogLastMessage();
// Forgets the last message and level, so that a caller can tell whether the
// operation it starts next logs anything.
void GeLogClearLast();

// Debug traces: silent unless the environment variable QASIMAR_TRACE is set,
// then written to stderr, one line each. They never touch the last message.
void GeTrace(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
