// Script functions of the location's sprite animations and its sky: the
// 2D-linked objects, the named sequences of an entity's sprites and the sky
// sphere. (Joint animations and curves have their own file.)
#pragma once

#include <lua.hpp>

int Lua_Set2DLinkedVisibility(lua_State* L);
int Lua_Start2DLinkedAnim(lua_State* L);
int Lua_Set2DLinkedAlpha(lua_State* L);
int Lua_StartSpriteAnim(lua_State* L);
int Lua_ActivateSkySphere(lua_State* L);
