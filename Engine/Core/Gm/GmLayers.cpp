#include "Engine/Core/Gm/GmLayers.h"

#include "Engine/Core/Gm/GmMaterial.h"
#include "Engine/Core/Gm/GmScenicMesh.h"
#include "Engine/Core/Gm/GmShadow.h"

#include <algorithm>
#include <cstring>

CGmLayers* g_pGmLayers = nullptr;

namespace {

uint8_t KindOf(const LightDesc& light)
{
    uint8_t kind;
    memcpy(&kind, &light.f[15], 1);
    return kind;
}

bool IsMesh(const CGmVisualObject* visual)
{
    return (visual->GetTypeId() & 0xFFFF) == kGmMeshTypeId;
}

} // namespace

CGmLayers::CGmLayers()
{
    lights.SetGrowStep(16);
    gathered.SetGrowStep(16);
    if (!g_pGmLightSource)
        g_pGmLightSource = this;
}

CGmLayers::~CGmLayers()
{
    if (g_pGmLightSource == this)
        g_pGmLightSource = nullptr;
}

void CGmLayers::Add(uint32_t layer, CGmVisualObject* visual)
{
    if (layer >= kLayerCount || !visual)
        return;
    Membership& member = m_members[visual];
    if (!member.nodes[layer])
        member.nodes[layer] = layers[layer].PushBack(visual);
}

bool CGmLayers::Contains(uint32_t layer, const CGmVisualObject* visual) const
{
    if (layer >= kLayerCount)
        return false;
    const auto found = m_members.find(visual);
    return found != m_members.end() && found->second.nodes[layer];
}

void CGmLayers::Remove(CGmVisualObject* visual)
{
    const auto found = m_members.find(visual);
    if (found == m_members.end())
        return;
    for (uint32_t layer = 0; layer < kLayerCount; ++layer)
        if (Node* node = found->second.nodes[layer])
            layers[layer].Remove(node);
    m_members.erase(found);
}

void CGmLayers::AddBeforeHook(Hook hook)
{
    if (hook)
        beforeHooks.PushBack(hook);
}

void CGmLayers::AddAfterHook(Hook hook)
{
    if (hook)
        afterHooks.PushBack(hook);
}

bool CGmLayers::RemoveHook(CGePoolList<Hook>& hooks, Hook hook)
{
    auto* node = hooks.Find(hooks.head, hooks.tail, hook);
    if (!node)
        return false;
    hooks.Remove(node);
    return true;
}

bool CGmLayers::RemoveBeforeHook(Hook hook)
{
    return RemoveHook(beforeHooks, hook);
}

bool CGmLayers::RemoveAfterHook(Hook hook)
{
    return RemoveHook(afterHooks, hook);
}

void CGmLayers::RunHooks(const CGePoolList<Hook>& hooks) const
{
    for (auto* node = hooks.head; node; node = node->next)
        node->value();
}

bool CGmLayers::LitPosition(float position[3]) const
{
    if (!lit)
        return false;
    const Matrix4& world = lit->frame.world;
    position[0] = world.m[3];
    position[1] = world.m[7];
    position[2] = world.m[11];
    return true;
}

template <class Draw>
void CGmLayers::DrawLit(CGmVisualObject* visual, const Draw& draw)
{
    lit = visual;
    RunHooks(beforeHooks);
    draw();
    RunHooks(afterHooks);
    lit = nullptr;
}

void CGmLayers::DrawMeshPasses(CGmScenicMesh& mesh, bool beforeShadows, bool shadows)
{
    if (!mesh.mesh)
        return;
    const uint32_t ranges = std::min(mesh.MaterialCount(), mesh.mesh->drawRanges.Count());
    for (uint32_t i = 0; i < ranges; ++i) {
        CGmMaterial* pass = mesh.GetPass(i);
        if (!pass)
            continue;
        // Receivers are drawn before the shadow step so that it darkens them.
        const bool early = !shadows || pass->receivesShadows;
        if (early != beforeShadows)
            continue;
        mesh.rangeIndex = i;
        const uint32_t repeats = std::max(pass->passCount, pass->GetPassCount());
        const float position[4] = {mesh.frame.world.m[3], mesh.frame.world.m[7], mesh.frame.world.m[11], 0.0f};
        for (uint32_t r = 0; r < repeats; ++r) {
            mesh.SetWorldTransforms();
            pass->Apply(position, r);
            mesh.Render();
        }
    }
}

void CGmLayers::RenderAll()
{
    const bool shadows = g_shadowMode == kShadowModeStencil;
    for (CGePoolList<CGmVisualObject*>& list : layers) {
        for (auto* node = list.head; node; node = node->next) {
            CGmVisualObject* visual = node->value;
            if (!visual->visible || !IsMesh(visual))
                continue;
            CGmScenicMesh& mesh = static_cast<CGmScenicMesh&>(*visual);
            mesh.Update();
            DrawLit(visual, [&] { DrawMeshPasses(mesh, true, shadows); });
        }
    }

    if (shadows) {
        CGmShadowQueue::Flush();
        BuildShadowMesh();
        RenderShadowStencil();
        g_shadowQuadCount = 0;
        CGmShadowQueue::s_count = 0;
    }

    for (CGePoolList<CGmVisualObject*>& list : layers) {
        for (auto* node = list.head; node; node = node->next) {
            CGmVisualObject* visual = node->value;
            if (!visual->visible)
                continue;
            DrawLit(visual, [&] {
                if (!IsMesh(visual))
                    visual->Render();
                else if (shadows)
                    DrawMeshPasses(static_cast<CGmScenicMesh&>(*visual), false, shadows);
            });
        }
    }
}

void CGmLayers::AddLight(LightDesc* light)
{
    if (!light)
        return;
    for (LightDesc* registered : lights)
        if (registered == light)
            return;
    lights.Add(light);
}

void CGmLayers::RemoveLight(LightDesc* light)
{
    for (uint32_t i = 0; i < lights.Count(); ++i) {
        if (lights[i] == light) {
            lights.RemoveAt(i);
            return;
        }
    }
}

void CGmLayers::GatherLights(float f1, float f2, float f3, bool withKind1)
{
    for (uint32_t i = 0; i < lights.Count(); ++i) {
        LightDesc& light = *lights[i];
        const uint8_t kind = KindOf(light);
        if (kind != GM_LIGHT_DIRECTIONAL && !(kind == GM_LIGHT_POINT && withKind1))
            continue;
        GmGatheredLight record;
        record.light.Init();
        record.light = light;
        record.index = i;
        gathered.Add(record);
        for (int c = 0; c < 4; ++c) {
            light.f[4 + c] *= f1;
            light.f[c] *= f2;
            light.f[8 + c] *= f3;
        }
    }
}

void CGmLayers::FlushLights()
{
    for (const GmGatheredLight& record : gathered)
        if (record.index < lights.Count())
            memcpy(lights[record.index]->f, record.light.f, 12 * sizeof(float));
    gathered.Clear();
}

uint32_t CGmLayers::ChooseLights(const float* position, LightDesc* out, uint32_t maxLights)
{
    struct Ranked {
        float distance; // 0 for directional lights
        uint32_t index;
    };
    Ranked ranked[64];
    uint32_t n = 0;
    for (uint32_t i = 0; i < lights.Count() && n < 64; ++i) {
        const LightDesc& light = *lights[i];
        if (!light.Enabled())
            continue; // registered but switched off
        const uint8_t kind = KindOf(light);
        if (kind == GM_LIGHT_DIRECTIONAL) {
            ranked[n++] = {-1.0f, i};
        } else if (kind == GM_LIGHT_POINT || kind == GM_LIGHT_SPOT) {
            const float dx = light.f[20] - position[0], dy = light.f[21] - position[1], dz = light.f[22] - position[2];
            const float distance = SqrtF(dx * dx + dy * dy + dz * dz);
            if (distance <= light.f[16])
                ranked[n++] = {distance, i};
        }
    }
    std::stable_sort(ranked, ranked + n, [](const Ranked& a, const Ranked& b) { return a.distance < b.distance; });
    const uint32_t count = std::min(n, maxLights);
    for (uint32_t k = 0; k < count; ++k)
        out[k] = *lights[ranked[k].index];
    return count;
}

void CGmLayers::SetAmbientSum(const float* rgba)
{
    memcpy(ambientSum, rgba, sizeof(ambientSum));
}
