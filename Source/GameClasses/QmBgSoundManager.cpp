#include "Source/GameClasses/QmBgSoundManager.h"

CQmBgSoundManager* g_bgSoundManager = nullptr;
