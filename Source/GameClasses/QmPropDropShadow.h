// The drop-shadow property: soft blob shadows under an entity, one textured
// quad per record, each lying under the entity's origin or under one joint of
// its skeleton. While the program-wide shadow mode is 1 the quads are rebuilt
// every frame on the walk grid's ground and drawn through one mesh visual in
// render layer 1; the stencil shadows of mode 2 replace them.
//
// A corner is put on the ground below it (the walk grid's height; no floor
// leaves it at the owner's height 0) and then pulled towards the eye until it
// lies at the depth of the quad's nearest possible point: on screen it stays
// where the ground is, but it is drawn in front of the ground it lies on.
//
// Choices:
// - The vertices are in the owner's space (the owner visual's, else the
//   entity frame's), so the shadow visual's frame takes the owner's world
//   matrix at each rebuild: what the quads were built in is what they are
//   drawn with, and they land under the entity.
// - A bone that the skeleton does not have (or any without a skeleton) counts
//   as no bone: nothing is read past the joints.
// - An alpha outside 0 to 1 is clamped before it becomes the colour's top byte.
// - The reader keeps at most the quads that 16-bit indices can reach.
#pragma once

#include "Engine/Core/Common/GeArray.h"
#include "Engine/Core/Common/GeMath.h"
#include "Source/GameClasses/QmEntity.h"

#include <cstdint>

class CGmMaterial;
class CGmMesh;
class CGmMeshResource;
class CGmScenicMesh;
class CGmVisualObject;
class TiXmlElement;

struct QmDropShadowQuad {
    float width = 0.0f;
    float depth = 0.0f;
    float alpha = 1.0f; // 0..1
    int32_t bone = -1;  // joint index, -1 for none
};
static_assert(sizeof(QmDropShadowQuad) == 16, "a quad record is 16 bytes");

// One vertex of the shadow geometry: position, colour, one texture pair.
struct QmDropShadowVertex {
    float x, y, z;
    uint32_t color;
    float u, v;
};
constexpr uint32_t kQmDropShadowVertexFlags = 0x1101;

// The program-wide shadow mode in which drop shadows are drawn.
constexpr int32_t kQmShadowModeDrop = 1;
// 16-bit indices reach the vertices of this many quads.
constexpr uint32_t kQmMaxDropShadowQuads = 16384;
// Heights at or above this are the walk grid's "no floor".
constexpr float kQmNoGround = 1e20f;

class CQmPropDropShadow : public CQmProp {
public:
    // An empty geometry and the material of that name (under the data root).
    CQmPropDropShadow(CQmEntity* owner, const char* materialName);
    ~CQmPropDropShadow() override;

    // Once the quads are read: buffers of 4 vertices and 6 indices per quad,
    // all zero, one triangle-list range; the owner's first visual and its
    // skeleton; the shadow visual over the geometry and the material.
    void BuildGeometry();
    // On: rebuilt and into layer 1; off: out of the layers at once.
    void SetEnabled(bool flag) override;
    // Follows the shadow mode: shown and rebuilt only in mode 1.
    void Update() override;
    // The quads on the ground as the current location's walk grid and the
    // current 3D camera see them; nothing without either location or camera.
    void Rebuild();

    CGmMesh* geometry = nullptr;
    CGmMaterial* material = nullptr;
    CGmScenicMesh* visual = nullptr;
    uint8_t shown = 0;
    CGmMeshResource* skeleton = nullptr; // the owner visual's, not owned
    CGmVisualObject* ownerVisual = nullptr;
    CGeArray<QmDropShadowQuad> quads;
};

// The "drop_shadow" tag: "material" (required) and one "quad" child per
// shadow with "bone" (-1), "alpha" (1.0) and "size" (width, depth; 0 0).
void LoadProperty_DropShadow(CQmEntity& entity, const TiXmlElement* element);
