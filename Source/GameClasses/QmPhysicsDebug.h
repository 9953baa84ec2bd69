// The physics part of the location's debug view: the shapes of an entity's
// ragdoll, its cloth and its ventilator, and the static collision
// environment with the ground grid. Only what the physics properties hold is
// drawn; the calls draw nothing without a device.
#pragma once

class CQmEntity;

void QmDrawEntityPhysicsDebug(const CQmEntity& entity);
void QmDrawStaticEnvironmentDebug();
