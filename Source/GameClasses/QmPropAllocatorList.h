// The allocator list property (slot 6): named attachment points
// ("allocators") of an entity, each a fixed transform (offset) relative to the
// entity or to one bone of its skeleton.
//
// An allocator attached to an allocator of another entity carries its owner:
// the owner's frame is then driven (its local matrix given from outside) so
// that the allocator meets the parent allocator, an item in a hand, a rider on
// a mount. Detaching hands the frame back to its own position, angles and
// scale.
//
// World transform of an allocator, the offset applied first:
// - with a parent: offset, then the parent's world;
// - free, on the entity: offset, then the owner's world matrix;
// - free, on a bone: offset, then the bone's world matrix (the skeleton of
//   the owner's first visual), then the owner's world matrix.
//
// Choices:
// - The children list grows: a fifth entity attached to one point is listed
//   like the first four, so destroying the parent releases every child and no
//   child keeps a pointer to a freed parent.
// - Before placing its owner, UpdateAttached recomputes the parent's world
//   from the parent owner's fresh frame, so an attached entity follows its
//   parent in the same frame whatever order the two entities update in.
// - An allocator attached to itself counts as detached.
// - "Back to normal" for an owner's frame is the Euler composition that
//   entities are placed with (position, angles, scale).
#pragma once

#include "Engine/Core/Common/GeArray.h"
#include "Engine/Core/Common/GeMap.h"
#include "Engine/Core/Common/GeMath.h"
#include "Source/GameClasses/QmEntity.h"

#include <cstdint>

class CGmMeshResource;
class TiXmlElement;

class CQmAllocator {
public:
    // bone -1, no parent, no children; the skeleton of the owner's first
    // visual when it has one.
    CQmAllocator(CQmEntity* owner, const Matrix4& offset);
    // Releases every child and leaves its own parent.
    ~CQmAllocator();
    CQmAllocator(const CQmAllocator&) = delete;
    CQmAllocator& operator=(const CQmAllocator&) = delete;

    // Leaves the old parent, takes the new one (null: free) and drives the
    // owner's frame while attached.
    void AttachEntity(CQmAllocator* newParent);
    // Recomputes world; when attached, places the owner so that this
    // allocator meets the parent's.
    void UpdateAttached();
    // The editor's move: offset from a position and three angles in degrees.
    void SetTransform(const Vec3& position, const Vec3& anglesDegrees);
    // The world transform by the three cases, without storing it.
    Matrix4 ComputeWorld() const;
    // Every child leaves this allocator and goes back to its own placement.
    void ReleaseChildren();

    int32_t bone = -1;
    Matrix4 offset;
    Matrix4 inverseOffset;
    CQmAllocator* parent = nullptr;
    CGeArray<CQmAllocator*> children;
    CQmEntity* const owner;
    CGmMeshResource* skeleton = nullptr;
    Matrix4 world = Matrix4::Identity();

private:
    // The bone's world matrix in the owner's model space; identity when the
    // bone is not (or no longer) in the skeleton.
    Matrix4 BoneWorld() const;
    // Unlisted from the parent, parent cleared, owner's frame back to normal.
    void LeaveParent();
};

class CQmPropAllocatorList : public CQmProp {
public:
    explicit CQmPropAllocatorList(CQmEntity* owner) : CQmProp(owner) {}
    ~CQmPropAllocatorList() override;

    // The allocator of that name; null for an empty or unknown name.
    CQmAllocator* Find(const char* name) const;
    // Detaches every allocator from its parent, in key order.
    virtual void DetachAll();
    // UpdateAttached of every allocator, in key order.
    void Update() override;
    // Inserts an allocator under name; false (and nothing taken) when the
    // name is already there.
    bool Insert(const char* name, CQmAllocator* allocator);

    CGeStringMap<CQmAllocator*> allocators;
};

// The reader of "allocator_list": one allocator per named "allocator" child.
void LoadProperty_AllocatorList(CQmEntity& entity, const TiXmlElement* element);
