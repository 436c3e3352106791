// Shared by the hierarchy tests: the game-sync fixture's engine parts (object index, transitions,
// game parameters, registry, states, switches) plus a bank manager whose media preparations are
// recorded, the banks parsed by a test (released at the end), and the tests' own nodes standing in
// for parents and buses. Banks are written by tools/bank_writer.py from JSON descriptions.
#pragma once

#include "SDK/source/SoundEngine/ZkAudiolib/Common/GameSyncs/GameSyncFixture.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Hierarchy/HierarchyTestNodes.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/SoundFixtures.h"

#include "ZkAudiolib/Common/Banks/BankItemKinds.h"
#include "ZkAudiolib/Common/Banks/BankManager.h"
#include "ZkAudiolib/Common/FrontEnd/BankIdentification.h"
#include "ZkAudiolib/Common/Hierarchy/CZkSoundNode.h"
#include "ZkAudiolib/Common/Hierarchy/ZkMediaRef.h"

#include <string>
#include <vector>

namespace ZkHierarchyTest
{
using ZkSoundFixtures::Bytes;

// Media preparations reach the bank manager, which records them and answers as told.
class PreparingBankManager final : public BankManager
{
public:
    ZKRESULT SetMediaEntry(const ZkMediaRef& media) override
    {
        prepared.push_back(media.mediaID);
        return prepared.size() <= successesBeforeResult ? ZK_Success : prepareResult;
    }
    void ReleaseMediaEntry(ZkUniqueID mediaID) override { released.push_back(mediaID); }
    std::vector<ZkUniqueID> prepared;
    std::vector<ZkUniqueID> released;
    ZKRESULT prepareResult = ZK_Success;
    // The first entries succeed whatever prepareResult says.
    size_t successesBeforeResult = 0;
};

class HierarchyTest : public ZkGameSyncTest::GameSyncTest
{
protected:
    void SetUp() override
    {
        ZkGameSyncTest::GameSyncTest::SetUp();
        ASSERT_EQ(m_bankManager.Init(), ZK_Success);
        g_pBankManager = &m_bankManager;
    }
    void TearDown() override
    {
        ReleaseBanks();
        for (TestNode* node : m_nodes)
            node->Release();
        m_nodes.clear();
        BankItemKinds::RestoreBuiltIn();
        FreeBankIdentification();
        g_pBankManager = nullptr;
        m_bankManager.Term();
        ZkGameSyncTest::GameSyncTest::TearDown();
    }

    void ReleaseBanks()
    {
        for (LoadedBank* bank : m_loaded)
        {
            m_bankManager.ReleaseBankMedia(*bank);
            bank->ReleaseItemList();
            bank->Destroy();
        }
        m_loaded.clear();
    }

    // A node of the tests in its table; the fixture releases its creator's reference at the end.
    TestNode* AddNode(ZkUniqueID id, ZkNodeCategory category = ZkNodeCategory_Group, bool isBus = false)
    {
        TestNode* node = TestNode::CreateIndexed(id, category, isBus);
        EXPECT_NE(node, nullptr);
        if (node != nullptr)
            m_nodes.push_back(node);
        return node;
    }

    // Parses a bank from memory (a copy); the record is released at the end.
    ZKRESULT Parse(const Bytes& bytes)
    {
        BankRequest request;
        request.bankID = ++m_bankID;
        request.sourceKind = ZkBankSourceMemoryCopy;
        request.data.bank.memory = bytes.data();
        request.data.bank.memorySize = static_cast<uint32_t>(bytes.size());
        LoadedBank* bank = nullptr;
        const ZKRESULT result = m_bankManager.ParseBank(request, bank, ZkBankParseLoad, false, false);
        if (bank != nullptr)
            m_loaded.push_back(bank);
        return result;
    }

    // A bank holding these "HIRC" items (JSON objects, comma-separated).
    static Bytes BankOfItems(const std::string& items)
    {
        return ZkSoundFixtures::WriteBank(R"({"name": "Test.bnk", "chunks": [{"tag": "BKHD"}, {"tag": "HIRC", "items": [)" +
                                          items + "]}]}");
    }

    // A sound item of id 200 with media 100 (no bank media: size 0 unless given) and these keys.
    static std::string Sound(const std::string& keys, ZkUniqueID id = 200)
    {
        return R"({"type": "sound", "id": )" + std::to_string(id) + R"(, "media": 100, "media_size": 0)" +
               (keys.empty() ? "" : ", " + keys) + "}";
    }

    static CZkSoundNode* FindSound(ZkUniqueID id)
    {
        auto* node = static_cast<CZkHierarchyNode*>(g_pObjectIndex->Table(ZkIndexKind::Nodes).Table().Find(id));
        return node != nullptr && node->Category() == ZkNodeCategory_Sound ? static_cast<CZkSoundNode*>(node) : nullptr;
    }

    // The body of every hierarchy item of a bank made by the writer, in file order.
    static std::vector<Bytes> ItemBodies(const Bytes& bank)
    {
        std::vector<Bytes> bodies;
        size_t at = 0;
        while (at + 8 <= bank.size())
        {
            const uint32_t size = ZK::LoadLittleEndian<uint32_t>(bank.data() + at + 4);
            if (std::memcmp(bank.data() + at, "HIRC", 4) == 0)
            {
                size_t item = at + 12;
                const uint32_t count = ZK::LoadLittleEndian<uint32_t>(bank.data() + at + 8);
                for (uint32_t index = 0; index < count; ++index)
                {
                    const uint32_t itemSize = ZK::LoadLittleEndian<uint32_t>(bank.data() + item + 1);
                    bodies.emplace_back(bank.begin() + static_cast<long>(item + 5),
                                        bank.begin() + static_cast<long>(item + 5 + itemSize));
                    item += 5 + itemSize;
                }
            }
            at += 8 + size;
        }
        return bodies;
    }

    PreparingBankManager m_bankManager;
    std::vector<LoadedBank*> m_loaded;
    std::vector<TestNode*> m_nodes;
    ZkBankID m_bankID = 0;
};
} // namespace ZkHierarchyTest
