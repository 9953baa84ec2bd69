#include "Source/GameClasses/QmSoundLink.h"

// Stand-ins: the sound manager does not exist yet.
namespace {
bool s_muted = false;
} // namespace

void QmSoundSetFocusMute(bool mute)
{
    s_muted = mute;
}

bool QmSoundIsMuted()
{
    return s_muted;
}

void QmSoundAfterFrame(CGmCamera*)
{
}

void QmSoundStart(float, float)
{
}

void QmSoundStop()
{
    s_muted = false;
}

bool QmSoundIsStarted()
{
    return false;
}
