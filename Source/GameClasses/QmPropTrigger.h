// The trigger property (slot 9): the entity's axis-aligned box collider
// becomes a zone that tells the scripts when entities of the current location
// come in and go out.
//
// Each update tests the world position of every entity of the location (the
// trigger's own included) against the box, bounds included. A change posts
// dispatcher message 1002 (in) or 1003 (out) from the trigger and fires
// "<location>_trigger_enter" or "<location>_trigger_leave" with the trigger's
// and the entity's names. Only a box collider counts: a sphere or an oriented
// box makes a trigger that fires nothing.
//
// Choices:
// - Entities that left the location are forgotten without a leave event, also
//   those that a script event of the same pass removed: each entity of the
//   pass's copy is looked up in the location again before it is touched, and
//   the pass stops when a script took the trigger's own entity away.
// - "inside" survives a disabled spell, so an entity that went out meanwhile
//   fires its leave when the trigger is enabled again.
#pragma once

#include "Engine/Core/Common/GePoolList.h"
#include "Source/GameClasses/QmEntity.h"

#include <cstdint>

class CCiDispatcher;
class TiXmlElement;

enum QmTriggerMessage : uint32_t {
    QM_MESSAGE_TRIGGER_ENTER = 1002,
    QM_MESSAGE_TRIGGER_LEAVE = 1003,
};

class CQmPropTrigger : public CQmProp {
public:
    explicit CQmPropTrigger(CQmEntity* owner) : CQmProp(owner) {}
    ~CQmPropTrigger() override;

    // Registers with dispatcher (leaving a previous one); null detaches.
    void AttachDispatcher(CCiDispatcher* target);
    void Update() override;

    bool IsInside(const CQmEntity* entity) const;

    CGePoolList<CQmEntity*> enteredNow;
    CGePoolList<CQmEntity*> leftNow;
    CGePoolList<CQmEntity*> inside;
};

// The "trigger" tag (no attributes): a trigger attached to the program's
// dispatcher; the tag table switches it on.
void LoadProperty_Trigger(CQmEntity& entity, const TiXmlElement* element);
