// "PlayVideo", "PlayVideoWithAudio", "ShowHint", "HideHint", "Show3dArrow"
// and "Hide3dArrow".
//
// Both video functions first empty the location's two video slots: a silent
// video picture goes without an event, a video player stops (firing
// "<location>_video_end") and goes. Positions and sizes are fractions of the
// 2D camera's view, so (0, 0, 1, 1) covers the screen.
//
// Choices:
// - A video file that is found but cannot be decoded ends "PlayVideo" like a
//   missing one: a picture without frames would only end at once.
// - Without a current location the video functions change nothing; the hint
//   and arrow functions need none.
#include "Source/GameClasses/QmScriptVideoHints.h"

#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GeTimer.h"
#include "Engine/Core/Gm/GeHub.h"
#include "Engine/Core/Gm/GmCamera.h"
#include "Engine/Core/Gm/GmResCollector.h"
#include "Engine/Core/Gm/GmSprite.h"
#include "Engine/Core/Gm/GmVideoDecoder.h"
#include "Source/GameClasses/QmGameProcessor.h"
#include "Source/GameClasses/QmLocation.h"
#include "Source/GameClasses/QmScriptApi.h"
#include "Source/GameClasses/QmVideoPlayer.h"

namespace {

// Videos draw opaque.
const uint32_t kVideoBlendMode = 1;

void EmptyVideoSlots(CQmLocation& location)
{
    if (CGmVisual2D* picture = location.fullScreenAnim) {
        location.fullScreenAnim = nullptr;
        if (picture->activePlayer)
            picture->activePlayer->Stop();
        delete picture;
    }
    if (CQmVideoPlayer* player = location.video) {
        // The end event may play another video: the slot is empty first.
        location.video = nullptr;
        player->Stop();
        delete player;
    }
}

// The view of the current 2D camera, the reference screen without one.
void ViewSize(float& width, float& height)
{
    const CGmCamera* camera = CGeHub::s_cameras2d[CGeHub::s_currentSlot];
    if (camera && camera->boundWidth > 0.0f && camera->boundHeight > 0.0f) {
        width = camera->boundWidth;
        height = camera->boundHeight;
    } else {
        width = (float)g_referenceScreenSize[0];
        height = (float)g_referenceScreenSize[1];
    }
}

// Arguments first..first + 3: x, y, width and height as fractions of the view.
void PlaceOnView(lua_State* L, int first, CGmVisual2D& visual)
{
    float width = 0.0f, height = 0.0f;
    ViewSize(width, height);
    visual.frame.SetPosition({ScriptArgFloat(L, first) * width, ScriptArgFloat(L, first + 1) * height, 0.0f});
    visual.SetSize(ScriptArgFloat(L, first + 2) * width, ScriptArgFloat(L, first + 3) * height);
    visual.frame.UpdateWorldMatrix();
}

} // namespace

int Lua_PlayVideo(lua_State* L)
{
    if (!ScriptCheckArgs(L, "PlayVideo", "tnnnn"))
        return 0;
    CQmLocation* location = ScriptCurrentLocation();
    if (!location)
        return 0;
    const CGeString file = ScriptArgString(L, 1);
    EmptyVideoSlots(*location);
    if (location != ScriptCurrentLocation())
        return 0;
    CGmVideoDecoder* decoder = rescollect::LoadVideo(g_dataRoot + file);
    if (!decoder || !decoder->IsOpened() || decoder->GetFrameCount() == 0) {
        GeTrace("Lua_PlayVideo: cannot play %s\n", (g_dataRoot + file).c_str());
        if (decoder)
            decoder->Release();
        return 0;
    }
    CGmImageSet images;
    images.InitFromVideo(decoder);
    auto* picture = new CGmSprite(images);
    picture->SetBlendMode(kVideoBlendMode);
    PlaceOnView(L, 2, *picture);
    location->fullScreenAnim = picture;
    picture->SetFrame(0);

    const uint32_t frames = decoder->GetFrameCount();
    CGeFrameAnim player(frames);
    player.SetRange(0, frames - 1);
    const float timerScale = g_geTimer && g_geTimer->scale != 0.0f ? g_geTimer->scale : 25.0f;
    player.speed = decoder->GetFrameRate() / timerScale;
    player.Start(CGeFrameAnim::FORWARD, 1);
    picture->SetFrameAnim(player);
    decoder->Release();
    return 0;
}

int Lua_PlayVideoWithAudio(lua_State* L)
{
    if (!ScriptCheckArgs(L, "PlayVideoWithAudio", "ttnnnn"))
        return 0;
    CQmLocation* location = ScriptCurrentLocation();
    if (!location)
        return 0;
    const CGeString file = ScriptArgString(L, 1);
    const CGeString audio = ScriptArgString(L, 2);
    EmptyVideoSlots(*location);
    if (location != ScriptCurrentLocation())
        return 0;
    auto* player = new CQmVideoPlayer(file.c_str(), false);
    player->SetBlendMode(kVideoBlendMode);
    PlaceOnView(L, 3, *player);
    location->video = player;
    player->SetFrame(0);
    player->PlayAudioTrack(audio.c_str());
    return 0;
}

int Lua_ShowHint(lua_State* L)
{
    if (!ScriptCheckArgs(L, "ShowHint", "nnbntnn")) {
        GeLog(1, "Lua::ShowHint arguments error");
        return 0;
    }
    if (!g_gameProcessor)
        return 0;
    const CGeString name = ScriptArgString(L, 5);
    g_gameProcessor->hints.Show(ScriptArgFloat(L, 1), ScriptArgFloat(L, 2), ScriptArgBool(L, 3),
                                uint8_t(ClampByte(ScriptArgInt(L, 4))), name.c_str(), ScriptArgFloat(L, 6),
                                ScriptArgFloat(L, 7));
    return 0;
}

int Lua_HideHint(lua_State*)
{
    if (g_gameProcessor)
        g_gameProcessor->hints.Hide();
    return 0;
}

int Lua_Show3dArrow(lua_State* L)
{
    if (!ScriptCheckArgs(L, "Show3dArrow", "nnnnnn")) {
        GeLog(2, "Lua_Show3dArrow: arguments error\n");
        return 0;
    }
    if (!g_gameProcessor)
        return 0;
    g_gameProcessor->arrow.Show({ScriptArgFloat(L, 1), ScriptArgFloat(L, 2), ScriptArgFloat(L, 3)},
                                {ScriptArgFloat(L, 4), ScriptArgFloat(L, 5), ScriptArgFloat(L, 6)});
    return 0;
}

int Lua_Hide3dArrow(lua_State*)
{
    if (g_gameProcessor)
        g_gameProcessor->arrow.Hide();
    return 0;
}
