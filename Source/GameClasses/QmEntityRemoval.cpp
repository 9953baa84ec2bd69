#include "Source/GameClasses/QmEntityRemoval.h"

#include "Source/GameClasses/QmEntity.h"
#include "Source/GameClasses/QmGameProcessor.h"

#include <vector>

namespace {

int s_holds = 0;
std::vector<CQmEntity*>& Doomed()
{
    static std::vector<CQmEntity*> doomed;
    return doomed;
}

} // namespace

QmEntityDeleteHold::QmEntityDeleteHold()
{
    ++s_holds;
}

QmEntityDeleteHold::~QmEntityDeleteHold()
{
    if (--s_holds > 0)
        return;
    // Deleting may run destructors that remove further entities: those go
    // straight away, since no hold is left.
    std::vector<CQmEntity*> doomed;
    doomed.swap(Doomed());
    for (CQmEntity* entity : doomed)
        delete entity;
}

void QmDestroyEntity(CQmEntity* entity)
{
    if (!entity || entity->removed)
        return;
    if (g_gameProcessor)
        g_gameProcessor->ForgetEntity(entity);
    if (s_holds > 0) {
        entity->removed = 1;
        Doomed().push_back(entity);
        return;
    }
    delete entity;
}
