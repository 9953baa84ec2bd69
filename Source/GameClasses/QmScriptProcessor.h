// The script processor: the one Lua state of the program and the only road
// between the engine and the scripts.
//
// Engine to script: script files, short texts and conditions (the dialog
// system), and script events called by name with typed arguments. Script to
// engine: the script functions registered as globals at start-up, and the short
// answer a script hands back through "SysReturn".
//
// Free functions over program-wide data, main thread only. Script functions may
// call back into the engine, which may fire further events on the same state:
// every entry point therefore leaves the stack top as it found it, and nothing
// here keeps a program-wide buffer in use across a call into Lua.
//
// Lua errors never escape: loads and calls are protected, globals are read
// raw (a metatable on the globals cannot raise), and the panic handler logs
// before Lua ends the process, which only running out of memory reaches.
#pragma once

#include "Engine/Core/Common/GeString.h"
#include "Engine/Core/Common/GeValue.h"

#include <lua.hpp>

#include <cstdint>

// One script function: its global name and the C function behind it.
struct QmScriptFunctionEntry {
    const char* name;
    lua_CFunction function;
};

// Null until ScriptInit has run, and for good when creating the state failed;
// null again after ScriptShutdown.
extern lua_State* g_luaState;

// Points the start-up's second registration list at list, which ends with an
// entry whose name is null. Null restores the empty list. Tests register their
// probe functions here.
void SetExtraScriptFunctionList(const QmScriptFunctionEntry* list = nullptr);

// Creates the state, opens base (with coroutines), io, os, string and math,
// then registers the script functions and the extra list. Does nothing when a
// state exists.
void ScriptInit();

// Removes all script timers, closes the state and nulls the pointer.
void ScriptShutdown();

// Runs a script file from the packs or the disk. A load or run error goes to
// the script's "_ALERT" function when it defines one, else to stderr. False
// when the file cannot be read, is precompiled, or fails.
bool ScriptRunFile(const char* path);

// Runs a script text; on failure the error message goes into error (the empty
// text when the error value is not text) and the result is false. On success
// error is left as it was.
bool ScriptRunString(const char* text, CGeString& error);

// The truth value of a boolean expression; false on any error, with the
// message in error ("NOT BOOLEAN RESULT!" when the value is not a boolean).
bool ScriptEvalCondition(const char* expression, CGeString& error);

// Calls the global script function name with count arguments. False when
// there is no state or no game processor yet, or when the call failed (an
// undefined event is routine and changes nothing).
bool ScriptCallFunction(const char* name, const CGeValue* args, uint32_t count, bool logCall);

// The answer a script gave through "SysReturn" ("true" or "false" in practice),
// emptying the slot. The text stays valid until the next take.
const char* ScriptTakeReturnValue();

// Puts an answer into the slot; the slot keeps at most 7 characters.
void ScriptSetReturnValue(const char* text);

// The condition buffer's size: "return ( " + expression + " );" and the
// terminator must fit.
constexpr uint32_t kScriptConditionBufferSize = 8192;

// What a script gets back when a condition is longer than the buffer allows.
extern const char* const kScriptConditionTooLong;
