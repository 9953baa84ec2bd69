// "LoadActor" and "UnloadActor": thin calls of the actor catalogue, which
// logs what goes wrong (a name already taken, a file without "entity", a
// location actor with no current location, an unknown or main-hero name).
//
// "LoadActor" (file [, actor name or keep]): the file is "Actors/" + file +
// ".xml"; a text second argument names the actor, a boolean keeps it in the
// catalogue (true) or places it in the current location (false, also when
// absent). Any other second argument refuses the call.
#include "Source/GameClasses/QmScriptActors.h"

#include "Engine/Core/Common/GeString.h"
#include "Source/GameClasses/QmScriptApi.h"
#include "Source/GameClasses/QmUnifiedCollector.h"

int Lua_LoadActor(lua_State* L)
{
    if (!ScriptCheckArgCount(L, "LoadActor", 1, 2))
        return 0;
    const bool keepForm = lua_gettop(L) == 2 && ScriptIsBoolean(L, 2);
    if (!ScriptIsText(L, 1) || (lua_gettop(L) == 2 && !keepForm && !ScriptIsText(L, 2))) {
        ScriptRefuseCall("LoadActor", "wrong type of argument", ScriptIsText(L, 1) ? 2 : 1);
        return 0;
    }
    const CGeString file = CGeString("Actors/") + ScriptArgText(L, 1) + ".xml";
    const CGeString actorName = lua_gettop(L) == 2 && !keepForm ? ScriptArgString(L, 2) : CGeString("");
    const bool keep = keepForm && ScriptArgBool(L, 2);
    CQmUnifiedCollector::LoadActor(file.c_str(), actorName.c_str(), keep);
    return 0;
}

int Lua_UnloadActor(lua_State* L)
{
    if (!ScriptCheckArgs(L, "UnloadActor", "t"))
        return 0;
    CQmUnifiedCollector::RemoveActor(ScriptArgText(L, 1));
    return 0;
}
