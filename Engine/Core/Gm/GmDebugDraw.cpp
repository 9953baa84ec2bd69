#include "Engine/Core/Gm/GmDebugDraw.h"

// The debug buffers are vertex buffers of the resource layer; no routine draws
// with them yet, so there is nothing to make or delete.
void CreateDebugBuffers() {}
void ReleaseDebugBuffers() {}
