#include "Engine/Core/Gm/GLibLoc/D3d/GmResourceManager.h"

CGmResourceManager* g_pGmResourceManager = nullptr;

CGmResourceManager::~CGmResourceManager()
{
    for (auto* node = m_entries.first; node; node = m_entries.Next(node))
        node->key->ReleaseDeviceObject();
}

void CGmResourceManager::AgeScores()
{
    for (auto* node = m_entries.first; node; node = m_entries.Next(node)) {
        CGmGpuResource* resource = node->key;
        if (node->value.used) {
            resource->score = resource->score + 1 < 1000 ? resource->score + 1 : 1000;
            node->value.used = 0;
        } else {
            resource->score = resource->score - 1 > 0 ? resource->score - 1 : 0;
        }
    }
}

void CGmResourceManager::ReleaseByType(uint32_t subTypeId)
{
    // Releasing may touch the map, so the walk starts over after each removal.
    auto* node = m_entries.first;
    while (node) {
        if (node->value.subTypeId != subTypeId) {
            node = m_entries.Next(node);
            continue;
        }
        CGmGpuResource* resource = node->key;
        m_entries.Erase(node);
        resource->ReleaseDeviceObject();
        node = m_entries.first;
    }
}

void CGmResourceManager::Register(CGmGpuResource* resource, uint32_t subTypeId)
{
    resource->score = 0;
    Entry entry;
    entry.subTypeId = subTypeId;
    entry.used = 1;
    m_entries[resource] = entry;
}

void CGmResourceManager::Unregister(CGmGpuResource* resource)
{
    auto* node = m_entries.Find(resource);
    if (!node)
        return;
    m_entries.Erase(node);
    resource->ReleaseDeviceObject();
}
