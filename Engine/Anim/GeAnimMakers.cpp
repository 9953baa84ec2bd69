#include "Engine/Anim/GeAnimMakers.h"

#include "Engine/Anim/GeJointsKeySequence.h"
#include "Engine/Anim/GmMeshResource.h"

CGeResource* GeAnimNewMeshResource()
{
    return new CGmMeshResource();
}

bool GeAnimLoadMeshResource(CGeResource* meshResource, const CGeFileData& file)
{
    return LoadGeMesh(*static_cast<CGmMeshResource*>(meshResource), file);
}

CGeResource* GeAnimNewTrack()
{
    return new CGeJointsKeySequence();
}

bool GeAnimLoadTrack(CGeResource* track, const CGeFileData& file)
{
    return LoadJointsAnimTrack(*static_cast<CGeJointsKeySequence*>(track), file);
}

float GeAnimTrackDuration(const CGeResource* track)
{
    return static_cast<const CGeJointsKeySequence*>(track)->duration;
}

GmResourceMakers GeAnimResourceMakers(GmResourceMakers makers)
{
    makers.newMeshResource = GeAnimNewMeshResource;
    makers.loadMeshResource = GeAnimLoadMeshResource;
    makers.newTrack = GeAnimNewTrack;
    makers.loadTrack = GeAnimLoadTrack;
    makers.trackDuration = GeAnimTrackDuration;
    return makers;
}
