// The ragdoll property: collision bodies that ride on the bones of an
// animated entity, so that cloth collides with the moving character.
//
// The bodies and their shapes come from a ragdoll file:
//
//   <ragdoll>
//     <body bone_index="3">
//       <geom type="capsule" height="40" radius="8" pos="0 20 0" rot_euler="0 0 90" euler_type="XYZ"/>
//     </body>
//   </ragdoll>
//
// "type" is "sphere" (radius), "box" (size), "cylinder" or "capsule" (height
// and radius); "pos" and "rot_euler" (degrees) place the shape on the bone,
// "euler_type" "XYZ" picks that angle order and anything else ZXY. A body
// without a valid bone index or without a usable shape, and a shape of
// another type or with a size that is not positive, are skipped.
//
// The bodies are kinematic: every update while enabled each body takes the
// pose entity world x bone matrix (model space), and its shapes follow. The
// first update only binds the skeleton: the visual that the animation
// controller (slot 1) drives, taken from the visual object (slot 10); until
// both exist the property tries again each frame. A body whose bone is not
// in the skeleton stays where it is.
//
// The group of bodies hangs under the collision world as long as it holds a
// body, where the cloth step finds it; the property owns bodies and shapes.
#pragma once

#include "Engine/Core/Common/GeArray.h"
#include "Engine/Physics/GePhysWorld.h"
#include "Source/GameClasses/QmEntity.h"

#include <cstdint>

class CGeCollisionGeom;
class CGeRigidBody;
class CGmMeshResource;
class CGmScenicMesh;
class TiXmlElement;

class CQmPropRagdoll : public CQmProp {
public:
    struct Body {
        CGeRigidBody* body;
        uint32_t boneIndex;
    };

    explicit CQmPropRagdoll(CQmEntity* owner) : CQmProp(owner) {}
    ~CQmPropRagdoll() override;

    // Reads the ragdoll file at the data root + file, replacing what the
    // property held; a missing file or root leaves it empty.
    void LoadFromXML(const char* file);
    // Binds on the first call, poses the bodies from the bones afterwards.
    void Update() override;
    // Every shape's outline.
    void DrawDebug() const;
    // Deletes bodies and shapes and takes the group out of the world.
    void Reset();

    bool IsBound() const { return skeleton != nullptr; }

    CGePhysGroup group;
    CGeArray<Body> bodies;
    CGeArray<CGeCollisionGeom*> geoms;
    CGmScenicMesh* visual = nullptr;
    CGmMeshResource* skeleton = nullptr;

private:
    bool Bind();
};

// The "ragdoll" tag: "file" names the ragdoll file; the row switches the
// property on.
void LoadProperty_Ragdoll(CQmEntity& entity, const TiXmlElement* element);
