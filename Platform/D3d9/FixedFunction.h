// The fixed-function pipeline of the Direct3D-9-shaped device, emulated with
// generated GLSL programs: one program per normalised state key (built on
// first use, never evicted) plus uniform blocks that carry the values.
//
// Uniform blocks take the binding points 0..4 of FfpBlockBinding
// (FixedFunctionShader.h); the device leaves them alone.
// Internal header of the platform layer: only Platform/ and its tests include it.
#pragma once

#include "Platform/D3d9/D3d9State.h"
#include "Platform/D3d9/FixedFunctionKey.h"

#include <cstddef>
#include <cstdint>
#include <string>

// Before each draw, with the device's context current and its vertex arrays and
// textures bound: makes the program for the current state current, uploads the
// uniform values that changed and clears the state's dirty bits. Returns false
// when no program can be built for the state; the draw is then skipped.
bool FfpBindProgram(D3d9State& state);

// Deletes the programs and buffers made for the current context and forgets
// them. The device calls it while its context is still current, before the
// context goes away.
void FfpReleaseContext();

struct FfpStats {
    size_t programs;      // distinct keys seen (failed builds included)
    uint64_t cacheHits;   // key changes served from the cache
    uint64_t cacheMisses; // key changes that built a program
    uint64_t keyBuilds;   // times the key was rebuilt from the state
};
FfpStats FfpGetStats();

// Compiles and links the program of key in the current context; 0 on failure,
// with the driver's messages and the sources appended to *error when given.
uint32_t FfpCompileProgram(const FfpKey& key, std::string* error);

// Behaviour switches for undefined cases; takes effect at the next draw.
void FfpSetOptions(const FfpOptions& options);
