#include "Source/GameClasses/QmScriptProcessor.h"

#include "Engine/Core/Common/GeFileData.h"
#include "Engine/Core/Common/GeLog.h"
#include "Source/GameClasses/QmGameProcessor.h"
#include "Source/GameClasses/QmScriptApi.h"
#include "Source/GameClasses/QmScriptTimers.h"

#include <climits>
#include <cstdio>
#include <cstring>

lua_State* g_luaState = nullptr;

const char* const kScriptConditionTooLong = "CONDITION TOO LONG!";

namespace {

const QmScriptFunctionEntry kNoExtraFunctions[] = {{nullptr, nullptr}};
const QmScriptFunctionEntry* g_extraFunctions = kNoExtraFunctions;

// "SysReturn" fills the slot, ScriptTakeReturnValue moves it to the taken
// buffer, whose text the caller reads until the next take.
char g_returnSlot[8];
char g_takenValue[12];

char g_conditionBuffer[kScriptConditionBufferSize];

// An unprotected error ends the process once this returns; say why first.
int ScriptPanic(lua_State* L)
{
    const char* message = lua_tostring(L, -1);
    GeLog(2, "Lua panic: %s\n", message ? message : "(error object is not a string)");
    fprintf(stderr, "Lua panic: %s\n", message ? message : "(error object is not a string)");
    return 0;
}

// Pushes the global name without metamethods: a strict-globals metatable
// cannot raise here, and a null name reads as nil instead of crashing.
void PushGlobal(lua_State* L, const char* name)
{
    if (name)
        lua_pushlstring(L, name, strlen(name));
    else
        lua_pushnil(L);
    lua_rawget(L, LUA_GLOBALSINDEX);
}

void RegisterFunctions(lua_State* L, const QmScriptFunctionEntry* entries)
{
    for (const QmScriptFunctionEntry* entry = entries; entry->name || entry->function; ++entry) {
        if (!entry->name || !entry->function)
            continue;
        lua_pushlstring(L, entry->name, strlen(entry->name));
        lua_pushcclosure(L, entry->function, 0);
        lua_settable(L, LUA_GLOBALSINDEX);
    }
}

// Run as a protected call, so that running out of memory while the state is
// set up is a failed start rather than a panic.
int OpenLibrariesAndRegister(lua_State* L)
{
    // 5.1's openers need a calling environment: each runs as a Lua call. os is
    // opened on its own; it used to come with io.
    const struct {
        lua_CFunction open;
        const char* name;
    } libraries[] = {
        {luaopen_base, ""}, {luaopen_io, LUA_IOLIBNAME}, {luaopen_os, LUA_OSLIBNAME},
        {luaopen_string, LUA_STRLIBNAME}, {luaopen_math, LUA_MATHLIBNAME},
    };
    for (const auto& library : libraries) {
        lua_pushcfunction(L, library.open);
        lua_pushstring(L, library.name);
        lua_call(L, 1, 0);
    }
    // Scripts get no way to start other programs.
    lua_getfield(L, LUA_GLOBALSINDEX, LUA_IOLIBNAME);
    lua_pushnil(L);
    lua_setfield(L, -2, "popen");
    lua_pop(L, 1);

    RegisterFunctions(L, g_scriptFunctions);
    if (g_extraFunctions && g_extraFunctions->name)
        RegisterFunctions(L, g_extraFunctions);
    return 0;
}

// The text of an error value: strings and numbers as text, anything else null.
const char* ErrorText(lua_State* L, int index)
{
    return lua_isstring(L, index) ? lua_tostring(L, index) : nullptr;
}

void WriteErrorLine(lua_State* L, int index)
{
    const char* text = ErrorText(L, index);
    if (text)
        fprintf(stderr, "%s\n", text);
    else
        fprintf(stderr, "(error object is a %s value)\n", luaL_typename(L, index));
}

// Hands the error message on top of the stack to the script's "_ALERT"
// function, or to stderr when there is none. "_ALERT" runs protected: its own
// error goes to stderr after the message it was given. Pops the message.
void ReportFileError(lua_State* L)
{
    const int message = lua_gettop(L);
    PushGlobal(L, "_ALERT");
    if (lua_isfunction(L, -1)) {
        lua_pushvalue(L, message);
        if (lua_pcall(L, 1, 0, 0) != 0) {
            WriteErrorLine(L, message);
            WriteErrorLine(L, -1);
        }
    } else {
        WriteErrorLine(L, message);
    }
    lua_settop(L, message - 1);
}

// Loads and runs a file's bytes as a chunk named "?". A leading UTF-8 byte
// order mark is skipped; precompiled chunks are refused because Lua does not
// verify them and a crafted one can crash the program.
bool RunChunk(lua_State* L, const char* bytes, size_t size)
{
    if (size >= 3 && memcmp(bytes, "\xEF\xBB\xBF", 3) == 0) {
        bytes += 3;
        size -= 3;
    }
    int status;
    if (size > 0 && bytes[0] == LUA_SIGNATURE[0]) {
        lua_pushliteral(L, "[string \"?\"]: precompiled chunks are not accepted");
        status = LUA_ERRSYNTAX;
    } else {
        status = luaL_loadbuffer(L, bytes, size, nullptr);
        if (status == 0)
            status = lua_pcall(L, 0, LUA_MULTRET, 0);
    }
    if (status != 0)
        ReportFileError(L);
    return status == 0;
}

// Takes the error value on top into error: text as it is, anything else as the
// empty text.
void TakeError(lua_State* L, CGeString& error)
{
    const char* text = ErrorText(L, -1);
    error = text ? text : "";
}

bool LoadText(lua_State* L, const char* text, size_t length, CGeString& error)
{
    if (luaL_loadbuffer(L, text, length, "") == 0)
        return true;
    TakeError(L, error);
    return false;
}

void PushArgument(lua_State* L, const CGeValue& value, uint32_t index)
{
    switch (value.kind) {
    case GE_VALUE_BOOL:
        lua_pushboolean(L, value.scalar.b != 0);
        break;
    case GE_VALUE_INT16:
    case GE_VALUE_INT32:
        lua_pushnumber(L, static_cast<int32_t>(static_cast<uint32_t>(value.scalar.bits)));
        break;
    case GE_VALUE_UINT16:
    case GE_VALUE_UINT32:
        lua_pushnumber(L, static_cast<uint32_t>(value.scalar.bits));
        break;
    case GE_VALUE_FLOAT:
        lua_pushnumber(L, value.scalar.f32);
        break;
    case GE_VALUE_DOUBLE:
        lua_pushnumber(L, value.scalar.f64);
        break;
    case GE_VALUE_STRING:
        lua_pushlstring(L, value.str.c_str(), value.str.Length());
        break;
    default:
        GeTrace("ScriptCallFunction: argument %u has no script form\n", index);
        lua_pushnil(L);
        break;
    }
}

} // namespace

void SetExtraScriptFunctionList(const QmScriptFunctionEntry* list)
{
    g_extraFunctions = list ? list : kNoExtraFunctions;
}

void ScriptInit()
{
    if (g_luaState)
        return;
    lua_State* L = lua_open();
    if (!L) {
        GeTrace("ScriptInit: no script state\n");
        return;
    }
    lua_atpanic(L, ScriptPanic);
    if (lua_cpcall(L, OpenLibrariesAndRegister, nullptr) != 0) {
        GeLog(2, "ScriptInit: %s\n", lua_isstring(L, -1) ? lua_tostring(L, -1) : "start failed");
        lua_close(L);
        return;
    }
    lua_settop(L, 0);
    g_luaState = L;
}

void ScriptShutdown()
{
    if (g_scriptTimers.count)
        ScriptRemoveAllTimers();
    if (g_luaState) {
        lua_close(g_luaState);
        g_luaState = nullptr;
    }
}

bool ScriptRunFile(const char* path)
{
    lua_State* L = g_luaState;
    if (!L || !path)
        return false;
    CGeFileData file = LoadFileData(path);
    if (!file.data || file.size == 0) {
        FreeFileData(file);
        GeTrace("ScriptRunFile: cannot read %s\n", path);
        return false;
    }
    // What the chunk returns is dropped: kept, it would pile up past the room
    // the stack guarantees.
    const int top = lua_gettop(L);
    const bool ok = RunChunk(L, reinterpret_cast<const char*>(file.data), file.size);
    lua_settop(L, top);
    FreeFileData(file);
    if (!ok)
        GeTrace("ScriptRunFile: %s failed\n", path);
    return ok;
}

bool ScriptRunString(const char* text, CGeString& error)
{
    lua_State* L = g_luaState;
    if (!L || !text)
        return false;
    const int top = lua_gettop(L);
    bool ok = LoadText(L, text, strlen(text), error);
    if (ok && lua_pcall(L, 0, 0, 0) != 0) {
        TakeError(L, error);
        ok = false;
    }
    lua_settop(L, top);
    return ok;
}

bool ScriptEvalCondition(const char* expression, CGeString& error)
{
    lua_State* L = g_luaState;
    if (!L || !expression)
        return false;
    const int length = snprintf(g_conditionBuffer, sizeof(g_conditionBuffer), "return ( %s );", expression);
    if (length < 0 || static_cast<size_t>(length) >= sizeof(g_conditionBuffer)) {
        error = kScriptConditionTooLong;
        return false;
    }
    // The buffer is compiled before anything runs, so a nested condition
    // evaluated by the script cannot overwrite text still in use.
    const int top = lua_gettop(L);
    bool result = false;
    if (LoadText(L, g_conditionBuffer, static_cast<size_t>(length), error)) {
        if (lua_pcall(L, 0, 1, 0) != 0)
            TakeError(L, error);
        else if (lua_type(L, -1) == LUA_TBOOLEAN)
            result = lua_toboolean(L, -1) != 0;
        else
            error = "NOT BOOLEAN RESULT!";
    }
    lua_settop(L, top);
    return result;
}

bool ScriptCallFunction(const char* name, const CGeValue* args, uint32_t count, bool logCall)
{
    lua_State* L = g_luaState;
    if (!L || !g_gameProcessor)
        return false;
    if ((count > 0 && !args) || count >= INT_MAX || !lua_checkstack(L, static_cast<int>(count) + 1)) {
        GeTrace("ScriptCallFunction: %s: cannot pass %u arguments\n", name ? name : "(null)", count);
        return false;
    }
    const int top = lua_gettop(L);
    PushGlobal(L, name);
    for (uint32_t i = 0; i < count; ++i)
        PushArgument(L, args[i], i);
    if (logCall)
        GeTrace("ScriptCallFunction: %s\n", name ? name : "(null)");
    const bool ok = lua_pcall(L, static_cast<int>(count), 0, 0) == 0;
    if (!ok) {
        const char* message = ErrorText(L, -1);
        GeTrace("ScriptCallFunction: %s: %s\n", name ? name : "(null)", message ? message : "");
    }
    lua_settop(L, top);
    return ok;
}

const char* ScriptTakeReturnValue()
{
    memcpy(g_takenValue, g_returnSlot, sizeof(g_returnSlot));
    g_returnSlot[0] = 0;
    return g_takenValue;
}

void ScriptSetReturnValue(const char* text)
{
    snprintf(g_returnSlot, sizeof(g_returnSlot), "%s", text ? text : "");
}
