// Events (bank item type 4): their bodies read within their size, the action list in order, the
// results of the bad bodies (7 cut, 14 an action id 0, 2 an action not loaded, keeping the actions
// before it), the release of every action with the event, the event table's growth, and the play
// targets an event names.
#include "EventsFixture.h"

#include "ZkAudiolib/Common/Containers/ZkVarUint.h"

namespace
{
using namespace ZkEventsTest;

class EventObject : public EventsTest
{
protected:
    // An event body: the id, the count as given (varint), the ids.
    static Bytes Body(ZkUniqueID id, uint32_t count, const std::vector<ZkUniqueID>& actions)
    {
        Bytes body(4);
        std::memcpy(body.data(), &id, 4);
        uint8_t varint[5];
        body.insert(body.end(), varint, varint + ZK::WriteVarUint(count, varint));
        for (ZkUniqueID action : actions)
        {
            const size_t at = body.size();
            body.resize(at + 4);
            std::memcpy(body.data() + at, &action, 4);
        }
        return body;
    }
    static std::vector<ZkUniqueID> ListedIDs(const CZkEventObject& event)
    {
        std::vector<ZkUniqueID> ids;
        for (const CZkEventAction* action = event.FirstAction(); action != nullptr; action = action->pNextAction)
            ids.push_back(action->ID());
        return ids;
    }
    static std::string Stops(ZkUniqueID first, uint32_t count)
    {
        std::string items;
        for (uint32_t index = 0; index < count; ++index)
            items += R"({"type": "action", "id": )" + std::to_string(first + index) + R"(, "action": "stop", "target": 200}, )";
        return items;
    }
};

TEST_F(EventObject, BodiesFromTheBankWriter)
{
    std::string ids;
    for (ZkUniqueID id = 300; id < 500; ++id)
        ids += (id == 300 ? "" : ", ") + std::to_string(id);
    const Bytes bank = BankOfItems(Stops(300, 200) + R"({"type": "event", "id": 40, "actions": []}, )" +
                                   R"({"type": "event", "id": 41, "actions": [)" + ids + "]}");
    const std::vector<Bytes> bodies = ItemBodies(bank);
    ASSERT_EQ(bodies.size(), 202u);
    EXPECT_EQ(bodies[201][4], 0x81) << "200 actions are counted in two bytes";
    EXPECT_EQ(bodies[201][5], 0x48);
    ASSERT_EQ(Parse(bank), ZK_Success);

    const CZkEventObject* empty = FindEvent(40);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->FirstAction(), nullptr) << "a count of 0 makes an event without actions";
    CZkRegisteredObj* object = Register(5);
    Post(40, object);
    EXPECT_EQ(m_events.ActivePendingCount(), 0u) << "posting it schedules nothing";

    const CZkEventObject* many = FindEvent(41);
    ASSERT_NE(many, nullptr);
    const std::vector<ZkUniqueID> listed = ListedIDs(*many);
    ASSERT_EQ(listed.size(), 200u);
    for (size_t index = 0; index < listed.size(); ++index)
        EXPECT_EQ(listed[index], 300 + index) << "in execution order";
    EXPECT_EQ(FindAction(300)->RefCount(), 2u) << "the bank's and the event's";
}

TEST_F(EventObject, BadBodies)
{
    AddRecording(1);
    AddRecording(2);
    AddRecording(3);
    struct Case
    {
        const char* label;
        Bytes body;
        ZKRESULT result;
        std::vector<ZkUniqueID> kept;
    };
    Bytes cutCount = Body(9, 200, {});
    cutCount.pop_back(); // the second byte of the count is missing
    Bytes cutID = Body(9, 2, {1, 2});
    cutID.pop_back();
    const Case cases[] = {
        {"the whole list", Body(9, 3, {1, 2, 3}), ZK_Success, {1, 2, 3}},
        {"a count that runs past the body", cutCount, ZK_InvalidFile, {}},
        {"a count larger than its ids", Body(9, 4, {1, 2, 3}), ZK_InvalidFile, {1, 2, 3}},
        {"an id cut short", cutID, ZK_InvalidFile, {1}},
        {"no count at all", Bytes(4, 0), ZK_InvalidFile, {}},
        {"an action id 0", Body(9, 3, {1, 0, 2}), ZK_InvalidShareSetID, {1}},
        {"an action not loaded", Body(9, 3, {1, 2, 77}), ZK_Fail, {1, 2}},
        {"an action listed twice", Body(9, 3, {1, 2, 1}), ZK_Success, {1, 2}},
    };
    for (const Case& c : cases)
    {
        CZkEventObject* event = CZkEventObject::Create(9);
        ASSERT_NE(event, nullptr);
        // Each body lies in a block of exactly its size: AddressSanitizer sees a read beyond it.
        std::vector<uint8_t> exact(c.body);
        EXPECT_EQ(event->ReadFromBank(exact.data(), static_cast<uint32_t>(exact.size())), c.result) << c.label;
        EXPECT_EQ(ListedIDs(*event), c.kept) << c.label << ": the actions before the failure stay";
        event->Release();
        for (ZkUniqueID id : {1u, 2u, 3u})
            EXPECT_EQ(FindAction(id)->RefCount(), 1u) << c.label << ": the event gave every action back";
    }
}

TEST_F(EventObject, TheLastReleaseReleasesEachActionOnce)
{
    AddRecording(1);
    AddRecording(2);
    CZkEventObject* event = AddEvent(9, {1, 2});
    m_owned.pop_back(); // released by the test
    EXPECT_EQ(FindAction(1)->RefCount(), 2u);
    event->AddRef();
    event->Release();
    EXPECT_EQ(FindAction(1)->RefCount(), 2u) << "not the last reference";
    event->Release();
    EXPECT_EQ(FindEvent(9), nullptr) << "the event left its table";
    EXPECT_EQ(FindAction(1)->RefCount(), 1u);
    EXPECT_EQ(FindAction(2)->RefCount(), 1u);
    EXPECT_FALSE(FindAction(1)->isListed) << "free to be listed by another event";
}

TEST_F(EventObject, TheEventTableGrowsAboveNineTenths)
{
    ZkIndexTable& table = g_pObjectIndex->Table(ZkIndexKind::Events);
    ZkUniqueID id = 1;
    while (table.Length() < 26)
        AddEvent(id++, {});
    EXPECT_EQ(table.BucketCount(), 29u);
    AddEvent(id++, {});
    EXPECT_EQ(table.BucketCount(), 29u) << "26 items in 29 buckets are below 0.9: no growth";
    AddEvent(id++, {});
    EXPECT_EQ(table.BucketCount(), 53u) << "27 items: the next insertion grows the table first";
    for (ZkUniqueID each = 1; each < id; ++each)
        EXPECT_EQ(FindEvent(each)->ID(), each) << "every event is found after the growth";
}

TEST_F(EventObject, PlayTargets)
{
    TestPlayableNode* first = AddPlayable(500);
    TestPlayableNode* second = AddPlayable(501);
    AddRecording(1, 0x0403)->SetTarget(500, false);
    AddRecording(2, 0x0103)->SetTarget(501, false); // not a play
    AddRecording(3, 0x0403)->SetTarget(501, false);
    AddRecording(4, 0x0403)->SetTarget(999, false); // not loaded
    const CZkEventObject* event = AddEvent(9, {1, 2, 3, 4});
    std::vector<CZkHierarchyNode*> visited;
    EXPECT_EQ(event->ForEachPlayTarget([&](CZkHierarchyNode* node) {
        visited.push_back(node);
        EXPECT_EQ(node->RefCount(), 2u) << "held for the call";
    }), ZK_Success);
    EXPECT_EQ(visited, (std::vector<CZkHierarchyNode*>{first, second}));
    EXPECT_EQ(first->RefCount(), 1u);

    uint32_t capacity = 0;
    EXPECT_EQ(event->CollectPlayTargets(capacity, nullptr), ZK_PartialSuccess) << "capacity 0 only counts";
    EXPECT_EQ(capacity, 2u);
    ZkObjectInfo records[2] = {};
    capacity = 1;
    EXPECT_EQ(event->CollectPlayTargets(capacity, records), ZK_Success);
    EXPECT_EQ(capacity, 1u) << "stops at the capacity";
    EXPECT_EQ(records[0].audioNodeID, 500u);
    EXPECT_EQ(records[1].audioNodeID, 0u);

    // A sound's record names its media as its source.
    ASSERT_EQ(Parse(BankOfItems(Sound(""))), ZK_Success);
    AddRecording(5, 0x0403)->SetTarget(200, false);
    capacity = 2;
    EXPECT_EQ(AddEvent(10, {5})->CollectPlayTargets(capacity, records), ZK_Success);
    ASSERT_EQ(capacity, 1u);
    EXPECT_EQ(records[0].audioNodeID, 200u);
    EXPECT_EQ(records[0].sourceID, 100u);
    EXPECT_EQ(records[0].depth, 0u);
}
} // namespace
