// Particle behaviours: named step operations that change one aspect of every
// particle of a system (position, velocity, colour, size, the emission
// direction) once per simulation step, in the order the description lists them.
//
// A behaviour walks the slots below the system's active count, dead ones too,
// and reads its start values (colour, size, speed) from the birth set. The
// share of life t is age / life span; a life span that is not above 0 (or not
// a number) counts as a whole life, t = 1, so no behaviour divides by zero.
// Colour channels are written saturated to 0..255, so neither a parameter out
// of range nor one that is not a number reaches an integer conversion.
//
// The outside sources (wind and forces, collision space, light) belong to the
// system's owner; without them the behaviours that need them do nothing.
#pragma once

#include "Engine/Core/Common/GeArray.h"
#include "Engine/Core/Common/GeMath.h"

#include <cstdint>

class CGcParticleSystem;

// A behaviour's operation: the system and its eight parameters Val0 to Val7.
typedef void (*GcParticleBehaviour)(CGcParticleSystem& system, const float* values);

// One "PROC" of a description: the operation and its parameters (0 when the
// file leaves one out).
struct GcBehaviourEntry {
    GcParticleBehaviour operation = nullptr;
    float values[8] = {0, 0, 0, 0, 0, 0, 0, 0};
};

// A point source of force: it pulls towards its position with the strength
// 1 / (a + b dist + c dist^2).
struct GcForcePoint {
    Vec3 position = {0.0f, 0.0f, 0.0f};
    float a = 1.0f;
    float b = 0.0f;
    float c = 0.0f;
};

// The wind and force source of a system.
struct GcWindSource {
    Vec3 wind = {0.0f, 0.0f, 0.0f};
    Vec3 force = {0.0f, 0.0f, 0.0f};
    CGeArray<GcForcePoint> points;
};

// The light "Color_Light" shades with: kind 1 is a point light (position and
// attenuation used), any other kind a directional light (direction used).
struct GcParticleLight {
    uint32_t kind = 0;
    Vec3 position = {0.0f, 0.0f, 0.0f};
    Vec3 direction = {0.0f, 0.0f, 1.0f};
    float a = 1.0f;
    float b = 0.0f;
    float c = 0.0f;
};

// The operation of a behaviour name (exact, case-sensitive), or null.
GcParticleBehaviour FindParticleBehaviour(const char* name);

// The share of life of a particle: age / life, 1 when the life is not above 0.
inline float ParticleLifeShare(float age, float life)
{
    return life > 0.0f ? age / life : 1.0f;
}
