// "AddWater", "AddStone", "ShadeBoxEnable", "SetCurrentAiMap" and
// "GetCurrentAiMap".
//
// Objects are never created over an existing name: restoring a save runs the
// location script again over a location that already holds them.
//
// Choices:
// - "AddWater" refuses a grid under 2 x 2 vertices or beyond what 16-bit
//   indices reach (65,536 vertices) with its arguments error: such a surface
//   would draw nothing or index outside its vertices.
// - "AddStone" stops with its "creating stopped" line when the file is
//   missing, does not parse or has no "entity" root, instead of reading
//   from nothing; a stone file's "entity" may be the root or its child.
// - Only a water surface becomes a stone's water: the first visual of the
//   named entity must be a CQmWater, any other visual leaves the stone
//   without water.
// - Stones join the location's shared list, so that entering the location
//   again leaves the properties as the script set them; the location still
//   deletes them.
// - Without a current location these functions change nothing and push
//   nothing, except "GetCurrentAiMap" with arguments, which answers 0.
#include "Source/GameClasses/QmScriptLocationObjects.h"

#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GeXml.h"
#include "Source/GameClasses/QmAiMap.h"
#include "Source/GameClasses/QmEntityLoader.h"
#include "Source/GameClasses/QmGameProcessor.h"
#include "Source/GameClasses/QmLocation.h"
#include "Source/GameClasses/QmScriptApi.h"
#include "Source/GameClasses/QmShadeBox.h"
#include "Source/GameClasses/QmWater.h"

#include <tinyxml.h>

namespace {

const TiXmlElement* EntityElement(const TiXmlDocument& document)
{
    const TiXmlElement* element = document.FirstChildElement("entity");
    if (!element && document.RootElement())
        element = document.RootElement()->FirstChildElement("entity");
    return element;
}

} // namespace

int Lua_AddWater(lua_State* L)
{
    const int count = lua_gettop(L);
    const bool typed =
        count == 12 ? ScriptCheckArgs(L, "AddWater", "tnnnntnnnnnn") : ScriptCheckArgs(L, "AddWater", "tnnnntnnnnn");
    const int32_t columns = typed ? ScriptArgInt(L, 4) : 0;
    const int32_t rows = typed ? ScriptArgInt(L, 5) : 0;
    if (!typed || columns < 0 || rows < 0 || !CQmWater::IsValidGrid(uint32_t(columns), uint32_t(rows))) {
        GeLog(2, "AddWater : arguments error!\n");
        return 0;
    }
    CQmLocation* location = ScriptCurrentLocation();
    if (!location)
        return 0;
    const CGeString name = ScriptArgString(L, 1);
    if (location->FindEntity(name.c_str())) {
        GeLog(2, "AddWater : There is already such object in location! May be you are restoring from save...\n");
        GeLog(2, "AddWater : Object creating stopped...\n");
        return 0;
    }
    const float tiling = count == 12 ? ScriptArgFloat(L, 12) : 4.0f;
    auto* surface = new CQmWater(uint32_t(columns), uint32_t(rows), ScriptArgFloat(L, 2), ScriptArgFloat(L, 3),
                                 ScriptArgText(L, 6), ScriptArgFloat(L, 10), ScriptArgFloat(L, 11), tiling);
    auto* entity = new CQmEntity;
    entity->name = name;
    auto* visuals = new CQmPropVisualObject(entity);
    visuals->AddVisual(surface, 2);
    visuals->SetEnabled(true);
    entity->SetProp(QM_PROP_VISUAL_OBJECT, visuals);
    location->AddNamedObject(name, entity, false);
    entity->frame.SetPosition(Vec3{ScriptArgFloat(L, 7), ScriptArgFloat(L, 8), ScriptArgFloat(L, 9)});
    return 0;
}

int Lua_AddStone(lua_State* L)
{
    if (!ScriptCheckArgs(L, "AddStone", "tntnnntn")) {
        GeLog(2, "AddWater : arguments error!");
        return 0;
    }
    CQmLocation* location = ScriptCurrentLocation();
    if (!location)
        return 0;
    const CGeString name = ScriptArgString(L, 1);
    if (location->FindEntity(name.c_str())) {
        GeLog(2, "AddStome : There is already such object in location! May be you are restoring from save...\n");
        GeLog(2, "AddStone : Object creating stopped...\n");
        return 0;
    }
    TiXmlDocument document;
    const bool parsed = XmlLoadDocument(g_dataRoot + ScriptArgText(L, 3), document) && !document.Error();
    const TiXmlElement* element = parsed ? EntityElement(document) : nullptr;
    if (!element) {
        GeTrace("AddStone: no entity in '%s'", ScriptArgText(L, 3));
        GeLog(2, "AddStone : Object creating stopped...\n");
        return 0;
    }
    auto* stone = new CQmStone(uint32_t(ScriptArgInt(L, 2)));
    LoadEntity(element, false, stone);
    stone->name = name;
    for (uint32_t slot : {QM_PROP_VISUAL_OBJECT, QM_PROP_COLLIDER})
        if (CQmProp* prop = stone->GetProp(slot))
            prop->SetEnabled(true);
    stone->frame.SetPosition(Vec3{ScriptArgFloat(L, 4), ScriptArgFloat(L, 5), ScriptArgFloat(L, 6)});
    const CQmEntity* waterEntity = location->FindEntity(ScriptArgText(L, 7));
    auto* waterVisuals = waterEntity ? waterEntity->Prop<CQmPropVisualObject>(QM_PROP_VISUAL_OBJECT) : nullptr;
    if (waterVisuals && waterVisuals->visuals.Count())
        stone->water = dynamic_cast<CQmWater*>(waterVisuals->visuals[0]);
    stone->heightOffset = ScriptArgInt(L, 8);
    location->AddNamedObject(name, stone, true);
    return 0;
}

int Lua_ShadeBoxEnable(lua_State* L)
{
    if (!ScriptCheckArgs(L, "ShadeBoxEnable", "nb")) {
        GeLog(1, "Lua::ShadeBoxEnable arguments error");
        return 0;
    }
    CQmLocation* location = ScriptCurrentLocation();
    if (!location)
        return 0;
    const uint32_t index = uint32_t(ScriptArgInt(L, 1));
    if (index >= location->shadeBoxes.Count() || !location->shadeBoxes[index]) {
        GeLog(1, "Lua::ShadeBoxEnable index out of range");
        return 0;
    }
    location->shadeBoxes[index]->enabled = ScriptArgBool(L, 2) ? 1 : 0;
    return 0;
}

int Lua_SetCurrentAiMap(lua_State* L)
{
    if (!ScriptCheckArgs(L, "SetCurrentAiMap", "n")) {
        GeLog(2, "Lua_SetCurrentAiMap: arguments error\n");
        return 0;
    }
    CQmLocation* location = ScriptCurrentLocation();
    if (!location)
        return 0;
    const uint32_t index = uint32_t(ScriptArgInt(L, 1));
    if (index == location->activeWalkGrid || index >= location->walkGridCount)
        return 0;
    if (CQmAiMap* current = location->CurrentWalkGrid())
        current->ResetMarks();
    location->activeWalkGrid = index;
    return 0;
}

int Lua_GetCurrentAiMap(lua_State* L)
{
    if (!ScriptCheckArgs(L, "GetCurrentAiMap", "")) {
        GeLog(2, "Lua_GetCurrentAiMap: arguments error\n");
        return ScriptPushNumber(L, 0);
    }
    CQmLocation* location = ScriptCurrentLocation();
    if (!location)
        return 0;
    return ScriptPushNumber(L, location->activeWalkGrid);
}
