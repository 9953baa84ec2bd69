#include "Source/GameClasses/QmPropRagdoll.h"

#include "Engine/Anim/GmMeshResource.h"
#include "Engine/Core/Common/GeXml.h"
#include "Engine/Core/Gm/GmDebugDraw.h"
#include "Engine/Core/Gm/GmScenicMesh.h"
#include "Engine/Physics/GeCollisionGeom.h"
#include "Engine/Physics/GeStaticEnvironment.h"
#include "Source/GameClasses/QmGameProcessor.h"
#include "Source/GameClasses/QmPropAnimController.h"

#include <cstring>
#include <tinyxml.h>

namespace {

constexpr uint32_t kDebugColor = 0xFFFF8000;

// The shape kinds a ragdoll body may carry.
bool IsBodyShapeType(const char* type)
{
    return type && (std::strcmp(type, "sphere") == 0 || std::strcmp(type, "box") == 0 ||
                    std::strcmp(type, "cylinder") == 0 || std::strcmp(type, "capsule") == 0);
}

} // namespace

CQmPropRagdoll::~CQmPropRagdoll()
{
    Reset();
}

void CQmPropRagdoll::Reset()
{
    for (CGeCollisionGeom* geom : geoms)
        delete geom;
    for (const Body& entry : bodies)
        delete entry.body;
    group.DetachFromParent();
    geoms.Clear();
    bodies.Clear();
}

void CQmPropRagdoll::LoadFromXML(const char* file)
{
    Reset();
    if (!file)
        return;
    TiXmlDocument document;
    if (!XmlLoadDocument(g_dataRoot + file, document))
        return;
    const TiXmlElement* root = document.RootElement();
    if (!root || std::strcmp(root->Value(), "ragdoll") != 0)
        return;

    uint32_t bodyCount = 0, geomCount = 0;
    for (const TiXmlElement* body = root->FirstChildElement("body"); body; body = body->NextSiblingElement("body")) {
        ++bodyCount;
        geomCount += XmlCountChildren(body, "geom");
    }
    if (bodyCount == 0 || geomCount == 0)
        return;

    for (const TiXmlElement* element = root->FirstChildElement("body"); element;
         element = element->NextSiblingElement("body")) {
        XmlHandle handle; // missing attributes are expected: no report
        handle.element = const_cast<TiXmlElement*>(element);
        if (!XmlHasAttribute("bone_index", handle))
            continue;
        const int32_t bone = XmlGetInt("bone_index", handle);
        if (bone < 0)
            continue;
        auto* body = new CGeRigidBody;
        for (const TiXmlElement* geomElement = element->FirstChildElement("geom"); geomElement;
             geomElement = geomElement->NextSiblingElement("geom")) {
            if (!IsBodyShapeType(geomElement->Attribute("type")))
                continue;
            CGeCollisionGeom* geom = LoadStaticGeom(geomElement);
            if (!geom)
                continue;
            body->Add(geom);
            geoms.Add(geom);
        }
        if (body->geomCount == 0) {
            delete body;
            continue;
        }
        bodies.Add(Body{body, uint32_t(bone)});
        group.AddBody(body);
    }
    if (group.bodyCount > 0)
        group.AttachToWorld();
}

bool CQmPropRagdoll::Bind()
{
    const auto* controller = owner->Prop<CQmPropAnimController>(QM_PROP_ANIM_CONTROLLER);
    const auto* visuals = owner->Prop<CQmPropVisualObject>(QM_PROP_VISUAL_OBJECT);
    if (!controller || !visuals)
        return false;
    const uint32_t index = controller->visualIndex;
    if (index >= visuals->visuals.count)
        return false;
    auto* mesh = dynamic_cast<CGmScenicMesh*>(visuals->visuals[index]);
    auto* bones = mesh ? dynamic_cast<CGmMeshResource*>(mesh->skeleton) : nullptr;
    if (!bones)
        return false;
    visual = mesh;
    skeleton = bones;
    return true;
}

void CQmPropRagdoll::Update()
{
    if (!skeleton) {
        Bind();
        return;
    }
    // The world matrices may lag the joint list while a skeleton is rebuilt:
    // only bones both hold are read.
    const uint32_t boneCount = std::min(skeleton->JointCount(), skeleton->world.Count());
    const Matrix4& entityWorld = owner->frame.world;
    for (const Body& entry : bodies)
        if (entry.boneIndex < boneCount)
            entry.body->SetTransform(MatrixMultiply3x4(entityWorld, skeleton->WorldMatrix(entry.boneIndex)));
}

void CQmPropRagdoll::DrawDebug() const
{
    for (const CGeCollisionGeom* geom : geoms)
        DrawShape(*geom, kDebugColor);
}

void LoadProperty_Ragdoll(CQmEntity& entity, const TiXmlElement* element)
{
    auto* ragdoll = new CQmPropRagdoll(&entity);
    ragdoll->LoadFromXML(element->Attribute("file"));
    entity.SetProp(QM_PROP_RAGDOLL, ragdoll);
}
