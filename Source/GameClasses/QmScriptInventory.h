// The inventory's script functions: they check their arguments and call the
// inventory.
#pragma once

#include <lua.hpp>

int Lua_UnselectInventory(lua_State* L);
int Lua_DeleteFromInventory(lua_State* L);
int Lua_AddToInventory(lua_State* L);
int Lua_IsInInventory(lua_State* L);
int Lua_SetInventoryItemValue(lua_State* L);
int Lua_GetInventoryItemValue(lua_State* L);
int Lua_IsInventoryActive(lua_State* L);
int Lua_ClearInventory(lua_State* L);
