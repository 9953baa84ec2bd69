// Script functions that place, turn, scale and read entities of the current
// location, choose its camera, switch entity properties on and off, attach
// entities to each other's attachment points and choose what an actor looks at.
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
int Lua_AttachEntity(lua_State* L);
int Lua_SetLookAtAllocator(lua_State* L);
