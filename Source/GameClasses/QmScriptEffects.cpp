// "ShowDocument" (name): an empty name closes the document on show; any
// other name is looked up first among the current location's documents (the
// location file's and those of "LoadOverlayDocument"), then in the document
// catalogue, and the first found is shown. A name in neither is logged.
//
// "ScreenTint" (amplitude [, duration]): the game processor's screen shake
// with the amplitude truncated to an integer; without a duration the shake
// decays (-1). Every refused call is logged, not only traced.
//
// "SelectEntity" (entity): hands an entity of the current location to the
// on-place entity editor; an unknown name is logged.
#include "Source/GameClasses/QmScriptEffects.h"

#include "Engine/Core/Common/GeLog.h"
#include "Source/GameClasses/QmEntityEditor.h"
#include "Source/GameClasses/QmGameProcessor.h"
#include "Source/GameClasses/QmLocation.h"
#include "Source/GameClasses/QmScreenTint.h"
#include "Source/GameClasses/QmScriptApi.h"
#include "Source/GameClasses/QmUnifiedCollector.h"

int Lua_ShowDocument(lua_State* L)
{
    if (!ScriptCheckArgs(L, "ShowDocument", "t"))
        return 0;
    const char* name = ScriptArgText(L, 1);
    if (!*name) {
        if (g_gameProcessor)
            g_gameProcessor->ShowDocument(nullptr);
        return 0;
    }
    CQmOverlayDocument* document = nullptr;
    if (CQmLocation* location = ScriptCurrentLocation())
        if (auto* node = location->documents.Find(CGeString(name)))
            document = node->value;
    if (!document)
        document = CQmUnifiedCollector::FindDocument(name);
    if (!document) {
        GeLog(2, "@lua@No overlay document found: %s\n", name);
        return 0;
    }
    if (g_gameProcessor)
        g_gameProcessor->ShowDocument(document);
    return 0;
}

int Lua_ScreenTint(lua_State* L)
{
    if (!ScriptCheckArgs(L, "ScreenTint", "n|n")) {
        GeLog(2, "Lua_ScreenTint: Arguments error!");
        return 0;
    }
    const int32_t amplitude = ScriptArgInt(L, 1);
    const float duration = lua_gettop(L) == 2 ? ScriptArgFloat(L, 2) : CQmScreenTint::kDecaying;
    if (g_gameProcessor && g_gameProcessor->tint)
        g_gameProcessor->tint->Start(amplitude, duration);
    return 0;
}

int Lua_SelectEntity(lua_State* L)
{
    if (!ScriptCheckArgs(L, "SelectEntity", "t"))
        return 0;
    const char* name = ScriptArgText(L, 1);
    CQmEntity* entity = ScriptFindEntity(name);
    if (!entity) {
        ScriptLogLookupFailed("Lua_SelectEntity: Actor '%s' not found in location!\n", name);
        return 0;
    }
    if (g_gameProcessor && g_gameProcessor->editor)
        g_gameProcessor->editor->Select(entity);
    return 0;
}
