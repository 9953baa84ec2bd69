// The actor property (slot 7): what the entities and the location use of it
// so far, its current action and its interaction target. Walking, clicks,
// interactions and the rest come with the actor's own work.
#pragma once

#include "Source/GameClasses/QmEntity.h"

class CQmPropActor : public CQmProp {
public:
    explicit CQmPropActor(CQmEntity* owner) : CQmProp(owner) {}

    // Drops the action the actor was carrying out (0: none).
    void ClearCurrentAction() { currentAction = 0; }
    void ClearInteractionTarget() { interactionTarget = nullptr; }

    uint32_t currentAction = 0;
    CQmEntity* interactionTarget = nullptr;
    // The name shown for the actor; empty for actors the catalogue gave a
    // property of their own.
    CGeWString displayName;
    // The height the dialog's portrait camera frames, in world units.
    float headSize = 40.0f;
    // The skeleton joint the portrait camera looks at; -1 for joint 7 (the
    // look-at's head bone, once the look-at names one).
    int32_t headJoint = -1;
};
