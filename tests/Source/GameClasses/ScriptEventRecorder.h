// The script-event recorder: a fixture script that defines script events as
// functions logging their name and arguments, in call order, into a list that
// C++ reads back. Scripts can add lines of their own with RecordLine(text).
//
// A recorded call reads "name(arg1,arg2)": every argument through Lua's
// tostring, so strings appear bare and numbers as Lua prints them.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

class CScriptEventRecorder {
public:
    // Defines the recorder's functions in the started script state.
    CScriptEventRecorder();
    // Defines each name as a global function that records its calls.
    void Record(std::initializer_list<const char*> events) const;
    // The recorded lines so far, oldest first.
    std::vector<std::string> Lines() const;
    void Clear() const;
    // Lines() joined by single blanks, for compact comparisons.
    std::string Joined() const;
};
