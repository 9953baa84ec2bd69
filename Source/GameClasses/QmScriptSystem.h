// Script functions of the system group: log, delayed calls, timers, the
// answer slot, the start location, the location's name, quests, variables.
#pragma once

#include <lua.hpp>

int Lua_SysLog(lua_State* L);
int Lua_SysDelayedCall(lua_State* L);
int Lua_SysSetTimer(lua_State* L);
int Lua_SysReturn(lua_State* L);
int Lua_GetQuestValue(lua_State* L);
int Lua_QuestIsPassed(lua_State* L);
int Lua_QuestPass(lua_State* L);
int Lua_QuestFail(lua_State* L);
int Lua_VarSet(lua_State* L);
int Lua_VarGet(lua_State* L);
int Lua_VarsDump(lua_State* L);
int Lua_SetStartLocation(lua_State* L);
int Lua_GetLocationName(lua_State* L);
