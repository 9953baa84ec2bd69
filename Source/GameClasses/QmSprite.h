// The location's sprites: a screen sprite (CQmSprite) and a sprite standing in
// the 3D scene (CQmAnimSprite), each with its own named frame sequences.
//
// The location loader makes them from sprite elements and fills the sequence
// map from their "sequence" children; the 2D-linked objects and the script
// functions that play sprite animations read it. Each sprite owns its
// records and deletes them with itself.
#pragma once

#include "Engine/Core/Common/GeMap.h"
#include "Engine/Core/Common/GeString.h"
#include "Engine/Core/Gm/GmSprite.h"
#include "Source/GameClasses/QmLocation.h"

#include <cstdint>

// One named sequence of a sprite: frames begin to end at speed frames a
// second, play mode (low 16 bits of the parsed mode) and repeat count, and
// the sprite it belongs to.
using QmSpriteSequence = QmLinkedSequence;
using QmSpriteSequenceMap = CGeStringMap<QmSpriteSequence*>;

// Adds a record under its name; a name already present keeps the first
// record and the new one is deleted. False when it was dropped.
bool QmAddSpriteSequence(QmSpriteSequenceMap& map, const CGeString& name, QmSpriteSequence* record);
// Deletes every record (in key order) and empties the map.
void QmClearSpriteSequences(QmSpriteSequenceMap& map);

// Type code of sprites placed in the 3D scene (the entity reader puts them
// into render layer 3).
constexpr uint16_t kQmAnimSpriteTypeId = 5;

class CQmSprite : public CGmSprite {
public:
    explicit CQmSprite(const CGmImageSet& images = CGmImageSet()) : CGmSprite(images) {}
    ~CQmSprite() override { QmClearSpriteSequences(sequences); }

    // The current device's 2D camera entry of the engine hub.
    CGmCamera* DeviceEntry() { return GetCamera(); }

    QmSpriteSequenceMap sequences;
};

class CQmAnimSprite : public CGmAnimSprite {
public:
    explicit CQmAnimSprite(const CGmImageSet& images = CGmImageSet()) : CGmAnimSprite(images, kQmAnimSpriteTypeId) {}
    ~CQmAnimSprite() override { QmClearSpriteSequences(sequences); }

    // The current device's 3D camera entry of the engine hub.
    CGmCamera* DeviceEntry() { return GetCamera(); }

    QmSpriteSequenceMap sequences;
};

// The sequence map of a sprite made by the loader; null for other visuals.
QmSpriteSequenceMap* QmSpriteSequences(CGmVisualObject* visual);
