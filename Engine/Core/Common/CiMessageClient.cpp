#include "Engine/Core/Common/CiMessageClient.h"

#include "Engine/Core/Common/CiDispatcher.h"

CCiMessageClient::CCiMessageClient()
{
    dispatcher = g_dispatcher;
    if (dispatcher)
        dispatcher->RegisterClient(this, nullptr, CCiClientRow::kAnyType);
}

CCiMessageClient::~CCiMessageClient()
{
    // No pending message may name a destroyed sender.
    if (dispatcher) {
        dispatcher->PurgeClient(this);
        dispatcher->UnregisterClient(this);
        dispatcher->delivered.Remove(this);
    }
}

void CCiMessageClient::HandleMessage(CCiMessageClient*, uint32_t)
{
}

void CCiMessageClient::PostMessage(uint32_t code)
{
    if (dispatcher)
        dispatcher->PostMessage(dispatcher->PendingQueue(), this, code);
}
