// The program-wide message dispatcher.
//
// Clients post small messages (sender, code); each frame's dispatch pass
// delivers the messages posted since the previous pass, in posting order, to
// every registered client whose filters match, each client at most once per
// message. There are two queues: while one is being delivered, handlers post
// into the other, which the next pass delivers. Everything lives in fixed
// arrays inside the dispatcher; nothing is allocated after construction.
//
// Delivery starts switched off; setting deliveryEnabled to 0 makes the next
// pass drop every pending message undelivered and switch delivery back on.
#pragma once

#include "Engine/Core/Common/CiMessageClient.h"

#include <cstdint>

struct CCiMessage {
    CCiMessageClient* sender;
    uint32_t code;
    CCiMessage* prev;   // circular list in posting order
    CCiMessage* next;
};

struct CCiMessageQueue {
    static constexpr uint32_t kSlotCount = 16384;

    CCiMessage* head;   // the oldest pending message, or null
    CCiMessage slots[kSlotCount];
    uint32_t used;      // slots handed out since the queue was last empty
};

struct CCiClientRow {
    static constexpr uint32_t kAnyCode = 0xFFFFFFFF;
    static constexpr uint32_t kAnyType = 0xFFFF;

    CCiMessageClient* client;
    CCiMessageClient* senderFilter;   // null: any sender, the type filter decides
    uint32_t codeFilter;              // kAnyCode, always, as registered
    uint32_t typeFilter;              // kAnyType or the sender's whole type word
};

// The clients that already received the message being delivered. A small
// open-addressing set in place of a list, so that the once-per-client test is
// constant time instead of a scan of up to 2048 entries per row. Entries are
// valid only under the current stamp, so starting a new message is O(1).
class CCiDeliveredSet {
public:
    static constexpr uint32_t kSlotCount = 4096;   // twice the row table, a power of two

    CCiDeliveredSet();
    void Clear();
    bool Contains(const CCiMessageClient* client) const;
    void Insert(const CCiMessageClient* client);
    // Forgets a client that is destroyed, so that a new client that the
    // allocator places at the same address is not taken for one already served.
    void Remove(const CCiMessageClient* client);
    uint32_t Count() const { return count; }

private:
    static uint32_t SlotOf(const CCiMessageClient* client);

    const CCiMessageClient* keys[kSlotCount];
    uint32_t stamps[kSlotCount];
    uint32_t stamp;
    uint32_t count;
};

class CCiDispatcher {
public:
    static constexpr uint32_t kMaxRows = 2048;
    static constexpr uint32_t kMaxCollected = 64;

    uint8_t deliveryEnabled;
    uint8_t inPass;
    CCiDeliveredSet delivered;   // who already got the current message
    CCiClientRow rows[kMaxRows];
    uint32_t rowCount;
    CCiMessageQueue queues[2];
    uint32_t current;   // the queue that the last pass delivered
    uint32_t rowRemovals;   // counts removed rows, so a pass notices moved rows

    CCiDispatcher();
    CCiDispatcher(const CCiDispatcher&) = delete;
    CCiDispatcher& operator=(const CCiDispatcher&) = delete;

    // Adds a row; a 2049th row is not registered. A client may hold several.
    void RegisterClient(CCiMessageClient* client, CCiMessageClient* senderFilter, uint32_t typeFilter);
    // Removes every row of the client; the last rows fill the holes.
    void UnregisterClient(CCiMessageClient* client);

    // The queue that posts go to: the one the last pass did not deliver.
    uint32_t PendingQueue() const { return current ^ 1; }

    // Appends a message to a queue. A full queue refuses it and logs.
    void PostMessage(uint32_t queue, CCiMessageClient* sender, uint32_t code);
    // Removes the client's own messages from one queue, or from both.
    void PurgeQueue(uint32_t queue, CCiMessageClient* client);
    void PurgeClient(CCiMessageClient* client);

    // Delivers the queue with index current.
    void Dispatch();
    // The frame's dispatch pass: toggles current, dispatches and switches
    // delivery on. Does nothing when called from inside a pass.
    void RunPass();

    // Calls target's handler at once with code 1, when delivery is on and the
    // target holds a row.
    void SendDirect(CCiMessageClient* target, CCiMessageClient* sender);

    // Copies the codes of the sender's pending messages, in posting order, into
    // codes (room for kMaxCollected). Returns the count, or kMaxCollected + 1
    // when there were more; codes then holds the first kMaxCollected.
    uint32_t CollectFor(CCiMessageClient* sender, uint32_t* codes) const;

    bool HoldsRow(const CCiMessageClient* client) const;

private:
    // Calls every matching client once; false when a handler purged the message.
    bool DeliverMessage(const CCiMessageQueue& queue, const CCiMessage* message);
    static bool RowMatches(const CCiClientRow& row, const CCiMessage& message);
    static void Unlink(CCiMessageQueue& queue, CCiMessage* message);
};

// Created by start-up before any client and kept for the program's life.
extern CCiDispatcher* g_dispatcher;
