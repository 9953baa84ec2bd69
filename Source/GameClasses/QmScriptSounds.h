// Script functions of sounds and lights: sounds played from an entity's sound
// slots, the background music and ambient sounds, and an entity light's
// intensity.
#pragma once

#include <lua.hpp>

int Lua_StartSound(lua_State* L);
int Lua_StopSound(lua_State* L);
int Lua_SoundSetVolume(lua_State* L);
int Lua_StartMainBgSound(lua_State* L);
int Lua_StopMainBgSound(lua_State* L);
int Lua_StartAmbBgSound(lua_State* L);
int Lua_StopAllAmbBgSounds(lua_State* L);
int Lua_SetLightIntensity(lua_State* L);
