// The puzzle script functions: they check their arguments and call the
// puzzle manager.
#pragma once

#include <lua.hpp>

int Lua_PuzzleAddControl(lua_State* L);
int Lua_PuzzleRemoveControl(lua_State* L);
int Lua_PuzzleReset(lua_State* L);
int Lua_PuzzleBringToFront(lua_State* L);
int Lua_PuzzleAssignSprite(lua_State* L);
int Lua_PuzzleSetFlags(lua_State* L);
int Lua_PuzzleSetPos(lua_State* L);
int Lua_PuzzleGetPos(lua_State* L);
int Lua_PuzzleSetPivot(lua_State* L);
int Lua_PuzzleAddTask(lua_State* L);
int Lua_PuzzleRemoveTask(lua_State* L);
int Lua_PuzzleLoadControls(lua_State* L);
int Lua_PuzzleSetText(lua_State* L);
int Lua_PuzzleSetCtrlVisibility(lua_State* L);
int Lua_PuzzleSetCtrlValue(lua_State* L);
int Lua_PuzzleIsMouseOver(lua_State* L);
int Lua_SetPuzzleControlCursorType(lua_State* L);
int Lua_SetPuzzleControlTranpForManipulator(lua_State* L);
int Lua_GetManipulatorPos(lua_State* L);
