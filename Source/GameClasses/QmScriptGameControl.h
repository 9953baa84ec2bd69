// Script functions that steer the game itself rather than a location, an
// entity or a GUI control: the frame timer and the game time, the end of the
// game and its enabled state, screen effects, the loading screen, location
// changes, the auto-save, mini-game calls, the menu's disabled items and the
// settings' unlocked mini-games.
#pragma once

#include <lua.hpp>

int Lua_SysSetTimeScale(lua_State* L);
int Lua_SysSetMaxTimeQuantum(lua_State* L);
int Lua_SysGetTime(lua_State* L);
int Lua_FinishGame(lua_State* L);
int Lua_GameEnable(lua_State* L);
int Lua_GetDist3D(lua_State* L);
int Lua_Get2DScaleFactor(lua_State* L);
int Lua_SendActiveArcadeEvent(lua_State* L);
int Lua_SetWalkerTrajectoryLength(lua_State* L);
int Lua_SetLoadingScreenImage(lua_State* L);
int Lua_StartScreenEffect(lua_State* L);
int Lua_StartArcadeGame(lua_State* L);
int Lua_GlobalCommand(lua_State* L);
int Lua_UpdateScene(lua_State* L);
int Lua_ChangeLocation(lua_State* L);
int Lua_AutoSaveGame(lua_State* L);
int Lua_ActivateMinigame(lua_State* L);
int Lua_DisableMenuItems(lua_State* L);

// "SysGetTime" measures the game time from its first call: the base is taken
// then and kept for the program's life. A new game session that wants the
// time to start again (a test, a restarted script state) forgets it here.
void ScriptResetGameTime();
