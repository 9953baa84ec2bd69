// The video player of a location: what the location uses of it so far. The
// player itself (a video sprite over the decoder, following its own sound
// track, with subtitles) comes with the sprite and video controls.
#pragma once

class CQmVideoPlayer {
public:
    virtual ~CQmVideoPlayer() = default;

    virtual void Update() {}
    virtual void Render() {}
    virtual bool IsPlaying() const { return false; }
    virtual void Stop() {}
};
