#include "Engine/Core/Common/CiDispatcher.h"
#include "Engine/Core/Common/GeLog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <ostream>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

struct Delivery {
    const CCiMessageClient* receiver;
    const CCiMessageClient* sender;
    uint32_t code;

    bool operator==(const Delivery& other) const
    {
        return receiver == other.receiver && sender == other.sender && code == other.code;
    }
};

void PrintTo(const Delivery& d, std::ostream* out)
{
    *out << "{" << d.receiver << " from " << d.sender << ", " << d.code << "}";
}

std::vector<Delivery> g_deliveries;

// Records every call and runs an optional action inside its handler.
class RecordingClient : public CCiMessageClient {
public:
    explicit RecordingClient(uint32_t type = CGeTypedObject::kUntyped) { SetTypeId(type); }

    void HandleMessage(CCiMessageClient* sender, uint32_t code) override
    {
        g_deliveries.push_back({ this, sender, code });
        if (onMessage)
            onMessage(sender, code);
    }

    std::function<void(CCiMessageClient*, uint32_t)> onMessage;
};

class CiDispatcher : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_deliveries.clear();
        dispatcher.reset(new CCiDispatcher);
        g_dispatcher = dispatcher.get();
    }
    void TearDown() override { g_dispatcher = nullptr; }

    // The frame's pass, with delivery switched on by a first empty pass.
    void EnableDelivery() { dispatcher->RunPass(); }
    uint32_t PendingCount() const { return dispatcher->queues[dispatcher->PendingQueue()].used; }

    std::unique_ptr<CCiDispatcher> dispatcher;
};

TEST_F(CiDispatcher, StartsEmptyWithDeliveryOff)
{
    EXPECT_EQ(dispatcher->deliveryEnabled, 0);
    EXPECT_EQ(dispatcher->inPass, 0);
    EXPECT_EQ(dispatcher->rowCount, 0u);
    EXPECT_EQ(dispatcher->current, 0u);
    EXPECT_EQ(dispatcher->rows[CCiDispatcher::kMaxRows - 1].typeFilter, 0xFFFFu);
    for (const CCiMessageQueue& queue : dispatcher->queues) {
        EXPECT_EQ(queue.head, nullptr);
        EXPECT_EQ(queue.used, 0u);
    }
}

TEST_F(CiDispatcher, PassWithDeliveryOffDropsEverythingThenDeliversNormally)
{
    RecordingClient a, b;
    a.PostMessage(1);
    b.PostMessage(2);
    dispatcher->RunPass();
    EXPECT_TRUE(g_deliveries.empty());
    EXPECT_EQ(dispatcher->queues[dispatcher->current].head, nullptr);
    EXPECT_EQ(dispatcher->queues[dispatcher->current].used, 0u);
    EXPECT_EQ(dispatcher->deliveryEnabled, 1);

    a.PostMessage(3);
    dispatcher->RunPass();
    EXPECT_EQ(g_deliveries, (std::vector<Delivery>{ { &a, &a, 3 }, { &b, &a, 3 } }));

    // Switching delivery off again drops what is pending at the next pass.
    g_deliveries.clear();
    b.PostMessage(4);
    dispatcher->deliveryEnabled = 0;
    dispatcher->RunPass();
    EXPECT_TRUE(g_deliveries.empty());
    EXPECT_EQ(dispatcher->deliveryEnabled, 1);
}

TEST_F(CiDispatcher, DeliversInPostingOrderThenRowOrderOncePerClient)
{
    RecordingClient a, b, c;
    dispatcher->RegisterClient(&b, nullptr, 0xFFFF);   // a second matching row for b
    EnableDelivery();
    b.PostMessage(10);
    a.PostMessage(20);
    dispatcher->RunPass();
    EXPECT_EQ(g_deliveries, (std::vector<Delivery>{
                                { &a, &b, 10 }, { &b, &b, 10 }, { &c, &b, 10 },
                                { &a, &a, 20 }, { &b, &a, 20 }, { &c, &a, 20 } }));
    EXPECT_EQ(dispatcher->queues[dispatcher->current].used, 0u);
}

TEST_F(CiDispatcher, FullTableOfRepeatedRowsStillCallsEachClientOnce)
{
    const uint32_t kClients = CCiDispatcher::kMaxRows / 2;
    std::vector<std::unique_ptr<RecordingClient>> clients;
    for (uint32_t i = 0; i < kClients; i++)
        clients.emplace_back(new RecordingClient);
    for (auto& client : clients)
        dispatcher->RegisterClient(client.get(), nullptr, 0xFFFF);
    ASSERT_EQ(dispatcher->rowCount, CCiDispatcher::kMaxRows);
    EnableDelivery();
    for (uint32_t m = 0; m < 3; m++)
        clients[m]->PostMessage(m);
    dispatcher->RunPass();
    ASSERT_EQ(g_deliveries.size(), 3 * kClients);
    for (uint32_t i = 0; i < g_deliveries.size(); i++) {
        EXPECT_EQ(g_deliveries[i].receiver, clients[i % kClients].get());
        EXPECT_EQ(g_deliveries[i].code, i / kClients);
    }
}

TEST_F(CiDispatcher, SenderAndTypeFiltersSelectReceivers)
{
    const uint32_t kDoorType = 0x00020007;   // sub-type 2 of type 7: the whole word counts
    RecordingClient door(kDoorType), lamp(0x0007), bySender, byType, byOtherType, anyone;
    dispatcher->rowCount = 0;   // start over with rows in a known order
    dispatcher->RegisterClient(&anyone, nullptr, 0xFFFF);
    dispatcher->RegisterClient(&bySender, &lamp, 0xFFFF);
    dispatcher->RegisterClient(&byType, nullptr, kDoorType);
    dispatcher->RegisterClient(&byOtherType, nullptr, 0x0007);
    EnableDelivery();

    door.PostMessage(1);
    lamp.PostMessage(2);
    dispatcher->RunPass();
    EXPECT_EQ(g_deliveries, (std::vector<Delivery>{
                                { &anyone, &door, 1 }, { &byType, &door, 1 },
                                { &anyone, &lamp, 2 }, { &bySender, &lamp, 2 }, { &byOtherType, &lamp, 2 } }));
}

TEST_F(CiDispatcher, MessagePostedByAHandlerWaitsForTheNextPass)
{
    RecordingClient a, b;
    b.onMessage = [&](CCiMessageClient*, uint32_t code) {
        if (code == 1)
            b.PostMessage(2);
    };
    EnableDelivery();
    a.PostMessage(1);
    dispatcher->RunPass();
    EXPECT_EQ(g_deliveries, (std::vector<Delivery>{ { &a, &a, 1 }, { &b, &a, 1 } }));
    g_deliveries.clear();
    dispatcher->RunPass();
    EXPECT_EQ(g_deliveries, (std::vector<Delivery>{ { &a, &b, 2 }, { &b, &b, 2 } }));
}

TEST_F(CiDispatcher, HandlerDestroyingTheSenderStopsThatMessageOnly)
{
    auto sender = std::make_unique<RecordingClient>();
    RecordingClient killer, bystander, other;
    killer.onMessage = [&](CCiMessageClient* from, uint32_t) {
        if (from == sender.get())
            sender.reset();
    };
    EnableDelivery();
    const CCiMessageClient* senderAddress = sender.get();
    sender->PostMessage(1);
    sender->PostMessage(2);
    other.PostMessage(3);
    dispatcher->RunPass();
    // Rows after the sender's destruction: killer, bystander, other (the
    // sender's row was refilled from the end).
    EXPECT_EQ(g_deliveries, (std::vector<Delivery>{
                                { senderAddress, senderAddress, 1 }, { &killer, senderAddress, 1 },
                                { &other, &other, 3 }, { &killer, &other, 3 }, { &bystander, &other, 3 } }));
    EXPECT_EQ(dispatcher->queues[dispatcher->current].head, nullptr);
    EXPECT_EQ(dispatcher->queues[dispatcher->current].used, 0u);
}

TEST_F(CiDispatcher, ClientsThatMoveOrJoinDuringAPassStillReceiveTheMessage)
{
    // Each client says who it is, since one of them takes over the address
    // of a destroyed one: allocators reuse freed memory at once.
    std::vector<std::string> receivers;
    auto tagged = [&](RecordingClient& client, const char* name) {
        client.onMessage = [&receivers, name](CCiMessageClient*, uint32_t) { receivers.push_back(name); };
    };
    alignas(RecordingClient) unsigned char storage[sizeof(RecordingClient)];
    RecordingClient a;
    RecordingClient* doomed = new (storage) RecordingClient;
    RecordingClient b, last;
    RecordingClient* joined = nullptr;
    tagged(a, "a");
    tagged(*doomed, "doomed");
    tagged(last, "last");
    // b's handler destroys doomed (row 1, already served), so last moves into
    // row 1, behind the scan; then a new client registers at the end, built
    // where doomed was.
    b.onMessage = [&](CCiMessageClient*, uint32_t) {
        receivers.push_back("b");
        if (joined)
            return;
        doomed->~RecordingClient();
        joined = new (storage) RecordingClient;
        tagged(*joined, "joined");
    };
    EnableDelivery();
    a.PostMessage(5);
    dispatcher->RunPass();
    ASSERT_NE(joined, nullptr);
    std::sort(receivers.begin(), receivers.end());
    EXPECT_EQ(receivers, (std::vector<std::string>{ "a", "b", "doomed", "joined", "last" }));
    joined->~RecordingClient();
}

TEST_F(CiDispatcher, AServedClientWhoseRowsChangeDuringThePassIsNotCalledAgain)
{
    RecordingClient poster, listener, changer;
    // changer, served after listener, gives listener new rows that match the
    // message being delivered.
    changer.onMessage = [&](CCiMessageClient*, uint32_t) {
        dispatcher->UnregisterClient(&listener);
        dispatcher->RegisterClient(&listener, &poster, 0xFFFF);
    };
    EnableDelivery();
    poster.PostMessage(1);
    dispatcher->RunPass();
    EXPECT_EQ(std::count_if(g_deliveries.begin(), g_deliveries.end(),
                            [&](const Delivery& d) { return d.receiver == &listener; }),
              1);
}

TEST_F(CiDispatcher, SwitchingDeliveryOffInAHandlerSilencesTheRestOfThePass)
{
    RecordingClient changer, other;
    changer.onMessage = [&](CCiMessageClient*, uint32_t code) {
        if (code == 1)
            dispatcher->deliveryEnabled = 0;   // as a location change does
    };
    EnableDelivery();
    changer.PostMessage(1);
    changer.PostMessage(2);
    dispatcher->RunPass();
    EXPECT_EQ(g_deliveries, (std::vector<Delivery>{ { &changer, &changer, 1 } }));
    EXPECT_EQ(dispatcher->queues[dispatcher->current].head, nullptr);
    EXPECT_EQ(dispatcher->deliveryEnabled, 1);
}

TEST_F(CiDispatcher, RunPassInsideAHandlerDoesNothing)
{
    RecordingClient a;
    a.onMessage = [&](CCiMessageClient*, uint32_t code) {
        if (code == 1) {
            a.PostMessage(2);
            dispatcher->RunPass();
        }
    };
    EnableDelivery();
    const uint32_t currentBefore = dispatcher->current;
    a.PostMessage(1);
    dispatcher->RunPass();
    EXPECT_EQ(g_deliveries.size(), 1u);
    EXPECT_EQ(dispatcher->current, currentBefore ^ 1);
    EXPECT_EQ(PendingCount(), 1u);
}

TEST_F(CiDispatcher, UnregisteringFillsHolesFromTheEnd)
{
    RecordingClient a, b, c;
    dispatcher->UnregisterClient(&a);
    ASSERT_EQ(dispatcher->rowCount, 2u);
    EXPECT_EQ(dispatcher->rows[0].client, &c);
    EXPECT_EQ(dispatcher->rows[1].client, &b);

    // Every row of a client goes, including a run of them at the end.
    dispatcher->RegisterClient(&b, &c, 0xFFFF);
    dispatcher->RegisterClient(&b, nullptr, 7);
    dispatcher->UnregisterClient(&b);
    ASSERT_EQ(dispatcher->rowCount, 1u);
    EXPECT_EQ(dispatcher->rows[0].client, &c);
    EXPECT_EQ(dispatcher->rows[0].codeFilter, 0xFFFFFFFFu);
}

TEST_F(CiDispatcher, RowTableHoldsAtMost2048Rows)
{
    RecordingClient a;
    for (uint32_t i = 1; i < CCiDispatcher::kMaxRows + 5; i++)
        dispatcher->RegisterClient(&a, nullptr, 0xFFFF);
    EXPECT_EQ(dispatcher->rowCount, CCiDispatcher::kMaxRows);
    RecordingClient late;
    EXPECT_FALSE(dispatcher->HoldsRow(&late));
}

TEST_F(CiDispatcher, DestructionPurgesOnlyTheClientsOwnMessages)
{
    RecordingClient receiver, stays;
    auto leaving = std::make_unique<RecordingClient>();
    EnableDelivery();
    leaving->PostMessage(1);
    stays.PostMessage(2);
    leaving->PostMessage(3);
    leaving.reset();
    EXPECT_EQ(PendingCount(), 3u);   // slots are reused only once the queue is empty
    dispatcher->RunPass();
    EXPECT_EQ(g_deliveries, (std::vector<Delivery>{ { &receiver, &stays, 2 }, { &stays, &stays, 2 } }));

    // Unregistering alone keeps the client's own messages for the others.
    g_deliveries.clear();
    stays.PostMessage(4);
    dispatcher->UnregisterClient(&stays);
    dispatcher->RunPass();
    EXPECT_EQ(g_deliveries, (std::vector<Delivery>{ { &receiver, &stays, 4 } }));

    // Purging the only message empties the queue and frees its slots.
    receiver.PostMessage(5);
    dispatcher->PurgeClient(&receiver);
    EXPECT_EQ(dispatcher->queues[dispatcher->PendingQueue()].head, nullptr);
    EXPECT_EQ(PendingCount(), 0u);
}

TEST_F(CiDispatcher, CollectForReturnsUpTo64CodesAndSignalsOverflow)
{
    RecordingClient device, other;
    EnableDelivery();
    for (uint32_t i = 0; i < 70; i++) {
        device.PostMessage(0x50000 + i);
        other.PostMessage(i);
    }
    uint32_t codes[CCiDispatcher::kMaxCollected];
    EXPECT_EQ(dispatcher->CollectFor(&device, codes), 65u);
    for (uint32_t i = 0; i < 64; i++)
        EXPECT_EQ(codes[i], 0x50000 + i);

    dispatcher->RunPass();
    EXPECT_EQ(dispatcher->CollectFor(&device, codes), 0u);
    device.PostMessage(7);
    other.PostMessage(8);
    device.PostMessage(9);
    EXPECT_EQ(dispatcher->CollectFor(&device, codes), 2u);
    EXPECT_EQ(codes[0], 7u);
    EXPECT_EQ(codes[1], 9u);
}

TEST_F(CiDispatcher, SendDirectNeedsDeliveryAndARow)
{
    RecordingClient target, sender;
    dispatcher->SendDirect(&target, &sender);
    EXPECT_TRUE(g_deliveries.empty());

    EnableDelivery();
    dispatcher->SendDirect(&target, &sender);
    EXPECT_EQ(g_deliveries, (std::vector<Delivery>{ { &target, &sender, 1 } }));

    dispatcher->UnregisterClient(&target);
    dispatcher->SendDirect(&target, &sender);
    EXPECT_EQ(g_deliveries.size(), 1u);
}

TEST_F(CiDispatcher, FullQueueRefusesPostsInsteadOfOverflowing)
{
    RecordingClient poster;
    int received = 0;
    poster.onMessage = [&](CCiMessageClient*, uint32_t) { received++; };
    EnableDelivery();
    for (uint32_t i = 0; i < CCiMessageQueue::kSlotCount + 10; i++)
        poster.PostMessage(i);
    EXPECT_EQ(PendingCount(), CCiMessageQueue::kSlotCount);
    EXPECT_EQ(GeLogLastLevel(), 1);
    EXPECT_NE(std::string(GeLogLastMessage().c_str()).find("queue full"), std::string::npos);

    dispatcher->RunPass();
    EXPECT_EQ(received, (int)CCiMessageQueue::kSlotCount);
    poster.PostMessage(1);
    EXPECT_EQ(PendingCount(), 1u);
}

// Random frames of posting, registering, unregistering, destroying and
// switching delivery off, against a plain model of the rules: rows in table
// order, holes filled from the end, each client once per message, messages in
// posting order, a destroyed sender's messages gone.
TEST_F(CiDispatcher, RandomFramesFollowAPlainModelOfTheRules)
{
    struct ModelRow {
        int client, senderFilter;   // client slots; -1: any sender
        uint32_t typeFilter;
    };
    struct ModelMessage {
        int sender;
        uint32_t code;
    };
    std::mt19937 random(21);
    const int kSlots = 12;
    const uint32_t kTypes[] = { 0xFFFF, 7, 8 };
    std::vector<std::unique_ptr<RecordingClient>> clients(kSlots);
    std::vector<ModelRow> rows;
    std::vector<ModelMessage> pending;
    bool deliveryOn = false;

    auto slotOf = [&](const CCiMessageClient* client) {
        for (int i = 0; i < kSlots; i++) {
            if (clients[i].get() == client)
                return i;
        }
        return -1;
    };
    auto unregister = [&](int slot) {
        for (size_t i = 0; i < rows.size(); i++) {
            while (i < rows.size() && rows[i].client == slot) {
                rows[i] = rows.back();
                rows.pop_back();
            }
        }
    };

    for (int step = 0; step < 20000; step++) {
        const int slot = int(random() % kSlots);
        switch (random() % 8) {
        case 0:   // a client comes or goes (not while a row names it as sender)
            if (clients[slot]) {
                if (std::any_of(rows.begin(), rows.end(), [&](const ModelRow& r) { return r.senderFilter == slot; }))
                    break;
                clients[slot].reset();
                unregister(slot);
                pending.erase(std::remove_if(pending.begin(), pending.end(),
                                             [&](const ModelMessage& m) { return m.sender == slot; }),
                              pending.end());
            } else {
                clients[slot].reset(new RecordingClient(kTypes[random() % 3]));
                rows.push_back({ slot, -1, 0xFFFF });
            }
            break;
        case 1: {   // an extra row with a sender or a type filter
            const int sender = int(random() % kSlots);
            if (clients[slot] && clients[sender] && rows.size() < CCiDispatcher::kMaxRows) {
                const bool bySender = random() % 2;
                const uint32_t type = kTypes[random() % 3];
                dispatcher->RegisterClient(clients[slot].get(), bySender ? clients[sender].get() : nullptr, type);
                rows.push_back({ slot, bySender ? sender : -1, type });
            }
            break;
        }
        case 2:
            if (clients[slot]) {
                dispatcher->UnregisterClient(clients[slot].get());
                unregister(slot);
            }
            break;
        case 3:
        case 4:
        case 5:
            if (clients[slot]) {
                const uint32_t code = random() % 100;
                clients[slot]->PostMessage(code);
                pending.push_back({ slot, code });
            }
            break;
        case 6:
            if (random() % 4 == 0) {
                dispatcher->deliveryEnabled = 0;
                deliveryOn = false;
            }
            break;
        case 7: {
            std::vector<Delivery> expected;
            for (const ModelMessage& m : deliveryOn ? pending : std::vector<ModelMessage>()) {
                std::vector<int> served;
                for (const ModelRow& row : rows) {
                    if (std::find(served.begin(), served.end(), row.client) != served.end())
                        continue;
                    const bool matches = row.senderFilter >= 0
                                             ? row.senderFilter == m.sender
                                             : row.typeFilter == 0xFFFF ||
                                                   row.typeFilter == clients[m.sender]->GetTypeId();
                    if (matches) {
                        expected.push_back({ clients[row.client].get(), clients[m.sender].get(), m.code });
                        served.push_back(row.client);
                    }
                }
            }
            g_deliveries.clear();
            dispatcher->RunPass();
            ASSERT_EQ(g_deliveries, expected) << "step " << step;
            pending.clear();
            deliveryOn = true;
            break;
        }
        }
        ASSERT_EQ(dispatcher->rowCount, rows.size());
        for (size_t i = 0; i < rows.size(); i++)
            ASSERT_EQ(slotOf(dispatcher->rows[i].client), rows[i].client) << "row " << i;
    }
}

// Handlers that destroy and create clients (the message's sender among them),
// unregister, post and switch delivery off, at random. Under the sanitizers
// this shows any call into a destroyed client; besides, no client hears one
// message twice and no pending message names a destroyed sender.
TEST_F(CiDispatcher, RandomHandlersThatChangeTheClientsKeepThePassSafe)
{
    struct Heard {
        uint32_t client, code;   // each client and each posted code is unique
        bool operator<(const Heard& other) const
        {
            return client != other.client ? client < other.client : code < other.code;
        }
    };
    class SerialClient : public CCiMessageClient {
    public:
        SerialClient(uint32_t serial, uint32_t type, std::function<void()> action, std::vector<Heard>& heard)
            : serial(serial), action(std::move(action)), heard(heard)
        {
            SetTypeId(type);
        }
        void HandleMessage(CCiMessageClient*, uint32_t code) override
        {
            heard.push_back({ serial, code });
            action();
        }
        const uint32_t serial;
        std::function<void()> action;
        std::vector<Heard>& heard;
    };

    std::mt19937 random(33);
    const int kSlots = 16;
    std::vector<std::unique_ptr<SerialClient>> clients(kSlots);
    std::vector<Heard> heard;
    uint32_t serials = 0, codes = 0;
    std::function<void()> act;

    auto create = [&](int slot) {
        clients[slot].reset(new SerialClient(serials++, random() % 2 ? 0xFFFFu : 5u, act, heard));
        if (random() % 3 == 0)
            dispatcher->RegisterClient(clients[slot].get(), nullptr, 5);
    };
    act = [&] {
        const int slot = int(random() % kSlots);
        switch (random() % 6) {
        case 0: clients[slot].reset(); break;
        case 1: if (!clients[slot]) create(slot); break;
        case 2:
            // Unregistered, and perhaps given a fresh row at the end.
            if (clients[slot]) {
                dispatcher->UnregisterClient(clients[slot].get());
                if (random() % 2)
                    dispatcher->RegisterClient(clients[slot].get(), nullptr, 0xFFFF);
            }
            break;
        case 3: if (clients[slot]) clients[slot]->PostMessage(codes++); break;
        case 4: if (random() % 20 == 0) dispatcher->deliveryEnabled = 0; break;
        default: break;
        }
    };
    for (int i = 0; i < kSlots; i++)
        create(i);

    for (int frame = 0; frame < 3000; frame++) {
        for (int posts = int(random() % 6); posts > 0; posts--) {
            const int slot = int(random() % kSlots);
            if (clients[slot])
                clients[slot]->PostMessage(codes++);
            else
                create(slot);
        }
        heard.clear();
        dispatcher->RunPass();

        std::sort(heard.begin(), heard.end());
        for (size_t i = 1; i < heard.size(); i++) {
            ASSERT_TRUE(heard[i - 1] < heard[i])
                << "client " << heard[i].client << " heard message " << heard[i].code << " twice";
        }
        for (const CCiMessageQueue& queue : dispatcher->queues) {
            const CCiMessage* m = queue.head;
            for (bool first = true; m && (first || m != queue.head); first = false, m = m->next) {
                ASSERT_TRUE(std::any_of(clients.begin(), clients.end(),
                                        [m](const std::unique_ptr<SerialClient>& c) { return c.get() == m->sender; }))
                    << "a pending message names a destroyed sender";
            }
        }
    }
    for (auto& client : clients)
        client.reset();
    EXPECT_EQ(dispatcher->rowCount, 0u);
}

TEST(CiMessageClient, WithoutADispatcherIsInert)
{
    g_dispatcher = nullptr;
    RecordingClient lonely;
    EXPECT_EQ(lonely.dispatcher, nullptr);
    lonely.PostMessage(1);   // nothing to post into, nothing breaks
    EXPECT_EQ(lonely.GetTypeId(), 0xFFFFu);
}

} // namespace
