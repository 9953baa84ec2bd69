#include "Engine/Anim/GcParticleSystem.h"

#include "Engine/Anim/GcPsysProperties.h"
#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GeRandom.h"
#include "Engine/Core/Common/GeTimer.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmDeviceWrapper.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmIndexBuffer.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmVertexBuffer.h"
#include "Engine/Core/Gm/GeHub.h"
#include "Engine/Core/Gm/GmCamera.h"
#include "Engine/Core/Gm/GmRenderStateCache.h"
#include "Engine/Core/Gm/GmTexture.h"

#include <cmath>
#include <cstring>

namespace {

constexpr float kPi = 3.14159265358979f;
constexpr float kTwoPi = 2.0f * kPi;
constexpr float kDegrees = kPi / 180.0f;
constexpr float kFloatEpsilon = 1.1920929e-07f;
constexpr uint32_t kTriangleList = 4;

CGmCamera* CurrentCamera()
{
    return CGeHub::s_cameras3d[CGeHub::s_currentSlot % CGeHub::kMaxDevices];
}

Vec3 Xyz(const Vec4& v)
{
    return Vec3{v.x, v.y, v.z};
}

Vec4 Xyzw(const Vec3& v)
{
    return Vec4{v.x, v.y, v.z, 0.0f};
}

Vec3 Translation(const Matrix4& m)
{
    return Vec3{m.m[3], m.m[7], m.m[11]};
}

// The 3x3 block of m with no translation.
Matrix4 RotationPart(const Matrix4& m)
{
    Matrix4 r = m;
    r.m[3] = r.m[7] = r.m[11] = 0.0f;
    r.m[12] = r.m[13] = r.m[14] = 0.0f;
    r.m[15] = 1.0f;
    return r;
}

Matrix4 Transposed3x3(const Matrix4& m)
{
    Matrix4 t = Matrix4::Identity();
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            t.At(r, c) = m.At(c, r);
    return t;
}

// One 8-bit channel of a colour, counted from the top byte (0 alpha).
uint32_t Channel(uint32_t colour, int n)
{
    return (colour >> (24 - 8 * n)) & 0xFF;
}

// A stepped float as a frame counter: the integer part in 16 bits; not a
// number, infinities and values outside 32 bits give 0.
uint32_t FrameCounter(float x)
{
    if (!(x >= 0.0f && x < 4294967296.0f))
        return 0;
    return uint32_t(x) & 0xFFFF;
}

} // namespace

void GcParticleArrays::Allocate(uint32_t count)
{
    const size_t n = count ? count : 1;
    position = new Vec4[n]();
    size = new Vec4[n]();
    velocity = new Vec4[n]();
    spin = new Vec2[n]();
    colour = new uint32_t[n]();
    frame = new uint16_t[n]();
    age = new float[n]();
    alive = new uint8_t[n]();
    births = new uint32_t[n]();
    index = new int32_t[n]();
}

void GcParticleArrays::Free()
{
    delete[] position;
    delete[] size;
    delete[] velocity;
    delete[] spin;
    delete[] colour;
    delete[] frame;
    delete[] age;
    delete[] alive;
    delete[] births;
    delete[] index;
    *this = GcParticleArrays();
}

void GcParticleArrays::CopySlot(const GcParticleArrays& from, uint32_t i)
{
    position[i] = from.position[i];
    size[i] = from.size[i];
    velocity[i] = from.velocity[i];
    spin[i] = from.spin[i];
    colour[i] = from.colour[i];
    frame[i] = from.frame[i];
    age[i] = from.age[i];
    alive[i] = from.alive[i];
    index[i] = from.index[i];
}

CGcParticleSystem::CGcParticleSystem(const GcParticleSettings& settings_, uint32_t count) : settings(settings_)
{
    typeId = kGcParticleSystemType;
    if (count > kGcMaxParticles) {
        GeLog(1, "CGcParticleSystem: %u particles asked, %u kept\n", count, kGcMaxParticles);
        count = kGcMaxParticles;
    }
    capacity = count;
    activeCount = count;
    current.Allocate(count);
    birth.Allocate(count);
    if (!count)
        return;
    vertexBuffer = new CGmVertexBuffer(kGcParticleVertexFlags, count * 4);
    indexBuffer = new CGmIndexBuffer(2, count * 6);
    if (indexBuffer->LockRange(0, 0)) {
        uint16_t* indices = reinterpret_cast<uint16_t*>(indexBuffer->GetData());
        for (uint32_t q = 0; q < count; ++q) {
            const uint16_t v = uint16_t(q * 4);
            uint16_t* six = indices + q * 6;
            six[0] = v;
            six[1] = uint16_t(v + 1);
            six[2] = uint16_t(v + 2);
            six[3] = uint16_t(v + 1);
            six[4] = uint16_t(v + 3);
            six[5] = uint16_t(v + 2);
        }
        indexBuffer->Unlock();
    }
}

CGcParticleSystem::~CGcParticleSystem()
{
    if (vertexBuffer)
        vertexBuffer->Release();
    if (indexBuffer)
        indexBuffer->Release();
    current.Free();
    birth.Free();
}

float CGcParticleSystem::Random()
{
    return float(GeRand() % 4096) / 4096.0f;
}

void CGcParticleSystem::SetImage(CGmTexture* texture, uint32_t total, uint32_t perLine)
{
    framesTotal = (total & 0xFFFF) ? total : 1;
    framesPerLine = perLine ? perLine : 1;
    images.Init(texture, framesTotal, framesPerLine);
}

void CGcParticleSystem::SetProperty(const char16_t* name, const GcPsysValue& value)
{
    GcParticleSettings& s = settings;
    const float f = value.number;
    const uint32_t u = value.integer;
    auto flag = [&](uint32_t bit) { s.options = u ? (s.options | bit) : (s.options & ~bit); };
    auto place = [&](int axis) {
        Vec3 p = frame.position;
        (axis == 0 ? p.x : axis == 1 ? p.y : p.z) = f;
        frame.SetPosition(p);
    };
    switch (FindPsysProperty(name)) {
    case GC_P_SYNCHRONIZED: flag(GC_PS_SYNCHRONIZED); break;
    case GC_P_PRECALCULATED: flag(GC_PS_PRECALCULATED); break;
    case GC_P_INCREASABLE: flag(GC_PS_INCREASABLE); break;
    case GC_P_BORN_COUNT: s.bornCount = u; break;
    case GC_P_BORN_GRANULARITY: s.bornGranularity = u; break;
    case GC_P_SPEED_COLINEAR: s.speedColinear = u ? 1 : 0; break;
    case GC_P_LOD_AUTO: s.lodAuto = u ? 1 : 0; break;
    case GC_P_LOD_DISTANCE: s.lodDistance = f; break;
    case GC_P_COLOUR1: s.colour1 = u; break;
    case GC_P_COLOUR2: s.colour2 = u; break;
    case GC_P_BLEND: s.blendMode = u; break;
    case GC_P_SECOND_BLEND: s.secondBlendMode = u; break;
    case GC_P_SYSTEM_TYPE: s.systemType = u; break;
    case GC_P_EMITTER_TYPE: s.emitterType = u; break;
    case GC_P_EMITTER_W: s.emitterExtent.x = f; break;
    case GC_P_EMITTER_H: s.emitterExtent.y = f; break;
    case GC_P_EMITTER_D: s.emitterExtent.z = f; break;
    case GC_P_MIN_SIZE_X: s.minSize.x = f; break;
    case GC_P_MIN_SIZE_Y: s.minSize.y = f; break;
    case GC_P_MIN_SIZE_Z: s.minSize.z = f; break;
    case GC_P_MAX_SIZE_X: s.maxSize.x = f; break;
    case GC_P_MAX_SIZE_Y: s.maxSize.y = f; break;
    case GC_P_MAX_SIZE_Z: s.maxSize.z = f; break;
    case GC_P_DIRECTION_X: s.direction.x = f; break;
    case GC_P_DIRECTION_Y: s.direction.y = f; break;
    case GC_P_DIRECTION_Z: s.direction.z = f; break;
    case GC_P_OUTER_ANGLE: s.outerAngle = Clamp(0.0f, 360.0f, f); break;
    case GC_P_INNER_ANGLE: s.innerAngle = Clamp(0.0f, 360.0f, f); break;
    case GC_P_MIN_SPEED: s.minSpeed = f; break;
    case GC_P_MAX_SPEED: s.maxSpeed = f; break;
    case GC_P_SPIN_RANGE: s.spinRange = Clamp(0.0f, 360.0f, f); break;
    case GC_P_SPIN_AXIS_X: s.spinAxis.x = f; break;
    case GC_P_SPIN_AXIS_Y: s.spinAxis.y = f; break;
    case GC_P_SPIN_AXIS_Z: s.spinAxis.z = f; break;
    case GC_P_MIN_LIFE: s.minLife = f; break;
    case GC_P_MAX_LIFE: s.maxLife = f; break;
    case GC_P_APPEAR_TIME: s.appearTime = Clamp(0.0f, s.maxLife, f); break;
    case GC_P_TIME_SCALE: s.timeScale = f; break;
    case GC_P_ANIMATION_SPEED: s.animationSpeed = f; break;
    case GC_P_X: place(0); break;
    case GC_P_Y: place(1); break;
    case GC_P_Z: place(2); break;
    case GC_P_PIVOT_X: s.pivot[0] = f; break;
    case GC_P_PIVOT_Y: s.pivot[1] = f; break;
    case GC_P_NORMAL_X: s.facingNormal.x = f; break;
    case GC_P_NORMAL_Y: s.facingNormal.y = f; break;
    case GC_P_NORMAL_Z: s.facingNormal.z = f; break;
    default: break; // the count, image and frame counts are taken at construction; "animated" is unused
    }
}

// ---------------------------------------------------------------------------
// Emission.

void CGcParticleSystem::StartEmission()
{
    frame.UpdateWorldMatrix();
    birthLimit = settings.bornCount;
    finished = 0;
    emitting = 1;
    allExpired = 0;
    firstStep = 1;
    for (uint32_t i = 0; i < activeCount && i < capacity; ++i) {
        current.births[i] = 0;
        Respawn(i);
        if (settings.options & GC_PS_INCREASABLE) {
            birth.age[i] = (float(i + 1) / float(activeCount)) * settings.maxLife;
            current.alive[i] = 0;
        }
    }
    if (settings.options & GC_PS_PRECALCULATED) {
        const float steps = settings.maxLife * 10.0f;
        for (uint32_t n = 0; n < kGcMaxPrecalcSteps && float(n) < steps; ++n)
            Step(0.1f);
    }
}

void CGcParticleSystem::Respawn(uint32_t i)
{
    if (!emitting) {
        current.alive[i] = 0;
        return;
    }
    const uint32_t granularity = settings.bornGranularity;
    if (granularity < 2) {
        Birth(i);
        return;
    }
    // The slot waits, invisible, until a whole batch is pending; the batch is
    // born at once at the point, with the size and speed, of its first slot.
    pending.Add(i);
    current.age[i] = 2000.0f;
    current.alive[i] = 0;
    if (pending.Count() < granularity)
        return;
    for (uint32_t n = 0; n < pending.Count(); ++n)
        Birth(pending[n]);
    const uint32_t first = pending[0];
    for (uint32_t n = 1; n < pending.Count(); ++n) {
        const uint32_t slot = pending[n];
        for (GcParticleArrays* set : {&current, &birth}) {
            set->position[slot] = set->position[first];
            set->size[slot] = set->size[first];
            set->velocity[slot] = set->velocity[first];
        }
    }
    pending.Clear();
}

void CGcParticleSystem::Birth(uint32_t i)
{
    if (!emitting)
        return;
    if (birthLimit) {
        current.births[i] += 1;
        if (current.births[i] > birthLimit) {
            // The slot's last life is over: it is not drawn again.
            emitting = 0;
            current.alive[i] = 0;
            return;
        }
    }
    current.index[i] = int32_t(i);
    const GcParticleSettings& s = settings;

    Vec3 p = {0.0f, 0.0f, 0.0f};
    if (s.emitterType == GC_EMITTER_CUBOID) {
        const float r1 = Random(), r2 = Random(), r3 = Random();
        p = Vec3{(r1 - 0.5f) * s.emitterExtent.x, (r2 - 0.5f) * s.emitterExtent.y, (r3 - 0.5f) * s.emitterExtent.z};
    } else if (s.emitterType == GC_EMITTER_SPHEROID) {
        const float rho = Random();
        const float theta = Random() * kPi;
        const float phi = Random() * kTwoPi;
        p = Vec3{rho * std::sin(theta) * std::cos(phi) * s.emitterExtent.x * 0.5f,
                 rho * std::sin(theta) * std::sin(phi) * s.emitterExtent.y * 0.5f,
                 rho * std::cos(theta) * s.emitterExtent.z * 0.5f};
    } else if (s.emitterType == GC_EMITTER_FRAME) {
        const float r1 = Random(), r2 = Random(), r3 = Random();
        p = Xyz(GetPosition(r1, r2, r3));
    }
    if (emitterTransform)
        p = MatrixTransformPoint(*emitterTransform, p);
    p = MatrixTransformPoint(frame.world, p);
    current.position[i] = Xyzw(p);

    if (s.colour1 == s.colour2) {
        current.colour[i] = s.colour1;
    } else {
        uint32_t colour = 0;
        for (int n = 0; n < 4; ++n) {
            const int c1 = int(Channel(s.colour1, n));
            const int c2 = int(Channel(s.colour2, n));
            const int c = c1 + int(RoundF(float(c2 - c1) * Random()));
            colour |= uint32_t(c & 0xFF) << (24 - 8 * n);
        }
        current.colour[i] = colour;
    }

    const float rs = Random();
    current.size[i] =
        Vec4{s.minSize.x + rs * (s.maxSize.x - s.minSize.x), s.minSize.y + rs * (s.maxSize.y - s.minSize.y),
             s.minSize.z + rs * (s.maxSize.z - s.minSize.z), 0.0f};

    current.frame[i] = uint16_t(uint32_t(GeRand() & 0xFFFF) % (framesTotal & 0xFFFF));

    if (s.systemType == GC_PS_QUADS) {
        if (s.spinRange == 0.0f) {
            current.spin[i] = Vec2{0.0f, 0.0f};
        } else {
            const float angle = Random() * kTwoPi;
            const float r = Random();
            current.spin[i] = Vec2{angle, ((r + r) * s.spinRange - s.spinRange) * kDegrees};
        }
    }

    Vec3 d = s.direction;
    if (d.Length() <= 1e-6f) {
        d = Vec3{1.0f, 0.0f, 0.0f};
        settings.outerAngle = 360.0f;
    } else {
        d.Normalize();
    }
    const float theta = (Random() * (settings.outerAngle - s.innerAngle) + s.innerAngle) * 0.5f * kDegrees;
    const float phi = Random() * kTwoPi - kPi;
    const Vec3 cone = {std::sin(theta) * std::cos(phi), std::sin(theta) * std::sin(phi), std::cos(theta)};
    const Vec3 v = MatrixTransformNormal(RotationBetweenVectors(Vec3{0.0f, 0.0f, 1.0f}, d), cone);
    const float speed = s.minSpeed + Random() * (s.maxSpeed - s.minSpeed);
    current.velocity[i] = Vec4{v.x * speed, v.y * speed, v.z * speed, 0.0f};

    current.age[i] = s.minLife + Random() * (s.maxLife - s.minLife);
    current.alive[i] = 1;
    birth.CopySlot(current, i);
    current.age[i] = 0.0f;
}

// ---------------------------------------------------------------------------
// Stepping.

void CGcParticleSystem::Update()
{
    frame.UpdateWorldMatrix();
    if (!activeCount)
        return;
    Step(g_geTimer ? g_geTimer->delta : 0.0f);
    if (activeCount)
        FillVertices();
}

void CGcParticleSystem::Step(float dt)
{
    if (!capacity)
        return;
    if (firstStep) {
        firstStep = 0;
        dt = 0.0f;
    }
    if (settings.lodAuto) {
        const CGmCamera* camera = CurrentCamera();
        const Vec3 eye = camera ? Translation(camera->frame.world) : Vec3{0.0f, 0.0f, 0.0f};
        const Vec3 here = Translation(frame.world);
        cameraDistance = Vec3{eye.x - here.x, eye.y - here.y, eye.z - here.z}.Length();
        const float ratio = settings.lodDistance / cameraDistance;
        // At the camera (or with a distance that is not a number) every
        // particle shows.
        lodFactor = cameraDistance > 1e-6f && ratio == ratio ? Clamp(0.0f, 1.0f, ratio) : 1.0f;
        const float shown = RoundF(float(capacity) * lodFactor);
        activeCount = shown < 1.0f ? 1 : uint32_t(shown);
        if (activeCount > capacity)
            activeCount = capacity;
    }
    scaledDt = settings.timeScale * dt;
    StepLife();
    AnimateFrames();
    Spin();
    if (behaviours.IsEmpty()) {
        DefaultStep0();
        DefaultStep1();
        DefaultPositionStep();
        DefaultStep2();
        DefaultStep3();
    } else {
        for (const GcBehaviourEntry& entry : behaviours)
            entry.operation(*this, entry.values);
    }
}

void CGcParticleSystem::StepLife()
{
    bool anyLiving = false;
    const bool synchronized = (settings.options & GC_PS_SYNCHRONIZED) != 0;
    for (uint32_t i = 0; i < capacity; ++i) {
        current.age[i] += scaledDt;
        if (current.age[i] - birth.age[i] < 0.0f || i >= activeCount) {
            anyLiving = true;
            continue;
        }
        if (!synchronized || allExpired) {
            if (current.age[i] < 1000.0f)
                Respawn(i);
        } else {
            current.alive[i] = 0;
        }
    }
    allExpired = anyLiving ? 0 : 1;
    if (!anyLiving && !emitting)
        finished = 1;
}

void CGcParticleSystem::AnimateFrames()
{
    if (!(settings.animationSpeed > 0.0f))
        return;
    for (uint32_t i = 0; i < activeCount; ++i) {
        const uint32_t counter = FrameCounter(current.age[i] * settings.animationSpeed + float(i));
        current.frame[i] = uint16_t(counter % framesTotal);
    }
}

void CGcParticleSystem::Spin()
{
    // Without a spin range births give no spin and the fill draws none.
    if (settings.spinRange == 0.0f)
        return;
    for (uint32_t i = 0; i < activeCount; ++i) {
        Vec2& spin = current.spin[i];
        spin.x += spin.y * scaledDt;
        if (spin.x > kTwoPi)
            spin.x -= kTwoPi;
    }
}

void CGcParticleSystem::DefaultPositionStep()
{
    FindParticleBehaviour("Pos_Default")(*this, nullptr);
}

void CGcParticleSystem::Scale(float factor)
{
    GcParticleSettings& s = settings;
    auto scale = [factor](Vec3& v) { v = Vec3{v.x * factor, v.y * factor, v.z * factor}; };
    auto scale4 = [factor](Vec4& v) { v = Vec4{v.x * factor, v.y * factor, v.z * factor, v.w}; };
    scale(s.emitterExtent);
    s.minSpeed *= factor;
    s.maxSpeed *= factor;
    scale(s.minSize);
    scale(s.maxSize);
    s.lodDistance *= factor;
    for (uint32_t i = 0; i < activeCount; ++i)
        for (GcParticleArrays* set : {&current, &birth}) {
            scale4(set->position[i]);
            scale4(set->size[i]);
            scale4(set->velocity[i]);
        }
}

Vec4 CGcParticleSystem::GetPosition(float, float, float)
{
    return Xyzw(frame.position);
}

// ---------------------------------------------------------------------------
// Drawing.

void CGcParticleSystem::FillVertices()
{
    quadsWritten = 0;
    if (!vertexBuffer)
        return;
    const GcParticleSettings& s = settings;
    const CGmCamera* camera = CurrentCamera();
    const Matrix4 view = camera ? camera->view : Matrix4::Identity();
    const Matrix4 viewRotation = RotationPart(view);

    // A fixed facing turns the quad's plane (facing -z) onto the normal; the
    // corners are then carried into view space with the view's rotation.
    const Vec3 n = s.facingNormal;
    const bool faced = n.x != 0.0f || n.y != 0.0f || n.z != 0.0f;
    facingMatrix = Matrix4::Identity();
    if (faced) {
        Vec3 unit = n;
        unit.Normalize();
        facingMatrix = Transposed3x3(RotationBetweenVectors(unit, Vec3{0.0f, 0.0f, -1.0f}));
    }
    const Matrix4 cornerMatrix = MatrixMultiply4x4(viewRotation, facingMatrix);

    const float k = s.lodAuto ? std::pow(float(capacity) / MaxF(float(capacity) * lodFactor, 1.0f), 0.33333334f) : 1.0f;
    const uint32_t rows = (framesTotal - 1) / framesPerLine + 1;
    const float du = images.uvScale[0] / float(framesPerLine);
    const float dv = images.uvScale[1] / float(rows);
    const float px = s.pivot[0];
    const float py = s.pivot[1];

    GcParticleVertex* out = reinterpret_cast<GcParticleVertex*>(vertexBuffer->GetData());
    uint32_t quads = 0;
    for (uint32_t i = 0; i < activeCount; ++i) {
        if (!current.alive[i] || !(current.age[i] >= s.appearTime))
            continue;
        const Vec4& at = current.position[i];
        const Vec3 p = {view.m[0] * at.x + view.m[1] * at.y + view.m[2] * at.z + view.m[3],
                        view.m[4] * at.x + view.m[5] * at.y + view.m[6] * at.z + view.m[7],
                        view.m[8] * at.x + view.m[9] * at.y + view.m[10] * at.z + view.m[11]};
        const float w = current.size[i].x * k;
        const float h = current.size[i].y * k;
        const float a[4] = {-px * w, (1.0f - px) * w, -px * w, (1.0f - px) * w};
        const float b[4] = {py * h, py * h, (py - 1.0f) * h, (py - 1.0f) * h};
        Vec3 corner[4];

        bool stretched = false;
        if (s.speedColinear) {
            Vec3 u = MatrixTransformNormal(viewRotation, Xyz(current.velocity[i]));
            u.Normalize();
            const float along = std::sqrt(u.x * u.x + u.y * u.y);
            if (along > kFloatEpsilon) {
                const Vec3 side = {-u.y / along, u.x / along, 0.0f};
                for (int c = 0; c < 4; ++c)
                    corner[c] =
                        Vec3{p.x + a[c] * u.x + b[c] * side.x, p.y + a[c] * u.y + b[c] * side.y, p.z + a[c] * u.z};
                stretched = true;
            }
        }
        if (!stretched && !faced && s.spinRange == 0.0f) {
            for (int c = 0; c < 4; ++c)
                corner[c] = Vec3{p.x + a[c], p.y + b[c], p.z};
        } else if (!stretched) {
            float ca = 1.0f, sa = 0.0f;
            if (s.spinRange != 0.0f) {
                ca = std::cos(current.spin[i].x);
                sa = std::sin(current.spin[i].x);
            }
            for (int c = 0; c < 4; ++c) {
                const Vec3 offset = {a[c] * ca + b[c] * sa, b[c] * ca - a[c] * sa, 0.0f};
                const Vec3 o = faced ? MatrixTransformNormal(cornerMatrix, offset) : offset;
                corner[c] = Vec3{p.x + o.x, p.y + o.y, p.z + o.z};
            }
        }

        const uint32_t f = current.frame[i];
        const float uf = float(f % framesPerLine) * du;
        const float vf = float(f / framesPerLine) * dv;
        const float us[4] = {uf, uf + du, uf, uf + du};
        const float vs[4] = {vf, vf, vf + dv, vf + dv};
        GcParticleVertex* quad = out + quads * 4;
        for (int c = 0; c < 4; ++c)
            quad[c] = GcParticleVertex{corner[c].x, corner[c].y, corner[c].z, current.colour[i], us[c], vs[c]};
        ++quads;
    }
    quadsWritten = quads;
    if (quads && vertexBuffer->LockRange(0, quads * 4))
        vertexBuffer->Unlock();
}

void CGcParticleSystem::Render()
{
    if (!visible || finished || !activeCount || !quadsWritten || !vertexBuffer)
        return;
    CGmDeviceWrapper* device = g_pGmDevice;
    if (!device)
        return;
    frame.UpdateWorldMatrix();
    const uint32_t mode = settings.blendMode;
    if (g_pGmRenderStateCache) {
        g_pGmRenderStateCache->SetTextureStageMode(mode, 0);
        g_pGmRenderStateCache->SetBlendMode(mode, settings.secondBlendMode);
    }
    device->SetCullMode(0);
    if (device->CanCall()) {
        device->GetDevice()->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, 0);
        device->GetDevice()->SetTextureStageState(1, D3DTSS_TEXTURETRANSFORMFLAGS, 0);
    }
    if (mode != GC_BLEND_NOTEXTURE && images.texture)
        images.texture->Bind(0);
    else if (device->CanCall())
        device->GetDevice()->SetTexture(0, nullptr);
    vertexBuffer->Bind();
    indexBuffer->Bind();
    // The quads stand in view space (the facing is in their corners).
    const Matrix4 identity = Matrix4::Identity();
    device->SetTransform(identity.m, 0);
    const CGmCamera* camera = CurrentCamera();
    if (camera)
        device->SetViewProjection(identity.m, camera->projection.m);
    device->DrawIndexedPrimitive(kTriangleList, 0, 0, quadsWritten * 4, 0, quadsWritten * 2);
    if (camera)
        device->SetViewProjection(camera->view.m, camera->projection.m);
}
