// Script functions of dialogs: starting a dialog, the available topics and
// the portrait camera's offset. Each does nothing while there is no dialog
// system; refused calls go to the debug trace.
#pragma once

#include <lua.hpp>

int Lua_InitiateDialog(lua_State* L);
int Lua_AddAvailableTopic(lua_State* L);
int Lua_RemoveAvailableTopic(lua_State* L);
int Lua_GetTopicState(lua_State* L);
int Lua_SetActorCameraTranslation(lua_State* L);
