// A particle system: a drawable scene object with a fixed number of particle
// slots that are born from an emitter shape with random spread, age, are moved,
// coloured and sized by behaviours, are recycled when they die, and are drawn
// as textured quads in one indexed draw.
//
// Choices:
// - Particles live in world space in two structure-of-arrays sets: the current
//   state and the state at birth (whose age column holds the life span).
//   Nothing is allocated per birth.
// - A system holds at most kGcMaxParticles slots: four vertices a quad must
//   stay within 16-bit indices. Larger counts are clamped with a log line.
// - Quads are built in view space with the current 3D camera's view, so the
//   draw sets the view to identity and restores the camera's afterwards.
//   A fixed facing normal is folded into the corners while they are built:
//   each quad keeps its place and faces the normal, and the world transform
//   stays identity.
// - Random values are (GeRand() mod 4096) / 4096 from the engine's generator.
// - Level of detail at distance 0 shows every particle; a speed-colinear quad
//   whose velocity has no screen direction is drawn unstretched; a stepped
//   float becomes a frame number only through a checked conversion. No NaN or
//   infinity from a hostile file reaches an integer conversion.
// - Precalculation runs at most kGcMaxPrecalcSteps steps of 0.1 s.
// - "MESHES" systems are stored as such (their particles get no spin) and are
//   drawn as quads: no mesh drawing exists for particles.
#pragma once

#include "Engine/Anim/GcParticleBehaviours.h"
#include "Engine/Core/Common/GeArray.h"
#include "Engine/Core/Common/GeMath.h"
#include "Engine/Core/Gm/GmImageSet.h"
#include "Engine/Core/Gm/GmVisual2D.h"

#include <cstdint>

class CGmVertexBuffer;
class CGmIndexBuffer;
struct CollisionGroup;
class CGcPsysPropertyMap;
struct GcPsysValue;

constexpr uint32_t kGcMaxParticles = 16384;
constexpr uint32_t kGcMaxPrecalcSteps = 1000;
// The visual type word of a particle system.
constexpr uint32_t kGcParticleSystemType = 5;
// Vertex flags of the quads: position, colour, one texture coordinate pair.
constexpr uint32_t kGcParticleVertexFlags = 0x1101;

// Option flag bits.
enum : uint32_t {
    GC_PS_SYNCHRONIZED = 1,
    GC_PS_PRECALCULATED = 2,
    GC_PS_INCREASABLE = 4,
};

// Blend modes of the description ("NOTEXTURE" .. "ALPHA_STENCIL").
enum : uint32_t {
    GC_BLEND_NOTEXTURE = 0,
    GC_BLEND_COPY = 1,
    GC_BLEND_ADD = 2,
    GC_BLEND_MODULATE = 3,
    GC_BLEND_MODULATE2X = 4,
    GC_BLEND_ALPHA_BLEND = 5,
    GC_BLEND_ALPHA_BLEND_NO_TEST = 6,
    GC_BLEND_ALPHA_STENCIL = 7,
};

enum : uint32_t { GC_PS_QUADS = 0, GC_PS_MESHES = 1 };
enum : uint32_t { GC_EMITTER_POINT = 0, GC_EMITTER_CUBOID = 1, GC_EMITTER_SPHEROID = 2, GC_EMITTER_FRAME = 3 };

// The description of a system; a new block holds the defaults of a file that
// names no property.
struct GcParticleSettings {
    uint32_t blendMode = GC_BLEND_COPY;
    uint32_t secondBlendMode = GC_BLEND_MODULATE;
    uint32_t systemType = GC_PS_QUADS;
    uint32_t emitterType = GC_EMITTER_POINT;
    Vec3 emitterExtent = {0.0f, 0.0f, 0.0f};
    Vec3 minSize = {1.0f, 1.0f, 1.0f};
    Vec3 maxSize = {10.0f, 10.0f, 10.0f};
    Vec3 direction = {0.0f, 0.0f, 0.0f};
    float innerAngle = 0.0f; // degrees
    float outerAngle = 360.0f;
    float minSpeed = 0.0f;
    float maxSpeed = 10.0f;
    float spinRange = 0.0f; // degrees
    Vec3 spinAxis = {0.0f, 0.0f, 0.0f};
    uint8_t speedColinear = 0;
    Vec3 facingNormal = {0.0f, 0.0f, 0.0f};
    float pivot[2] = {0.5f, 0.5f};
    uint32_t colour1 = 0xFFFFFFFF;
    uint32_t colour2 = 0xFFFFFFFF;
    float minLife = 0.5f;
    float maxLife = 1.0f;
    float appearTime = 0.0f;
    float animationSpeed = 0.0f;
    float timeScale = 1.0f;
    uint32_t options = GC_PS_INCREASABLE;
    uint32_t bornCount = 0;
    uint32_t bornGranularity = 0;
    uint8_t lodAuto = 0;
    float lodDistance = 1.0f;
};

// One vertex of a particle quad.
struct GcParticleVertex {
    float x, y, z;
    uint32_t colour;
    float u, v;
};

// One set of particle arrays, a slot per entry.
struct GcParticleArrays {
    Vec4* position = nullptr;
    Vec4* size = nullptr;
    Vec4* velocity = nullptr;
    Vec2* spin = nullptr; // angle, angular speed (radians, radians per second)
    uint32_t* colour = nullptr;
    uint16_t* frame = nullptr;
    float* age = nullptr; // the birth set: the life span
    uint8_t* alive = nullptr;
    uint32_t* births = nullptr;
    int32_t* index = nullptr;

    void Allocate(uint32_t count);
    void Free();
    // Copies slot i of another set into slot i of this one.
    void CopySlot(const GcParticleArrays& from, uint32_t i);
};

class CGcParticleSystem : public CGmVisualObject {
public:
    // Allocates both sets for min(count, kGcMaxParticles) slots and makes the
    // buffers (none for 0 slots). Constructed finished, not emitting.
    CGcParticleSystem(const GcParticleSettings& settings, uint32_t count);
    ~CGcParticleSystem() override;

    // Reads the particle count, image and frame counts of the map first,
    // loads the texture below the data root and cuts it into frames, makes the
    // system and applies every other property in key order. Null, with a
    // level-2 log line, when the count or the image is missing or the texture
    // is not found.
    static CGcParticleSystem* CreateFromProperties(const CGcPsysPropertyMap& properties, const char* systemName);

    // One simulation step with the frame timer's delta and the vertex fill.
    void Update() override;
    void Render() override;
    // Multiplies the emitter extent, speed and size ranges, the level-of-detail
    // distance and the positions, sizes and velocities of the slots.
    virtual void Scale(float factor);
    // The frame's position, w = 0.
    virtual Vec4 GetPosition(float r1, float r2, float r3);
    // The operations a system without behaviours runs: the position step and
    // four that do nothing.
    virtual void DefaultPositionStep();
    virtual void DefaultStep0() {}
    virtual void DefaultStep1() {}
    virtual void DefaultStep2() {}
    virtual void DefaultStep3() {}
    virtual void AnimateFrames();
    virtual void Spin();
    virtual void StepLife();

    // A property by its wide name ("EP_PS_minLiveTime") with its converted
    // value; a name that matches nothing changes nothing.
    void SetProperty(const char16_t* name, const GcPsysValue& value);
    // Takes a reference on the texture; frame counts of 0 (also in their low
    // 16 bits) count as 1.
    void SetImage(CGmTexture* texture, uint32_t framesTotal, uint32_t framesPerLine);
    void AddBehaviour(const GcBehaviourEntry& entry) { behaviours.Add(entry); }

    void StartEmission();
    void Step(float dt);
    void Respawn(uint32_t i);
    void Birth(uint32_t i);
    void FillVertices();

    void SetWindSource(const GcWindSource* source) { windSource = source; }
    void SetCollisionSpace(CollisionGroup* space) { collisionSpace = space; }
    void SetLight(const GcParticleLight* value) { light = value; }
    void SetEmitterTransform(const Matrix4* transform) { emitterTransform = transform; }

    // A random value in [0, 4095/4096].
    static float Random();

    GcParticleSettings settings;
    const GcWindSource* windSource = nullptr;
    CollisionGroup* collisionSpace = nullptr;
    const GcParticleLight* light = nullptr;
    const Matrix4* emitterTransform = nullptr;
    CGeArray<GcBehaviourEntry> behaviours;
    CGmImageSet images;
    uint32_t framesTotal = 1;
    uint32_t framesPerLine = 1;

    uint32_t capacity = 0;
    uint32_t activeCount = 0;
    float lodFactor = 1.0f;
    uint32_t quadsWritten = 0;
    uint8_t finished = 1;
    uint8_t emitting = 0;
    uint8_t allExpired = 0;
    uint8_t firstStep = 0;
    uint32_t birthLimit = 0;
    float phase[2] = {0.0f, 0.0f};
    float scaledDt = 0.0f;
    float cameraDistance = 0.0f;
    CGeArray<uint32_t> pending;
    Matrix4 facingMatrix = Matrix4::Identity();

    GcParticleArrays current;
    GcParticleArrays birth;
    CGmVertexBuffer* vertexBuffer = nullptr;
    CGmIndexBuffer* indexBuffer = nullptr;
};
