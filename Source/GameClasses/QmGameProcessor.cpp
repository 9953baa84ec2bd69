#include "Source/GameClasses/QmGameProcessor.h"

CQmGameProcessor* g_gameProcessor = nullptr;
