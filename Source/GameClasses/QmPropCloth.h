// The cloth property: chosen vertices of the entity's first mesh become mass
// points joined by springs; the physics step moves the free points under
// gravity, springs, air friction, the ventilators' wind and collisions, and
// every frame this property writes them back into the mesh's vertex buffer.
//
// The cloth file names the points and springs by mesh vertex index:
//
//   <cloth point_mass="0.001" spring_rate="2" gravity_accel="-1000"
//          air_friction_factor="0.01" box_round_corner_radius="3">
//     <points><point index="0" anchor="1"/><point index="1"/></points>
//     <springs><spring index1="0" index2="1"/></springs>
//   </cloth>
//
// Anchored points (mass 0) follow the entity; the others hang. The first
// enable seats the cloth on the mesh (points at their vertices, rest lengths
// from there); later enables, and an entity that jumps farther in one frame
// than min(150, frame time x 1500), re-seat it from the mesh's current
// vertices at the entity's new place.
//
// A developer mode ("editor_mode" on the first cloth file of a run that sets
// it) lets points, springs and anchors be picked on the mesh (right button,
// keys through the platform's key states) and written as
// "cloth_physics_N.xml" into the current directory.
//
// Choices:
// - A "point" without "index" names no vertex and is skipped.
// - Binding checks every point's vertex index against the mesh: a cloth that
//   names a vertex the mesh lacks refuses the mesh (level-2 log) and is
//   switched off and taken out of the physics world, as is a cloth whose
//   entity has no mesh; it never writes outside the vertex buffer.
// - A frame whose entity matrix has no inverse (scale 0) skips the write-back.
// - The pick box is 4 units wide round each vertex; picking happens on the
//   press of the right button (the mouse's code 5).
#pragma once

#include "Engine/Core/Common/GeArray.h"
#include "Engine/Core/Common/GeMath.h"
#include "Engine/Physics/GeClothGeom.h"
#include "Engine/Physics/GePhysWorld.h"
#include "Source/GameClasses/QmEntity.h"

#include <cstdint>

class CGmMesh;
class CGmScenicMesh;
class TiXmlElement;

// The cloth's constants by meaning, as the file names them; ToBlock gives the
// physics its parameter block (gravity along y).
struct QmClothParams {
    float pointMass = 0.001f;
    float springRate = 2.0f;
    float timeStep = 0.005f; // the physics sub-step
    float gravityAccel = -1000.0f;
    float airFriction = 0.01f;
    float cornerRadius = 3.0f;

    ClothParamsBlock ToBlock() const;
};

class CQmPropCloth : public CQmProp {
public:
    struct TablePoint {
        int32_t index;  // mesh vertex
        int32_t anchor; // 1 anchored
    };
    struct TableSpring {
        int32_t index1, index2; // mesh vertices
        int32_t slot1, slot2;   // their places in the point table, -1 none
    };
    // The developer keys, in the order they are read.
    enum Key : uint32_t {
        KEY_CTRL,
        KEY_A,
        KEY_D,
        KEY_E,
        KEY_L,
        KEY_F,
        KEY_SPACE,
        KEY_LEFT,
        KEY_RIGHT,
        KEY_UP,
        KEY_DOWN,
        KEY_HOME,
        KEY_END,
        KEY_DELETE,
        KEY_PAGE_DOWN,
        KEY_COUNT,
    };

    // Registered with the message dispatcher (no filter) for its picks.
    explicit CQmPropCloth(CQmEntity* owner);
    ~CQmPropCloth() override;

    // Reads the cloth file at the data root + file, replacing the cloth.
    void LoadFromXML(const char* file);
    // Links the cloth into the physics world and seats it (enabling), or
    // takes an enabled cloth out (disabling).
    void SetEnabled(bool flag) override;
    // Teleport check, anchors, write-back; in developer mode the keys.
    void Update() override;
    // The mouse's right-button press picks a vertex in developer mode.
    void HandleMessage(CCiMessageClient* sender, uint32_t code) override;
    void DrawDebug() const;

    // The mesh of the entity's first visual, with each point's two triangle
    // neighbours; false when there is none or it lacks a vertex the cloth
    // names.
    bool BindMesh();
    // The developer step on the key states in `keys`.
    void DeveloperStep();
    // Picks the vertex nearest along a world ray (the developer's click).
    void PickVertex(const Vec3& origin, const Vec3& direction);
    // Writes the tables as "cloth_physics_<fileCounter>.xml" in the current
    // directory; false when the file cannot be written.
    bool WriteFile();

    // The first cloth file of a run with "editor_mode" true takes the mode;
    // tests start a new run with this.
    static void ResetEditorModeClaim();

    // A geom point's vertex index and local position, kept in the point's
    // owner fields.
    static uint32_t VertexOf(const ClothPoint& point);
    static Vec3 LocalOf(const ClothPoint& point);

    CGeClothGeom geom;
    CGeRigidBody body;
    CGeArray<uint32_t> anchors; // slots of the anchored geom points
    QmClothParams params;
    uint8_t needsSeating = 1;
    CGmScenicMesh* mesh = nullptr;
    CGeArray<TablePoint> pointTable;
    CGeArray<TableSpring> springTable;
    uint8_t editorMode = 0;
    int16_t keys[KEY_COUNT] = {};
    uint8_t pickEdgeSpace = 0;
    float moveSpeed = 100.0f;
    float turnSpeed = 1.0f;
    int32_t selection[2] = {-1, -1};
    int32_t fileCounter = 0;
    Vec3 lastPosition = {0.0f, 0.0f, 0.0f};
    uint8_t wireframe = 0;

private:
    void Reset();
    void Link();
    void Unlink();
    // Off and out of the physics world.
    void Refuse();
    void Seat();
    void Reseat();
    void AnchorsFollow(const Matrix4& world);
    void WriteBack(const Matrix4& world);
    void ReadKeys();
    bool Held(Key key) const { return (keys[key] & 0x8000) != 0; }
    void AddSelectedSpring();
    void RemoveSelectedSpring();
    void ToggleAnchor(int32_t vertex);
    int32_t TableSlotOf(int32_t vertex) const;
    uint32_t MeshVertexCount() const;
    Vec3 VertexPosition(uint32_t vertex) const;
};

// The "cloth" tag: "file" names the cloth file; the row leaves the property
// switched off.
void LoadProperty_Cloth(CQmEntity& entity, const TiXmlElement* element);
