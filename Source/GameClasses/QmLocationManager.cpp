#include "Source/GameClasses/QmLocationManager.h"

#include "Engine/Core/Common/GeAuxOverlay.h"
#include "Engine/Core/Common/GeFileData.h"
#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GePath.h"
#include "Engine/Core/Common/GeValue.h"
#include "Engine/Core/Sound/SmSoundManager.h"
#include "Engine/Physics/GeStaticEnvironment.h"
#include "Source/GameClasses/QmGameProcessor.h"
#include "Source/GameClasses/QmLocationLoader.h"
#include "Source/GameClasses/QmScriptProcessor.h"

CQmLocationManager* g_locationManager = nullptr;

namespace {

QmLocationLoader s_loader = LoadLocationFromFile;

} // namespace

QmLocationLoader CQmLocationManager::SetLoader(QmLocationLoader loader)
{
    const QmLocationLoader previous = s_loader;
    s_loader = loader ? loader : LoadLocationFromFile;
    return previous;
}

CQmLocationManager::CQmLocationManager() = default;

void CQmLocationManager::Evict(CQmLocation* location)
{
    if (location == current) {
        ScriptCallFunction("global_on_change_location", nullptr, 0, true);
        current = nullptr;
    }
    const uintptr_t owner = reinterpret_cast<uintptr_t>(location);
    locations.EraseKey(location->name);
    delete location;
    if (g_soundManager)
        CSmSoundManager::RemoveSoundsOfOwner(g_soundManager, owner);
}

CQmLocation* CQmLocationManager::ChangeLocation(const char* path)
{
    const CGeString key = GetPathBaseName(CGeString(path ? path : ""));
    if (auto* node = locations.Find(key)) {
        CQmLocation* location = node->value;
        location->UpdateShadeLight();
        if (!location->staticEnvironmentFile.IsEmpty())
            LoadStaticEnvironment((g_dataRoot + location->staticEnvironmentFile).c_str());
        return location;
    }
    CGeFileData file = LoadFileData(path ? path : "");
    if (!file.size) {
        FreeFileData(file);
        GeLog(2, "ChangeLocation: cannot load location %s ! Ignored\n", key.c_str());
        return nullptr;
    }
    while (loadOrder.count && loadOrder.count >= cacheLimit) {
        Evict(loadOrder.head->value);
        loadOrder.PopFront();
    }
    auto* location = new CQmLocation();
    s_loader(*location, file.data, file.size, key);
    if (auto* existing = locations.Find(location->name)) {
        // Two files that name one location: the older copy goes.
        CQmLocation* older = existing->value;
        if (auto* node = loadOrder.Find(loadOrder.head, nullptr, older))
            loadOrder.Remove(node);
        Evict(older);
    }
    locations[location->name] = location;
    loadOrder.PushBack(location);
    location->UpdateShadeLight();
    FreeFileData(file);
    return location;
}

bool CQmLocationManager::CanChangeTo(const char* locationName) const
{
    if (locations.Find(CGeString(locationName ? locationName : "")))
        return true;
    bool found = false;
    const CGeString path = g_dataRoot + "Locations/" + (locationName ? locationName : "") + ".xml";
    return QueryFileSize(path.c_str(), found) > 0 && found;
}

void CQmLocationManager::SetCurrentLocation(const char* locationName)
{
    if (!locationName || !*locationName) {
        current = nullptr;
        return;
    }
    auto* node = locations.Find(CGeString(locationName));
    if (!node)
        return;
    CQmLocation* location = node->value;
    location->Activate();
    if (current)
        ScriptCallFunction("global_on_change_location", nullptr, 0, true);
    current = location;
    location->Start();
}

void CQmLocationManager::RemoveEntityEverywhere(const char* entityName)
{
    for (auto* node = locations.first; node; node = locations.Next(node))
        node->value->RemoveEntity(entityName);
}

void CQmLocationManager::Adopt(CQmLocation* location)
{
    if (!location || loadOrder.Find(loadOrder.head, nullptr, location))
        return;
    while (loadOrder.count && loadOrder.count >= cacheLimit) {
        CQmLocation* oldest = loadOrder.head->value;
        if (oldest == current)
            current = nullptr;
        locations.EraseKey(oldest->name);
        delete oldest;
        loadOrder.PopFront();
    }
    locations[location->name] = location;
    loadOrder.PushBack(location);
}

void CQmLocationManager::Clear()
{
    current = nullptr;
    for (auto* node = locations.first; node; node = locations.Next(node))
        delete node->value;
    loadOrder.Destroy();
    locations.Clear();
}

void CQmLocationManager::RegisterDebugSwitches()
{
    AuxOverlay::RegisterVariable({&g_showAuxGeom, GE_VALUE_BOOL}, "show_aux_geom");
    AuxOverlay::RegisterVariable({&g_showAuxInfo, GE_VALUE_BOOL}, "show_aux_info");
    AuxOverlay::RegisterVariable({&g_showAuxProfiler, GE_VALUE_BOOL}, "show_aux_profiler");
    AuxOverlay::RegisterVariable({&g_cameraMovement, GE_VALUE_BOOL}, "camera_movement");
}
