#include "Source/GameClasses/QmPropDropShadow.h"

#include "Engine/Anim/GmMeshResource.h"
#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GeXml.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmIndexBuffer.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmVertexBuffer.h"
#include "Engine/Core/Gm/GeHub.h"
#include "Engine/Core/Gm/GmCamera.h"
#include "Engine/Core/Gm/GmMaterial.h"
#include "Engine/Core/Gm/GmMesh.h"
#include "Engine/Core/Gm/GmResCollector.h"
#include "Engine/Core/Gm/GmScenicMesh.h"
#include "Engine/Core/Gm/GmShadow.h"
#include "Source/GameClasses/QmAiMap.h"
#include "Source/GameClasses/QmGameProcessor.h"
#include "Source/GameClasses/QmLocation.h"
#include "Source/GameClasses/QmLocationManager.h"
#include "Source/GameClasses/QmRenderLink.h"

#include <cmath>
#include <cstdlib>
#include <tinyxml.h>

namespace {

constexpr uint32_t kShadowLayer = 1;

// The corners of a quad in vertex order: the signs of the half sizes and the
// texture coordinates.
struct Corner {
    float sx, sz, u, v;
};
constexpr Corner kCorners[4] = {{1, 1, 0, 0}, {1, -1, 1, 0}, {-1, 1, 0, 1}, {-1, -1, 1, 1}};

CQmLocation* CurrentLocation()
{
    return g_locationManager ? g_locationManager->current : nullptr;
}

uint32_t QuadColor(float alpha)
{
    // Written so that a NaN alpha gives 0.
    const float clamped = alpha > 0.0f ? (alpha < 1.0f ? alpha : 1.0f) : 0.0f;
    return (uint32_t)std::lround(clamped * 255.0f) << 24 | 0xFFFFFFu;
}

} // namespace

CQmPropDropShadow::CQmPropDropShadow(CQmEntity* ownerEntity, const char* materialName)
    : CQmProp(ownerEntity), geometry(new CGmMesh())
{
    quads.SetGrowStep(16);
    material = rescollect::LoadMaterial(g_dataRoot + (materialName ? materialName : ""));
}

CQmPropDropShadow::~CQmPropDropShadow()
{
    if (visual) {
        QmLayersRemove(visual);
        delete visual;
    }
    if (material)
        material->Release();
    if (geometry)
        geometry->Release();
}

void CQmPropDropShadow::BuildGeometry()
{
    const uint32_t count = quads.Count();
    geometry->CreateBuffers(kQmDropShadowVertexFlags, 4 * count, 2, 6 * count);
    geometry->drawRanges.Clear();
    if (count) {
        CGmDrawRange range;
        range.vertexCount = 4 * count;
        range.primitiveCount = 2 * count;
        geometry->drawRanges.Add(range);
    }

    ownerVisual = nullptr;
    skeleton = nullptr;
    if (CQmPropVisualObject* visuals = owner->Prop<CQmPropVisualObject>(QM_PROP_VISUAL_OBJECT)) {
        if (visuals->visuals.Count()) {
            ownerVisual = visuals->visuals[0];
            if (auto* mesh = dynamic_cast<CGmScenicMesh*>(ownerVisual))
                skeleton = dynamic_cast<CGmMeshResource*>(mesh->skeleton);
        }
    }

    if (visual) {
        QmLayersRemove(visual);
        delete visual;
        shown = 0;
    }
    CGeArray<CGmMaterial*> materials;
    materials.Add(material);
    visual = new CGmScenicMesh(geometry, nullptr, materials);
    visual->frame.SetComposeMode(CGeFrame3D::COMPOSE_FIXED);
    visual->visible = enabled;
}

void CQmPropDropShadow::SetEnabled(bool flag)
{
    const uint8_t value = flag ? 1 : 0;
    if (value == enabled)
        return;
    enabled = value;
    if (!visual)
        return;
    visual->visible = value;
    if (value) {
        if (CurrentLocation())
            Rebuild();
        QmLayersAdd(kShadowLayer, visual);
        shown = 1;
    } else {
        QmLayersRemove(visual);
        shown = 0;
    }
}

void CQmPropDropShadow::Update()
{
    if (!visual)
        return;
    if (g_shadowMode != kQmShadowModeDrop) {
        if (shown)
            QmLayersRemove(visual);
        shown = 0;
        return;
    }
    if (!shown) {
        QmLayersAdd(kShadowLayer, visual);
        shown = 1;
    }
    Rebuild();
    visual->Update();
}

void CQmPropDropShadow::Rebuild()
{
    CQmLocation* location = CurrentLocation();
    CGmCamera* camera = CGeHub::s_cameras3d[CGeHub::s_currentSlot];
    if (!location || !camera || !visual || !geometry->vertexBuffer || !geometry->indexBuffer)
        return;

    const Matrix4 ownerMatrix = ownerVisual ? ownerVisual->frame.world : owner->frame.world;
    Matrix4 ownerInverse = Matrix4::Identity();
    Matrix4 viewInverse = Matrix4::Identity();
    MatrixInverse(ownerMatrix, ownerInverse);
    MatrixInverse(camera->view, viewInverse);
    const Matrix4 ownerToCamera = MatrixMultiply4x4(camera->view, ownerMatrix);
    const Matrix4 cameraToOwner = MatrixMultiply4x4(ownerInverse, viewInverse);
    const CQmAiMap* grid = location->CurrentWalkGrid();

    CGmVertexBuffer* vertices = geometry->vertexBuffer;
    CGmIndexBuffer* indices = geometry->indexBuffer;
    if (!vertices->LockRange(0, 0))
        return;
    if (!indices->LockRange(0, 0)) {
        vertices->Unlock();
        return;
    }
    auto* vertex = reinterpret_cast<QmDropShadowVertex*>(vertices->GetData());
    auto* index = reinterpret_cast<uint16_t*>(indices->GetData());
    const uint32_t joints = skeleton ? skeleton->world.Count() : 0;

    for (uint32_t i = 0; i < quads.Count(); ++i) {
        const QmDropShadowQuad& quad = quads[i];
        float cx = 0.0f, cz = 0.0f;
        if (quad.bone >= 0 && (uint32_t)quad.bone < joints) {
            const float* joint = skeleton->world[quad.bone].m;
            cx = joint[3];
            cz = joint[11];
        }
        const float halfDiagonal = 0.5f * std::sqrt(quad.width * quad.width + quad.depth * quad.depth);
        const float depth = MatrixTransformPoint(ownerToCamera, Vec3{cx, 0.0f, cz}).z - halfDiagonal;
        const uint32_t color = QuadColor(quad.alpha);

        for (uint32_t k = 0; k < 4; ++k) {
            const Corner& corner = kCorners[k];
            Vec3 local = {cx + corner.sx * quad.width * 0.5f, 0.0f, cz + corner.sz * quad.depth * 0.5f};
            const Vec3 world = MatrixTransformPoint(ownerMatrix, local);
            const float ground = grid ? grid->GetHeight(world.x, world.z) : kAiNoHeight;
            if (ground < kQmNoGround)
                local.y = MatrixTransformPoint(ownerInverse, Vec3{world.x, ground, world.z}).y;
            Vec3 seen = MatrixTransformPoint(ownerToCamera, local);
            if (seen.z != 0.0f) {
                const float scale = depth / seen.z;
                seen = {seen.x * scale, seen.y * scale, depth};
            }
            const Vec3 placed = MatrixTransformPoint(cameraToOwner, seen);
            QmDropShadowVertex& out = vertex[4 * i + k];
            out = {placed.x, placed.y, placed.z, color, corner.u, corner.v};
        }
        const uint16_t first = (uint16_t)(4 * i);
        const uint16_t order[6] = {0, 1, 2, 1, 3, 2};
        for (uint32_t n = 0; n < 6; ++n)
            index[6 * i + n] = (uint16_t)(first + order[n]);
    }
    vertices->Unlock();
    indices->Unlock();

    visual->frame.SetMatrix(ownerMatrix);
    visual->frame.UpdateWorldMatrix();
}

void LoadProperty_DropShadow(CQmEntity& entity, const TiXmlElement* element)
{
    XmlHandle handle;
    handle.element = const_cast<TiXmlElement*>(element);
    const char* materialName = XmlGetText("material", handle);
    if (!materialName || !*materialName) {
        GeTrace("LoadProperty_DropShadow: no \"material\" attribute - no property");
        return;
    }
    auto* property = new CQmPropDropShadow(&entity, materialName);
    for (const TiXmlElement* child = element->FirstChildElement("quad"); child;
         child = child->NextSiblingElement("quad")) {
        XmlHandle quadHandle;
        quadHandle.element = const_cast<TiXmlElement*>(child);
        QmDropShadowQuad quad;
        if (const char* bone = XmlGetText("bone", quadHandle))
            quad.bone = std::atoi(bone);
        if (const char* alpha = XmlGetText("alpha", quadHandle))
            quad.alpha = (float)std::atof(alpha);
        if (const char* size = XmlGetText("size", quadHandle)) {
            CGeArray<float> values;
            XmlParseFloatList(size, values);
            quad.width = values.Count() > 0 ? values[0] : 0.0f;
            quad.depth = values.Count() > 1 ? values[1] : 0.0f;
        }
        if (property->quads.Count() == kQmMaxDropShadowQuads) {
            GeLog(2, "LoadProperty_DropShadow: more than %u quads, the rest ignored\n", kQmMaxDropShadowQuads);
            break;
        }
        property->quads.Add(quad);
    }
    property->BuildGeometry();
    property->SetEnabled(true);
    entity.SetProp(QM_PROP_DROP_SHADOW, property);
}
