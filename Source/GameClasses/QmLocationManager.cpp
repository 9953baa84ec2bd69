#include "Source/GameClasses/QmLocationManager.h"

#include "Engine/Core/Common/GeFileData.h"

CQmLocationManager* g_locationManager = nullptr;

CQmLocation* CQmLocationManager::ChangeLocation(const char* name)
{
    if (loaded && loaded->name == name)
        return loaded;
    return nullptr;
}

bool CQmLocationManager::CanChangeTo(const char* name) const
{
    if (loaded && loaded->name == name)
        return true;
    bool found = false;
    const CGeString path = CGeString("Locations/") + name + ".xml";
    return QueryFileSize(path.c_str(), found) > 0 && found;
}

void CQmLocationManager::SetCurrentLocation(const char* name)
{
    current = loaded && loaded->name == name ? loaded : nullptr;
}

void CQmLocationManager::Adopt(CQmLocation* location)
{
    if (location == loaded)
        return;
    Clear();
    loaded = location;
}

void CQmLocationManager::Clear()
{
    current = nullptr;
    delete loaded;
    loaded = nullptr;
}
