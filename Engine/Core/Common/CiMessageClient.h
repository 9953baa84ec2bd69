// The base of every object that receives dispatcher messages.
#pragma once

#include "Engine/Core/Common/GeTypedObject.h"

#include <cstdint>

class CCiDispatcher;

// Construction registers the client with the program-wide dispatcher (any
// sender, any type); destruction removes its rows and every message it posted
// that is still pending. A class that wants other filters unregisters the
// base's row in its constructor and registers its own rows.
class CCiMessageClient : public virtual CGeTypedObject {
public:
    CCiDispatcher* dispatcher = nullptr;   // null when there was no dispatcher

    CCiMessageClient();
    virtual ~CCiMessageClient();

    CCiMessageClient(const CCiMessageClient&) = delete;
    CCiMessageClient& operator=(const CCiMessageClient&) = delete;

    // Called in the dispatch pass for every message whose filters match.
    virtual void HandleMessage(CCiMessageClient* sender, uint32_t code);

    // Posts {this, code} for the next pass. Without a dispatcher it does nothing.
    void PostMessage(uint32_t code);
};
