// Dialog functions for the scripts. "InitiateDialog" passes its one to three
// texts in order (missing ones empty) and asks the game processor to refresh
// the cursor; "AddAvailableTopic" takes true for a missing or non-boolean
// state; "GetTopicState" answers 0 (not available), 1 (state false) or 2.
#include "Source/GameClasses/QmScriptDialogs.h"

#include "Source/GameClasses/QmDialogSystem.h"
#include "Source/GameClasses/QmGameProcessor.h"
#include "Source/GameClasses/QmScriptApi.h"

int Lua_InitiateDialog(lua_State* L)
{
    if (!ScriptCheckArgs(L, "InitiateDialog", "t|tt") || !g_dialogSystem)
        return 0;
    CGeString texts[3];
    for (int i = 0; i < lua_gettop(L); ++i)
        texts[i] = ScriptArgString(L, i + 1);
    g_dialogSystem->InitiateDialog(texts[0].c_str(), texts[1].c_str(), texts[2].c_str());
    if (g_gameProcessor)
        g_gameProcessor->cursorRefreshPending = 1;
    return 0;
}

int Lua_AddAvailableTopic(lua_State* L)
{
    if (!ScriptCheckArgs(L, "AddAvailableTopic", "t|f") || !g_dialogSystem)
        return 0;
    const bool state = lua_gettop(L) < 2 || !ScriptIsBoolean(L, 2) || lua_toboolean(L, 2);
    g_dialogSystem->AddAvailableTopic(ScriptArgString(L, 1).c_str(), state);
    return 0;
}

int Lua_RemoveAvailableTopic(lua_State* L)
{
    if (!ScriptCheckArgs(L, "RemoveAvailableTopic", "t") || !g_dialogSystem)
        return 0;
    g_dialogSystem->RemoveAvailableTopic(ScriptArgString(L, 1).c_str());
    return 0;
}

int Lua_GetTopicState(lua_State* L)
{
    if (!ScriptCheckArgs(L, "GetTopicState", "t") || !g_dialogSystem)
        return 0;
    return ScriptPushNumber(L, g_dialogSystem->GetTopicState(ScriptArgString(L, 1).c_str()));
}

int Lua_SetActorCameraTranslation(lua_State* L)
{
    if (!ScriptCheckArgs(L, "SetActorCameraTranslation", "nnn") || !g_dialogSystem)
        return 0;
    for (int i = 0; i < 3; ++i)
        CQmDialogSystem::actorCameraTranslation[i] = ScriptArgFloat(L, i + 1);
    return 0;
}
