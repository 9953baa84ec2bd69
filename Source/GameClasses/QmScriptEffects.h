// Script functions of effects: showing and closing overlay documents, the
// screen shake, the on-place editor's selection.
#pragma once

#include <lua.hpp>

int Lua_ShowDocument(lua_State* L);
int Lua_ScreenTint(lua_State* L);
int Lua_SelectEntity(lua_State* L);
