#include "Source/GameClasses/QmAnimLink.h"

#include "Engine/Anim/GeAnimMakers.h"
#include "Engine/Core/Gm/GmResCollector.h"

void QmAnimInstallMakers()
{
    const GmResourceMakers current = rescollect::SetResourceMakers(GmResourceMakers());
    rescollect::SetResourceMakers(GeAnimResourceMakers(current));
}
