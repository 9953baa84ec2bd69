#include "Source/GameClasses/QmUnifiedCollector.h"

#include "Engine/Anim/GeJointsKeySequence.h"
#include "Engine/Core/Common/GeArray.h"
#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GeMap.h"
#include "Engine/Core/Common/GePath.h"
#include "Engine/Core/Gm/GmResCollector.h"
#include "Source/GameClasses/QmGameProcessor.h"

#include <cstring>

namespace {

struct TrackEntry {
    CGeJointsKeySequence* track = nullptr;
    uint8_t holdsReference = 0;
};
using TrackList = CGeArray<TrackEntry>;

CGeMap<uintptr_t, TrackList>& Tracks()
{
    static CGeMap<uintptr_t, TrackList> tracks;
    return tracks;
}

// The first index whose name is not below name.
uint32_t LowerBound(const TrackList& list, const char* name)
{
    uint32_t low = 0, high = list.Count();
    while (low < high) {
        const uint32_t middle = (low + high) / 2;
        if (std::strcmp(list[middle].track->name.c_str(), name) < 0)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

} // namespace

CGeString CQmUnifiedCollector::LoadJointsAnimTrack(const char* path, uintptr_t key)
{
    const CGeString fullPath = g_dataRoot + (path ? path : "");
    const CGeString name = GetPathBaseName(fullPath);
    auto* node = Tracks().Find(key);
    if (node) {
        const uint32_t at = LowerBound(node->value, name.c_str());
        if (at < node->value.Count() && node->value[at].track->name == name) {
            GeLog(2, "CQmUnifiedCollector::LoadJointsAnimTrack: Track %s is already exists! Ignored\n", name.c_str());
            return name;
        }
    }
    const bool loadedBefore = rescollect::FindAnimTrack(fullPath);
    auto* track = static_cast<CGeJointsKeySequence*>(rescollect::LoadAnimTrack(fullPath));
    if (!track)
        return CGeString();
    TrackEntry entry;
    entry.track = track;
    entry.holdsReference = loadedBefore ? 0 : 1;
    if (loadedBefore)
        track->Release();
    TrackList& list = Tracks()[key];
    const uint32_t at = LowerBound(list, track->name.c_str());
    list.InsertSlot(at);
    list[at] = entry;
    return track->name;
}

CGeJointsKeySequence* CQmUnifiedCollector::GetJointsAnimTrack(uintptr_t key, const char* name)
{
    auto* node = Tracks().Find(key);
    if (!node) {
        GeLog(2, "CQmUnifiedCollector::GetJointsAnimTrack: No entity found: %llx!\n", (unsigned long long)key);
        return nullptr;
    }
    const char* wanted = name ? name : "";
    if (!node->value.Count()) {
        GeLog(2,
              "CQmUnifiedCollector::GetJointsAnimTrack: No joints animation track named \"%s \" found for "
              "specified skelet %llx!\n",
              wanted, (unsigned long long)key);
        return nullptr;
    }
    const uint32_t at = LowerBound(node->value, wanted);
    if (at < node->value.Count() && std::strcmp(node->value[at].track->name.c_str(), wanted) == 0)
        return node->value[at].track;
    return nullptr;
}

uint32_t CQmUnifiedCollector::TrackCount(uintptr_t key)
{
    auto* node = Tracks().Find(key);
    return node ? node->value.Count() : 0;
}

void CQmUnifiedCollector::ClearTracks()
{
    auto& tracks = Tracks();
    for (auto* node = tracks.first; node; node = tracks.Next(node))
        for (TrackEntry& entry : node->value)
            if (entry.holdsReference)
                entry.track->Release();
    tracks.Clear();
}
