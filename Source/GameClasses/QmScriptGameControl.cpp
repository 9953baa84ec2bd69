// Script functions that steer the game: time, the end of the game, screen
// effects, the loading screen, location changes, saving, mini-game and menu
// calls. Each checks its arguments, then calls one operation of the game
// processor, the frame timer, the settings or the menu; none keeps state of
// its own except the game time's base.
//
// Choices:
// - "UpdateScene" runs a whole game update from inside a script call, which
//   itself may come from that update's delayed calls, timers, messages or
//   GUI input. The outer update's frame delta is put back when the nested one
//   returns, so the outer frame goes on with its own time; timers and input
//   keep their own guards against a nested pass (QmScriptTimers.cpp, the
//   processor's input step). An "UpdateScene" from inside the update that an
//   "UpdateScene" started is ignored: a script that reschedules itself and
//   runs the scene would otherwise recurse without end.
// - Pictures (the loading screen of "ChangeLocation" and
//   "SetLoadingScreenImage") are centred on the 2D camera's view, that is the
//   reference screen, whatever the back buffer's size in pixels.
// - "SetLoadingScreenImage" replaces the default loading picture, the one
//   every location change shows; the picture of "ChangeLocation" is the
//   change's own and goes when its fade ends.
// - "ActivateMinigame" writes the settings where start-up read them, through
//   the settings' own save (a temporary file renamed over the old one). It
//   leaves bit 31 alone: the settings file reads a negative mask as 0, so that
//   bit would wipe every unlocked mini-game at the next start.
#include "Source/GameClasses/QmScriptGameControl.h"

#include "Engine/Core/Common/GeFormat.h"
#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GeMath.h"
#include "Engine/Core/Common/GeTimer.h"
#include "Engine/Core/Gm/GeHub.h"
#include "Engine/Core/Gm/GmCamera.h"
#include "Engine/Core/Gm/GmColorFader.h"
#include "Engine/Core/Gm/GmResCollector.h"
#include "Engine/Core/Gm/GmTexture.h"
#include "Engine/Core/Gm/GmVisual2D.h"
#include "Source/GameClasses/QmBaseArcade.h"
#include "Source/GameClasses/QmGameConfig.h"
#include "Source/GameClasses/QmGameProcessor.h"
#include "Source/GameClasses/QmMenu.h"
#include "Source/GameClasses/QmPictures.h"
#include "Source/GameClasses/QmScriptApi.h"
#include "Source/GameClasses/QmUserFolder.h"

#include <cmath>
#include <cstring>

namespace {

// Seconds; 0 until the first "SysGetTime".
float s_gameTimeBase = 0.0f;

// Depth of the updates that "UpdateScene" runs.
int s_sceneDepth = 0;

// Truncation toward zero into a signed 64-bit integer, saturating; NaN is 0.
int64_t TruncateToInt64(double value)
{
    if (std::isnan(value))
        return 0;
    if (value <= -9223372036854775808.0)
        return INT64_MIN;
    if (value >= 9223372036854775807.0)
        return INT64_MAX;
    return static_cast<int64_t>(value);
}

// The centre of the 2D camera's view: where screen pictures are placed.
void ViewCentre(float& x, float& y)
{
    const CGmCamera* camera = CGeHub::s_cameras2d[CGeHub::s_currentSlot];
    if (camera && camera->boundWidth > 0.0f && camera->boundHeight > 0.0f) {
        x = camera->boundWidth * 0.5f;
        y = camera->boundHeight * 0.5f;
    } else {
        x = (float)g_referenceScreenSize[0] * 0.5f;
        y = (float)g_referenceScreenSize[1] * 0.5f;
    }
}

// A one-frame screen picture of the data file name, centred on the view;
// null (debug trace) when the file cannot be had.
QmPicture* LoadScreenPicture(const char* function, const char* name)
{
    bool found = false;
    CGmTexture* texture = rescollect::LoadTexture(g_dataRoot + name, true, &found);
    if (!found) {
        if (texture)
            texture->Release();
        GeTrace("Lua_%s: cannot load picture %s\n", function, name);
        return nullptr;
    }
    float x = 0.0f;
    float y = 0.0f;
    ViewCentre(x, y);
    return QmMakePictureOfTexture(texture, x, y);
}

} // namespace

void ScriptResetGameTime()
{
    s_gameTimeBase = 0.0f;
}

int Lua_SysSetTimeScale(lua_State* L)
{
    if (ScriptCheckArgs(L, "SysSetTimeScale", "n") && g_geTimer)
        g_geTimer->speed = ScriptArgFloat(L, 1);
    return 0;
}

int Lua_SysSetMaxTimeQuantum(lua_State* L)
{
    if (ScriptCheckArgs(L, "SysSetMaxTimeQuantum", "n") && g_geTimer)
        g_geTimer->maxDelta = ScriptArgFloat(L, 1);
    return 0;
}

int Lua_SysGetTime(lua_State* L)
{
    if (!g_geTimer || g_geTimer->frequency <= 0)
        return ScriptPushNumber(L, 0.0);
    // Whole milliseconds of the counter, then seconds in single precision.
    const double milliseconds = (double)g_geTimer->now / ((double)g_geTimer->frequency * 0.001);
    const float t = (float)((double)TruncateToInt64(milliseconds) / 1000.0);
    if (s_gameTimeBase == 0.0f)
        s_gameTimeBase = t;
    // The whole span since the first call runs at the speed in force now.
    return ScriptPushNumber(L, s_gameTimeBase + (t - s_gameTimeBase) * g_geTimer->speed);
}

int Lua_FinishGame(lua_State* L)
{
    // Any call asks for the end; only a single number gives a code.
    const bool coded = lua_gettop(L) == 1 && ScriptIsNumber(L, 1);
    if (g_gameProcessor) {
        g_gameProcessor->finishMenuArgument = (uint32_t)(coded ? ScriptArgInt(L, 1) : 0);
        g_gameProcessor->finishRequested = 1;
    }
    return 0;
}

int Lua_GameEnable(lua_State* L)
{
    if (ScriptCheckArgs(L, "GameEnable", "b") && g_gameProcessor)
        g_gameProcessor->gameEnabled = ScriptArgBool(L, 1) ? 1 : 0;
    return 0;
}

int Lua_GetDist3D(lua_State* L)
{
    if (!ScriptCheckArgs(L, "GetDist3D", "nnnnnn"))
        return 0;
    const float dx = ScriptArgFloat(L, 4) - ScriptArgFloat(L, 1);
    const float dy = ScriptArgFloat(L, 5) - ScriptArgFloat(L, 2);
    const float dz = ScriptArgFloat(L, 6) - ScriptArgFloat(L, 3);
    return ScriptPushNumber(L, std::sqrt(dx * dx + dy * dy + dz * dz));
}

int Lua_Get2DScaleFactor(lua_State* L)
{
    if (!ScriptCheckArgs(L, "Get2DScaleFactor", "")) {
        ScriptPushNumber(L, 0.0);
        return 1 + ScriptPushNumber(L, 0.0);
    }
    const float* scale = g_gm2dScale[CGeHub::s_currentSlot];
    ScriptPushNumber(L, scale[0]);
    return 1 + ScriptPushNumber(L, scale[1]);
}

int Lua_SendActiveArcadeEvent(lua_State* L)
{
    if (!ScriptCheckArgs(L, "SendActiveArcadeEvent", "n")) {
        GeLog(2, "SendActiveArcadeEvent : argument error!");
        return 0;
    }
    if (g_gameProcessor && g_gameProcessor->currentArcade)
        g_gameProcessor->currentArcade->OnScriptEvent(ScriptArgInt(L, 1));
    return 0;
}

int Lua_SetWalkerTrajectoryLength(lua_State* L)
{
    if (!ScriptCheckArgs(L, "SetWalkerTrajectoryLength", "n")) {
        GeLog(2, "SetWalkerTrajectoryLength : argument error!");
        return 0;
    }
    if (g_gameProcessor)
        g_gameProcessor->walkLengthLimit = ScriptArgFloat(L, 1);
    return 0;
}

int Lua_SetLoadingScreenImage(lua_State* L)
{
    if (!ScriptCheckArgs(L, "SetLoadingScreenImage", "t") || !g_gameProcessor)
        return 0;
    QmPicture* picture = LoadScreenPicture("SetLoadingScreenImage", ScriptArgText(L, 1));
    if (!picture)
        return 0;
    QmDeletePicture(g_gameProcessor->loadingPicture);
    g_gameProcessor->loadingPicture = picture;
    return 0;
}

int Lua_StartScreenEffect(lua_State* L)
{
    const bool grey = lua_gettop(L) == 4;
    if (!ScriptCheckArgs(L, "StartScreenEffect", grey ? "tnnn" : "tn") || !g_gameProcessor)
        return 0;
    const CGeString name = ScriptArgString(L, 1);
    float duration = ScriptArgFloat(L, 2);
    Vec4 from = {0.0f, 0.0f, 0.0f, 0.0f};
    Vec4 to = {0.0f, 0.0f, 0.0f, 0.0f};
    if (grey) {
        const float g1 = ScriptArgFloat(L, 3);
        const float g2 = ScriptArgFloat(L, 4);
        from = {g1, g1, g1, 1.0f};
        to = {g2, g2, g2, 1.0f};
    } else if (name == "fading") {
        from = {1.0f, 1.0f, 1.0f, 1.0f};
        to = {0.0f, 0.0f, 0.0f, 1.0f};
    } else if (name == "lighting") {
        from = {0.0f, 0.0f, 0.0f, 1.0f};
        to = {1.0f, 1.0f, 1.0f, 1.0f};
    }
    uint32_t a = ColorToArgb(from.x, from.y, from.z, from.w);
    uint32_t b = ColorToArgb(to.x, to.y, to.z, to.w);
    if (duration < 0.0f) {
        const uint32_t swap = a;
        a = b;
        b = swap;
        duration = -duration;
    }
    CGmColorFader* fader = g_gameProcessor->effectFader;
    if (name == "stop")
        fader->Stop();
    if (name == "fading")
        fader->Start(0, a, b, duration);
    else if (name == "lighting")
        fader->StartScreenEffect(a, b, duration);
    else
        g_gameProcessor->StartScreenEffect(name.c_str(), duration);
    return 0;
}

int Lua_StartArcadeGame(lua_State* L)
{
    if (!ScriptCheckArgs(L, "StartArcadeGame", "t|t") || !g_gameProcessor)
        return 0;
    const CGeString name = ScriptArgString(L, 1);
    const bool withParameter = lua_gettop(L) == 2;
    const CGeString parameter = withParameter ? ScriptArgString(L, 2) : CGeString();
    g_gameProcessor->StartArcadeByName(name.c_str(), withParameter ? parameter.c_str() : nullptr);
    return 0;
}

int Lua_GlobalCommand(lua_State* L)
{
    if (ScriptCheckArgs(L, "GlobalCommand", "t") && g_gameProcessor)
        g_gameProcessor->GlobalCommand(ScriptArgString(L, 1).c_str());
    return 0;
}

int Lua_UpdateScene(lua_State*)
{
    if (!g_gameProcessor)
        return 0;
    if (s_sceneDepth > 0) {
        GeTrace("Lua_UpdateScene: ignored inside the update it started\n");
        return 0;
    }
    // Put back on the way out, also when the update throws.
    struct NestedUpdate {
        float delta = g_geTimer ? g_geTimer->delta : 0.0f;
        NestedUpdate() { ++s_sceneDepth; }
        ~NestedUpdate()
        {
            --s_sceneDepth;
            if (g_geTimer)
                g_geTimer->delta = delta;
        }
    } nested;
    g_gameProcessor->Update();
    return 0;
}

int Lua_ChangeLocation(lua_State* L)
{
    if (!ScriptCheckArgs(L, "ChangeLocation", "tt|t") || !g_gameProcessor)
        return 0;
    const CGeString location = ScriptArgString(L, 1);
    const CGeString entry = ScriptArgString(L, 2);
    if (lua_gettop(L) == 3) {
        QmPicture* picture = LoadScreenPicture("ChangeLocation", ScriptArgText(L, 3));
        if (!picture)
            return 0;
        g_gameProcessor->ReplaceLoadingScreen(picture);
    }
    g_gameProcessor->RequestLocationChange(location.c_str(), entry.c_str());
    return 0;
}

int Lua_AutoSaveGame(lua_State*)
{
    if (g_gameProcessor)
        g_gameProcessor->SaveGame(0);
    return 0;
}

int Lua_ActivateMinigame(lua_State* L)
{
    if (!ScriptCheckArgs(L, "ActivateMinigame", "n"))
        return 0;
    const uint32_t bit = (uint32_t)ScriptArgInt(L, 1) & 31u;
    if (bit == 31) {
        // The sign bit: the settings file reads a negative mask as no mini-game
        // unlocked, so storing it would lose every unlock at the next start.
        GeTrace("Lua_ActivateMinigame: bit 31 is not kept by the settings file; ignored\n");
        return 0;
    }
    CQmGameConfig::s_minigames = (int32_t)((uint32_t)CQmGameConfig::s_minigames | (1u << bit));
    const CGeString path = FormatString("%s/config.cfg", GetUserDataFolder());
    CQmGameConfig::Save(path.c_str());
    return 0;
}

int Lua_DisableMenuItems(lua_State* L)
{
    if (!ScriptCheckArgCount(L, "DisableMenuItems", 1, 1))
        return 0;
    // A text that is not a number reads as 0; the menu takes the low 32 bits.
    const uint64_t mask = (uint64_t)TruncateToInt64(lua_tonumber(L, 1));
    if (g_menu)
        g_menu->SetDisabledItems((uint32_t)(mask & 0xFFFFFFFFu));
    return 0;
}
