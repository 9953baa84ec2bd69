// Script functions of videos on the current location, the hint panel and the
// 3D arrow.
#pragma once

#include <lua.hpp>

int Lua_PlayVideo(lua_State* L);
int Lua_PlayVideoWithAudio(lua_State* L);
int Lua_ShowHint(lua_State* L);
int Lua_HideHint(lua_State* L);
int Lua_Show3dArrow(lua_State* L);
int Lua_Hide3dArrow(lua_State* L);
