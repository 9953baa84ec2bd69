// The location loader: one walk over a location file ("Locations/" + name +
// ".xml") that fills a new location's content, and the sprite reader that
// the loader, the entity reader and the overlay documents share.
//
// Sections are read in a fixed order whatever their order in the file: walk
// grids, the static collision environment, the shade light, the sky, the
// camera groups with their backgrounds, sprites and zones, the 2D-linked
// objects, the entities, the curve ways, the shade boxes and the overlay
// documents. Between sections, and after every child of every entity, the
// keep-alive step pumps the window messages and updates the sound, so that a
// long load leaves the window and the music alive.
//
// Choices:
// - Readers take the element they read as an argument; there is no shared
//   "current element". Missing attributes take the documented defaults.
// - A malformed file or one without a "location" root gives an empty
//   location named after its file; nothing in a file can crash the loader.
// - A "camera_group" without "camera3d" is skipped whole: the next group
//   takes its index, and that group's zones carry that index.
// - "imagemask" of a glow sprite and "overlay" of a sprite are read from the
//   sprite element itself, never from one of its "sequence" children.
// - A sky element's "angle" (turns) is kept in radians, as the sky draws it.
#pragma once

#include "Engine/Core/Common/GeMap.h"
#include "Engine/Core/Common/GeString.h"

#include <cstdint>

class CGmVisual2D;
class CQmLocation;
class CQmOverlayDocument;
class TiXmlElement;

// Fills location from the file's bytes; path gives the location its name
// (the base name: directory and extension removed). No bytes: only the name.
void LoadLocation(CQmLocation& location, const char* path, const uint8_t* data, uint32_t size);
// The location manager's loader routine (QmLocationLoader).
bool LoadLocationFromFile(CQmLocation& location, const uint8_t* data, uint32_t size, const CGeString& key);

// Section readers; each reads the element it is given into location.
// LoadCameraGroup is false for a group without "camera3d" (nothing added).
bool LoadCameraGroup(CQmLocation& location, const TiXmlElement* group, uint32_t index);
void LoadSkySphere(CQmLocation& location, const TiXmlElement* sphere);
void LoadShadeBoxes(CQmLocation& location, const TiXmlElement* shadeBox);
void LoadLinked2dObject(CQmLocation& location, const TiXmlElement* object);
// Stores the document in the location's map (replacing one of that name);
// null, with a log line, when the element has no "name".
CQmOverlayDocument* LoadOverlayDocument(CQmLocation& location, const TiXmlElement* document);

// Reads a sprite element: "sprite3d" gives a CQmAnimSprite, any other name a
// CQmSprite. Null when the element names no frame source. With
// registerInLocation and a "name", the sprite enters the location sprite
// registry.
CGmVisual2D* LoadSprite(const TiXmlElement* element, bool registerInLocation);

// The location sprite registry: sprite names of the camera groups, looked up
// by the 2D-linked objects. It owns nothing and is emptied by every load.
void RegisterLocationSprite(const CGeString& name, CGmVisual2D* sprite);
CGmVisual2D* FindLocationSprite(const CGeString& name);
void ClearLocationSprites();

// The loading keep-alive step: window messages pumped, the listener moved to
// the current 3D camera, the sound and background-sound managers updated.
void LocationLoadKeepAlive();
// Keep-alive steps run since start-up (tests count them).
extern uint32_t g_locationKeepAliveCount;

// The location being filled while LoadLocation runs; null otherwise.
extern CQmLocation* g_loadingLocation;
