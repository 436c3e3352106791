// State objects (item type 1) read from banks written by tools/bank_writer.py: created, read,
// referenced again by a second bank, refused when their body runs past the item, and followed by
// an owner's state-driven properties.
#include "BankTestSupport.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/GameSyncs/GameSyncFixture.h"

#include "ZkAudiolib/Common/GameSyncs/CZkStateMgr.h"
#include "ZkAudiolib/Common/StateProperties/CZkState.h"
#include "ZkAudiolib/Common/StateProperties/CZkStateGroupLink.h"
#include "ZkAudiolib/Common/StateProperties/CZkStateProperties.h"

namespace
{
using namespace ZkBankTest;

std::string StateBank(const std::string& items)
{
    return Bank(R"({"tag": "BKHD"}, {"tag": "HIRC", "items": [)" + items + "]}");
}

CZkState* FindState(ZkUniqueID id)
{
    return static_cast<CZkState*>(g_pObjectIndex->Table(ZkIndexKind::States).Table().Find(id));
}

class BankParseStates : public BankParseTest
{
protected:
    void SetUp() override
    {
        BankParseTest::SetUp();
        ASSERT_EQ(m_states.Init(), ZK_Success);
        g_pStateMgr = &m_states;
    }
    void TearDown() override
    {
        g_pStateMgr = nullptr;
        m_states.Term();
        BankParseTest::TearDown();
    }
    CZkStateMgr m_states;
};

TEST_F(BankParseStates, StateObjectsAreCreatedOnceAndReferencedByLaterBanks)
{
    const Bytes first = WriteBank(StateBank(R"({"type": "state", "id": 5, "values": [[3, -6.0], [11, 0.5]]},
                                                 {"type": "state", "id": 6, "values": {}})"));
    LoadedBank* parsed = nullptr;
    ASSERT_EQ(ParseMemory(first, 1, ZkBankSourceMemoryCopy, &parsed), ZK_Success);
    ASSERT_EQ(parsed->itemCount, 2u);
    CZkState* five = FindState(5);
    ASSERT_NE(five, nullptr);
    EXPECT_EQ(five->RefCount(), 1u) << "the bank's reference";
    ASSERT_EQ(five->Values().Length(), 2u);
    EXPECT_EQ(*five->Values().Find(3), -6.0f);
    EXPECT_EQ(*five->Values().Find(11), 0.5f);
    ASSERT_NE(FindState(6), nullptr);
    EXPECT_EQ(FindState(6)->Values().Length(), 0u);

    // A second bank with the same state only references it: its body is not read again.
    const Bytes second = WriteBank(StateBank(R"({"type": "state", "id": 5, "values": [[3, 9.0]]})"));
    ASSERT_EQ(ParseMemory(second, 2), ZK_Success);
    EXPECT_EQ(five->RefCount(), 2u);
    EXPECT_EQ(*five->Values().Find(3), -6.0f);
}

TEST_F(BankParseStates, StateBodyRunningPastItsItemFailsTheParse)
{
    const Bytes bank = WriteBank(StateBank(R"({"type": "state", "id": 5, "values": [[3, -6.0]], "count": 2})"));
    EXPECT_EQ(ParseMemory(bank), ZK_InvalidFile);
    EXPECT_EQ(FindState(5), nullptr) << "the new object is released";
}

TEST_F(BankParseStates, AnOwnerFollowsTheBanksStateObjects)
{
    const Bytes bank = WriteBank(StateBank(R"({"type": "state", "id": 5, "values": [[3, -6.0]]},
                                               {"type": "state", "id": 6, "values": [[3, -12.0]]})"));
    ASSERT_EQ(ParseMemory(bank), ZK_Success);
    ASSERT_EQ(m_states.AddStateGroup(70), ZK_Success);
    // The state chunk of a node body: property 3 follows group 70, states 1 -> object 5, 2 -> 6.
    const uint8_t chunk[] = {1, 3, 0, 0, 1, 70, 0, 0, 0, 0, 2, 1, 0, 0, 0, 5, 0, 0, 0, 2, 0, 0, 0, 6, 0, 0, 0};
    ZkGameSyncTest::TestStateOwner owner;
    ZK::ZkByteCursor cursor(chunk, sizeof(chunk));
    ASSERT_EQ(owner.ReadStateChunk(cursor), ZK_Success);
    m_states.SetStateInternal(70, 2, true, false);
    const CZkStateGroupLink* link = owner.FindLink(70);
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(link->Values().Find(3)->value, -12.0f);
    EXPECT_EQ(FindState(6)->RefCount(), 2u) << "the bank's and the link's";
}
} // namespace
