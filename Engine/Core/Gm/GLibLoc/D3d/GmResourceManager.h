// The per-device register of GPU resources that hold a device object, with
// their use scores.
//
// Resources get their device objects at their first Use. When a creation
// fails (the device-object limit, or video memory running out), a texture
// first takes over the Direct3D texture of an idle compatible texture; failing
// that, idle resources lose their device objects, lowest score first, until
// the creation succeeds. Before a device reset every device object goes; each
// resource re-creates its own at its next use.
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

    // Makes sure the resource holds a device object and marks it used. Called
    // right before a resource is bound; subTypeId is the resource's own. When
    // nothing idle can make room, the resource stays without a device object.
    void Use(CGmGpuResource* resource, uint32_t subTypeId);

    // Used resources gain a point (at most kGmMaxUseScore) and lose the flag;
    // idle ones lose a point (at least 0).
    void AgeScores();

    // Releases and forgets every registered resource of that sub-TypeId.
    void ReleaseByType(uint32_t subTypeId);

    // Releases the device object of one registered resource and forgets it;
    // nothing when it is not registered.
    void Unregister(CGmGpuResource* resource);

    uint32_t Count() const { return m_entries.Count(); }
    bool IsRegistered(const CGmGpuResource* resource) const
    {
        return m_entries.Find(const_cast<CGmGpuResource*>(resource)) != nullptr;
    }

private:
    using Map = CGeMap<CGmGpuResource*, Entry>;

    // The idle entry with the lowest score (the first in address order among
    // equals), of textures compatible with `texture` when it is set; or null.
    Map::Node* FindIdle(const CGmGpuResource* texture) const;
    bool HandOverTexture(CGmGpuResource* texture);

    Map m_entries; // keyed by address
};

// The current device's manager (the engine hub keeps it).
extern CGmResourceManager* g_pGmResourceManager;
