// Script functions of effects: showing and closing overlay documents.
#pragma once

#include <lua.hpp>

int Lua_ShowDocument(lua_State* L);
