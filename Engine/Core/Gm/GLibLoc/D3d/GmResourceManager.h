// The per-device register of GPU resources that hold a device object, with
// their use scores. Before a device reset it releases every device object;
// each resource re-creates its own at its next use.
#pragma once

#include "Engine/Core/Common/GeMap.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmGpuResource.h"

#include <cstdint>

class CGmResourceManager {
public:
    struct Entry {
        uint32_t subTypeId = 0;
        uint8_t used = 0; // used since the last ageing pass
    };

    CGmResourceManager() = default;
    // Releases the device object of every registered resource.
    ~CGmResourceManager();
    CGmResourceManager(const CGmResourceManager&) = delete;
    CGmResourceManager& operator=(const CGmResourceManager&) = delete;

    // Used resources gain a point (at most 1000) and lose the flag; idle ones
    // lose a point (at least 0).
    void AgeScores();

    // Releases and forgets every registered resource of that sub-TypeId.
    void ReleaseByType(uint32_t subTypeId);

    // Registers a resource that holds a device object (score 0, used).
    void Register(CGmGpuResource* resource, uint32_t subTypeId);

    // Releases the device object of one registered resource and forgets it.
    void Unregister(CGmGpuResource* resource);

    uint32_t Count() const { return m_entries.Count(); }

private:
    CGeMap<CGmGpuResource*, Entry> m_entries; // keyed by address
};

// The current device's manager (the engine hub keeps it).
extern CGmResourceManager* g_pGmResourceManager;
