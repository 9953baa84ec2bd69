#include "Engine/Core/Gm/GmLayers.h"

CGmLayers* g_pGmLayers = nullptr;
