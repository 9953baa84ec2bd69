// "Set2DLinkedVisibility", "Start2DLinkedAnim", "Set2DLinkedAlpha",
// "StartSpriteAnim" and "ActivateSkySphere".
//
// 2D-linked objects are found by plain look-up in the current location's
// map; a missing name is logged and changes nothing. Without a current
// location every object is missing.
//
// Choices: "ActivateSkySphere" requires its first argument to be a number
// though it is not used, as the scripts always pass one; a location without
// a sky takes the call silently.
#include "Source/GameClasses/QmScriptAnimations.h"

#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Gm/GmVisual2D.h"
#include "Source/GameClasses/QmEntity.h"
#include "Source/GameClasses/QmLocation.h"
#include "Source/GameClasses/QmScriptApi.h"
#include "Source/GameClasses/QmSkySphere.h"
#include "Source/GameClasses/QmSprite.h"

namespace {

const float kScriptDegreesToRadians = 0.0174532924f;

// The named 2D-linked object (argument 1), or null after the log line.
CQmLinked2dObject* FindLinked(lua_State* L, const char* format)
{
    const char* name = ScriptArgText(L, 1);
    CQmLocation* location = ScriptCurrentLocation();
    auto* node = location ? location->linkedObjects.Find(CGeString(name)) : nullptr;
    if (!node) {
        ScriptLogLookupFailed(format, name);
        return nullptr;
    }
    return &node->value;
}

} // namespace

int Lua_Set2DLinkedVisibility(lua_State* L)
{
    if (!ScriptCheckArgs(L, "Set2DLinkedVisibility", "tb"))
        return 0;
    if (FindLinked(L, "Lua_Set2DLinkedVisibility: No linked object '%s' found in location!\n"))
        ScriptCurrentLocation()->SetLinked2DVisibility(ScriptArgText(L, 1), ScriptArgBool(L, 2));
    return 0;
}

int Lua_Start2DLinkedAnim(lua_State* L)
{
    if (!ScriptCheckArgs(L, "Start2DLinkedAnim", "tt"))
        return 0;
    if (CQmLinked2dObject* object =
            FindLinked(L, "Lua_Start2DLinkedAnim: No 2D-linked object '%s' found in location!\n"))
        object->StartAnimation(ScriptArgText(L, 2));
    return 0;
}

int Lua_Set2DLinkedAlpha(lua_State* L)
{
    if (!ScriptCheckArgs(L, "Set2DLinkedAlpha", "ttn"))
        return 0;
    CQmLinked2dObject* object = FindLinked(L, "Lua_Set2DLinkedAlpha: No 2D-linked object '%s' found in location!\n");
    if (!object)
        return 0;
    auto* animation = object->animations.Find(CGeString(ScriptArgText(L, 2)));
    if (!animation)
        return 0;
    // Truncated, then taken as a byte: 300 gives 44.
    const uint8_t alpha = uint8_t(uint32_t(ScriptArgInt(L, 3)) & 0xFF);
    for (const QmLinkedSequence& step : animation->value)
        if (step.sprite)
            step.sprite->SetAlpha(alpha);
    return 0;
}

int Lua_StartSpriteAnim(lua_State* L)
{
    if (!ScriptCheckArgs(L, "StartSpriteAnim", "tt"))
        return 0;
    const char* name = ScriptArgText(L, 1);
    const CQmEntity* entity = ScriptFindEntity(name);
    if (!entity) {
        ScriptLogLookupFailed("Lua_StartSpriteAnim: No entity '%s' found in location!\n", name);
        return 0;
    }
    auto* visuals = entity->Prop<CQmPropVisualObject>(QM_PROP_VISUAL_OBJECT);
    if (!visuals) {
        ScriptLogLookupFailed("Lua_StartSpriteAnim: entity '%s' has not VisualObject! Ignored\n", name);
        return 0;
    }
    const CGeString animation(ScriptArgText(L, 2));
    for (CGmVisualObject* visual : visuals->visuals) {
        QmSpriteSequenceMap* sequences = QmSpriteSequences(visual);
        auto* node = sequences ? sequences->Find(animation) : nullptr;
        if (node && node->value)
            node->value->Start();
    }
    return 0;
}

int Lua_ActivateSkySphere(lua_State* L)
{
    if (!ScriptCheckArgs(L, "ActivateSkySphere", "n|nn"))
        return 0;
    CQmLocation* location = ScriptCurrentLocation();
    CQmSkySphere* sky = location ? location->skySphere : nullptr;
    if (!sky)
        return 0;
    const int count = lua_gettop(L);
    if (count >= 2)
        sky->speed = ScriptArgFloat(L, 2);
    if (count >= 3)
        sky->angle = ScriptArgFloat(L, 3) * kScriptDegreesToRadians;
    sky->active = 1;
    return 0;
}
