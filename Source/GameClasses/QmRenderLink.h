// The game layer's calls into the render layers: visuals in and out, the
// drawing of all five layers, and the location's lighting hooks.
//
// One place joins the entities and the location to the layers, so that the
// rest of the game code does not follow the layers' own interface.
#pragma once

#include <cstdint>

class CGmVisualObject;

void QmLayersAdd(uint32_t layer, CGmVisualObject* visual);
void QmLayersRemove(CGmVisualObject* visual);
void QmLayersRenderAll();
// The routines called around the lighting of each lit visual; adding twice
// keeps one entry.
using QmLightHook = void (*)();
void QmLayersAddLightHooks(QmLightHook before, QmLightHook after);
void QmLayersRemoveLightHooks(QmLightHook before, QmLightHook after);
// The lights of the object being lit, scaled for a shade box, and their
// restoration.
void QmLayersGatherLights(float ambientScale, float diffuseScale, float specularScale, uint8_t omni);
void QmLayersFlushLights();
// The world position of the visual being lit (its world matrix's column 3).
bool QmLayersLitPosition(float position[3]);
