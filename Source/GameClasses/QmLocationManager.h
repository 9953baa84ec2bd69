// The location manager: owns the loaded locations, knows the current one, and
// loads, reuses and evicts them in the order the location change needs.
//
// One location stays loaded (the cache limit is 1): a change to another
// location evicts the loaded one, firing "global_on_change_location" while it
// is still current; a change to the loaded one reuses it without reading
// anything. A file that cannot be read evicts nothing and gives null.
//
// The content of a location file is read by the location loader
// (LoadLocationFromFile); tests may put another routine in its place.
#pragma once

#include "Engine/Core/Common/GeMap.h"
#include "Engine/Core/Common/GePoolList.h"
#include "Engine/Core/Common/GeString.h"
#include "Source/GameClasses/QmLocation.h"

#include <cstdint>

// Fills a new location from its file's bytes; true when it could.
using QmLocationLoader = bool (*)(CQmLocation& location, const uint8_t* data, uint32_t size, const CGeString& key);

class CQmLocationManager {
public:
    CQmLocationManager();
    ~CQmLocationManager() { Clear(); }
    CQmLocationManager(const CQmLocationManager&) = delete;
    CQmLocationManager& operator=(const CQmLocationManager&) = delete;

    // path: data root + "Locations/" + name + ".xml". The loaded or reused
    // location, or null when the file cannot be read.
    CQmLocation* ChangeLocation(const char* path);
    // True when ChangeLocation could give the location of that name: it is
    // loaded, or its file can be read.
    bool CanChangeTo(const char* locationName) const;
    // Activates and starts the named loaded location as the current one; the
    // empty name clears current; an unknown name changes nothing.
    void SetCurrentLocation(const char* locationName);
    // RemoveEntity on every loaded location, in name order.
    void RemoveEntityEverywhere(const char* entityName);
    // Takes a location built elsewhere (tools, tests) as a loaded one: the
    // cache limit evicts as a load would, without firing anything.
    void Adopt(CQmLocation* location);
    // Deletes every location; fires nothing and leaves no current location.
    void Clear();
    // The debug overlay's switches "show_aux_geom", "show_aux_info",
    // "show_aux_profiler" and "camera_movement".
    static void RegisterDebugSwitches();
    // The routine that fills new locations; null restores the default.
    static QmLocationLoader SetLoader(QmLocationLoader loader);

    CGeStringMap<CQmLocation*> locations;
    CQmLocation* current = nullptr;
    uint32_t cacheLimit = 1;
    CGePoolList<CQmLocation*> loadOrder;

private:
    void Evict(CQmLocation* location);
};

extern CQmLocationManager* g_locationManager;
