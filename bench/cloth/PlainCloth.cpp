#include "PlainCloth.h"

#include <cmath>

namespace {

const float kEps = 1.1920929e-7f;
const uint32_t kNone = 0xFFFFFFFFu;

inline void Cross(const float* a, const float* b, float* out)
{
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

inline float Dot(const float* a, const float* b)
{
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

// q := centre + unit(q - centre) * radius + eps when closer than radius.
inline bool Ball(float* q, const float* centre, float radius)
{
    float d[3] = {q[0] - centre[0], q[1] - centre[1], q[2] - centre[2]};
    if (!(Dot(d, d) < radius * radius))
        return false;
    const float length = std::sqrt(Dot(d, d));
    float u[3] = {1.0f, 0.0f, 0.0f};
    if (length != 0.0f) {
        const float inv = 1.0f / length;
        u[0] = d[0] * inv;
        u[1] = d[1] * inv;
        u[2] = d[2] * inv;
    }
    const float k = radius + kEps;
    q[0] = centre[0] + u[0] * k;
    q[1] = centre[1] + u[1] * k;
    q[2] = centre[2] + u[2] * k;
    return true;
}

bool Box(float* q, const float* size, float m)
{
    float hi[3], lo[3];
    for (int a = 0; a < 3; ++a) {
        hi[a] = 0.5f * size[a];
        lo[a] = -hi[a];
        if (!(q[a] > lo[a] && q[a] < hi[a]))
            return false;
    }
    float c[3] = {q[0], q[1], q[2]};
    int beyond = 0;
    for (int a = 0; a < 3; ++a) {
        if (q[a] < lo[a] + m) {
            c[a] = lo[a] + m;
            ++beyond;
        } else if (q[a] > hi[a] - m) {
            c[a] = hi[a] - m;
            ++beyond;
        }
    }
    if (beyond >= 2)
        return Ball(q, c, m);
    int best = 0;
    float bestDistance = 0.0f, bestValue = 0.0f;
    for (int a = 0; a < 3; ++a) {
        const bool upper = q[a] > 0.0f;
        const float distance = upper ? hi[a] - q[a] : q[a] - lo[a];
        if (a == 0 || distance < bestDistance) {
            best = a;
            bestDistance = distance;
            bestValue = upper ? hi[a] + kEps : lo[a] - kEps;
        }
    }
    q[best] = bestValue;
    return true;
}

bool Capsule(float* q, float h, float r)
{
    if (!(std::fabs(q[0]) < h + r && std::fabs(q[1]) < r && std::fabs(q[2]) < r))
        return false;
    if (q[0] < -h || q[0] > h) {
        const float centre[3] = {q[0] < 0.0f ? -h : h, 0.0f, 0.0f};
        return Ball(q, centre, r);
    }
    const float radial = q[1] * q[1] + q[2] * q[2];
    if (!(radial < r * r && radial > kEps))
        return false;
    const float k = (r + kEps) / std::sqrt(radial);
    q[1] = q[1] * k;
    q[2] = q[2] * k;
    return true;
}

void Collide(PlainCloth& c, const PlainObstacle& o)
{
    for (uint32_t i = 0; i < c.count; ++i) {
        float* p = &c.pos[3 * i];
        const float d[3] = {p[0] - o.centre[0], p[1] - o.centre[1], p[2] - o.centre[2]};
        if (o.kind == 0) {
            const float s = Dot(o.rows[0], d);
            if (s < 0.0f) {
                const float k = kEps - s;
                p[0] = p[0] + o.rows[0][0] * k;
                p[1] = p[1] + o.rows[0][1] * k;
                p[2] = p[2] + o.rows[0][2] * k;
            }
            continue;
        }
        if (o.kind == 2) {
            Ball(p, o.centre, o.size[0]);
            continue;
        }
        float q[3] = {Dot(o.rows[0], d), Dot(o.rows[1], d), Dot(o.rows[2], d)};
        bool moved;
        if (o.kind == 3) {
            if (std::fabs(q[0]) < kEps && std::fabs(q[1]) < kEps && std::fabs(q[2]) < kEps) {
                q[0] = 0.0f;
                q[1] = kEps;
                q[2] = 0.0f;
            }
            moved = Box(q, o.size, c.margin);
        } else {
            moved = Capsule(q, 0.5f * o.size[0], o.size[1]);
        }
        if (moved) {
            for (int a = 0; a < 3; ++a)
                p[a] = o.rows[0][a] * q[0] + o.rows[1][a] * q[1] + o.rows[2][a] * q[2] + o.centre[a];
        }
    }
}

} // namespace

void PlainCloth::SubStep(float h)
{
    const uint32_t n = count;
    // Normals.
    for (uint32_t i = 0; i < n; ++i) {
        const uint32_t* nb = &neighbours[4 * i];
        const bool hasA = nb[0] < n, hasB = nb[1] < n, hasC = nb[2] < n, hasD = nb[3] < n;
        float* out = &normal[3 * i];
        if (!hasA || !hasB || (!hasC && !hasD && nb[0] == nb[1])) {
            const float* from = &normal[3 * (i == 0 ? n - 1 : i - 1)];
            out[0] = from[0];
            out[1] = from[1];
            out[2] = from[2];
            continue;
        }
        const float* p = &pos[3 * i];
        float e[4][3], sum[3], t[3];
        for (int k = 0; k < 4; ++k) {
            if (nb[k] < n) {
                for (int a = 0; a < 3; ++a)
                    e[k][a] = pos[3 * nb[k] + a] - p[a];
            }
        }
        Cross(e[0], e[1], sum);
        float weight = 1.0f;
        if (hasC) {
            Cross(e[1], e[2], t);
            sum[0] = sum[0] + t[0], sum[1] = sum[1] + t[1], sum[2] = sum[2] + t[2];
            weight = 2.0f;
        }
        if (hasD) {
            if (hasC) {
                Cross(e[2], e[3], t);
                sum[0] = sum[0] + t[0], sum[1] = sum[1] + t[1], sum[2] = sum[2] + t[2];
                weight += 1.0f;
            }
            Cross(e[3], e[0], t);
            sum[0] = sum[0] + t[0], sum[1] = sum[1] + t[1], sum[2] = sum[2] + t[2];
            weight += 1.0f;
        }
        const float inv = 1.0f / weight;
        sum[0] = sum[0] * inv, sum[1] = sum[1] * inv, sum[2] = sum[2] * inv;
        if (std::fabs(sum[0]) < kEps && std::fabs(sum[1]) < kEps && std::fabs(sum[2]) < kEps)
            sum[1] = 1.0f;
        const float length = std::sqrt(Dot(sum, sum));
        if (length == 0.0f) {
            out[0] = 1.0f, out[1] = 0.0f, out[2] = 0.0f;
        } else {
            const float k = 1.0f / length;
            out[0] = sum[0] * k, out[1] = sum[1] * k, out[2] = sum[2] * k;
        }
    }
    // Forces.
    for (uint32_t i = 0; i < n; ++i) {
        for (int a = 0; a < 3; ++a)
            force[3 * i + a] = gravity[a] * mass[i] + ext[3 * i + a] - damping * vel[3 * i + a];
    }
    // Springs.
    const uint32_t springs = static_cast<uint32_t>(springRest.size());
    for (uint32_t s = 0; s < springs; ++s) {
        const uint32_t i = springEnds[2 * s], j = springEnds[2 * s + 1];
        if (i >= n || j >= n)
            continue;
        const float d[3] = {pos[3 * j] - pos[3 * i], pos[3 * j + 1] - pos[3 * i + 1], pos[3 * j + 2] - pos[3 * i + 2]};
        const float l2 = Dot(d, d);
        if (!(l2 > kEps))
            continue;
        const float length = std::sqrt(l2);
        const float stretch = length - springRest[s];
        if (!(std::fabs(stretch) > kEps))
            continue;
        const float f = stretch * springStiffness[s];
        const float inv = 1.0f / length;
        for (int a = 0; a < 3; ++a) {
            const float pull = d[a] * inv * f;
            force[3 * i + a] = force[3 * i + a] + pull;
            force[3 * j + a] = force[3 * j + a] - pull;
        }
    }
    // Integration with the smoothing along the array.
    bool first = true;
    float step[3] = {0.0f, 0.0f, 0.0f};
    for (uint32_t i = 0; i < n; ++i) {
        if (!(mass[i] > 0.0f))
            continue;
        for (int a = 0; a < 3; ++a) {
            prev[3 * i + a] = pos[3 * i + a];
            vel[3 * i + a] = vel[3 * i + a] + force[3 * i + a] * inverseMass[i] * h;
            step[a] = first ? vel[3 * i + a] : 0.9f * vel[3 * i + a] + 0.1f * step[a];
            pos[3 * i + a] = pos[3 * i + a] + step[a] * h;
        }
        first = false;
    }
    for (const PlainObstacle& o : obstacles)
        Collide(*this, o);
    if (h != 0.0f) {
        const float inv = 1.0f / h;
        for (uint32_t i = 0; i < n; ++i) {
            if (!(mass[i] > 0.0f))
                continue;
            for (int a = 0; a < 3; ++a)
                vel[3 * i + a] = (pos[3 * i + a] - prev[3 * i + a]) * inv;
        }
    }
}

void PlainCloth::Frame(float dt, float h)
{
    const uint32_t steps = static_cast<uint32_t>(dt / h);
    const float rest = dt - float(steps) * h;
    for (uint32_t i = 0; i < steps; ++i)
        SubStep(h);
    if (rest > 0.0f)
        SubStep(rest);
}
