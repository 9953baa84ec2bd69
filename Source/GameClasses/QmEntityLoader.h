// The entity reader: an "entity" element of a location file (or of an actor
// or stone file) becomes a CQmEntity with its place, its turn and one
// property per child element.
//
// Each property tag has a row in the tag table: the slot it fills, its class
// and the enabled state it leaves. The table has 19 tags for 18 slots
// ("anim_controller" and "ja_controller" both fill slot 1). Tags whose
// property is not built yet have no reader: they are traced and skipped, and
// building the property fills in its row's reader.
//
// Choices:
// - An entity whose name the location already holds is logged and deleted
//   when the reader made it: nothing of it stays drawn or picked.
// - A second tag of a kind destroys the property it replaces (CQmEntity's
//   SetProp), so its visuals and shapes leave the layers and the picking list.
// - The entity is not registered with the message dispatcher (entities take
//   no messages); triggers, which do, register themselves.
// - "overlay" and "hotpoint" of a sprite are read from the sprite element.
#pragma once

#include <cstdint>

class CQmEntity;
class TiXmlElement;

// Reads element into existing (or a new entity when null). With add, the
// entity joins the location being loaded (else the current one) under its
// "name" attribute; an entity that cannot join is deleted when this call made
// it, and the result is null.
CQmEntity* LoadEntity(const TiXmlElement* element, bool add, CQmEntity* existing);

// Reads one property tag of an entity.
using QmPropertyReader = void (*)(CQmEntity& entity, const TiXmlElement* element);

enum QmTagEnabled : int8_t {
    QM_TAG_LEFT_AS_MADE = -1, // no SetEnabled call: the constructor's state stays
    QM_TAG_OFF = 0,
    QM_TAG_ON = 1,
};

struct QmPropertyTag {
    const char* tag;
    uint32_t slot;
    const char* className;
    QmTagEnabled enabled;
    QmPropertyReader reader; // null: not built yet, the tag is skipped
};

constexpr uint32_t kQmPropertyTagCount = 19;
extern const QmPropertyTag g_propertyTags[kQmPropertyTagCount];
// The row of a tag name; null for a name that is not a property tag.
const QmPropertyTag* FindPropertyTag(const char* tag);

// The two readers built here.
void LoadProperty_VisualObject(CQmEntity& entity, const TiXmlElement* element);
void LoadProperty_Collider(CQmEntity& entity, const TiXmlElement* element);
