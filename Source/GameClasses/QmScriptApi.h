// The script API: the table of script functions that start-up registers, and
// the routines that every script function uses to follow the same rules.
//
// The rules, in the order a script function applies them:
// 1. Count and types are checked before anything happens (ScriptCheckArgs). A
//    wrong call goes to the debug trace, changes nothing, raises no script
//    error; a function with results still pushes its defaults.
// 2. Arguments are read from the lua_State* the function received, which may be
//    a coroutine's, never from g_luaState. Texts that are kept or handed on past
//    the next script call are copied into a CGeString (ScriptArgString).
// 3. Numbers the engine keeps as floats are narrowed with clamping, integers
//    are truncated toward zero with saturation: the plain casts are undefined
//    for out-of-range values and NaN.
// 4. A failed look-up (entity, property, track) is logged at level 2 as
//    "Lua_<name>: ..." and the function returns with no effect.
// 5. Results: numbers, texts (never a null text), truth values, positions as
//    x, y, z. The function returns the count it pushed.
// No C++ exception may cross into Lua: ScriptEntryPoint catches them.
#pragma once

#include "Source/GameClasses/QmScriptProcessor.h"

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <exception>

// The script functions in registration order, closed by an entry whose name
// and function are null.
constexpr uint32_t kScriptFunctionCount = 140;
extern const QmScriptFunctionEntry g_scriptFunctions[kScriptFunctionCount + 1];

// Stands in for a script function whose engine part is not built yet: changes
// nothing and returns no result.
int Lua_NotBuilt(lua_State* L);

// Logs an exception that a script function let out.
void ScriptReportException(const char* what);

// The registered form of a script function: an exception it throws is logged
// and the call returns no result (whatever it pushed is dropped, since Lua
// takes only the results counted). Lua's own errors (out of memory) are not
// std::exceptions and pass through to the protected call that runs the script.
template <lua_CFunction Function>
int ScriptEntryPoint(lua_State* L)
{
    try {
        return Function(L);
    } catch (const std::exception& e) {
        ScriptReportException(e.what());
        return 0;
    }
}

inline bool ScriptIsText(lua_State* L, int index)
{
    return lua_isstring(L, index) != 0;
}

inline bool ScriptIsNumber(lua_State* L, int index)
{
    return lua_isnumber(L, index) != 0;
}

inline bool ScriptIsBoolean(lua_State* L, int index)
{
    return lua_type(L, index) == LUA_TBOOLEAN;
}

// The debug trace of a refused call; returns false for the caller to return.
bool ScriptRefuseCall(const char* function, const char* reason, int argument);

// Checks the argument count and the type of each argument. types holds one
// letter per argument:
//   't' text: a string or a number (a number reads as its "%.14g" text);
//   'n' number: a number or a string that converts to one;
//   'b' boolean: a true boolean value (nil, numbers and strings are refused);
//   'f' flag: any value, read as a truth value (only nil and false are off).
// Arguments after a '|' are optional: "tn|n" takes 2 or 3. False (debug
// trace naming "Lua_" + function) when the call is refused. Inline because
// every script call runs it: with a literal the loop folds away.
inline bool ScriptCheckArgs(lua_State* L, const char* function, const char* types)
{
    const int count = lua_gettop(L);
    int index = 0;
    bool optional = false;
    for (const char* type = types; *type; ++type) {
        if (*type == '|') {
            optional = true;
            continue;
        }
        if (index == count)
            return optional || ScriptRefuseCall(function, "too few arguments", count);
        ++index;
        bool accepted = true;
        switch (*type) {
        case 't': accepted = ScriptIsText(L, index); break;
        case 'n': accepted = ScriptIsNumber(L, index); break;
        case 'b': accepted = ScriptIsBoolean(L, index); break;
        default: break; // 'f': any value
        }
        if (!accepted)
            return ScriptRefuseCall(function, "wrong type of argument", index);
    }
    return count == index || ScriptRefuseCall(function, "too many arguments", count);
}

// For the functions whose argument count is a range of mixed types: checks
// only that the count lies in [low, high], with the same trace.
bool ScriptCheckArgCount(lua_State* L, const char* function, int low, int high);

// Truncation toward zero into a signed 32-bit integer; out-of-range values
// saturate and NaN gives 0.
inline int32_t ScriptTruncateToInt(double value)
{
    if (std::isnan(value))
        return 0;
    if (value <= -2147483648.0)
        return INT32_MIN;
    if (value >= 2147483647.0)
        return INT32_MAX;
    return static_cast<int32_t>(value);
}

// Narrowing to single precision; values beyond the float range clamp to the
// largest float of their sign, NaN stays NaN.
inline float ScriptNarrowToFloat(double value)
{
    if (value > FLT_MAX)
        return FLT_MAX;
    if (value < -FLT_MAX)
        return -FLT_MAX;
    return static_cast<float>(value);
}

// Readers, for arguments that passed the checks. A text argument is read in
// place: a number in that slot becomes its text.
const char* ScriptArgText(lua_State* L, int index); // "" when not text
CGeString ScriptArgString(lua_State* L, int index);

inline double ScriptArgNumber(lua_State* L, int index)
{
    return lua_tonumber(L, index);
}

inline float ScriptArgFloat(lua_State* L, int index)
{
    return ScriptNarrowToFloat(lua_tonumber(L, index));
}

inline int32_t ScriptArgInt(lua_State* L, int index)
{
    return ScriptTruncateToInt(lua_tonumber(L, index));
}

// Booleans and flags.
inline bool ScriptArgBool(lua_State* L, int index)
{
    return lua_toboolean(L, index) != 0;
}

// Results; each returns the count it pushed.
inline int ScriptPushNumber(lua_State* L, double value)
{
    lua_pushnumber(L, value);
    return 1;
}

inline int ScriptPushBool(lua_State* L, bool value)
{
    lua_pushboolean(L, value ? 1 : 0);
    return 1;
}

int ScriptPushText(lua_State* L, const char* text); // null pushes ""
int ScriptPushText(lua_State* L, const CGeString& text);
int ScriptPushVector(lua_State* L, float x, float y, float z);

// The level-2 log of a failed look-up. The text begins with "Lua_", the
// script function's name and a colon, and names what was looked up:
// ("Lua_IsWalkerActive: Entity '%s' not found in location!\n", name).
void ScriptLogLookupFailed(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

class CQmEntity;
class CQmLocation;
// The location manager's current location; null before the first one and
// between a finished game and the next.
CQmLocation* ScriptCurrentLocation();
// The entity look-up of every script function that names an entity: the
// name in the current location's entity map. Null when there is no current
// location (every name is then unknown) or no entity of that name.
CQmEntity* ScriptFindEntity(const char* name);
