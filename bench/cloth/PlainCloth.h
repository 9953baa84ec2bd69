// The cloth step written as a plain loop over float arrays: the reference the
// engine's step is timed against. It does the same arithmetic in the same
// order, so both give the same positions.
#pragma once

#include <cstdint>
#include <vector>

struct PlainObstacle {
    int kind;            // 0 plane, 2 sphere, 3 oriented box, 5 capsule
    float centre[3];
    float rows[3][3];    // the shape's axes in the world
    float size[3];       // box: full edge lengths; sphere: radius in [0]; capsule: length, radius
};

struct PlainCloth {
    uint32_t count = 0;
    std::vector<float> pos, prev, normal, vel, force, ext; // 3 floats per point
    std::vector<float> mass, inverseMass;
    std::vector<uint32_t> neighbours;                      // a, b, c, d per point
    std::vector<uint32_t> springEnds;                      // i, j per spring
    std::vector<float> springRest, springStiffness;
    float gravity[3] = {0.0f, -1000.0f, 0.0f};
    float damping = 0.01f;
    float margin = 3.0f;
    std::vector<PlainObstacle> obstacles;                  // in the order they are met

    void Frame(float dt, float h);
    void SubStep(float h);
};
