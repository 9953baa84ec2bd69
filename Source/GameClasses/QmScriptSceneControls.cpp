// "GetCameraPos", "GetEntityRotation", "ChangeShadeLightPos",
// "SetEntitySprite3DAlpha", "LoadOverlayDocument", what lies under the mouse
// ("GetSelectedEntity", "GetSelectedBackgroundPoint",
// "GetSelectedEntityPoint"), "SetMainHero" and "LockInput".
//
// The functions that use the current location do nothing and push nothing
// without one; "GetEntityRotation" then answers as for an unknown entity.
//
// Choices:
// - "SetEntitySprite3DAlpha" sets the alpha only of a 2D visual (screen or
//   scene sprite); a mesh or an effect at that index goes to the trace
//   instead of being written through the wrong type.
// - "LoadOverlayDocument" replaces a document of the same name in the map
//   but keeps the old one alive with the location, since it may be shown.
// - "GetCameraPos" of a location without camera groups answers 0, 0, 0.
// - "GetSelectedBackgroundPoint" answers 0, 0, 0 without a location, a
//   camera or a background, like a point that hits nothing.
#include "Source/GameClasses/QmScriptSceneControls.h"

#include "Engine/Core/Common/GeFileData.h"
#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GeXml.h"
#include "Engine/Core/Gm/GmCamera.h"
#include "Engine/Core/Gm/GmVisual2D.h"
#include "Source/GameClasses/QmEntity.h"
#include "Source/GameClasses/QmGameProcessor.h"
#include "Source/GameClasses/QmLocation.h"
#include "Source/GameClasses/QmLocationLoader.h"
#include "Source/GameClasses/QmScriptApi.h"

#include <tinyxml.h>

#include <cmath>

namespace {

const float kScriptRadiansToDegrees = 57.29578f;

} // namespace

int Lua_GetCameraPos(lua_State* L)
{
    CQmLocation* location = ScriptCurrentLocation();
    if (!location)
        return 0;
    if (!ScriptCheckArgs(L, "GetCameraPos", ""))
        return ScriptPushVector(L, 0.0f, 0.0f, 0.0f);
    const CGmCamera* camera = location->ActiveCamera();
    if (!camera)
        return ScriptPushVector(L, 0.0f, 0.0f, 0.0f);
    if (camera->viewMode == 1)
        return ScriptPushVector(L, camera->eye.x, camera->eye.y, camera->eye.z);
    const Matrix4& world = camera->frame.world;
    return ScriptPushVector(L, world.At(0, 3), world.At(1, 3), world.At(2, 3));
}

int Lua_GetEntityRotation(lua_State* L)
{
    if (!ScriptCheckArgs(L, "GetEntityRotation", "t"))
        return ScriptPushVector(L, 0.0f, 0.0f, 0.0f);
    const char* name = ScriptArgText(L, 1);
    const CQmEntity* entity = ScriptFindEntity(name);
    if (!entity) {
        ScriptLogLookupFailed("Lua_GetEntityRotation: Actor '%s' not found in location!\n", name);
        return ScriptPushVector(L, 0.0f, 0.0f, 0.0f);
    }
    const Vec3& angles = entity->frame.angles;
    return ScriptPushVector(L, angles.x * kScriptRadiansToDegrees, angles.y * kScriptRadiansToDegrees,
                            angles.z * kScriptRadiansToDegrees);
}

int Lua_ChangeShadeLightPos(lua_State* L)
{
    if (!ScriptCheckArgs(L, "ChangeShadeLightPos", "nnn"))
        return 0;
    CQmLocation* location = ScriptCurrentLocation();
    if (!location)
        return 0;
    location->shadeLightPosition.x = ScriptArgFloat(L, 1);
    location->shadeLightPosition.y = ScriptArgFloat(L, 2);
    location->shadeLightPosition.z = ScriptArgFloat(L, 3);
    location->UpdateShadeLight();
    return 0;
}

int Lua_SetEntitySprite3DAlpha(lua_State* L)
{
    if (!ScriptCheckArgs(L, "SetEntitySprite3DAlpha", "tnn"))
        return 0;
    const char* name = ScriptArgText(L, 1);
    const uint32_t index = uint32_t(ScriptArgInt(L, 2));
    // Rounded to the nearest integer, of which the low byte is the alpha.
    const uint8_t alpha = uint8_t(uint32_t(ScriptTruncateToInt(std::floor(ScriptArgNumber(L, 3) + 0.5))) & 0xFF);
    const CQmEntity* entity = ScriptFindEntity(name);
    auto* visuals = entity ? entity->Prop<CQmPropVisualObject>(QM_PROP_VISUAL_OBJECT) : nullptr;
    if (!visuals || index >= visuals->visuals.Count() || !visuals->visuals[index]) {
        GeTrace("Lua_SetEntitySprite3DAlpha: entity '%s' has no visual %u", name, index);
        return 0;
    }
    auto* visual = dynamic_cast<CGmVisual2D*>(visuals->visuals[index]);
    if (!visual) {
        GeTrace("Lua_SetEntitySprite3DAlpha: visual %u of entity '%s' is not a sprite", index, name);
        return 0;
    }
    visual->SetAlpha(alpha);
    return 0;
}

int Lua_LoadOverlayDocument(lua_State* L)
{
    if (!ScriptCheckArgs(L, "LoadOverlayDocument", "t"))
        return 0;
    CQmLocation* location = ScriptCurrentLocation();
    if (!location)
        return 0;
    const char* file = ScriptArgText(L, 1);
    CGeFileData data = LoadFileData((g_dataRoot + file).c_str());
    if (!data.size)
        GeLog(2, "Lua_LoadOverlayDocument: File open error %s", file);
    TiXmlDocument document;
    const bool parsed = data.size && XmlParseDocumentText(data.data, data.size, document) && !document.Error();
    FreeFileData(data);
    const TiXmlElement* root = parsed ? document.FirstChildElement("overlay_document") : nullptr;
    // The reader logs a root without a name (and a missing root) itself.
    LoadOverlayDocument(*location, root);
    return 0;
}

int Lua_GetSelectedEntity(lua_State* L)
{
    if (!ScriptCheckArgs(L, "GetSelectedEntity", "")) {
        lua_pushnil(L);
        return 1;
    }
    const CQmEntity* entity = g_gameProcessor ? g_gameProcessor->GetSelectedEntity() : nullptr;
    return ScriptPushText(L, entity ? entity->name.c_str() : "");
}

int Lua_GetSelectedBackgroundPoint(lua_State* L)
{
    if (!ScriptCheckArgs(L, "GetSelectedBackgroundPoint", ""))
        return ScriptPushVector(L, 0.0f, 0.0f, 0.0f);
    Vec3 point = {0.0f, 0.0f, 0.0f};
    if (!g_gameProcessor || !g_gameProcessor->PickBackgroundPoint(point))
        point = Vec3{0.0f, 0.0f, 0.0f};
    return ScriptPushVector(L, point.x, point.y, point.z);
}

int Lua_GetSelectedEntityPoint(lua_State* L)
{
    if (!ScriptCurrentLocation())
        return 0;
    Vec3 point = {0.0f, 0.0f, 0.0f};
    if (ScriptCheckArgs(L, "GetSelectedEntityPoint", "") && g_gameProcessor &&
        !g_gameProcessor->GetSelectedEntity(&point))
        point = Vec3{0.0f, 0.0f, 0.0f};
    return ScriptPushVector(L, point.x, point.y, point.z);
}

int Lua_SetMainHero(lua_State* L)
{
    if (!ScriptCheckArgs(L, "SetMainHero", "t") || !g_gameProcessor)
        return 0;
    g_gameProcessor->heroName = ScriptArgString(L, 1);
    g_gameProcessor->SetMainHero();
    return 0;
}

int Lua_LockInput(lua_State* L)
{
    if (!ScriptCheckArgs(L, "LockInput", "n") || !g_gameProcessor)
        return 0;
    g_gameProcessor->LockInput(ScriptArgFloat(L, 1));
    return 0;
}
