#include "Source/GameClasses/QmPropAllocatorList.h"

#include "Engine/Anim/GmMeshResource.h"
#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GeXml.h"
#include "Engine/Core/Gm/GmScenicMesh.h"

#include <tinyxml.h>

namespace {

const float kEditorDegreesToRadians = 0.01745329f;
const float kFileDegreesToRadians = 0.017453292f;

// Rotation from three angles (order code 0) with position as translation.
Matrix4 OffsetMatrix(const Vec3& position, const Vec3& radians)
{
    Matrix4 m = MatrixFromEulerAngles(radians, EULER_ZYX);
    m.At(0, 3) += position.x;
    m.At(1, 3) += position.y;
    m.At(2, 3) += position.z;
    return m;
}

Matrix4 InverseOrIdentity(const Matrix4& m)
{
    Matrix4 inverse = Matrix4::Identity();
    MatrixInverse(m, inverse);
    return inverse;
}

CGmMeshResource* FirstVisualSkeleton(const CQmEntity* owner)
{
    const auto* visuals = owner ? owner->Prop<CQmPropVisualObject>(QM_PROP_VISUAL_OBJECT) : nullptr;
    if (!visuals || !visuals->visuals.Count())
        return nullptr;
    const auto* mesh = dynamic_cast<const CGmScenicMesh*>(visuals->visuals[0]);
    return mesh ? dynamic_cast<CGmMeshResource*>(mesh->skeleton) : nullptr;
}

} // namespace

CQmAllocator::CQmAllocator(CQmEntity* ownerEntity, const Matrix4& offsetMatrix)
    : offset(offsetMatrix), inverseOffset(InverseOrIdentity(offsetMatrix)), owner(ownerEntity),
      skeleton(FirstVisualSkeleton(ownerEntity))
{
}

CQmAllocator::~CQmAllocator()
{
    ReleaseChildren();
    LeaveParent();
}

void CQmAllocator::ReleaseChildren()
{
    while (children.Count())
        children[children.Count() - 1]->LeaveParent();
}

void CQmAllocator::LeaveParent()
{
    if (parent) {
        CGeArray<CQmAllocator*>& siblings = parent->children;
        for (uint32_t i = 0; i < siblings.Count(); ++i) {
            if (siblings[i] == this) {
                siblings.RemoveAt(i);
                break;
            }
        }
    }
    parent = nullptr;
    owner->frame.SetComposeMode(CGeFrame3D::COMPOSE_EULER);
}

void CQmAllocator::AttachEntity(CQmAllocator* newParent)
{
    if (newParent == this)
        newParent = nullptr;
    LeaveParent();
    parent = newParent;
    if (parent) {
        parent->children.Add(this);
        owner->frame.SetComposeMode(CGeFrame3D::COMPOSE_FIXED);
    }
}

Matrix4 CQmAllocator::BoneWorld() const
{
    if (!skeleton || bone < 0 || uint32_t(bone) >= skeleton->world.Count())
        return Matrix4::Identity();
    return skeleton->WorldMatrix(uint32_t(bone));
}

Matrix4 CQmAllocator::ComputeWorld() const
{
    if (parent)
        return MatrixMultiply4x4(parent->world, offset);
    owner->frame.UpdateWorldMatrix();
    if (bone == -1)
        return MatrixMultiply4x4(owner->frame.world, offset);
    return MatrixMultiply4x4(owner->frame.world, MatrixMultiply4x4(BoneWorld(), offset));
}

void CQmAllocator::UpdateAttached()
{
    if (parent) {
        parent->owner->frame.UpdateWorldMatrix();
        parent->world = parent->ComputeWorld();
    }
    world = ComputeWorld();
    if (!parent)
        return;
    const Matrix4 toOwner =
        bone == -1 ? inverseOffset : InverseOrIdentity(MatrixMultiply4x4(BoneWorld(), offset));
    owner->frame.SetMatrix(MatrixMultiply4x4(parent->world, toOwner));
}

void CQmAllocator::SetTransform(const Vec3& position, const Vec3& anglesDegrees)
{
    const Vec3 radians = {anglesDegrees.x * kEditorDegreesToRadians, anglesDegrees.y * kEditorDegreesToRadians,
                          anglesDegrees.z * kEditorDegreesToRadians};
    offset = OffsetMatrix(position, radians);
    inverseOffset = InverseOrIdentity(offset);
    UpdateAttached();
}

CQmPropAllocatorList::~CQmPropAllocatorList()
{
    for (auto* node = allocators.first; node; node = allocators.Next(node))
        delete node->value;
    allocators.Destroy();
}

CQmAllocator* CQmPropAllocatorList::Find(const char* name) const
{
    if (!name || !*name)
        return nullptr;
    return allocators.Lookup(CGeString(name));
}

bool CQmPropAllocatorList::Insert(const char* name, CQmAllocator* allocator)
{
    const CGeString key(name);
    if (allocators.Find(key))
        return false;
    allocators.InsertNode(key, allocator);
    return true;
}

void CQmPropAllocatorList::DetachAll()
{
    for (auto* node = allocators.first; node; node = allocators.Next(node))
        node->value->AttachEntity(nullptr);
}

void CQmPropAllocatorList::Update()
{
    for (auto* node = allocators.first; node; node = allocators.Next(node))
        node->value->UpdateAttached();
}

void LoadProperty_AllocatorList(CQmEntity& entity, const TiXmlElement* element)
{
    if (!element->FirstChildElement("allocator"))
        return;
    auto* list = new CQmPropAllocatorList(&entity);
    for (const TiXmlElement* child = element->FirstChildElement("allocator"); child;
         child = child->NextSiblingElement("allocator")) {
        XmlHandle handle;
        handle.element = const_cast<TiXmlElement*>(child);
        const char* name = XmlGetText("name", handle);
        if (!name || !*name) {
            GeTrace("LoadProperty_AllocatorList: an allocator without a name skipped");
            continue;
        }
        float t[6] = {};
        if (const char* text = XmlGetText("transform", handle)) {
            CGeArray<float> values;
            XmlParseFloatList(text, values);
            for (uint32_t i = 0; i < 6 && i < values.Count(); ++i)
                t[i] = values[i];
        }
        const Vec3 radians = {t[3] * kFileDegreesToRadians, t[4] * kFileDegreesToRadians,
                              t[5] * kFileDegreesToRadians};
        auto* allocator = new CQmAllocator(&entity, OffsetMatrix(Vec3{t[0], t[1], t[2]}, radians));
        if (!list->Insert(name, allocator)) {
            GeTrace("LoadProperty_AllocatorList: allocator '%s' is already there; the first one stays", name);
            delete allocator;
            continue;
        }
        if (XmlHasAttribute("bone", handle)) {
            const int32_t bone = XmlGetInt("bone", handle);
            if (allocator->skeleton && bone >= 0 && uint32_t(bone) < allocator->skeleton->JointCount())
                allocator->bone = bone;
            else
                GeTrace("LoadProperty_AllocatorList: bone %i of allocator '%s' ignored", int(bone), name);
        }
    }
    list->SetEnabled(true);
    entity.SetProp(QM_PROP_ALLOCATOR_LIST, list);
}
