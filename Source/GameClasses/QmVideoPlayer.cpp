#include "Source/GameClasses/QmVideoPlayer.h"

#include "Engine/Core/Common/GeFileData.h"
#include "Engine/Core/Common/GeTextConvert.h"
#include "Engine/Core/Gm/GmResCollector.h"
#include "Engine/Core/Gm/GmText.h"
#include "Engine/Core/Gm/GmVideoDecoder.h"
#include "Engine/Core/Sound/SmSound.h"
#include "Engine/Core/Sound/SmSoundData.h"
#include "Engine/Core/Sound/SmSoundManager.h"
#include "Engine/Gui/GeCursorSet.h"
#include "Engine/Gui/GuiManager.h"
#include "Engine/Gui/GuiResources.h"
#include "Source/GameClasses/QmBgSoundManager.h"
#include "Source/GameClasses/QmGameProcessor.h"
#include "Source/GameClasses/QmLocation.h"
#include "Source/GameClasses/QmLocationManager.h"
#include "Source/GameClasses/QmPropSoundSource.h"
#include "Source/GameClasses/QmScriptProcessor.h"

#include <cstring>
#include <string>

namespace {

const uint32_t kAlphaBlend = 5;
const float kSubtitleX = 640.0f;
const float kSubtitleY = 880.0f;

// The video's frames; the set takes its own reference on the decoder.
CGmImageSet VideoImages(const char* file)
{
    CGmImageSet images;
    CGmVideoDecoder* decoder = rescollect::LoadVideo(g_dataRoot + (file ? file : ""));
    images.InitFromVideo(decoder);
    if (decoder)
        decoder->Release();
    return images;
}

// The file's name with "srt" after its last dot; unchanged without a dot.
CGeString SubtitleName(const char* file)
{
    std::string name = file ? file : "";
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos)
        name.replace(dot + 1, std::string::npos, "srt");
    return CGeString(name.c_str());
}

// The background manager's newest main track.
SmSoundRef* NewestMainTrack()
{
    if (!g_bgSoundManager)
        return nullptr;
    return g_bgSoundManager->incoming ? g_bgSoundManager->incoming : g_bgSoundManager->current;
}

} // namespace

CQmVideoPlayer::CQmVideoPlayer(const char* file, bool ends) : CGmSprite(VideoImages(file))
{
    LoadSubtitles(SubtitleName(file).c_str());
    if (CGmVideoDecoder* decoder = imageSet.source) {
        frameRate = decoder->GetFrameRate();
        frameCount = int32_t(decoder->GetFrameCount());
    }
    endFlag = ends;
    ++s_made;
}

uint32_t CQmVideoPlayer::s_made = 0;

CQmVideoPlayer::~CQmVideoPlayer()
{
    for (uint32_t i = 0; i < subtitleCount; ++i)
        delete subtitles[i];
    subtitleCount = 0;
    delete subtitleText;
    subtitleText = nullptr;
    Stop();
}

void CQmVideoPlayer::PlayAudioTrack(const char* file)
{
    frameIndex = -1;
    audioMode = true;
    audio = nullptr;
    m_track = nullptr;
    m_silent = false;
    if (!g_bgSoundManager)
        return;
    const uint32_t starts = g_bgSoundManager->mainStarts;
    g_bgSoundManager->StartMain(file, 1.0f, 0.1f, false, 0, true);
    if (g_bgSoundManager->mainStarts == starts)
        return; // no such sound
    m_track = NewestMainTrack();
    m_trackStart = g_bgSoundManager->mainStarts;
    audio = m_track ? m_track->sound : nullptr;
    if (audio || CSmSoundManager::soundEnabled || !g_soundManager)
        return;
    // Without sound output a track is a stopped sound at the end of its data.
    const CSmSoundEntry* entry = CSmSoundManager::FindSound(g_soundManager, CGeString(file));
    if (entry && entry->data) {
        m_silent = true;
        m_silentLength = entry->data->GetDuration();
    }
}

bool CQmVideoPlayer::HasAudio() const
{
    return audio || m_silent;
}

bool CQmVideoPlayer::PlayTime(uint32_t& milliseconds) const
{
    if (m_silent) {
        milliseconds = m_silentLength;
        return true;
    }
    if (!TrackHeld())
        return false;
    milliseconds = audio->GetPlayTime();
    return true;
}

bool CQmVideoPlayer::TrackHeld() const
{
    // The manager clears its track when the sound is freed; another start
    // makes the newest track someone else's.
    return audio && g_bgSoundManager && g_bgSoundManager->mainStarts == m_trackStart &&
           NewestMainTrack() == m_track && m_track->sound == audio;
}

bool CQmVideoPlayer::AudioStopped() const
{
    return m_silent || !TrackHeld() || audio->IsStopped();
}

void CQmVideoPlayer::Update()
{
    frame.UpdateWorldMatrix();

    if (g_cursors) {
        const bool both = g_cursors->videoFlags[0] && g_cursors->videoFlags[1];
        g_cursors->videoFlags[0] = g_cursors->videoFlags[1] = 0;
        if (both)
            g_cursors->ApplyCursor();
    }

    if (frameIndex != -1 && ((HasAudio() && AudioStopped()) || frameIndex < 0 || frameIndex >= frameCount)) {
        Stop(); // its event may have deleted this player
        return;
    }

    // A stopped sound still reports a play time (its whole length); only a
    // sound the manager gave up is not read.
    uint32_t t = 0;
    if (!PlayTime(t))
        return;
    AdvanceSubtitles(float(t) * 0.001f);
    double target = double(frameRate) * double(t) / 1000.0;
    if (target > double(frameCount))
        target = double(frameCount);
    const int32_t frameTarget = int32_t(target);
    if (frameIndex < frameTarget) {
        SetFrame(uint32_t(frameTarget));
        frameIndex = frameTarget;
    }
}

bool CQmVideoPlayer::IsPlaying() const
{
    if (HasAudio() && AudioStopped())
        return false;
    return frameIndex >= 0 && frameIndex < frameCount;
}

void CQmVideoPlayer::Stop()
{
    if (frameIndex == -1)
        return;
    if (audioMode) {
        // Only our own track: music that replaced it plays on.
        if (TrackHeld())
            g_bgSoundManager->StopMain(0.0f);
    } else if (soundSource) {
        soundSource->StopAll();
    }
    audio = nullptr;
    m_track = nullptr;
    m_silent = false;
    frameIndex = -1;
    if (endFlag && g_gameProcessor)
        g_gameProcessor->logoVideoEnded = 1;
    // Last: the event may delete this player.
    if (g_locationManager && g_locationManager->current) {
        const CGeString event = g_locationManager->current->name + "_video_end";
        ScriptCallFunction(event.c_str(), nullptr, 0, true);
    }
}

void CQmVideoPlayer::Render()
{
    CGmVisual2D::Render();
    if (subtitleText && subtitleShown)
        subtitleText->Render();
}

void CQmVideoPlayer::LoadSubtitles(const char* file)
{
    CGeFileData data = LoadFileData((g_dataRoot + (file ? file : "")).c_str(), false);
    if (!data.data || data.size == 0) {
        FreeFileData(data);
        return;
    }
    CGeString bytes;
    bytes.Resize(data.size, false);
    memcpy(bytes.data, data.data, data.size);
    bytes.data[data.size] = 0;
    FreeFileData(data);
    const CGeWString wide = Utf8StringToWide(bytes);
    const char16_t* text = wide.c_str();
    uint32_t length = wide.Length();
    if (length > 0 && text[0] >= 0x80) {
        ++text;
        --length;
    }
    QmSubtitle entries[kMaxSubtitles];
    const uint32_t count = QmReadSubtitles(text, length, entries, kMaxSubtitles - subtitleCount);
    for (uint32_t i = 0; i < count; ++i)
        subtitles[subtitleCount++] = new QmSubtitle(entries[i]);
    if (subtitleCount == 0)
        return;
    CGuiFont* font = CGuiResources::FindFont(CGeString("SRT_FONT"));
    if (!subtitleText && font) {
        subtitleText = new CGmText(font);
        subtitleText->blendMode = kAlphaBlend;
        subtitleText->color = 0xFFFFFF;
        subtitleText->alpha = 255;
        subtitleText->UpdateColor();
        subtitleText->alignment = 2;
        subtitleText->SetBoxSize(-4.0f, 40.0f);
        subtitleText->scrollOffset[0] = subtitleText->scrollOffset[1] = 0.0f;
        subtitleText->frame.SetPosition({kSubtitleX, kSubtitleY, 0.0f});
    }
    if (subtitleText)
        subtitleText->Layout(CGeWString());
    subtitleShown = false;
    nextSubtitle = 0;
}

void CQmVideoPlayer::AdvanceSubtitles(float t)
{
    if (subtitleText)
        subtitleText->Update();
    if (!subtitleShown) {
        if (nextSubtitle < subtitleCount && subtitles[nextSubtitle]->start < t) {
            const QmSubtitle& entry = *subtitles[nextSubtitle];
            subtitleShown = true;
            if (subtitleText) {
                subtitleText->Layout(CGeWString(entry.text));
                subtitleText->color = entry.colour;
                subtitleText->UpdateColor();
                subtitleText->visible = 1;
            }
        }
    } else if (subtitles[nextSubtitle]->end < t) {
        subtitleShown = false;
        ++nextSubtitle;
        if (subtitleText)
            subtitleText->Layout(CGeWString());
    }
}
