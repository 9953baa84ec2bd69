// Debug drawing: unlit lines through two shared dynamic vertex buffers.
#pragma once

// The two debug vertex buffers, made at start-up and deleted at shutdown.
void CreateDebugBuffers();
void ReleaseDebugBuffers();
