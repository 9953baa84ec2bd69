// How the resource collector makes and fills the animation library's
// resources: skeletal mesh resources (CGmMeshResource) and joint-animation
// tracks (CGeJointsKeySequence). Graphics lies below this library, so the
// game installs these into the collector (rescollect::SetResourceMakers).
#pragma once

#include "Engine/Core/Gm/GmResCollector.h"

CGeResource* GeAnimNewMeshResource();
bool GeAnimLoadMeshResource(CGeResource* meshResource, const CGeFileData& file);
CGeResource* GeAnimNewTrack();
bool GeAnimLoadTrack(CGeResource* track, const CGeFileData& file);
float GeAnimTrackDuration(const CGeResource* track);

// makers with the five animation members filled in; the others as given.
GmResourceMakers GeAnimResourceMakers(GmResourceMakers makers);
