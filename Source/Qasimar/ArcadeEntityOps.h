// Small operations of the mini-games that move the current location's
// entities: finding them, showing them, and asking whether a walk is over.
#pragma once

#include "Source/GameClasses/QmEntity.h"
#include "Source/GameClasses/QmLocation.h"
#include "Source/GameClasses/QmLocationManager.h"
#include "Source/GameClasses/QmPropMotionController.h"

inline CQmLocation* ArcadeLocation()
{
    return g_locationManager ? g_locationManager->current : nullptr;
}

// The current location's entity of that name, or null.
inline CQmEntity* ArcadeEntity(const char* entityName)
{
    CQmLocation* location = ArcadeLocation();
    return location ? location->FindEntity(entityName) : nullptr;
}

// An entity's "rendering flags": its visual-object and drop-shadow
// properties, switched on where it has them.
inline void ShowArcadeEntity(CQmEntity* entity)
{
    for (uint32_t slot : {uint32_t(QM_PROP_VISUAL_OBJECT), uint32_t(QM_PROP_DROP_SHADOW)})
        if (CQmProp* prop = entity->GetProp(slot))
            prop->SetEnabled(true);
}

// The figure's walk is over: its motion controller stands (one without a
// motion controller never walks).
inline bool ArcadeWalkEnded(CQmEntity* entity)
{
    auto* motion = entity->Prop<CQmPropMotionController>(QM_PROP_MOTION_CONTROLLER);
    return !motion || motion->stopped;
}
