// Pictures that controls make from sprite schemas of the GUI resources: one
// owned sprite hung under the control's visual node, rebuilt whenever its
// property names a schema again.
//
// Contract: GuiPictureSet always removes the old sprite and empties the
// stored name first; only a known schema gives a new sprite (pixel snapping
// on, the given blend mode) and stores the name, so an unknown name reads
// back as an empty text. GuiPictureDelete accepts a null sprite.
#pragma once

#include "Engine/Core/Common/GeString.h"

#include <cstdint>

class CGeFrame3D;
class CGmSprite;

void GuiPictureDelete(CGmSprite*& sprite, CGeFrame3D& node);
// True when the schema was found and a sprite made.
bool GuiPictureSet(CGmSprite*& sprite, CGeString& storedName, const CGeString& schemaName, uint32_t blendMode,
                   CGeFrame3D& node);
// Selects the sprite's current frame again and refreshes its image size (a
// picture from an image list takes its frame's pixel size again).
void GuiPictureRefresh(CGmSprite* sprite);
