// The sound source property (slot 12): named sound slots fixed to the entity,
// each a scene frame below the entity's frame with its own position, facing
// direction (the frame's X axis) and six 3D parameters, from which scripts,
// dialogs and videos play and stop sound files. The per-frame update keeps the
// playing sounds at their slot and hands on only what changed.
//
// Files and parameters go to the sound layer as play options: kind 6 is the
// position and kind 10 the cone orientation, as the sound layer reads them.
// A 3D sound plays at the slot's world position with the slot's direction as
// its cone; a 2D sound (dialog voices) is panned by the slot's screen x:
// x x 0.25 / viewport width - 0.125, at volume x slot volume x 0.7.
//
// Choices:
// - Directions are normalised; a zero or missing direction faces +X, so no
//   NaN ever reaches the mixer.
// - Disabling the property mutes its sounds; they keep playing.
// - A slot name given twice keeps the six parameters of the first; the place
//   and direction of the second win.
#pragma once

#include "Engine/Core/Common/GeArray.h"
#include "Engine/Core/Common/GeMap.h"
#include "Engine/Core/Common/GeMath.h"
#include "Engine/Core/Common/GeString.h"
#include "Engine/Core/Gm/GeFrame3D.h"
#include "Engine/Core/Sound/SmSoundRef.h"
#include "Source/GameClasses/QmEntity.h"

#include <cstdint>

class CSmSoundGroup;
class TiXmlElement;
class CQmPropSoundSource;

// The six sound parameters of a slot, in their stored order.
struct QmSoundParams {
    int32_t innerCone = 360; // degrees
    int32_t outerCone = 360;
    float minDistance = 100.0f;
    float maxDistance = 3000.0f;
    float outsideVolume = 0.0f;
    float volume = 1.0f;

    bool operator==(const QmSoundParams& o) const
    {
        return innerCone == o.innerCone && outerCone == o.outerCone && minDistance == o.minDistance &&
               maxDistance == o.maxDistance && outsideVolume == o.outsideVolume && volume == o.volume;
    }
    bool operator!=(const QmSoundParams& o) const { return !(*this == o); }
};

// One sound started from a slot: the sound (cleared when it goes) and the
// volume it was started with.
struct QmSoundPlayRecord {
    SmSoundRef ref;
    float volume = 0.0f;
};

struct CQmSoundSlot {
    CQmSoundSlot() { records.SetGrowStep(16); }
    ~CQmSoundSlot();
    CQmSoundSlot(const CQmSoundSlot&) = delete;
    CQmSoundSlot& operator=(const CQmSoundSlot&) = delete;

    CGeFrame3D frame;
    CGeArray<QmSoundPlayRecord*> records;
    QmSoundParams params;
    QmSoundParams applied;
    Vec3 appliedPosition = {0, 0, 0};
    Vec3 appliedDirection = {0, 0, 0};
    uint32_t enabled = 1;
    CQmPropSoundSource* owner = nullptr;
};

class CQmPropSoundSource : public CQmProp {
public:
    // Sees the play options of every start (tests read them back).
    using PlayObserver = void (*)(const CSmPlayOption* options, uint32_t count);

    explicit CQmPropSoundSource(CQmEntity* owner);
    // Stops and deletes every slot.
    ~CQmPropSoundSource() override;

    // The location loader's step for a "sound_source" element: makes the
    // property on the program's sound manager, reads the element, puts the
    // property in the entity's slot 12 and enables it. Null (nothing made)
    // for another element.
    static CQmPropSoundSource* CreateFromXML(CQmEntity* entity, const TiXmlElement* element);

    // Reads a "sound_source" element: its "slot" children with "inner_cone",
    // "outter_cone", "min_dist", "max_dist", "outside_volume", "volume",
    // "direction" and "position". False, with no change, for another element.
    bool LoadFromXML(const TiXmlElement* element);

    CQmSoundSlot* FindSlot(const char* slotName) const;
    // Start on the named slot; null when the slot is unknown.
    QmSoundPlayRecord* PlayByName(const char* slotName, const char* file, bool loop, float volume, void* ownerTag,
                                  bool mode2d);
    // Plays file from the slot; the play record, or null when there is no
    // sound manager or the file cannot be made.
    QmSoundPlayRecord* Start(const char* file, CQmSoundSlot* slot, bool loop, float volume, void* ownerTag,
                             bool mode2d);
    void StopByName(const char* slotName);
    // Stops every sound of the slot and deletes its play records.
    void Stop(CQmSoundSlot* slot);
    void StopAll();
    // Keeps the current six as the last applied ones, takes the new ones and
    // applies the slot.
    void SetPlacement(CQmSoundSlot* slot, const QmSoundParams& params);
    // Stops the buffers of the slot's sounds that play file (relative to the
    // data root, compared exactly); the records stay.
    void StopFile(CQmSoundSlot* slot, const char* file);

    // Mutes the sounds of every slot when off; they go on playing.
    void SetEnabled(bool on) override;
    // The per-slot update of every slot, in name order.
    void Update() override;
    // Brings the slot's playing sounds to its place and parameters, handing
    // on only what changed since the last time.
    void UpdateSlot(CQmSoundSlot* slot);

    CGeStringMap<CQmSoundSlot*> slots;
    CSmSoundGroup* soundManager;
    static PlayObserver playObserver;

private:
    void DeleteSlots();
    static void Play(CSmSoundEntry* entry, QmSoundPlayRecord* record, const CSmPlayOption* options, uint32_t count);
};

// The location loader's reader of the "sound_source" tag (CreateFromXML).
void LoadProperty_SoundSource(CQmEntity& entity, const TiXmlElement* element);

// The pan of a 2D sound at the slot's world position through the current 3D
// camera; 0 without a camera or a viewport.
float QmSoundPanAt(const Vec3& worldPosition);
