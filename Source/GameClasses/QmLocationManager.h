// The location manager keeps the one loaded location and makes it current.
//
// So far it knows locations but cannot load their files: ChangeLocation finds
// a location that is already loaded and answers null for any other, until the
// location loader exists. CQmLocation is the bare location: its name and the
// operations the game processor calls each frame, which do nothing yet.
#pragma once

#include "Engine/Core/Common/GeString.h"

#include <cstdint>

class CQmLocation {
public:
    explicit CQmLocation(const char* locationName) : name(locationName) {}
    virtual ~CQmLocation() = default;
    CQmLocation(const CQmLocation&) = delete;
    CQmLocation& operator=(const CQmLocation&) = delete;

    // Per frame while the game is enabled.
    virtual void Update(float /*frameTime*/) {}
    // Draws the passes of renderMask's location bits.
    virtual void Render(uint32_t /*renderMask*/) {}
    // Disables the location's properties and timers before it is left.
    virtual void Stop() {}
    // Starts it again after it was stopped and stayed current.
    virtual void Restart() {}
    // A full-screen animation or a video is on show.
    virtual bool PlaysFullScreenAnimOrVideo() const { return false; }
    virtual bool PlaysVideo() const { return false; }
    // Skips what plays (the animation jumps to its end, else the video stops);
    // false when nothing played.
    virtual bool SkipPlaying() { return false; }

    CGeString name;
};

class CQmLocationManager {
public:
    CQmLocationManager() = default;
    ~CQmLocationManager() { Clear(); }
    CQmLocationManager(const CQmLocationManager&) = delete;
    CQmLocationManager& operator=(const CQmLocationManager&) = delete;

    // The loaded location of that name, else null (no loader yet).
    CQmLocation* ChangeLocation(const char* name);
    // True when ChangeLocation could give the location: it is loaded, or its
    // file "Locations/" + name + ".xml" can be read.
    bool CanChangeTo(const char* name) const;
    // Makes the loaded location of that name current; any other name (the
    // empty one included) makes no location current.
    void SetCurrentLocation(const char* name);
    // Takes a location as the one loaded location, evicting the previous one.
    void Adopt(CQmLocation* location);
    // Deletes the loaded location; none is current afterwards.
    void Clear();

    CQmLocation* current = nullptr;
    CQmLocation* loaded = nullptr;
};

extern CQmLocationManager* g_locationManager;
