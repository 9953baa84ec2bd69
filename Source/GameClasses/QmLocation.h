// A loaded location and its content: entities, camera groups with their
// backgrounds, camera zones, sky, shade boxes, walk grids, 2D-linked objects,
// the overlay document, a full-screen animation or a video, the shade light.
//
// The location manager creates, activates, starts and deletes it; the game
// processor updates and renders the current one each frame and stops it
// before a change; the location loader fills the content.
//
// Choices:
// - Entities of the shared list are catalogue actors or stones. Activate
//   leaves their properties alone; the location deletes its stones (nothing
//   else owns them) but never a catalogue actor.
// - Without camera groups every camera step is skipped: no 3D render, no
//   picking, no listener camera. A group without backgrounds draws no
//   picture and copies no depth.
// - Removing the camera-determinant entity clears the determinant; deleting
//   the location takes its cameras out of the engine hub's camera table.
#pragma once

#include "Engine/Core/Common/CiMessageClient.h"
#include "Engine/Core/Common/GeArray.h"
#include "Engine/Core/Common/GeMap.h"
#include "Engine/Core/Common/GeMath.h"
#include "Engine/Core/Common/GePoolList.h"
#include "Engine/Core/Common/GeString.h"
#include "Engine/Core/Gm/GmVisual2D.h"

#include <cstdint>

class CGmCamera;
class CQmAiMap;
class CQmBackGround;
class CQmEntity;
class CQmSkySphere;
class CQmVideoPlayer;
struct CQmShadeBox;
struct QmCurveWay;

// Render-pass bits of CQmLocation::Render.
constexpr uint32_t QM_LOCATION_PASS_SCENE = 1;
constexpr uint32_t QM_LOCATION_PASS_BACKGROUND = 2;

struct QmCameraGroup {
    CGmCamera* camera = nullptr;          // owned
    CGeArray<CQmBackGround*> backgrounds; // owned, one per background state
};

struct QmCameraZone {
    Vec3 min;
    Vec3 max;
    uint32_t group = 0;
};

// One sequence of a 2D-linked object's animation.
struct QmLinkedSequence {
    uint32_t begin = 0;
    uint32_t end = 0;
    float speed = 1.0f;
    uint32_t mode = 1;
    uint32_t repeats = 1;
    CGmVisual2D* sprite = nullptr; // owned by the location's sprite registry

    // Plays the step on its sprite from the start: the frame range, the speed
    // in frames a second over the frame timer's scale, the mode and repeats.
    void Start() const;
};

class CQmLinked2dObject {
public:
    // Starts every step of the named animation; an unknown one does nothing.
    void StartAnimation(const char* animation);

    CGeString name;
    CGeStringMap<CGeArray<QmLinkedSequence>> animations;
};

// A 2D visual that draws its children in order; it owns them.
class CQmOverlayDocument : public CGmVisualObject {
public:
    ~CQmOverlayDocument() override;
    void Render() override;

    CGeString name;
    CGeArray<CGmVisualObject*> children;
};

class CQmLocation : public CCiMessageClient {
public:
    static constexpr uint32_t kMaxWalkGrids = 8;

    explicit CQmLocation(const char* locationName = "Unknown_Location");
    ~CQmLocation() override;

    void HandleMessage(CCiMessageClient*, uint32_t) override {}

    // Properties on by the per-slot table, the main-music flag cleared, the
    // location's script file run, the 2D-linked objects rewound.
    virtual void Activate();
    // "%s_init" with the location's name; the music check starts.
    virtual void Start();
    // Collision cleared, properties off, actions cleared, ambient sounds
    // stopped, attachment points detached.
    virtual void Stop();
    // The location stays current after a refused change: the properties go
    // back on by the table of Activate, nothing else runs again.
    virtual void Restart();
    // One frame; frameTime feeds the music check.
    virtual void Update(float frameTime);
    virtual void Render(uint32_t passFlags);

    // A full-screen animation or a video is on show.
    virtual bool PlaysFullScreenAnimOrVideo() const { return fullScreenAnim || video; }
    virtual bool PlaysVideo() const { return video != nullptr; }
    // The animation jumps to its end frame, else the video stops; the next
    // update ends either. False when nothing plays.
    virtual bool SkipPlaying();

    // The shade-light rule: with a D24S8 depth buffer, a shade light and
    // shadow volumes on, the shadow light comes from the location (mode 2);
    // else shadow mode 0.
    void UpdateShadeLight();

    CQmEntity* FindEntity(const char* entityName) const;
    // Appends entity (also to the shared list when shared) under a non-empty
    // name; a name already present is logged and nothing is added.
    bool AddNamedObject(const CGeString& entityName, CQmEntity* entity, bool shared);
    // Takes the named entity out of the location; an owned one is deleted
    // (when an update holds deletes, after it). Whatever pointed at it lets
    // go of it.
    bool RemoveEntity(const char* entityName);
    // Reads a walk-grid file into the next slot; a file without bytes adds
    // nothing, a grid whose data was refused keeps its slot.
    bool LoadWalkGrid(const char* fileName);
    void SetLinked2DVisibility(const char* objectName, bool flag);

    // Camera selection: fixed, determinant entity in the zones, else group 0.
    void SelectCamera();
    // Fixes the camera group (no zone selection until a determinant entity
    // is set again); an index outside the groups is logged and ignored.
    void SetActiveCamera(uint32_t index);
    CGmCamera* ActiveCamera() const;
    CQmBackGround* ActiveBackground() const;
    CQmAiMap* CurrentWalkGrid() const;
    bool IsShared(const CQmEntity* entity) const;

    // The auxiliary geometry of the debug view.
    void RenderAuxGeometry();

    // Content.
    Vec4 shadeLightPosition = {0.0f, 0.0f, 0.0f, 0.0f};
    Vec4 shadeLightColor = {0.0f, 0.0f, 0.0f, 0.0f};
    uint8_t hasShadeLight = 0;
    CGeString staticEnvironmentFile;
    CGeString name;
    CGePoolList<CQmEntity*> entities;
    CGeStringMap<CQmEntity*> entityNames;
    CGeArray<QmCameraGroup> cameraGroups;
    CGeArray<QmCameraZone> zones;
    CQmSkySphere* skySphere = nullptr;
    CGeArray<CQmShadeBox*> shadeBoxes;
    CGeStringMap<CQmLinked2dObject> linkedObjects;
    CGmVisual2D* fullScreenAnim = nullptr;
    CQmVideoPlayer* video = nullptr;
    CQmAiMap* walkGrids[kMaxWalkGrids] = {};
    uint32_t walkGridCount = 0;
    uint32_t activeWalkGrid = 0;
    CGePoolList<CQmEntity*> sharedEntities;
    CGeArray<CGmVisual2D*> sprites; // the sprites of the 2D-linked objects, owned
    uint32_t activeCameraGroup = 0;
    CQmEntity* cameraDeterminant = nullptr;
    uint32_t cameraFixed = 0;
    uint32_t backgroundState = 0;
    float musicCheckTimer = -1.0f;
    CQmOverlayDocument* overlayDocument = nullptr;
    // The overlay documents by name (the file's and the scripts'), owned.
    CGeStringMap<CQmOverlayDocument*> documents;
    // The location file's curve ways by name, owned.
    CGeStringMap<QmCurveWay*> curveWays;
    // Documents replaced under their name: they may still be on screen, so
    // they live as long as the location.
    CGeArray<CQmOverlayDocument*> retiredDocuments;

    // Stores the document under its name; one it replaces is retired.
    void StoreDocument(CQmOverlayDocument* document);

private:
    void EnableByTable();
    void UpdateFullScreenAnim();
    void UpdateVideo();
    void DispatchLinkedAnimationEnds(CQmLinked2dObject& object);
    void DeleteEntity(CQmEntity* entity);
    bool HasLeftDuringUpdate(const CQmEntity* entity) const;

    // The entity walk of Update runs (nested through "UpdateScene"), and the
    // entities taken out while it ran.
    uint32_t updateDepth = 0;
    CGeArray<CQmEntity*> leftDuringUpdate;
};

// The free form that the mini-games and the loaders share.
bool AddNamedObject(CQmLocation* location, CQmEntity* entity, const CGeString& entityName, bool shared);
