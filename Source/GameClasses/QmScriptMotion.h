// Script functions that move and animate entities: curve ways, straight moves,
// particle effects and joint-animation tracks.
#pragma once

#include <lua.hpp>

int Lua_MoveEntityOnCurve(lua_State* L);
int Lua_StopEntityOnCurve(lua_State* L);
int Lua_SetCurveSpeedMult(lua_State* L);
int Lua_DispatchEntityToPoint(lua_State* L);
int Lua_StopMovingEntity(lua_State* L);
int Lua_StartPSysEffect(lua_State* L);
int Lua_StartObjectAnim(lua_State* L);
int Lua_PushObjectAnim(lua_State* L);
int Lua_StartObjectMovingAnim(lua_State* L);
int Lua_IsAseqPlaying(lua_State* L);
int Lua_SetWalkerSlotAnim(lua_State* L);
int Lua_SetDefaultAnim(lua_State* L);
