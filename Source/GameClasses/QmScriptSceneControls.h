// Script functions of the scene: the active camera's place, an entity's
// angles, the shade light, the alpha of an entity's 2D visual, the overlay
// documents a script loads into the current location, what lies under the
// mouse, the hero and the input lock.
#pragma once

#include <lua.hpp>

int Lua_GetCameraPos(lua_State* L);
int Lua_GetEntityRotation(lua_State* L);
int Lua_ChangeShadeLightPos(lua_State* L);
int Lua_SetEntitySprite3DAlpha(lua_State* L);
int Lua_LoadOverlayDocument(lua_State* L);
int Lua_GetSelectedEntity(lua_State* L);
int Lua_GetSelectedBackgroundPoint(lua_State* L);
int Lua_GetSelectedEntityPoint(lua_State* L);
int Lua_SetMainHero(lua_State* L);
int Lua_LockInput(lua_State* L);
