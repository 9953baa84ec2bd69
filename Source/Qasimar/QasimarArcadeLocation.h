// What the mini-games that play on the current location's figures look up:
// an entity of the current location by name, and the joint controller that
// plays an entity's tracks. Both answer null when there is none.
#pragma once

#include "Source/GameClasses/QmEntity.h"
#include "Source/GameClasses/QmLocation.h"
#include "Source/GameClasses/QmLocationManager.h"
#include "Source/GameClasses/QmPropAnimController.h"

inline CQmEntity* ArcadeFindEntity(const char* entityName)
{
    CQmLocation* location = g_locationManager ? g_locationManager->current : nullptr;
    return location ? location->FindEntity(entityName) : nullptr;
}

inline CJaAnimController* ArcadeJointController(CQmEntity* entity)
{
    auto* prop = entity ? entity->Prop<CQmPropAnimController>(QM_PROP_ANIM_CONTROLLER) : nullptr;
    return prop ? prop->jointController : nullptr;
}
