#include "Engine/Core/Gm/GmResCollector.h"

CGmResCollector* g_pGmResCollector = nullptr;
