// Fatal errors: the "GE Error Handling" box with Abort, Retry and Ignore.
//
// A raiser builds its message with CGeError::Format and reports it; Abort ends
// the process with exit code -1, Retry returns false (the raiser then asks for
// a debugger break), Ignore throws CGeError. When the box cannot be shown the
// report returns true and the raiser simply carries on with its fallback.
//
//     GE_ERROR_REPORT("Can't open pack %s", name.c_str());
#pragma once

#include "Engine/Core/Common/GeString.h"

class CGeError {
public:
    CGeString file;     // the source file that raised the error
    int32_t line = 0;
    CGeString message;
    CGeString reason;   // an extra explanation; empty unless set

    CGeError() = default;
    CGeError(const CGeString& file, int32_t line, const CGeString& message);
    CGeError(const CGeError& other) = default;
    CGeError& operator=(const CGeError& other) = default;
    virtual ~CGeError() = default;

    // printf into 512 bytes; a result that does not fit in 511 characters
    // gives an empty string (the box still shows the file and line).
    static CGeString Format(const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 1, 2)))
#endif
        ;
};

// The box body for an error: message, file, line and, when set, the reason.
CGeString GeErrorText(const CGeError& error);

// Shows the box and acts on the answer; see the top of this file.
bool GeErrorReport(const CGeString& message, const CGeString& file, int32_t line);

// The whole calling convention of a raiser: report, and on Retry break into
// the debugger.
void GeRaiseError(const CGeString& message, const char* file, int32_t line);
#define GE_ERROR_REPORT(...) GeRaiseError(CGeError::Format(__VA_ARGS__), __FILE__, __LINE__)

// Stops in the debugger when one is attached; does nothing otherwise, so that
// Retry without a debugger never ends the process.
void GeDebugBreak();
bool GeIsDebuggerAttached();

// The function that shows the box, given the body text and the title, and
// returns the Win32 button ID (IDABORT, IDRETRY, IDIGNORE) or 0 when no box
// could be shown. The system message box by default; tests install their own
// answer. Returns the previous function; null restores the default.
typedef int (*GeErrorBoxFunction)(const char* text, const char* caption);
GeErrorBoxFunction GeSetErrorBoxFunction(GeErrorBoxFunction function);
