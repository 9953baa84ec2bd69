// The video player: a screen sprite over a Theora video whose frames follow
// the play time of its own sound track, with subtitles from an SRT file beside
// the video (the video's name with "srt" after its last dot).
//
// "PlayVideoWithAudio" and the logo sequence make it, start its track as the
// main background music (PlayAudioTrack) and update it every frame. From the
// first update with a play time t (milliseconds) the shown frame is
// trunc(rate x t / 1000), never moving backwards and skipping frames when the
// sound runs ahead. The player stops when its sound has stopped or the frames
// run out: the track is stopped, the current location's "<name>_video_end"
// fires, and a player made by the logo sequence sets the game processor's
// logoVideoEnded.
//
// Subtitles: UTF-8 (a leading byte-order mark skipped), entries of a number
// line, a "start --> end" line (hh:mm:ss,mmm) and text lines ended by an
// empty line; "<c:#RRGGBB>" (upper-case hexadecimal) at the start of a text
// colours it, "<i>" makes it italic. At most 64 entries of 127 characters.
// They are drawn in the font "SRT_FONT", centred at (640, 880) of the
// reference screen; an entry appears once the play time is past its start and
// goes once it is past its end, one change per update.
//
// Choices:
// - The header is read by our own bounded code: the two times are fields of
//   any length; a time shorter than 12 characters ends the reading like a
//   header that does not match; separators are not checked (the parts are
//   cut by position), so "00:00:01.000" reads; the text starts after the end
//   time's line, whatever its line end.
// - The last entry counts also when the file ends without an empty line.
// - "<i>" is also recognised after a colour tag.
// - With sound output off the track counts as a stopped sound at the end of
//   its data: the first update shows the last frame, the next stops.
// - The player never holds a sound the background manager may free: its
//   track counts as stopped once the manager no longer has it as its newest
//   main track (other music started, music stopped), and stopping the player
//   then leaves the manager's music alone.
// - The two cursor-set flags that each update clears (re-applying the cursor
//   when both were set) are set by nothing in this program.
#pragma once

#include "Engine/Core/Common/GeString.h"
#include "Engine/Core/Gm/GmSprite.h"

#include <cstdint>

class CGmText;
class CGmVideoDecoder;
class CQmPropSoundSource;
class CSmSound;
struct SmSoundRef;

struct QmSubtitle {
    static constexpr uint32_t kMaxText = 127;
    char16_t text[kMaxText + 1] = {}; // "&i" in front for italic entries
    float start = 0.0f;               // seconds
    float end = 0.0f;
    uint32_t colour = 0xFFFFFF; // 0xRRGGBB
};

// Reads SRT entries from UTF-16 text into entries (at most max); returns
// their count.
uint32_t QmReadSubtitles(const char16_t* text, uint32_t length, QmSubtitle* entries, uint32_t max);

class CQmVideoPlayer : public CGmSprite {
public:
    static constexpr uint32_t kMaxSubtitles = 64;

    // The video file (under the data root) and the end flag (set for the
    // logo sequence's players). A file that cannot be read makes a player
    // without frames. The image set holds the video (imageSet.source).
    CQmVideoPlayer(const char* file, bool endFlag);
    // Deletes the subtitles, stops the player (its event fires when it was
    // playing), releases the video.
    ~CQmVideoPlayer() override;

    // Starts the sound file as the main background track; the frames follow
    // it from the next update.
    void PlayAudioTrack(const char* file);
    void Update() override;
    // The video's quad, then the subtitle on show.
    void Render() override;
    bool IsPlaying() const;
    void Stop();
    void LoadSubtitles(const char* file);
    // Shows the next subtitle once t (seconds) is past its start and takes it
    // down once t is past its end; one change per call.
    void AdvanceSubtitles(float t);

    // A track was started: a sound, or the silent stand-in of a sound while
    // sound output is off.
    bool HasAudio() const;
    // The background manager still holds the audio as its newest main track.
    bool TrackHeld() const;
    // The track has stopped or is no longer the manager's.
    bool AudioStopped() const;
    // The track's play position; false once the manager gave it up. A silent
    // track stands at its end.
    bool PlayTime(uint32_t& milliseconds) const;

    // Players made so far: an owner that updates a player sees from it that
    // the end event made another one.
    static uint32_t s_made;

    CQmPropSoundSource* soundSource = nullptr; // not owned; none for the players made here
    CSmSound* audio = nullptr;
    CGmText* subtitleText = nullptr;
    QmSubtitle* subtitles[kMaxSubtitles] = {};
    uint32_t subtitleCount = 0;
    uint32_t nextSubtitle = 0;
    bool subtitleShown = false;
    int32_t frameIndex = -1;
    int32_t frameCount = 0;
    float frameRate = 0.0f;
    bool audioMode = false;
    bool endFlag = false;

private:
    // The manager's track that holds the audio, and the manager's count of
    // main-track starts right after the audio was started.
    SmSoundRef* m_track = nullptr;
    uint32_t m_trackStart = 0;
    // Sound output is off: the track is stopped and as long as its data.
    bool m_silent = false;
    uint32_t m_silentLength = 0;
};
