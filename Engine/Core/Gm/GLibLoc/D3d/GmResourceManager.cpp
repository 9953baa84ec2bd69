#include "Engine/Core/Gm/GLibLoc/D3d/GmResourceManager.h"

#include "Engine/Core/Gm/GLibLoc/D3d/GmDeviceWrapper.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmTextureBase.h"

CGmResourceManager* g_pGmResourceManager = nullptr;

CGmResourceManager::~CGmResourceManager()
{
    for (auto* node = m_entries.first; node; node = m_entries.Next(node))
        node->key->ReleaseDeviceObject();
    if (g_pGmResourceManager == this)
        g_pGmResourceManager = nullptr;
}

void CGmResourceManager::Use(CGmGpuResource* resource, uint32_t subTypeId)
{
    if (Map::Node* node = m_entries.Find(resource)) {
        node->value.used = 1;
        return;
    }
    bool created = resource->EnsureCreated();
    if (!created && subTypeId == GE_RES_TEXTURE)
        created = HandOverTexture(resource);
    while (!created) {
        Map::Node* victim = FindIdle(nullptr);
        if (!victim) {
            GmTrace("CGmResourceManager::Use: nothing idle to make room for a resource of type %u\n", subTypeId);
            return;
        }
        CGmGpuResource* evicted = victim->key;
        m_entries.Erase(victim);
        evicted->ReleaseDeviceObject();
        created = resource->EnsureCreated();
    }
    resource->score = 0;
    Entry entry;
    entry.subTypeId = subTypeId;
    entry.used = 1;
    m_entries[resource] = entry;
}

CGmResourceManager::Map::Node* CGmResourceManager::FindIdle(const CGmGpuResource* texture) const
{
    Map::Node* best = nullptr;
    for (Map::Node* node = m_entries.first; node; node = m_entries.Next(node)) {
        if (node->value.used)
            continue;
        if (texture) {
            if (node->value.subTypeId != GE_RES_TEXTURE)
                continue;
            const auto* candidate = static_cast<const CGmTextureBase*>(node->key);
            if (!static_cast<const CGmTextureBase*>(texture)->IsCompatible(*candidate))
                continue;
        }
        // Only a strictly lower score wins, so the first in map order stays
        // the choice among equals.
        if (!best || node->key->score < best->key->score)
            best = node;
    }
    return best;
}

bool CGmResourceManager::HandOverTexture(CGmGpuResource* resource)
{
    Map::Node* donor = FindIdle(resource);
    if (!donor)
        return false;
    auto* texture = static_cast<CGmTextureBase*>(resource);
    texture->ReleaseDeviceObject();
    texture->TakeDeviceTexture(*static_cast<CGmTextureBase*>(donor->key));
    m_entries.Erase(donor);
    return texture->EnsureCreated();
}

void CGmResourceManager::AgeScores()
{
    for (auto* node = m_entries.first; node; node = m_entries.Next(node)) {
        CGmGpuResource* resource = node->key;
        if (node->value.used) {
            resource->score = resource->score + 1 < kGmMaxUseScore ? resource->score + 1 : kGmMaxUseScore;
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

void CGmResourceManager::Unregister(CGmGpuResource* resource)
{
    auto* node = m_entries.Find(resource);
    if (!node)
        return;
    m_entries.Erase(node);
    resource->ReleaseDeviceObject();
}
