#include "Engine/Anim/GcParticleBehaviours.h"

#include "Engine/Anim/GcParticleSystem.h"
#include "Engine/Core/Gm/GeHub.h"
#include "Engine/Core/Gm/GmCamera.h"
#include "Engine/Physics/GeCollider.h"
#include "Engine/Physics/GeColliderDispatch.h"

#include <cmath>
#include <cstring>

namespace {

constexpr float kPi = 3.14159265358979f;

Vec3 Xyz(const Vec4& v)
{
    return Vec3{v.x, v.y, v.z};
}

void AddScaled(Vec4& to, const Vec3& v, float s)
{
    to.x += v.x * s;
    to.y += v.y * s;
    to.z += v.z * s;
}

// A rounded channel value saturated to 0..255; not a number gives 0.
uint32_t ChannelByte(float x)
{
    const float r = RoundF(x);
    if (!(r > 0.0f))
        return 0;
    return r >= 255.0f ? 255u : uint32_t(r);
}

uint32_t AlphaOf(uint32_t colour)
{
    return colour >> 24;
}

uint32_t WithAlpha(uint32_t colour, uint32_t alpha)
{
    return (colour & 0x00FFFFFF) | (alpha << 24);
}

float Share(const CGcParticleSystem& s, uint32_t i)
{
    return ParticleLifeShare(s.current.age[i], s.birth.age[i]);
}

void PosDefault(CGcParticleSystem& s, const float*)
{
    for (uint32_t i = 0; i < s.activeCount; ++i)
        AddScaled(s.current.position[i], Xyz(s.current.velocity[i]), s.scaledDt);
}

void PosWind(CGcParticleSystem& s, const float* v)
{
    if (!(v[0] > 0.0f) || !s.windSource)
        return;
    for (uint32_t i = 0; i < s.activeCount; ++i)
        AddScaled(s.current.position[i], s.windSource->wind, v[0] * s.scaledDt);
}

void PosConstDelta(CGcParticleSystem& s, const float* v)
{
    const Vec3 delta = {v[0], v[1], v[2]};
    if (!(delta.LengthSquared() > 0.0f))
        return;
    for (uint32_t i = 0; i < s.activeCount; ++i)
        AddScaled(s.current.position[i], delta, s.scaledDt);
}

void PosRotate(CGcParticleSystem& s, const float* v)
{
    if (v[0] == 0.0f || v[1] == 0.0f)
        return;
    s.phase[0] += v[1] * s.scaledDt;
    const float r = v[0] * s.scaledDt;
    for (uint32_t i = 0; i < s.activeCount; ++i) {
        const float a = float(i) + s.phase[0];
        Vec3 heading = Xyz(s.current.velocity[i]);
        heading.Normalize();
        const Matrix4 turn = RotationBetweenVectors(Vec3{1.0f, 0.0f, 0.0f}, heading);
        AddScaled(s.current.position[i], MatrixTransformNormal(turn, Vec3{r * std::sin(a), 0.0f, r * std::cos(a)}),
                  1.0f);
    }
}

// The force of the source at p: the base force plus every point source's pull.
Vec3 ForceAt(const GcWindSource& source, const Vec3& p)
{
    Vec3 f = source.force;
    for (const GcForcePoint& point : source.points) {
        Vec3 d = {point.position.x - p.x, point.position.y - p.y, point.position.z - p.z};
        const float dist = d.Length();
        const float attenuation = point.a + point.b * dist + point.c * dist * dist;
        if (attenuation == 0.0f)
            continue;
        if (dist != 0.0f)
            d = Vec3{d.x / dist, d.y / dist, d.z / dist};
        f = Vec3{f.x + d.x / attenuation, f.y + d.y / attenuation, f.z + d.z / attenuation};
    }
    return f;
}

void SpeedForcesSet(CGcParticleSystem& s, const float* v)
{
    if (!s.windSource)
        return;
    for (uint32_t i = 0; i < s.activeCount; ++i)
        AddScaled(s.current.velocity[i], ForceAt(*s.windSource, Xyz(s.current.position[i])), v[0] * s.scaledDt);
}

void SpeedConstForce(CGcParticleSystem& s, const float* v)
{
    if (v[0] == 0.0f && v[1] == 0.0f && v[2] == 0.0f)
        return;
    for (uint32_t i = 0; i < s.activeCount; ++i)
        AddScaled(s.current.velocity[i], Vec3{v[0], v[1], v[2]}, s.scaledDt);
}

// The space is asked how far the particle can go along its velocity within
// the distance it travels this step; a hit within it mirrors the velocity on
// the contact normal, scatters it by a random turn and scales it.
void SpeedCollisionSpace(CGcParticleSystem& s, const float* v)
{
    if (!s.collisionSpace)
        return;
    for (uint32_t i = 0; i < s.activeCount; ++i) {
        Vec3 velocity = Xyz(s.current.velocity[i]);
        const float speed = velocity.Length();
        const float reach = speed * s.scaledDt;
        if (!(reach > 0.0f))
            continue;
        Vec3 direction = velocity;
        direction.Normalize();
        CGeRayProbe probe(Xyz(s.current.position[i]), direction);
        CGeCollisionQuery query;
        query.octant = 0xFFFFFFFF;
        query.maxDistance = reach;
        PickInCollisionSpace(*s.collisionSpace, &probe, query);
        if (!query.hit || !(query.t < reach))
            continue;
        const Vec3 n = query.normal;
        const float dn = Vec3::Dot(velocity, n);
        velocity = Vec3{velocity.x - 2.0f * dn * n.x, velocity.y - 2.0f * dn * n.y, velocity.z - 2.0f * dn * n.z};
        const float r1 = CGcParticleSystem::Random();
        const float r2 = CGcParticleSystem::Random();
        const float r3 = CGcParticleSystem::Random();
        Vec3 axis = Vec3::Cross(Vec3{r1 - 0.5f, r2 - 0.5f, r3 - 0.5f}, velocity);
        axis.Normalize();
        const float a = v[1] * CGcParticleSystem::Random();
        const Quat turn = {axis.x * std::sin(a), axis.y * std::sin(a), axis.z * std::sin(a), std::cos(a)};
        velocity = QuatRotateVector(turn, velocity);
        s.current.velocity[i] = Vec4{velocity.x * v[0], velocity.y * v[0], velocity.z * v[0], 0.0f};
    }
}

// A fade-in that ends at Val3 <= 0 and a fade-out that starts at Val4 >= 1
// are left out: neither has any life share to run in.
void Color3AlphaPoints(CGcParticleSystem& s, const float* v)
{
    for (uint32_t i = 0; i < s.activeCount; ++i) {
        const float t = Share(s, i);
        const float a = v[3] > 0.0f ? 1.0f - t / v[3] : 0.0f;
        const float b = v[4] < 1.0f ? (t - v[4]) / (1.0f - v[4]) : 0.0f;
        float k = v[1];
        if (a > 0.0f)
            k = (1.0f - a) * v[1] + a * v[0];
        else if (b > 0.0f)
            k = (1.0f - b) * v[1] + b * v[2];
        s.current.colour[i] = WithAlpha(s.current.colour[i], ChannelByte(float(AlphaOf(s.birth.colour[i])) * k));
    }
}

void ColorAlphaPulse(CGcParticleSystem& s, const float* v)
{
    for (uint32_t i = 0; i < s.activeCount; ++i) {
        const float t = Share(s, i);
        const float k = (1.0f - std::cos(t * v[0] * 2.0f * kPi)) * 0.5f * (v[2] - v[1]) + v[1];
        s.current.colour[i] = WithAlpha(s.current.colour[i], ChannelByte(float(AlphaOf(s.birth.colour[i])) * k));
    }
}

void ColorRgbGradient(CGcParticleSystem& s, const float* v)
{
    for (uint32_t i = 0; i < s.activeCount; ++i) {
        const float t = Share(s, i);
        const uint32_t born = s.birth.colour[i];
        uint32_t colour = s.current.colour[i] & 0xFF000000;
        for (int c = 0; c < 3; ++c) {
            const float start = float((born >> (16 - 8 * c)) & 0xFF);
            colour |= ChannelByte(v[c] * 255.0f * t + start * (1.0f - t)) << (16 - 8 * c);
        }
        s.current.colour[i] = colour;
    }
}

float Finite(float x)
{
    return x == x ? x : 0.0f;
}

void ColorLight(CGcParticleSystem& s, const float* v)
{
    if (!s.light)
        return;
    const GcParticleLight& light = *s.light;
    const CGmCamera* camera = CGeHub::s_cameras3d[CGeHub::s_currentSlot % CGeHub::kMaxDevices];
    const Vec3 eye = camera ? Vec3{camera->frame.world.m[3], camera->frame.world.m[7], camera->frame.world.m[11]}
                            : Vec3{0.0f, 0.0f, 0.0f};
    for (uint32_t i = 0; i < s.activeCount; ++i) {
        const Vec3 p = Xyz(s.current.position[i]);
        Vec3 l = light.direction;
        float g = 1.0f;
        if (light.kind == 1) {
            Vec3 d = {p.x - light.position.x, p.y - light.position.y, p.z - light.position.z};
            const float dist = d.Length();
            g = 1.0f / (light.a + light.b * dist + light.c * dist * dist);
            if (dist != 0.0f)
                d = Vec3{d.x / dist, d.y / dist, d.z / dist};
            l = d;
        }
        Vec3 view = {p.x - eye.x, p.y - eye.y, p.z - eye.z};
        view.Normalize();
        const float k = g * (0.5f + Vec3::Dot(Vec3{0.5f * view.x, 0.5f * view.y, 0.5f * view.z}, l));
        const uint32_t born = s.birth.colour[i];
        auto fraction = [born](int shift) { return float((born >> shift) & 0xFF) / 255.0f; };
        s.current.colour[i] = ColorToArgb(Finite(fraction(16) * k + v[0]), Finite(fraction(8) * k + v[0]),
                                          Finite(fraction(0) * k + v[0]), fraction(24));
    }
}

void SizeScale(CGcParticleSystem& s, const float* v)
{
    for (uint32_t i = 0; i < s.activeCount; ++i) {
        const float t = Share(s, i);
        const float k = (1.0f - t) * v[0] + v[1] * t;
        const Vec4& born = s.birth.size[i];
        s.current.size[i] = Vec4{born.x * k, born.y * k, born.z * k, born.w};
    }
}

void SpeedUniformAccel(CGcParticleSystem& s, const float* v)
{
    for (uint32_t i = 0; i < s.activeCount; ++i) {
        const float t = Share(s, i);
        Vec3 heading = Xyz(s.current.velocity[i]);
        heading.Normalize();
        const float speed = ((1.0f - t) + t * v[0]) * Xyz(s.birth.velocity[i]).Length();
        s.current.velocity[i] = Vec4{heading.x * speed, heading.y * speed, heading.z * speed, 0.0f};
    }
}

void DirectionRotor(CGcParticleSystem& s, const float* v)
{
    s.phase[1] += s.scaledDt * v[4];
    const float phi = s.phase[1];
    const float c = std::cos(v[3] * kPi / 180.0f);
    Vec3 axis = {v[0], v[1], v[2]};
    axis.Normalize();
    const Matrix4 turn = RotationBetweenVectors(Vec3{1.0f, 0.0f, 0.0f}, axis);
    s.settings.direction = MatrixTransformNormal(turn, Vec3{std::sin(phi), c, std::cos(phi)});
}

struct BehaviourRow {
    const char* name;
    GcParticleBehaviour operation;
};

const BehaviourRow kBehaviours[] = {
    {"Pos_Default", PosDefault},
    {"Pos_Wind", PosWind},
    {"Pos_ConstDelta", PosConstDelta},
    {"Pos_Rotate", PosRotate},
    {"Speed_ForcesSet", SpeedForcesSet},
    {"Speed_ConstForce", SpeedConstForce},
    {"Speed_CollisionSpace", SpeedCollisionSpace},
    {"Color_3AlphaPoints", Color3AlphaPoints},
    {"Color_AlphaPulse", ColorAlphaPulse},
    {"Color_RgbGradient", ColorRgbGradient},
    {"Color_Light", ColorLight},
    {"Size_Scale", SizeScale},
    {"Speed_UniformAccel", SpeedUniformAccel},
    {"BhvDirection_Rotor", DirectionRotor},
};

} // namespace

GcParticleBehaviour FindParticleBehaviour(const char* name)
{
    if (!name)
        return nullptr;
    for (const BehaviourRow& row : kBehaviours)
        if (strcmp(name, row.name) == 0)
            return row.operation;
    return nullptr;
}
