// The actor property (slot 7): makes an entity something the player can
// interact with and lets a character walk up to such things.
//
// An actor holds its interaction zone (entity-local: the place in front of
// the object where a character must stand), the action a click on it starts
// (permittedAction) and, for a character, the running interaction: the target,
// the walk there (through the motion controller), the final turn toward
// yawTarget and the script event that carries the action out. The world zone
// is computed on demand: the centre goes through the entity's world matrix,
// the radius and both directions are taken as they stand.
//
// Interaction states, all held in target, arrived, stopCount and faceDir:
// idle (no target: turns while faceDir is set), walking (stopCount 0), stopped
// outside the zone (event 1001 sets stopCount 1; the next updates count 2 and
// 3, the one after gives the interaction up), arrived (turn, then the event).
//
// Yaw convention (shared with the motion controller): the heading of a
// horizontal direction is -acos(x) for z >= 0 and +acos(x) for z < 0.
//
// Choices:
// - The actor does not register with the message dispatcher: no message
//   reaches any of its behaviour.
// - ClearCurrentAction drops the target with the action, so an actor that
//   outlives its location (a catalogue actor) keeps no pointer into it.
// - A walk up to a zone that is refused (too close, no path) counts as a walk
//   that stopped at once, so an actor left outside gives the interaction up.
// - An entity that leaves a location is forgotten by every actor of that
//   location (QmActorsForgetEntity): one targeting it drops the interaction,
//   one looking at it (its frame or one of its attachment points) looks at
//   nothing. The entity's own actor drops its running action and look-at too,
//   since nothing updates it any more while its targets may go.
// - Every update starts with the look-at step: while the chosen point lies in
//   front of the entity, within reach and on a visible entity, the look-at
//   processor (slot 5) gets it; otherwise the head is released.
#pragma once

#include "Engine/Core/Common/GeMath.h"
#include "Source/GameClasses/QmEntity.h"

#include <cstdint>

class CQmLocation;
class TiXmlElement;

// Action codes: what a click on an actor starts.
enum QmActorAction : int32_t {
    QM_ACTION_NONE = 0,    // "DONOTHING"
    QM_ACTION_USE = 1,     // "USE": "%s_use_object"
    QM_ACTION_TALK = 2,    // "TALK": "%s_dlg_initiate"
    QM_ACTION_INVITEM = 4, // an inventory item used on the target: "%s_use_invitem"
    QM_ACTION_PORTAL = 8,  // "USE_AS_PORTAL": "%s_use_object"
    QM_ACTION_LOOK = 16,   // "LOOK": "%s_use_object"
};

// An actor's interaction zone in world terms.
struct QmIaZone {
    Vec3 centre = {0.0f, 0.0f, 0.0f};
    float radius = 1.0f;
    Vec3 faceDir = {0.0f, 0.0f, 0.0f};
    Vec3 portalDir = {0.0f, 0.0f, 0.0f};
};

class CQmPropActor : public CQmProp {
public:
    static constexpr float kZeroVector = 1.1920929e-07f; // on the squared length
    static constexpr float kTurnRate = 6.2831855f;       // radians a second
    static constexpr float kSnap = 1.01f;                // times the frame's turn step
    static constexpr float kMinDispatch = 10.0f;
    static constexpr float kDefaultLookAtDist = 500.0f;

    explicit CQmPropActor(CQmEntity* owner) : CQmProp(owner) {}

    // Stops looking, then stores the flag.
    void SetEnabled(bool flag) override;
    void Update() override;
    // 1001 (the path movement stopped): stopCount 1.
    void OnEvent(uint32_t code) override;

    // Sends the entity walking to target; false when it has no motion
    // controller, the actor is off, the target is closer than 10 or no path
    // is found. onlyAim sets the gait and returns true without moving.
    bool DispatchTo(const Vec3& target, const Vec3& facing, bool onlyAim, bool run);
    // Starts the interaction of action with entity (walk, turn, event).
    void InitiateInteraction(CQmEntity* entity, int32_t action, bool run);
    void SetIaZone(const Vec3& centre, float radius, const Vec3& faceDir, const Vec3& portalDir);
    QmIaZone GetInteractionZone() const;
    // Chooses what the head looks at: an attachment point of an entity of
    // the current location, "_entity_" for its frame; empty names: nothing.
    void SetLookAtAllocator(const char* entityName, const char* allocatorName);

    // The target's actor when it wants the walk (and is not this one).
    bool WalksUpTo(const CQmPropActor* other) const;
    // One turn step toward yawTarget; true while still turning.
    bool TurnStep();
    // The heading of a horizontal direction; 0 for a zero direction.
    static float YawOf(const Vec3& direction);

    // Drops the running action and its target (a location change).
    void ClearCurrentAction()
    {
        action = QM_ACTION_NONE;
        target = nullptr;
    }
    void ClearInteractionTarget() { target = nullptr; }
    // Drops whatever points at entity: the running interaction when it is
    // the target, the look-at when it is the looked-at entity.
    void ForgetEntity(const CQmEntity* entity);

    // The name shown for the actor; empty for actors the catalogue gave a
    // property of their own.
    CGeWString displayName;
    int32_t permittedAction = QM_ACTION_NONE;
    int32_t action = QM_ACTION_NONE;
    Vec3 dispatchTarget = {0.0f, 0.0f, 0.0f};
    Vec3 faceDir = {0.0f, 0.0f, 0.0f};
    uint8_t arrived = 1;
    CQmEntity* target = nullptr;
    CGeString itemName;
    Vec3 zoneCentre = {0.0f, 0.0f, 0.0f};
    float zoneRadius = 1.0f;
    Vec3 zoneFaceDir = {0.0f, 0.0f, 0.0f};
    Vec3 portalDir = {0.0f, 0.0f, 0.0f};
    float yawTarget = 0.0f;
    uint8_t walkForInteraction = 1;
    int32_t stopCount = 0;
    // The height the dialog's portrait camera frames, in world units.
    float headSize = 40.0f;
    // The skeleton joint the portrait camera looks at; -1 for joint 7 (the
    // look-at's head bone, once the look-at names one).
    int32_t headJoint = -1;
    CQmEntity* lookAtEntity = nullptr;
    const Matrix4* lookAtMatrix = nullptr;
    float maxLookAtDist = kDefaultLookAtDist;

private:
    // Hands the look-at point to the look-at processor or releases the head.
    void LookAtStep();
    // Turns, then fires the action's event; false while the turn goes on.
    bool Perform();
    // The use test of the selected inventory item on the target.
    bool TestUseItem(CQmEntity* entity);
    // Dispatch to other's zone, or perform at once when no walk is wanted.
    void Approach(CQmEntity* entity, CQmPropActor* other, bool run);
};

// Every actor of the location forgets gone, an entity leaving it; gone's own
// actor drops its action and look-at. Call it before gone may be freed.
void QmActorsForgetEntity(CQmLocation& location, CQmEntity* gone);

// The reader of "actor": zone, look-at distance, portal and facing
// directions, display name and head size.
void LoadProperty_Actor(CQmEntity& entity, const TiXmlElement* element);
