// Script functions that reshape an entity's collider.
#pragma once

#include <lua.hpp>

int Lua_SetColliderAABB(lua_State* L);
int Lua_SetColliderSphere(lua_State* L);
int Lua_SetColliderBox(lua_State* L);
