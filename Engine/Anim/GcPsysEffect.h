// A particle effect: the particle systems of one description file and, for
// each system the effect's script names, a timed list of keys that start, stop
// and resume its emission and raise numbered events.
//
// Choices:
// - The effect owns its systems and deletes each once; systems that no script
//   entry names are deleted when the file has been read (they would never be
//   updated or drawn).
// - A looped entry that reaches its last key starts over in the same frame,
//   but no key runs twice in one frame, so a script whose keys all sit at 0
//   cannot hold the frame forever.
// - Entry times advance only while the effect plays; Start rewinds them.
// - Events go into a queue of kGcMaxEffectEvents numbers; one that arrives
//   while the queue is full is dropped. Whoever reads them empties the queue.
#pragma once

#include "Engine/Core/Common/GeArray.h"
#include "Engine/Core/Common/GeMap.h"
#include "Engine/Core/Common/GeString.h"
#include "Engine/Core/Gm/GmVisual2D.h"

#include <cstdint>

class CGcParticleSystem;
class TiXmlElement;

constexpr uint32_t kGcPsysEffectType = 0x40006;
constexpr uint32_t kGcMaxEffectEvents = 32;

enum : uint32_t { GC_KEY_NONE = 0, GC_KEY_START = 1, GC_KEY_STOP = 2, GC_KEY_RESUME = 3 };

struct GcPsysKey {
    float time = 0.0f;
    uint32_t command = GC_KEY_NONE;
    int32_t event = 0;
};

struct GcPsysEntry {
    CGeString name;
    CGcParticleSystem* system = nullptr;
    CGeArray<GcPsysKey> keys;
    int32_t looped = 0;
    uint32_t nextKey = 0;
    float time = 0.0f;
};

// The loader's systems of one file by name.
typedef CGeStringMap<CGcParticleSystem*> GcPsysSystemTable;

class CGcPsysEffect : public CGmVisualObject {
public:
    CGcPsysEffect();
    ~CGcPsysEffect() override;

    // Reads the script of a "psys_effect" element (none gives no entries),
    // attaching each named system's frame under the effect's. Then takes every
    // system of the table: those the script names are kept, the others deleted.
    void LoadFromXmlHandle(const TiXmlElement* script, const GcPsysSystemTable& systems);

    // Plays from the start of every entry's script.
    void Start();
    // Stops playing; every system stops emitting and its particles live out
    // their life.
    void Stop();
    void Update() override;
    void Render() override;

    // The oldest queued event and true, or false when the queue is empty.
    bool PopEvent(int32_t* event);

    CGeArray<GcPsysEntry> entries;
    CGeArray<CGcParticleSystem*> systems; // owned, each once
    int32_t events[kGcMaxEffectEvents] = {};
    uint32_t eventCount = 0;
    uint8_t playing = 0;

private:
    void RunKey(GcPsysEntry& entry, const GcPsysKey& key);
};

// Reads a particle-effect file into a new effect (null when the file is
// missing or empty or its first element is not "PS_COLLECTION").
void LoadPsysEffect(const char* path, CGcPsysEffect** effect);
