// Script functions of actors: loading an actor file into the actor catalogue
// or the current location and unloading it, placing catalogue actors, the
// interaction permissions and zones, sending actors walking and turning, and
// starting interactions between two actors.
#pragma once

#include <lua.hpp>

#include <cstdint>

// The action code of a script's action name ("DONOTHING" 0, "USE" 1, "TALK"
// 2, "USE_AS_PORTAL" 8, "LOOK" 16; exact case). Any other name is logged at
// level 2 and gives 0.
int32_t ParseActionName(const char* name);

int Lua_LoadActor(lua_State* L);
int Lua_UnloadActor(lua_State* L);
int Lua_AddActorToLocation(lua_State* L);
int Lua_RemoveActorFromLocation(lua_State* L);
int Lua_PermitActorAction(lua_State* L);
int Lua_EnableWalkForInteraction(lua_State* L);
int Lua_DispatchActorToPos(lua_State* L);
int Lua_ActorSmoothRotateY(lua_State* L);
int Lua_InitiateInteraction(lua_State* L);
int Lua_SetEntityActorIaZone(lua_State* L);
int Lua_SetEntityActorRot(lua_State* L);
int Lua_SetEntityActorName(lua_State* L);
int Lua_StopMovingActor(lua_State* L);
int Lua_IsWalkerActive(lua_State* L);
