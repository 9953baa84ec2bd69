// Sounds from entity slots, background sound and entity lights for the
// scripts. Failed look-ups (no current location, an unknown entity, no
// sound_source or light_source, an unknown slot) go only to the debug trace
// and change nothing; so do refused calls.
#include "Source/GameClasses/QmScriptSounds.h"

#include "Engine/Core/Common/GeLog.h"
#include "Source/GameClasses/QmBgSoundManager.h"
#include "Source/GameClasses/QmLocation.h"
#include "Source/GameClasses/QmLocationManager.h"
#include "Source/GameClasses/QmPropLightSource.h"
#include "Source/GameClasses/QmPropSoundSource.h"
#include "Source/GameClasses/QmScriptApi.h"

namespace {

CQmLocation* CurrentLocation()
{
    return g_locationManager ? g_locationManager->current : nullptr;
}

CQmEntity* FindEntity(const char* function, const char* name)
{
    CQmLocation* location = CurrentLocation();
    CQmEntity* entity = location ? location->FindEntity(name) : nullptr;
    if (!entity)
        GeTrace("Lua_%s: no entity '%s'\n", function, name);
    return entity;
}

CQmPropSoundSource* FindSoundSource(const char* function, const char* entityName)
{
    CQmEntity* entity = FindEntity(function, entityName);
    return entity ? entity->Prop<CQmPropSoundSource>(QM_PROP_SOUND_SOURCE) : nullptr;
}

} // namespace

int Lua_StartSound(lua_State* L)
{
    if (!ScriptCheckArgCount(L, "StartSound", 4, 5))
        return 0;
    for (int i = 1; i <= 3; ++i) {
        if (!ScriptIsText(L, i)) {
            ScriptRefuseCall("StartSound", "wrong type of argument", i);
            return 0;
        }
    }
    const bool loop = ScriptArgBool(L, 4);
    float volume = 1.0f;
    if (lua_gettop(L) == 5) {
        if (ScriptIsNumber(L, 5))
            volume = ScriptArgFloat(L, 5);
        else
            GeTrace("Lua_StartSound: the volume is not a number, 1.0 is used\n");
    }
    const CGeString entityName = ScriptArgString(L, 1);
    const CGeString slot = ScriptArgString(L, 2);
    const CGeString file = ScriptArgString(L, 3);
    if (CQmPropSoundSource* source = FindSoundSource("StartSound", entityName.c_str()))
        source->PlayByName(slot.c_str(), file.c_str(), loop, volume, CurrentLocation(), false);
    return 0;
}

int Lua_SoundSetVolume(lua_State* L)
{
    if (!ScriptCheckArgs(L, "SoundSetVolume", "ttn"))
        return 0;
    const CGeString entityName = ScriptArgString(L, 1);
    const CGeString slotName = ScriptArgString(L, 2);
    const float volume = ScriptArgFloat(L, 3);
    CQmPropSoundSource* source = FindSoundSource("SoundSetVolume", entityName.c_str());
    if (!source)
        return 0;
    CQmSoundSlot* slot = source->FindSlot(slotName.c_str());
    if (!slot) {
        GeTrace("Lua_SoundSetVolume: no slot '%s'\n", slotName.c_str());
        return 0;
    }
    QmSoundParams params = slot->params;
    params.volume = volume;
    source->SetPlacement(slot, params);
    return 0;
}

int Lua_StopSound(lua_State* L)
{
    if (!ScriptCheckArgs(L, "StopSound", "tt|t"))
        return 0;
    const CGeString entityName = ScriptArgString(L, 1);
    const CGeString slotName = ScriptArgString(L, 2);
    const CGeString file = lua_gettop(L) == 3 ? ScriptArgString(L, 3) : CGeString();
    CQmPropSoundSource* source = FindSoundSource("StopSound", entityName.c_str());
    if (!source)
        return 0;
    if (file.IsEmpty()) {
        source->StopByName(slotName.c_str());
        return 0;
    }
    source->StopFile(source->FindSlot(slotName.c_str()), file.c_str());
    return 0;
}

int Lua_StartMainBgSound(lua_State* L)
{
    if (!ScriptCheckArgs(L, "StartMainBgSound", "tnnb") || !g_bgSoundManager)
        return 0;
    const CGeString file = ScriptArgString(L, 1);
    g_bgSoundManager->StartMain(file.c_str(), ScriptArgFloat(L, 2), ScriptArgFloat(L, 3), ScriptArgBool(L, 4), 0,
                                false);
    return 0;
}

int Lua_StopMainBgSound(lua_State* L)
{
    if (!ScriptCheckArgs(L, "StopMainBgSound", "n") || !g_bgSoundManager)
        return 0;
    g_bgSoundManager->StopMain(ScriptArgFloat(L, 1));
    return 0;
}

int Lua_StartAmbBgSound(lua_State* L)
{
    if (!ScriptCheckArgs(L, "StartAmbBgSound", "tnnb") || !g_bgSoundManager)
        return 0;
    const CGeString file = ScriptArgString(L, 1);
    g_bgSoundManager->StartAmbient(file.c_str(), ScriptArgFloat(L, 2), ScriptArgFloat(L, 3), ScriptArgBool(L, 4));
    return 0;
}

int Lua_StopAllAmbBgSounds(lua_State* L)
{
    if (!ScriptCheckArgs(L, "StopAllAmbBgSounds", "") || !g_bgSoundManager)
        return 0;
    g_bgSoundManager->StopAllAmbient();
    return 0;
}

int Lua_SetLightIntensity(lua_State* L)
{
    if (!ScriptCheckArgs(L, "SetLightIntensity", "tn"))
        return 0;
    const CGeString entityName = ScriptArgString(L, 1);
    CQmLocation* location = CurrentLocation();
    CQmEntity* entity = location ? location->FindEntity(entityName.c_str()) : nullptr;
    if (auto* light = entity ? entity->Prop<CQmPropLightSource>(QM_PROP_LIGHT_SOURCE) : nullptr)
        light->SetIntensity(ScriptArgFloat(L, 2));
    return 0;
}
