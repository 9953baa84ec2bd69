// Entities and the property base.
//
// An entity is a named transform node with a fixed table of property slots;
// each property kind has its own slot (QmPropSlot) and an entity holds at most
// one property of a kind. All behaviour lives in the properties: the entity
// only brings its frame up to date and walks its slots in order each frame.
//
// Choices:
// - Neither an entity nor the property base stays registered with the message
//   dispatcher: a derived property that wants messages registers itself.
// - SetProp deletes a property it replaces, so a second property of one kind
//   takes its visuals and lights along instead of leaving them behind.
// - The slot count and the three slot indices that other parts read are
//   start-up settings (QmSetEntitySettings); the table itself is fixed.
#pragma once

#include "Engine/Core/Common/CiMessageClient.h"
#include "Engine/Core/Common/GeArray.h"
#include "Engine/Core/Common/GePoolList.h"
#include "Engine/Core/Common/GeString.h"
#include "Engine/Core/Gm/GeFrame3D.h"

#include <cstdint>

class CGmVisualObject;
class CQmEntity;
class CQmProp;

enum QmPropSlot : uint32_t {
    QM_PROP_LIGHT_SOURCE = 0,
    QM_PROP_ANIM_CONTROLLER = 1,
    QM_PROP_WALKER = 2,
    QM_PROP_MOTION_CONTROLLER = 3,
    QM_PROP_LINEAR_MOTION = 4,
    QM_PROP_IK_PROCESSOR = 5,
    QM_PROP_ALLOCATOR_LIST = 6,
    QM_PROP_ACTOR = 7,
    QM_PROP_COLLIDER = 8,
    QM_PROP_TRIGGER = 9,
    QM_PROP_VISUAL_OBJECT = 10,
    QM_PROP_DROP_SHADOW = 11,
    QM_PROP_SOUND_SOURCE = 12,
    QM_PROP_CURVE_MOTION = 13,
    QM_PROP_AIMAP_LOCK = 14,
    QM_PROP_RAGDOLL = 15,
    QM_PROP_CLOTH = 16,
    QM_PROP_VENTILATOR = 17,
};
constexpr uint32_t kQmPropSlots = 18;

// Property event codes sent with CQmEntity::NotifyProps.
enum QmPropEvent : uint32_t {
    QM_EVENT_PATH_STARTED = 1000,
    QM_EVENT_PATH_STOPPED = 1001,
    QM_EVENT_LINE_ENDED = 1006,
};

// What other subsystems read of the slot table, set once at start-up.
struct QmEntitySettings {
    uint32_t slotCount = kQmPropSlots;
    uint32_t visualObjectSlot = QM_PROP_VISUAL_OBJECT;
    uint32_t animControllerSlot = QM_PROP_ANIM_CONTROLLER;
    uint32_t motionControllerSlot = QM_PROP_MOTION_CONTROLLER;
};
extern QmEntitySettings g_entitySettings;
// Start-up: slot count 18, visual object 10, animation controller 1, motion
// controller 3.
void QmSetEntitySettings();

// Told after a property's update; who registers listeners is free.
class IQmPropListener {
public:
    virtual ~IQmPropListener() = default;
    virtual void OnPropUpdated(CQmProp* prop) = 0;
};

class CQmProp : public CCiMessageClient {
public:
    explicit CQmProp(CQmEntity* owner);
    ~CQmProp() override;

    virtual void SetEnabled(bool flag) { enabled = flag ? 1 : 0; }
    virtual void Update() {}
    virtual void OnEvent(uint32_t /*code*/) {}

    void AddListener(IQmPropListener* listener) { listeners.PushBack(listener); }
    // Calls every listener, head to tail, with this property.
    void CallListeners();

    CQmEntity* const owner;
    uint8_t enabled = 0;
    CGePoolList<IQmPropListener*> listeners;
};

class CQmEntity : public CCiMessageClient {
public:
    CQmEntity();
    // Deletes the properties in slot order.
    ~CQmEntity() override;

    // The frame's world matrix, then every enabled property in slot order,
    // each followed by its listeners.
    virtual void Update();
    // OnEvent(code) of every property in slot order, enabled or not.
    void NotifyProps(uint32_t code);
    // Leaving a location: every property but the motion controller disabled,
    // the actor's interaction target cleared, the attachment points detached.
    void StopAllProps();

    CQmProp* GetProp(uint32_t slot) const { return slot < props.count ? props[slot] : nullptr; }
    // The property of a slot as its class; null when the slot holds another.
    template <typename T>
    T* Prop(uint32_t slot) const
    {
        return dynamic_cast<T*>(GetProp(slot));
    }
    // Stores prop in its slot; a property it replaces is deleted.
    void SetProp(uint32_t slot, CQmProp* prop);

    CGeFrame3D frame;
    CGeArray<CQmProp*> props;
    CGeString name;
    // The frame counter of the last update through a location (-1: never).
    int32_t updateStamp = -1;
    // Taken out of the game while an update held deletes: nothing uses it
    // any more and it is deleted when the update returns.
    uint8_t removed = 0;
};

// The visual object property: the entity's drawables, hung below its frame
// and placed in the render layers. It owns them.
class CQmPropVisualObject : public CQmProp {
public:
    explicit CQmPropVisualObject(CQmEntity* owner) : CQmProp(owner) {}
    ~CQmPropVisualObject() override;

    // Hangs the visual below the entity, appends it and puts it into render
    // layer layer; its index.
    uint32_t AddVisual(CGmVisualObject* visual, uint32_t layer);
    // Shows or hides the visuals, only when the flag changes.
    void SetEnabled(bool flag) override;
    // Each visual's own update, then its world matrix when it changed.
    void Update() override;

    CGeArray<CGmVisualObject*> visuals;
};
