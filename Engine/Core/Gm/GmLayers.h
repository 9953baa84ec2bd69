// The render layers: the one manager of the visual objects drawn each frame,
// created by the engine hub at start-up and reached through g_pGmLayers.
//
// Five ordered lists of visuals, drawn in layer order (0 first) and within a
// layer in list order, in two passes around the stencil-shadow step. Scenic
// meshes (type 4) draw in the first pass, every other visual in the second.
// With stencil shadows on, a mesh draws the materials that receive shadows
// before the shadow step (so the shadow darkens them) and the others after
// it; with shadows off every material draws in the first pass. Each material
// is drawn as many times as its pass count, pass r handed to Apply (so a
// double-sided material draws back faces, then front faces). Hooks run around
// every drawn visual. The hooks take no argument: while they and the visual's
// drawing run, `lit` names the visual, so that a hook can light it by its
// place (a location's shade boxes scale the lights of the objects inside).
//
// Which layers hold a visual is also kept in an index by the visual's address,
// so that adding (which refuses a visual already in the layer) and removing
// take constant time instead of a walk along the layer: a location's load adds
// its visuals one by one. The lists stay what is drawn and in which order.
//
// The layers also keep the registered lights: they choose the lights of a
// drawn object for the shader passes (IGmLightSource) and can scale the
// lights' colours for a frame and restore them afterwards.
#pragma once

#include "Engine/Core/Common/GeArray.h"
#include "Engine/Core/Common/GePoolList.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmD3dTables.h"
#include "Engine/Core/Gm/GmShaderPass.h"

#include <cstdint>
#include <unordered_map>

class CGmScenicMesh;
class CGmVisualObject;

// A gathered light: its description as it was, and where it came from.
struct GmGatheredLight {
    LightDesc light;
    uint32_t index; // in the registered lights
};

class CGmLayers : public IGmLightSource {
public:
    static constexpr uint32_t kLayerCount = 5;
    using Hook = void (*)();

    CGmLayers();
    // The visuals are not destroyed.
    ~CGmLayers() override;
    CGmLayers(const CGmLayers&) = delete;
    CGmLayers& operator=(const CGmLayers&) = delete;

    // Appends the visual to the layer unless it is already there; layers
    // beyond 4 and null visuals are refused.
    void Add(uint32_t layer, CGmVisualObject* visual);
    // Unlinks the visual from every layer that holds it.
    void Remove(CGmVisualObject* visual);
    bool Contains(uint32_t layer, const CGmVisualObject* visual) const;

    void RenderAll();

    // Hooks run before and after every drawn visual, in the order added.
    void AddBeforeHook(Hook hook);
    void AddAfterHook(Hook hook);
    // Unlinks the first node holding the hook; false when none does.
    bool RemoveBeforeHook(Hook hook);
    bool RemoveAfterHook(Hook hook);
    // The world position of the visual being drawn (column 3 of its world
    // matrix, as its shader passes get it); false outside a drawn visual.
    bool LitPosition(float position[3]) const;

    // Registers a light description (kept by its owner) unless it already is.
    void AddLight(LightDesc* light);
    void RemoveLight(LightDesc* light);
    // For every light of kind 2 (and kind 1 with withKind1): saves it, then
    // scales its ambient colour by f1, diffuse by f2 and specular by f3.
    void GatherLights(float f1, float f2, float f3, bool withKind1);
    // Writes the saved colours back and forgets them.
    void FlushLights();

    // IGmLightSource: of the enabled lights, directional ones first, then
    // point and spot lights that reach the position, nearest first;
    // registration order breaks ties.
    uint32_t ChooseLights(const float* position, LightDesc* lights, uint32_t maxLights) override;
    void SetAmbientSum(const float* rgba) override;

    CGePoolList<CGmVisualObject*> layers[kLayerCount];
    CGePoolList<Hook> beforeHooks;
    CGePoolList<Hook> afterHooks;
    CGmVisualObject* lit = nullptr; // the visual whose hooks and drawing run now
    CGeArray<LightDesc*> lights;
    CGeArray<GmGatheredLight> gathered;
    float ambientSum[4] = {0, 0, 0, 0};

private:
    using Node = CGePoolList<CGmVisualObject*>::Node;
    // The node of the visual in each layer, null where it is not.
    struct Membership {
        Node* nodes[kLayerCount] = {};
    };
    std::unordered_map<const CGmVisualObject*, Membership> m_members;

    void RunHooks(const CGePoolList<Hook>& hooks) const;
    // Names the visual, runs the before-hooks, draws, runs the after-hooks.
    template <class Draw>
    void DrawLit(CGmVisualObject* visual, const Draw& draw);
    // Draws the mesh's materials of one side of the shadow step.
    void DrawMeshPasses(CGmScenicMesh& mesh, bool beforeShadows, bool shadows);
    static bool RemoveHook(CGePoolList<Hook>& hooks, Hook hook);
};

extern CGmLayers* g_pGmLayers;
