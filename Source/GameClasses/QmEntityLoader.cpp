#include "Source/GameClasses/QmEntityLoader.h"

#include "Engine/Anim/GcPsysEffect.h"
#include "Engine/Anim/GmMeshResource.h"
#include "Engine/Core/Common/GeFileData.h"
#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GeXml.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmD3dTables.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmVertexBuffer.h"
#include "Engine/Core/Gm/GmMaterial.h"
#include "Engine/Core/Gm/GmMesh.h"
#include "Engine/Core/Gm/GmResCollector.h"
#include "Engine/Core/Gm/GmScenicMesh.h"
#include "Engine/Core/Gm/GmShaderPass.h"
#include "Engine/Physics/GeCollider.h"
#include "Source/GameClasses/QmEntity.h"
#include "Source/GameClasses/QmGameProcessor.h"
#include "Source/GameClasses/QmLocation.h"
#include "Source/GameClasses/QmLocationLoader.h"
#include "Source/GameClasses/QmLocationManager.h"
#include "Source/GameClasses/QmPropActor.h"
#include "Source/GameClasses/QmPropAimapLockController.h"
#include "Source/GameClasses/QmPropAllocatorList.h"
#include "Source/GameClasses/QmPropAnimController.h"
#include "Source/GameClasses/QmPropCloth.h"
#include "Source/GameClasses/QmPropCollider.h"
#include "Source/GameClasses/QmPropCurveMotion.h"
#include "Source/GameClasses/QmPropDropShadow.h"
#include "Source/GameClasses/QmPropIkProcessor.h"
#include "Source/GameClasses/QmPropLightSource.h"
#include "Source/GameClasses/QmPropMotionController.h"
#include "Source/GameClasses/QmPropRagdoll.h"
#include "Source/GameClasses/QmPropSoundSource.h"
#include "Source/GameClasses/QmPropTrigger.h"
#include "Source/GameClasses/QmPropVentilator.h"
#include "Source/GameClasses/QmPropWalker.h"
#include "Source/GameClasses/QmSprite.h"
#include "Source/GameClasses/QmUnifiedCollector.h"

#include <cstring>
#include <tinyxml.h>

namespace {

const float kDegreesToRadians = 0.017453292f;

XmlHandle Handle(const TiXmlElement* element)
{
    XmlHandle handle;
    handle.element = const_cast<TiXmlElement*>(element);
    return handle;
}

Vec3 ReadVec3(const XmlHandle& handle, const char* name)
{
    const Vec4 v = XmlGetVector3(name, handle);
    return Vec3{v.x, v.y, v.z};
}

bool Is(const TiXmlElement* element, const char* name)
{
    return element->Value() && std::strcmp(element->Value(), name) == 0;
}

// count numbers of a list attribute; missing ones are 0. False when the
// attribute is absent.
bool ReadFloats(const XmlHandle& handle, const char* name, float* out, uint32_t count)
{
    const char* text = XmlGetText(name, handle);
    if (!text)
        return false;
    CGeArray<float> values;
    XmlParseFloatList(text, values);
    for (uint32_t i = 0; i < count; ++i)
        out[i] = i < values.Count() ? values[i] : 0.0f;
    return true;
}

Matrix4 Translation(const Vec3& position)
{
    Matrix4 m = Matrix4::Identity();
    m.At(0, 3) = position.x;
    m.At(1, 3) = position.y;
    m.At(2, 3) = position.z;
    return m;
}

// The render layer of a mesh: one draw range under an alpha-blended first
// material goes with the sorted layer 3, everything else into layer 2.
uint32_t MeshLayer(const CGmMesh& mesh, const CGeArray<CGmMaterial*>& materials)
{
    if (mesh.drawRanges.Count() != 1 || !materials.Count() || !materials[0])
        return 2;
    const auto* pass = dynamic_cast<const CGmShaderPass*>(materials[0]);
    return pass && pass->alphaBlend == 1 ? 3 : 2;
}

// One "mesh" child; false when the mesh cannot be loaded.
bool ReadMesh(CQmEntity& entity, CQmPropVisualObject& property, const TiXmlElement* element)
{
    const XmlHandle handle = Handle(element);
    const char* file = XmlGetText("filename", handle);
    CGmMesh* mesh = file ? rescollect::LoadMesh(g_dataRoot + file) : nullptr;
    if (!mesh) {
        GeLog(2, "LoadProperty_VisualObject: No mesh - failed to create property!\n");
        return false;
    }
    // Only a mesh with blend weights can be skinned: looking others up would
    // read their file again for every entity that names them.
    const bool blended = mesh->vertexBuffer && (mesh->vertexBuffer->Flags() & GE_VEF_BLEND_MASK) != 0;
    CGeResource* resource = blended ? rescollect::LoadMeshResource(g_dataRoot + file) : nullptr;
    auto* skeleton = dynamic_cast<CGmMeshResource*>(resource);
    const bool skinned = skeleton && skeleton->JointCount() > 0;
    CGeArray<CGmMaterial*> materials;
    for (const TiXmlElement* child = element->FirstChildElement("material"); child;
         child = child->NextSiblingElement("material")) {
        const char* materialFile = XmlGetText("filename", Handle(child));
        materials.Add(materialFile ? rescollect::LoadMaterial(g_dataRoot + materialFile) : nullptr);
    }
    auto* visual = new CGmScenicMesh(mesh, skinned ? skeleton : nullptr, materials);
    visual->frame.SetPosition(ReadVec3(handle, "pos"));
    visual->frame.Invalidate();
    const uint32_t layer = MeshLayer(*mesh, materials);
    for (CGmMaterial* material : materials)
        if (material)
            material->Release();
    mesh->Release();
    if (resource)
        resource->Release();
    if (skinned) {
        for (const TiXmlElement* child = element->FirstChildElement("animation"); child;
             child = child->NextSiblingElement("animation"))
            if (const char* track = XmlGetText("filename", Handle(child)))
                CQmUnifiedCollector::LoadJointsAnimTrack(track, reinterpret_cast<uintptr_t>(&entity));
    }
    property.AddVisual(visual, layer);
    property.SetEnabled(true);
    return true;
}

void ReadSprite(CQmPropVisualObject& property, const TiXmlElement* element)
{
    const XmlHandle handle = Handle(element);
    const Vec2 hot = XmlHasAttribute("hotpoint", handle) ? XmlGetVector2("hotpoint", handle) : Vec2{0.0f, 0.0f};
    const bool overlay = XmlGetBool("overlay", handle);
    CGmVisual2D* sprite = LoadSprite(element, false);
    if (!sprite)
        return;
    uint32_t layer = (sprite->GetTypeId() & 0xFFFF) == kQmAnimSpriteTypeId ? 3 : 2;
    if (overlay)
        layer = 4;
    for (Vec2& point : sprite->hotPoints)
        point = hot;
    property.AddVisual(sprite, layer);
    property.SetEnabled(true);
}

void ReadEffect(CQmPropVisualObject& property, const TiXmlElement* element)
{
    const XmlHandle handle = Handle(element);
    const char* file = XmlGetText("filename", handle);
    const CGeString path = g_dataRoot + (file ? file : "");
    CGcPsysEffect* effect = nullptr;
    if (file)
        LoadPsysEffect(path.c_str(), &effect);
    if (!effect) {
        GeLog(2, "No effect in '%s'!\n", path.c_str());
        return;
    }
    effect->frame.SetPosition(ReadVec3(handle, "pos"));
    effect->frame.Invalidate();
    property.AddVisual(effect, 3);
}

// The location an added entity joins: the one being loaded, else the
// current one.
CQmLocation* TargetLocation()
{
    if (g_loadingLocation)
        return g_loadingLocation;
    return g_locationManager ? g_locationManager->current : nullptr;
}

} // namespace

const QmPropertyTag g_propertyTags[kQmPropertyTagCount] = {
    {"light_source", QM_PROP_LIGHT_SOURCE, "CQmPropLightSource", QM_TAG_ON, LoadProperty_LightSource},
    {"anim_controller", QM_PROP_ANIM_CONTROLLER, "CQmPropAnimController", QM_TAG_ON, LoadProperty_AnimController},
    {"ja_controller", QM_PROP_ANIM_CONTROLLER, "CQmPropAnimController", QM_TAG_ON, LoadProperty_JaController},
    {"walker", QM_PROP_WALKER, "CQmPropWalker", QM_TAG_LEFT_AS_MADE, LoadProperty_Walker},
    {"motion_controller", QM_PROP_MOTION_CONTROLLER, "CQmPropMotionController", QM_TAG_OFF,
     LoadProperty_MotionController},
    {"linear_motion_controller", QM_PROP_LINEAR_MOTION, "CQmPropLinearMotionController", QM_TAG_OFF,
     LoadProperty_LinearMotionController},
    {"ik_processor", QM_PROP_IK_PROCESSOR, "CQmPropIkProcessor", QM_TAG_ON, LoadProperty_IkProcessor},
    {"allocator_list", QM_PROP_ALLOCATOR_LIST, "CQmPropAllocatorList", QM_TAG_ON, LoadProperty_AllocatorList},
    {"actor", QM_PROP_ACTOR, "CQmPropActor", QM_TAG_ON, LoadProperty_Actor},
    {"collider", QM_PROP_COLLIDER, "CQmPropCollider", QM_TAG_ON, LoadProperty_Collider},
    {"trigger", QM_PROP_TRIGGER, "CQmPropTrigger", QM_TAG_ON, LoadProperty_Trigger},
    {"visual_object", QM_PROP_VISUAL_OBJECT, "CQmPropVisualObject", QM_TAG_ON, LoadProperty_VisualObject},
    {"drop_shadow", QM_PROP_DROP_SHADOW, "CQmPropDropShadow", QM_TAG_ON, LoadProperty_DropShadow},
    {"sound_source", QM_PROP_SOUND_SOURCE, "CQmPropSoundSource", QM_TAG_ON, LoadProperty_SoundSource},
    {"curve_motion", QM_PROP_CURVE_MOTION, "CQmPropCurveMotion", QM_TAG_ON, LoadProperty_CurveMotion},
    {"aimap_lock_controller", QM_PROP_AIMAP_LOCK, "CQmPropAimapLockController", QM_TAG_ON,
     LoadProperty_AimapLockController},
    {"ragdoll", QM_PROP_RAGDOLL, "CQmPropRagdoll", QM_TAG_ON, LoadProperty_Ragdoll},
    {"cloth", QM_PROP_CLOTH, "CQmPropCloth", QM_TAG_OFF, LoadProperty_Cloth},
    {"ventilator", QM_PROP_VENTILATOR, "CQmPropVentilator", QM_TAG_OFF, LoadProperty_Ventilator},
};

const QmPropertyTag* FindPropertyTag(const char* tag)
{
    if (!tag)
        return nullptr;
    for (const QmPropertyTag& row : g_propertyTags)
        if (std::strcmp(row.tag, tag) == 0)
            return &row;
    return nullptr;
}

void LoadProperty_VisualObject(CQmEntity& entity, const TiXmlElement* element)
{
    if (!element->FirstChildElement())
        return;
    auto* property = new CQmPropVisualObject(&entity);
    for (const TiXmlElement* child = element->FirstChildElement(); child; child = child->NextSiblingElement()) {
        if (Is(child, "mesh")) {
            if (!ReadMesh(entity, *property, child)) {
                delete property;
                return;
            }
        } else if (Is(child, "sprite2d") || Is(child, "sprite3d")) {
            ReadSprite(*property, child);
        } else if (Is(child, "psys_effect")) {
            ReadEffect(*property, child);
        }
    }
    entity.SetProp(QM_PROP_VISUAL_OBJECT, property);
}

void LoadProperty_Collider(CQmEntity& entity, const TiXmlElement* element)
{
    const XmlHandle handle = Handle(element);
    float v[9] = {};
    auto* collider = new CQmPropCollider(&entity);
    if (ReadFloats(handle, "aabb", v, 6)) {
        const Vec3 minCorner = {v[0], v[1], v[2]};
        const Vec3 maxCorner = {v[3], v[4], v[5]};
        CreateColliderAabbShape(collider)->SetCorners(minCorner, maxCorner);
        collider->local = Translation({(v[0] + v[3]) * 0.5f, (v[1] + v[4]) * 0.5f, (v[2] + v[5]) * 0.5f});
    } else if (ReadFloats(handle, "sphere", v, 4)) {
        CGeColliderSphere* sphere = CreateColliderSphereShape(collider);
        sphere->centre = Vec3{v[0], v[1], v[2]};
        sphere->radius = v[3];
        collider->local = Translation(sphere->centre);
    } else if (ReadFloats(handle, "box", v, 9)) {
        Matrix4 pose = MatrixFromEulerAngles(
            Vec3{v[6] * kDegreesToRadians, v[7] * kDegreesToRadians, v[8] * kDegreesToRadians}, EULER_ZYX);
        pose.At(0, 3) += v[0];
        pose.At(1, 3) += v[1];
        pose.At(2, 3) += v[2];
        collider->local = pose;
        CreateColliderBoxShape(collider)->SetSizeAndRotation(Vec3{v[3], v[4], v[5]}, pose);
    } else {
        GeTrace("LoadProperty_Collider: collider without a shape");
        delete collider;
        return;
    }
    entity.SetProp(QM_PROP_COLLIDER, collider);
}

CQmEntity* LoadEntity(const TiXmlElement* element, bool add, CQmEntity* existing)
{
    if (!element)
        return existing;
    const XmlHandle handle = Handle(element);
    const Vec3 position = ReadVec3(handle, "pos");
    const Vec3 degrees = ReadVec3(handle, "rot");
    const char* nameText = XmlGetText("name", handle);

    CQmEntity* entity = existing ? existing : new CQmEntity();
    entity->frame.SetPosition(position);
    entity->frame.SetAngles(
        Vec3{degrees.x * kDegreesToRadians, degrees.y * kDegreesToRadians, degrees.z * kDegreesToRadians});
    entity->frame.Invalidate();
    entity->name = nameText ? nameText : "unknown!";

    for (const TiXmlElement* child = element->FirstChildElement(); child; child = child->NextSiblingElement()) {
        const QmPropertyTag* row = FindPropertyTag(child->Value());
        if (!row) {
            GeTrace("LoadEntity: unknown tag '%s' skipped", child->Value() ? child->Value() : "");
        } else if (!row->reader) {
            GeTrace("LoadEntity: tag '%s' (%s) is not read yet", row->tag, row->className);
        } else {
            CQmProp* before = entity->GetProp(row->slot);
            row->reader(*entity, child);
            CQmProp* after = entity->GetProp(row->slot);
            if (after && after != before && row->enabled != QM_TAG_LEFT_AS_MADE)
                after->SetEnabled(row->enabled == QM_TAG_ON);
        }
        LocationLoadKeepAlive();
    }

    if (add) {
        CQmLocation* location = TargetLocation();
        if (!location || !location->AddNamedObject(CGeString(nameText ? nameText : ""), entity, false)) {
            if (!location)
                GeLog(2, "LoadEntity: no location for %s\n", entity->name.c_str());
            if (!existing)
                delete entity;
            return nullptr;
        }
    }
    return entity;
}
