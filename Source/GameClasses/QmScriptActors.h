// Script functions of actors: loading an actor file into the actor catalogue
// or the current location, and unloading it.
#pragma once

#include <lua.hpp>

int Lua_LoadActor(lua_State* L);
int Lua_UnloadActor(lua_State* L);
