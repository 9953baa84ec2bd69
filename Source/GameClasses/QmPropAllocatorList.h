// The allocator list property (slot 6): what leaving a location uses of it so
// far, the detaching of its attachment points. The points themselves and
// their attaching come with the allocator list's own work.
#pragma once

#include "Source/GameClasses/QmEntity.h"

class CQmPropAllocatorList : public CQmProp {
public:
    explicit CQmPropAllocatorList(CQmEntity* owner) : CQmProp(owner) {}

    // Detaches every attachment point from the point it was attached to.
    virtual void DetachAll() {}
    // The world matrix of the attachment point of that name; null when there
    // is none (none yet: the points come with the list's own work).
    virtual const Matrix4* Find(const char* /*name*/) const { return nullptr; }
};
