#include "PlainAnim.h"

#include <cmath>

namespace {

void QuatMatrix(const float* q, const float* p, float* m)
{
    const float x = q[0], y = q[1], z = q[2], w = q[3];
    m[0] = 1 - 2 * (y * y + z * z);
    m[1] = 2 * (x * y - z * w);
    m[2] = 2 * (x * z + y * w);
    m[3] = p[0];
    m[4] = 2 * (x * y + z * w);
    m[5] = 1 - 2 * (x * x + z * z);
    m[6] = 2 * (y * z - x * w);
    m[7] = p[1];
    m[8] = 2 * (x * z - y * w);
    m[9] = 2 * (y * z + x * w);
    m[10] = 1 - 2 * (x * x + y * y);
    m[11] = p[2];
    m[12] = m[13] = m[14] = 0;
    m[15] = 1;
}

void Multiply(const float* a, const float* b, float* out)
{
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c)
            out[4 * r + c] =
                a[4 * r] * b[c] + a[4 * r + 1] * b[4 + c] + a[4 * r + 2] * b[8 + c] + a[4 * r + 3] * b[12 + c];
    }
}

void Lerp(const float* a, const float* b, float t, float* out)
{
    for (int i = 0; i < 3; ++i)
        out[i] = t <= 0 ? a[i] : t >= 1 ? b[i] : a[i] + (b[i] - a[i]) * t;
}

void Slerp(const float* a, const float* b, float t, float* out)
{
    if (t <= 0 || t >= 1) {
        for (int i = 0; i < 4; ++i)
            out[i] = t <= 0 ? a[i] : b[i];
        return;
    }
    float c = a[0] * b[0] + a[1] * b[1] + a[2] * b[2] + a[3] * b[3];
    const float sign = c < 0 ? -1.0f : 1.0f;
    c *= sign;
    float wa = 1 - t, wb = t;
    if (1 - c > 1e-6f) {
        const float s = std::sqrt(1 - c * c);
        const float theta = std::atan2(s, c);
        wa = std::sin((1 - t) * theta) / s;
        wb = std::sin(t * theta) / s;
    }
    for (int i = 0; i < 4; ++i)
        out[i] = wa * a[i] + wb * sign * b[i];
}

} // namespace

void PlainSkeleton::Pose(const float* posePositions, const float* poseRotations)
{
    for (uint32_t j = 0; j < joints; ++j) {
        for (int i = 0; i < 3; ++i)
            position[3 * j + i] = posePositions[3 * j + i];
        for (int i = 0; i < 4; ++i)
            rotation[4 * j + i] = poseRotations[4 * j + i];
    }
    for (uint32_t j = 0; j < joints; ++j)
        QuatMatrix(&rotation[4 * j], &position[3 * j], &world[16 * j]);
    float combined[16];
    for (uint32_t j = 1; j < joints; ++j) {
        Multiply(&world[16 * parent[j]], &world[16 * j], combined);
        for (int i = 0; i < 16; ++i)
            world[16 * j + i] = combined[i];
    }
    for (uint32_t j = 0; j < joints; ++j)
        Multiply(&world[16 * j], &inverseBind[16 * j], &skin[16 * j]);
}

void PlainCrossFade::Frame(float time, float weight)
{
    const float f = rate * time;
    const uint32_t frame = uint32_t(f);
    const uint32_t current = frame < frames ? frame : frames - 1;
    const uint32_t next = frame + 1 < frames ? frame + 1 : 0;
    const float fraction = current == next ? 0.0f : f - float(frame);
    for (uint32_t j = 0; j < joints; ++j) {
        float p[3], q[4], bp[3], bq[4];
        Lerp(&trackPosition[3 * (current * joints + j)], &trackPosition[3 * (next * joints + j)], fraction, p);
        Slerp(&trackRotation[4 * (current * joints + j)], &trackRotation[4 * (next * joints + j)], fraction, q);
        Lerp(&fromPosition[3 * j], p, weight, bp);
        Slerp(&fromRotation[4 * j], q, weight, bq);
        // The mixer: identity, then position added and rotation composed.
        float* op = &outPosition[3 * j];
        float* oq = &outRotation[4 * j];
        op[0] = bp[0], op[1] = bp[1], op[2] = bp[2];
        oq[0] = bq[0], oq[1] = bq[1], oq[2] = bq[2], oq[3] = bq[3];
    }
}
