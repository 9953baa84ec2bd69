// Records the messages of the engine's error box instead of showing it; each
// report then returns as if no box could be shown, so the raiser carries on.
#pragma once

#include "Engine/Core/Common/GeError.h"

#include <cstring>
#include <string>
#include <vector>

class CErrorBoxRecorder {
public:
    CErrorBoxRecorder() { previous = GeSetErrorBoxFunction(Record); Messages().clear(); }
    ~CErrorBoxRecorder() { GeSetErrorBoxFunction(previous); }
    CErrorBoxRecorder(const CErrorBoxRecorder&) = delete;
    CErrorBoxRecorder& operator=(const CErrorBoxRecorder&) = delete;

    // The "Error: " text of every box so far, without its trailing blank.
    static std::vector<std::string>& Messages()
    {
        static std::vector<std::string> messages;
        return messages;
    }

    static bool Saw(const std::string& message)
    {
        for (const std::string& m : Messages()) {
            if (m == message)
                return true;
        }
        return false;
    }

private:
    static int Record(const char* text, const char* /*caption*/)
    {
        const char* start = strstr(text, "Error: ");
        const char* end = start ? strstr(start, " \r\nFile: ") : nullptr;
        Messages().push_back(start && end ? std::string(start + 7, end) : std::string(text));
        return 0;
    }

    GeErrorBoxFunction previous;
};
