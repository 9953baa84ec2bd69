// Script functions that add objects to the current location (water and the
// stones floating on it) and switch its shade boxes and walk grids.
#pragma once

#include <lua.hpp>

int Lua_AddWater(lua_State* L);
int Lua_AddStone(lua_State* L);
int Lua_ShadeBoxEnable(lua_State* L);
int Lua_SetCurrentAiMap(lua_State* L);
int Lua_GetCurrentAiMap(lua_State* L);
