// Script functions that place, turn, scale and read entities of the current
// location, choose its camera and switch entity properties on and off.
#pragma once

#include <lua.hpp>

int Lua_SetEntityPosition(lua_State* L);
int Lua_GetEntityPosition(lua_State* L);
int Lua_GetEntityDirection(lua_State* L);
int Lua_GetEntityPositionFromMatrix(lua_State* L);
int Lua_SetEntityRotation(lua_State* L);
int Lua_SetEntityScale(lua_State* L);
int Lua_SetCameraIndex(lua_State* L);
int Lua_SetCameraDeterminantEntity(lua_State* L);
int Lua_EnableEntityProperty(lua_State* L);
