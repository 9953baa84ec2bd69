// A cloth: a mass-spring system of points, simulated as a geom of the cloth
// world. The physics step drives it; its owner fills the points and springs,
// calls SetParams, and reads positions and normals back after each frame.
//
// Indices are trusted only as far as they are below the point count: a
// neighbour index out of range counts as none, and a spring with an end out of
// range is skipped, so an owner may mark a missing end with any large value.
#pragma once

#include "Engine/Core/Common/GeArray.h"
#include "Engine/Physics/GeCollisionGeom.h"

#include <cstdint>

constexpr uint32_t kClothNone = 0xFFFFFFFFu;

struct ClothPoint {
    float owner[5];       // the owner's local position and vertex index; never touched here
    Vec3 position;
    Vec3 normal;
    float mass;
    float inverseMass;
    Vec3 force;
    Vec3 externalForce;   // added to during a frame, cleared after the step
    Vec3 velocity;
    uint32_t a, b, c, d;  // neighbours around the point for its normal, kClothNone when missing
    Vec3 previous;        // position before the current sub-step's integration
};

struct ClothSpring {
    uint32_t i, j;
    float restLength;
    float stiffness;
    float b; // kept for the owner; the step does not read it
};

struct ClothWind {
    Vec3 direction;
    float strength;
};

struct ClothConstants {
    float mass = 0.001f;
    float stiffness = 2.0f;
    float b = 0.005f; // the sub-step length
    Vec3 gravity{0.0f, -1000.0f, 0.0f};
    float damping = 0.01f;
    float margin = 3.0f; // the rounding of box and cylinder edges in collisions
};

// The block the cloth's owner passes to SetParams.
struct ClothParamsBlock {
    float mass;
    float stiffness;
    float b;
    float gravity[3];
    float unused;
    float damping;
    float margin;
};

class CGeClothGeom : public CGeCollisionGeom {
public:
    static constexpr uint32_t kWindCapacity = 5;

    CGeClothGeom();
    ~CGeClothGeom() override;

    void ComputeAABB() override {} // a cloth has no bounding box

    // Copies the constants, gives every point the mass and a rest state, and
    // every spring the stiffness and its current length as rest length.
    void SetParams(const ClothParamsBlock& block);
    // Frees the points, springs and winds.
    void Clear();

    // The parts of one sub-step, in the order the step runs them.
    void ComputeNormals();
    void AccumulateForces();
    void ApplySprings();
    void Integrate(float h);
    void UpdateVelocities(float h);

    // The end of a frame: winds and external forces are gone; no storage is
    // given back.
    void ClearAccumulators();

    CGeArray<ClothPoint> points;
    CGeArray<ClothSpring> springs;
    ClothConstants constants;
    // Winds of the current frame; kWindCapacity of them fit without
    // allocating.
    CGeArray<ClothWind> winds;

private:
    void ReserveWinds();
};
