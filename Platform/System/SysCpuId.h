// The processor's CPUID instruction, where the processor has one.
// Public header of the platform layer.
#pragma once

#include <cstdint>

struct SysCpuIdResult {
    uint32_t eax, ebx, ecx, edx;
};

// Runs CPUID for `leaf` (sub-leaf 0) and returns true; returns false, leaving *out
// zeroed, on a processor without the instruction or on another architecture.
bool SysCpuId(uint32_t leaf, SysCpuIdResult* out);
