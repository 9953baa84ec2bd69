#include "Engine/Core/Common/CiDispatcher.h"

#include "Engine/Core/Common/GeLog.h"

#include <cstring>

CCiDispatcher* g_dispatcher = nullptr;

CCiDispatcher::CCiDispatcher()
{
    deliveryEnabled = 0;
    inPass = 0;
    for (CCiClientRow& row : rows)
        row = { nullptr, nullptr, CCiClientRow::kAnyCode, CCiClientRow::kAnyType };
    rowCount = 0;
    for (CCiMessageQueue& queue : queues) {
        queue.head = nullptr;
        queue.used = 0;
    }
    current = 0;
    rowRemovals = 0;
}

void CCiDispatcher::RegisterClient(CCiMessageClient* client, CCiMessageClient* senderFilter, uint32_t typeFilter)
{
    if (rowCount >= kMaxRows)
        return;
    rows[rowCount] = { client, senderFilter, CCiClientRow::kAnyCode, typeFilter };
    rowCount++;
}

void CCiDispatcher::UnregisterClient(CCiMessageClient* client)
{
    // The delivered set keeps the client: one that is given new rows during a
    // pass has still heard the message being delivered.
    for (uint32_t i = 0; i < rowCount; i++) {
        while (rows[i].client == client) {
            rowCount--;
            rowRemovals++;
            if (i == rowCount)
                return;
            rows[i] = rows[rowCount];
        }
    }
}

bool CCiDispatcher::HoldsRow(const CCiMessageClient* client) const
{
    for (uint32_t i = 0; i < rowCount; i++) {
        if (rows[i].client == client)
            return true;
    }
    return false;
}

void CCiDispatcher::PostMessage(uint32_t queueIndex, CCiMessageClient* sender, uint32_t code)
{
    CCiMessageQueue& queue = queues[queueIndex & 1];
    // Slots are reused only once the queue has been empty; a full queue
    // refuses the message instead of writing past its slots.
    if (queue.used >= CCiMessageQueue::kSlotCount) {
        GeLog(1, "CCiDispatcher::PostMessage: queue full, message 0x%X dropped\n", code);
        return;
    }
    CCiMessage* message = &queue.slots[queue.used++];
    message->sender = sender;
    message->code = code;

    CCiMessage* head = queue.head;
    if (!head) {
        message->prev = message;
        message->next = message;
        queue.head = message;
        return;
    }
    // Between the tail (the head's predecessor) and the head.
    message->prev = head->prev;
    message->next = head;
    head->prev->next = message;
    head->prev = message;
}

void CCiDispatcher::Unlink(CCiMessageQueue& queue, CCiMessage* message)
{
    if (message->next == message) {
        queue.head = nullptr;
        queue.used = 0;
        return;
    }
    message->prev->next = message->next;
    message->next->prev = message->prev;
    if (queue.head == message)
        queue.head = message->next;
}

void CCiDispatcher::PurgeQueue(uint32_t queueIndex, CCiMessageClient* client)
{
    CCiMessageQueue& queue = queues[queueIndex & 1];
    if (!queue.head)
        return;
    // The messages after the head first, so the head stays put meanwhile.
    CCiMessage* message = queue.head->next;
    while (message != queue.head) {
        CCiMessage* next = message->next;
        if (message->sender == client)
            Unlink(queue, message);
        message = next;
    }
    if (queue.head->sender == client)
        Unlink(queue, queue.head);
}

void CCiDispatcher::PurgeClient(CCiMessageClient* client)
{
    PurgeQueue(0, client);
    PurgeQueue(1, client);
}

CCiDeliveredSet::CCiDeliveredSet()
{
    memset(stamps, 0, sizeof(stamps));
    stamp = 1;
    count = 0;
}

void CCiDeliveredSet::Clear()
{
    count = 0;
    if (++stamp == 0) {
        // After 2^32 messages: forget the old stamps for real.
        memset(stamps, 0, sizeof(stamps));
        stamp = 1;
    }
}

uint32_t CCiDeliveredSet::SlotOf(const CCiMessageClient* client)
{
    uint64_t bits = (uint64_t)(uintptr_t)client * 0x9E3779B97F4A7C15ull;
    return (uint32_t)(bits >> 52) & (kSlotCount - 1);
}

bool CCiDeliveredSet::Contains(const CCiMessageClient* client) const
{
    for (uint32_t slot = SlotOf(client); stamps[slot] == stamp; slot = (slot + 1) & (kSlotCount - 1)) {
        if (keys[slot] == client)
            return true;
    }
    return false;
}

void CCiDeliveredSet::Insert(const CCiMessageClient* client)
{
    // At most one entry per row visit, and a message visits at most 2048
    // rows, so the set never fills; the bound is kept all the same.
    if (count >= kSlotCount / 2)
        return;
    uint32_t slot = SlotOf(client);
    while (stamps[slot] == stamp)
        slot = (slot + 1) & (kSlotCount - 1);
    keys[slot] = client;
    stamps[slot] = stamp;
    count++;
}

void CCiDeliveredSet::Remove(const CCiMessageClient* client)
{
    // The slot stays taken (a null key matches no client), so the probe
    // chains of the other entries stay intact.
    for (uint32_t slot = SlotOf(client); stamps[slot] == stamp; slot = (slot + 1) & (kSlotCount - 1)) {
        if (keys[slot] == client) {
            keys[slot] = nullptr;
            return;
        }
    }
}

bool CCiDispatcher::RowMatches(const CCiClientRow& row, const CCiMessage& message)
{
    if (row.codeFilter != CCiClientRow::kAnyCode && row.codeFilter != message.code)
        return false;
    if (row.senderFilter)
        return row.senderFilter == message.sender;
    if (row.typeFilter == CCiClientRow::kAnyType)
        return true;
    return message.sender && row.typeFilter == message.sender->GetTypeId();
}

bool CCiDispatcher::DeliverMessage(const CCiMessageQueue& queue, const CCiMessage* message)
{
    // Removing a row moves the table's last row into the hole, possibly
    // behind the scan; when that happened the table is scanned again, and the
    // delivered set keeps everyone at one call.
    uint32_t scans = 0;
    uint32_t removalsBefore;
    do {
        removalsBefore = rowRemovals;
        // rowCount is read at every step: rows that handlers add take part.
        for (uint32_t i = 0; i < rowCount; i++) {
            CCiMessageClient* client = rows[i].client;
            if (delivered.Contains(client))
                continue;
            if (deliveryEnabled && RowMatches(rows[i], *message)) {
                client->HandleMessage(message->sender, message->code);
                delivered.Insert(client);
            }
            // A handler destroyed the message's sender, whose destructor
            // purged the message: the caller goes on with the new head.
            if (queue.head != message)
                return false;
        }
    } while (rowRemovals != removalsBefore && ++scans < kMaxRows);
    return true;
}

void CCiDispatcher::Dispatch()
{
    CCiMessageQueue& queue = queues[current & 1];
    if (!deliveryEnabled) {
        // Nobody would be called: drop everything at once.
        queue.head = nullptr;
        queue.used = 0;
        return;
    }

    while (CCiMessage* message = queue.head) {
        delivered.Clear();
        if (DeliverMessage(queue, message))
            Unlink(queue, message);
    }
    queue.used = 0;
}

void CCiDispatcher::RunPass()
{
    if (inPass)
        return;
    current ^= 1;
    inPass = 1;
    Dispatch();
    deliveryEnabled = 1;
    inPass = 0;
}

void CCiDispatcher::SendDirect(CCiMessageClient* target, CCiMessageClient* sender)
{
    if (deliveryEnabled && HoldsRow(target))
        target->HandleMessage(sender, 1);
}

uint32_t CCiDispatcher::CollectFor(CCiMessageClient* sender, uint32_t* codes) const
{
    const CCiMessage* head = queues[PendingQueue()].head;
    if (!head)
        return 0;
    uint32_t count = 0;
    const CCiMessage* message = head;
    do {
        if (message->sender == sender) {
            if (count == kMaxCollected)
                return kMaxCollected + 1;
            codes[count++] = message->code;
        }
        message = message->next;
    } while (message != head);
    return count;
}
