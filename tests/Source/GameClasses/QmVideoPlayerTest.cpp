// The video player: SRT reading (a table of files, the caps, the bounded
// header), the subtitle file's name and font, the subtitles' timing; frames
// that follow the audio on the mixer's manual backend, read back from the
// texture; the ends of a video (its audio's end, deletion, other music,
// sound output off), each firing "<location>_video_end" once; and a frame
// with its subtitle by pixels.
#include "Source/GameClasses/QmVideoPlayer.h"

#include "Engine/Core/Gm/GmText.h"
#include "Engine/Core/Gm/GmVideoDecoder.h"
#include "tests/Engine/Core/Sound/SoundFixtures.h"
#include "tests/Source/GameClasses/HintVideoFixtures.h"
#include "tests/Source/GameClasses/ScriptEventRecorder.h"
#include "tests/Source/GameClasses/ScriptLocationFixture.h"
#include "tests/Support/ErrorBoxRecorder.h"
#include "tools/videoclip/TheoraClipWriter.h"

#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace {

struct Entry {
    float start, end;
    std::u16string text;
    uint32_t colour;
};

std::vector<Entry> Read(const std::u16string& text)
{
    QmSubtitle entries[CQmVideoPlayer::kMaxSubtitles];
    const uint32_t count = QmReadSubtitles(text.data(), uint32_t(text.size()), entries, CQmVideoPlayer::kMaxSubtitles);
    std::vector<Entry> out;
    for (uint32_t i = 0; i < count; ++i)
        out.push_back({entries[i].start, entries[i].end, entries[i].text, entries[i].colour});
    return out;
}

std::string Narrow(const std::u16string& text)
{
    std::string out;
    for (char16_t c : text)
        out += c < 0x80 ? char(c) : '?';
    return out;
}

} // namespace

TEST(QmSubtitles, EntriesAreReadWithTheirTimesColoursAndLineBreaks)
{
    struct Case {
        const char* what;
        std::u16string file;
        std::vector<Entry> entries;
    };
    const uint32_t white = 0xFFFFFF;
    const Case cases[] = {
        {"LF", u"1\n00:00:01,000 --> 00:00:02,500\nHello\nworld\n\n2\n00:01:00,250 --> 01:02:03,004\nBye\n\n",
         {{1.0f, 2.5f, u"Hello\nworld", white}, {60.25f, 3723.004f, u"Bye", white}}},
        {"CRLF", u"1\r\n00:00:01,000 --> 00:00:02,500\r\nHello\r\nworld\r\n\r\n2\r\n00:01:00,250 --> 00:01:01,000\r\nBye\r\n\r\n",
         {{1.0f, 2.5f, u"Hello\nworld", white}, {60.25f, 61.0f, u"Bye", white}}},
        {"no blank line at the end", u"1\n00:00:01,000 --> 00:00:02,000\nLast words",
         {{1.0f, 2.0f, u"Last words", white}}},
        {"colour", u"7\n00:00:00,000 --> 00:00:01,000\n<c:#FF8000>Text\n\n", {{0.0f, 1.0f, u"Text", 0xFF8000}}},
        {"colour in lower case", u"7\n00:00:00,000 --> 00:00:01,000\n<c:#ff8000>Text\n\n",
         {{0.0f, 1.0f, u"<c:#ff8000>Text", white}}},
        {"italic", u"1\n00:00:00,000 --> 00:00:01,000\n<i>Hi\n\n", {{0.0f, 1.0f, u"&iHi", white}}},
        {"italic and colour", u"1\n00:00:00,000 --> 00:00:01,000\n<c:#00FF00><i>Hi\n\n",
         {{0.0f, 1.0f, u"&iHi", 0x00FF00}}},
        {"a dot before the milliseconds", u"1\n00:00:01.500 --> 00:00:02:250\nA\n\n", {{1.5f, 2.25f, u"A", white}}},
        {"a bad first header", u"one\n00:00:01,000 --> 00:00:02,000\nA\n\n", {}},
        {"no arrow", u"1\n00:00:01,000 - 00:00:02,000\nA\n\n", {}},
        {"a short time ends the reading",
         u"1\n00:00:01,000 --> 00:00:02,000\nA\n\n2\n0:0:3,000 --> 00:00:04,000\nB\n\n3\n00:00:05,000 --> 00:00:06,000\nC\n\n",
         {{1.0f, 2.0f, u"A", white}}},
        {"a header at the end", u"1\n00:00:01,000 --> 00:00:02,000\n", {}},
        {"blank lines before the text", u"1\n00:00:01,000 --> 00:00:02,000\n\n\nA\n\n\n\n", {{1.0f, 2.0f, u"A", white}}},
    };
    for (const Case& c : cases) {
        const std::vector<Entry> entries = Read(c.file);
        ASSERT_EQ(c.entries.size(), entries.size()) << c.what;
        for (size_t i = 0; i < entries.size(); ++i) {
            EXPECT_NEAR(c.entries[i].start, entries[i].start, 1e-3f) << c.what;
            EXPECT_NEAR(c.entries[i].end, entries[i].end, 1e-3f) << c.what;
            EXPECT_EQ(Narrow(c.entries[i].text), Narrow(entries[i].text)) << c.what;
            EXPECT_EQ(c.entries[i].colour, entries[i].colour) << c.what;
        }
    }
}

TEST(QmSubtitles, SixtyFourEntriesOf127CharactersAreKeptAndFieldsOfAnyLengthAreSafe)
{
    std::u16string file;
    for (int i = 1; i <= 65; ++i)
        file += u"1\n00:00:0" + std::u16string(1, char16_t(u'0' + i % 10)) + u",000 --> 00:00:09,000\nline\n\n";
    EXPECT_EQ(64u, Read(file).size());

    const std::u16string long130(130, u'x');
    const std::vector<Entry> cut = Read(u"1\n00:00:01,000 --> 00:00:02,000\n" + long130 + u"\n\n");
    ASSERT_EQ(1u, cut.size());
    EXPECT_EQ(127u, cut[0].text.size());
    const std::vector<Entry> italic = Read(u"1\n00:00:01,000 --> 00:00:02,000\n<i>" + long130 + u"\n\n");
    ASSERT_EQ(1u, italic.size());
    EXPECT_EQ(u"&i" + std::u16string(125, u'x'), italic[0].text);

    // Times of thousands of characters read as numbers, without overrun.
    const std::u16string longTime = u"00:00:01," + std::u16string(5000, u'0') + u"5";
    const std::vector<Entry> odd = Read(u"1\n" + longTime + u" --> " + longTime + u"\nA\n\n");
    ASSERT_EQ(1u, odd.size());
    EXPECT_TRUE(std::isfinite(odd[0].start));
}

namespace {

// A current location "harbour", the background music on the mixer's manual
// backend, and a 64 by 48 clip of 40 frames at 25 frames per second whose
// pictures show their index.
class QmVideoPlayerTest : public ScriptLocationTest {
protected:
    void SetUp() override
    {
        ScriptLocationTest::SetUp();
        music = std::make_unique<CManualMusic>();
        theoraclip::ClipSpec spec;
        const theoraclip::Clip clip = theoraclip::MakeTheoraClip(spec);
        tree.dir.Write("video/clip.ogv", std::string(clip.bytes.begin(), clip.bytes.end()));
        recorder->Record({"harbour_video_end"});
        recorder->Clear();
    }

    void TearDown() override
    {
        music.reset();
        CGuiResources::FreeAll();
        ScriptLocationTest::TearDown();
    }

    // A stereo 16-bit WAV of seconds of a constant sample; its full path.
    std::string Track(const char* name, double seconds)
    {
        const std::string pcm(size_t(seconds * 44100.0) * 4, '\x10');
        return tree.dir.Write(name, WaveFile(2, 44100, 16, pcm));
    }

    // Mixes milliseconds of output, moving the play cursors.
    static void Pull(uint32_t milliseconds) { ASSERT_TRUE(CManualMusic::Pull(milliseconds)); }

    static int ShownIndex(const CQmVideoPlayer& player)
    {
        const CGmImage& image = *player.imageSet.source->GetTexture()->Image();
        return theoraclip::ReadPictureIndex(image.data, image.pitch, image.width, image.height);
    }

    std::string Events() const { return recorder->Joined(); }

    std::unique_ptr<CManualMusic> music;
};

} // namespace

TEST_F(QmVideoPlayerTest, TheSubtitleFileIsTheVideosNameWithSrtAfterItsLastDot)
{
    const char* const srt = "1\n00:00:01,000 --> 00:00:02,000\nX\n\n";
    struct Case {
        const char* video;
        const char* subtitles;
        std::string bytes;
    };
    const Case cases[] = {
        {"video/movie.ogv", "video/movie.srt", srt},
        {"video/a.b.ogv", "video/a.b.srt", srt},
        {"video/plain", "video/plain", srt},              // no dot: the name itself
        {"video/bom.ogv", "video/bom.srt", std::string("\xEF\xBB\xBF") + srt},
    };
    CErrorBoxRecorder errors; // "video/plain" is no video
    for (const Case& c : cases) {
        tree.dir.Write(c.subtitles, c.bytes);
        CQmVideoPlayer player(c.video, false);
        ASSERT_EQ(1u, player.subtitleCount) << c.video;
        EXPECT_EQ(1.0f, player.subtitles[0]->start) << c.video;
        EXPECT_EQ(nullptr, player.subtitleText) << "no SRT_FONT, nothing to show";
    }

    RegisterBlockFont("SRT_FONT");
    CQmVideoPlayer shown("video/movie.ogv", false);
    ASSERT_NE(nullptr, shown.subtitleText);
    EXPECT_EQ(2u, shown.subtitleText->alignment);
    EXPECT_EQ(40.0f, shown.subtitleText->lineHeight);
    EXPECT_EQ(-4.0f, shown.subtitleText->letterSpacing);
    EXPECT_EQ(640.0f, shown.subtitleText->frame.position.x);
    EXPECT_EQ(880.0f, shown.subtitleText->frame.position.y);

    CQmVideoPlayer none("video/clip.ogv", false);
    EXPECT_EQ(0u, none.subtitleCount);
    EXPECT_EQ(nullptr, none.subtitleText);
}

TEST_F(QmVideoPlayerTest, ASubtitleShowsOnceTheTimeIsPastItsStartOneChangeAtATime)
{
    RegisterBlockFont("SRT_FONT");
    tree.dir.Write("video/clip.srt", "1\n00:00:01,000 --> 00:00:02,000\nX\n\n"
                                     "2\n00:00:02,000 --> 00:00:03,000\n<c:#FF8000>XX\n\n");
    CQmVideoPlayer player("video/clip.ogv", false);
    struct Step {
        float t;
        bool shown;
        uint32_t next;
    };
    const Step steps[] = {
        {0.5f, false, 0}, {1.0f, false, 0}, {1.001f, true, 0}, {2.0f, true, 0},
        {9.0f, false, 1}, // past the first's end: down, the second waits for the next call
        {9.0f, true, 1},  {9.0f, false, 2}, {9.0f, false, 2},
    };
    for (const Step& step : steps) {
        player.AdvanceSubtitles(step.t);
        EXPECT_EQ(step.shown, player.subtitleShown) << step.t;
        EXPECT_EQ(step.next, player.nextSubtitle) << step.t;
        if (step.shown && step.next == 1) {
            EXPECT_EQ(0xFF8000u, player.subtitleText->color);
            EXPECT_TRUE(player.subtitleText->text == CGeWString(u"XX"));
        }
    }
}

TEST_F(QmVideoPlayerTest, FramesFollowTheAudioAndItsEndStopsThePlayerOnce)
{
    const std::string track = Track("video/clip.wav", 1.0);
    CQmVideoPlayer player("video/clip.ogv", false);
    ASSERT_EQ(40, player.frameCount);
    ASSERT_EQ(25.0f, player.frameRate);
    player.PlayAudioTrack(track.c_str());
    ASSERT_NE(nullptr, player.audio);
    EXPECT_FALSE(player.IsPlaying()) << "before the first update";

    int32_t previous = -1;
    for (uint32_t step : {0u, 100u, 40u, 300u, 20u, 200u}) {
        Pull(step);
        player.Update();
        const uint32_t t = player.audio->GetPlayTime();
        const int32_t expected = int32_t(25.0 * t / 1000.0);
        EXPECT_EQ(expected, player.frameIndex) << t;
        EXPECT_GE(player.frameIndex, previous) << "never backwards";
        EXPECT_EQ(expected, ShownIndex(player)) << t;
        EXPECT_TRUE(player.IsPlaying());
        previous = player.frameIndex;
    }
    EXPECT_EQ("", Events());

    Pull(500);
    ASSERT_TRUE(player.AudioStopped());
    EXPECT_FALSE(player.IsPlaying());
    player.Update();
    EXPECT_EQ(-1, player.frameIndex);
    EXPECT_EQ(nullptr, player.audio);
    EXPECT_EQ(nullptr, g_bgSoundManager->current) << "its track is stopped";
    player.Update();
    player.Stop();
    EXPECT_EQ("harbour_video_end()", Events());
}

TEST_F(QmVideoPlayerTest, DeletingAPlayingPlayerStopsItsTrackAndFiresTheEvent)
{
    const std::string track = Track("video/clip.wav", 1.0);
    {
        CQmVideoPlayer player("video/clip.ogv", true);
        player.PlayAudioTrack(track.c_str());
        Pull(100);
        player.Update();
        ASSERT_TRUE(player.IsPlaying());
    }
    EXPECT_EQ("harbour_video_end()", Events());
    EXPECT_EQ(nullptr, g_bgSoundManager->current);
    EXPECT_EQ(nullptr, g_bgSoundManager->incoming);
    EXPECT_EQ(1, m_processor.logoVideoEnded) << "the end flag";

    // Without a current location nothing fires.
    recorder->Clear();
    NoLocation();
    {
        CQmVideoPlayer player("video/clip.ogv", false);
        player.PlayAudioTrack(track.c_str());
        player.Update();
    }
    EXPECT_EQ("", Events());
}

TEST_F(QmVideoPlayerTest, MusicStartedMidVideoEndsTheVideoAndPlaysOn)
{
    const std::string track = Track("video/clip.wav", 1.0);
    const std::string music = Track("music/theme.wav", 1.0);
    CQmVideoPlayer player("video/clip.ogv", false);
    player.PlayAudioTrack(track.c_str());
    Pull(100);
    player.Update();
    ASSERT_TRUE(player.IsPlaying());

    g_bgSoundManager->StartMain(music.c_str(), 1.0f, 0.0f, true, 0, false);
    CSmSound* theme = g_bgSoundManager->incoming ? g_bgSoundManager->incoming->sound : g_bgSoundManager->current->sound;
    ASSERT_NE(nullptr, theme);
    EXPECT_FALSE(player.IsPlaying());
    player.Update();
    EXPECT_EQ(-1, player.frameIndex);
    EXPECT_EQ("harbour_video_end()", Events());
    const SmSoundRef* newest = g_bgSoundManager->incoming ? g_bgSoundManager->incoming : g_bgSoundManager->current;
    ASSERT_NE(nullptr, newest);
    EXPECT_EQ(theme, newest->sound) << "the new music plays on";

    // Music stopped outright: the track is gone, the player counts it as stopped.
    CQmVideoPlayer second("video/clip.ogv", false);
    second.PlayAudioTrack(track.c_str());
    second.Update();
    ASSERT_TRUE(second.IsPlaying());
    g_bgSoundManager->StopMain(0.0f);
    EXPECT_FALSE(second.IsPlaying());
    second.Update();
    EXPECT_EQ(-1, second.frameIndex);
}

TEST_F(QmVideoPlayerTest, WithSoundOutputOffTheLastFrameShowsThenThePlayerStops)
{
    const std::string track = Track("video/clip.wav", 2.0);
    const uint8_t enabled = CSmSoundManager::soundEnabled;
    CSmSoundManager::soundEnabled = 0;
    CQmVideoPlayer player("video/clip.ogv", false);
    player.PlayAudioTrack(track.c_str());
    EXPECT_TRUE(player.HasAudio());
    player.Update();
    EXPECT_EQ(39, ShownIndex(player)) << "the whole length: the last frame";
    EXPECT_FALSE(player.IsPlaying());
    EXPECT_EQ("", Events());
    player.Update();
    EXPECT_EQ(-1, player.frameIndex);
    player.Update();
    EXPECT_EQ("harbour_video_end()", Events());
    CSmSoundManager::soundEnabled = enabled;
}

TEST_F(QmVideoPlayerTest, APlayerWhoseAudioNeverStartsWaitsForItsOwner)
{
    CQmVideoPlayer player("video/clip.ogv", false);
    CQmBgSoundManager* music = g_bgSoundManager;
    g_bgSoundManager = nullptr;
    player.PlayAudioTrack(Track("video/clip.wav", 1.0).c_str());
    g_bgSoundManager = music;
    player.Update();
    EXPECT_EQ(-1, player.frameIndex);
    EXPECT_FALSE(player.IsPlaying());
    player.Stop();
    EXPECT_EQ("", Events());
}

TEST_F(QmVideoPlayerTest, ThePlayVideoFunctionsEmptyBothSlotsAndFillTheViewByFractions)
{
    const std::string track = Track("video/clip.wav", 1.0);
    EXPECT_EQ("", Call("PlayVideo('video/clip.ogv', 0, 0, 1, 1)"));
    CGmVisual2D* picture = location->fullScreenAnim;
    ASSERT_NE(nullptr, picture);
    EXPECT_EQ(1280.0f, picture->size[0]);
    EXPECT_EQ(1024.0f, picture->size[1]);
    EXPECT_EQ(0.0f, picture->frame.position.x);
    EXPECT_EQ(1u, picture->blendMode);
    ASSERT_NE(nullptr, picture->activePlayer);
    EXPECT_EQ(1.0f, picture->activePlayer->speed) << "25 frames per second over the timer's scale 25";
    EXPECT_EQ(39u, picture->activePlayer->lastIndex);
    EXPECT_EQ(1, picture->activePlayer->playing);

    // A picture is replaced silently, a player with its end event.
    Call("PlayVideo('video/clip.ogv', 0.5, 0.25, 0.25, 0.5)");
    ASSERT_NE(nullptr, location->fullScreenAnim);
    EXPECT_EQ(640.0f, location->fullScreenAnim->frame.position.x);
    EXPECT_EQ(256.0f, location->fullScreenAnim->frame.position.y);
    EXPECT_EQ(320.0f, location->fullScreenAnim->size[0]);
    EXPECT_EQ(512.0f, location->fullScreenAnim->size[1]);
    Call("PlayVideoWithAudio('video/clip.ogv', '" + track + "', 0, 0, 1, 1)");
    EXPECT_EQ(nullptr, location->fullScreenAnim);
    ASSERT_NE(nullptr, location->video);
    EXPECT_EQ(1280.0f, location->video->size[0]);
    EXPECT_EQ("", Events());
    Pull(100);
    location->Update(0.1f);
    ASSERT_NE(nullptr, location->video);
    ASSERT_TRUE(location->video->IsPlaying());
    Call("PlayVideoWithAudio('video/clip.ogv', '" + track + "', 0, 0, 1, 1)");
    EXPECT_EQ("harbour_video_end()", Events());
    Call("PlayVideo('video/missing.ogv', 0, 0, 1, 1)");
    EXPECT_EQ(nullptr, location->video);
    EXPECT_EQ(nullptr, location->fullScreenAnim);

    // Refused calls and a missing location change nothing.
    Call("PlayVideo('video/clip.ogv', 0, 0, 1)");
    EXPECT_EQ(nullptr, location->fullScreenAnim);
    NoLocation();
    Call("PlayVideo('video/clip.ogv', 0, 0, 1, 1)");
    EXPECT_EQ(nullptr, location->fullScreenAnim);
}

TEST_F(QmVideoPlayerTest, AnEndEventThatPlaysTheNextVideoLeavesTheNewPlayerInPlace)
{
    const std::string track = Track("video/clip.wav", 0.2);
    Run("played = 0 function harbour_video_end() played = played + 1 "
        "if played == 1 then PlayVideoWithAudio('video/clip.ogv', '" + track + "', 0, 0, 1, 1) end end");
    Call("PlayVideoWithAudio('video/clip.ogv', '" + track + "', 0, 0, 1, 1)");
    location->Update(0.1f);
    Pull(300);
    location->Update(0.1f); // the first ends; its event starts the second
    ASSERT_EQ("1", Global("played"));
    ASSERT_NE(nullptr, location->video);
    location->Update(0.1f);
    EXPECT_TRUE(location->video && location->video->IsPlaying());
}

namespace {

class QmVideoPixels : public DataScreen2dTest {
protected:
    void SetUp() override
    {
        DataScreen2dTest::SetUp();
        theoraclip::ClipSpec spec;
        const theoraclip::Clip clip = theoraclip::MakeTheoraClip(spec);
        data.Write("clip.ogv", std::string(clip.bytes.begin(), clip.bytes.end()));
        data.Write("clip.srt", "1\n00:00:00,000 --> 00:00:05,000\n<c:#FF8000>XXX\n\n");
        RegisterBlockFont("SRT_FONT");
    }
};

bool IsOrange(uint32_t pixel)
{
    return (pixel & 0xFFFFFF) == 0xFF8000;
}

} // namespace

TEST_F(QmVideoPixels, AFrameWithItsSubtitleCentredAt640By880InItsColour)
{
    CQmVideoPlayer player("clip.ogv", false);
    player.SetSize(1280.0f, 1024.0f);
    player.SetBlendMode(1);
    player.SetFrame(7);
    player.AdvanceSubtitles(1.0f);
    player.AdvanceSubtitles(1.0f); // the text places what the first call laid out
    ASSERT_TRUE(player.subtitleShown);
    Frame(1280, 1024, [&] { player.Render(); });

    int x0 = 1 << 30, x1 = -1, y0 = 1 << 30, y1 = -1;
    for (uint32_t y = 0; y < 1024; ++y)
        for (uint32_t x = 0; x < 1280; ++x)
            if (IsOrange(At(x, y))) {
                x0 = std::min(x0, int(x));
                x1 = std::max(x1, int(x));
                y0 = std::min(y0, int(y));
                y1 = std::max(y1, int(y));
            }
    ASSERT_GE(x1, 0) << "the subtitle is drawn in its colour";
    // The text's measure ends with the pitch of -4 after its last glyph, so
    // its ink sits up to 2 pixels right of the centre.
    EXPECT_NEAR(640.0f, (x0 + x1 + 1) * 0.5f, 2.0f);
    EXPECT_EQ(880, y0);
    EXPECT_LT(y1, 880 + 40);
    // The video fills the rest: frame 7's cells.
    EXPECT_EQ(7, theoraclip::ReadPictureIndex(reinterpret_cast<const uint8_t*>(pixels.data()), 1280 * 4, 1280, 1024));
}
