// Shared by the bank parse tests: an engine with its object index, game-parameter manager and a
// bank manager whose media registration is recorded; item kinds of the tests' own standing in for
// the engine's bank object classes (which do not exist yet); and the banks themselves, written by
// tools/bank_writer.py from JSON descriptions.
#pragma once

#include "SDK/source/SoundEngine/ZkAudiolib/Common/Containers/EngineMemoryFixture.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/SoundFixtures.h"

#include "ZkAudiolib/Common/Banks/BankItemKinds.h"
#include "ZkAudiolib/Common/Banks/BankManager.h"
#include "ZkAudiolib/Common/Bytes/ZkByteCursor.h"
#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/FrontEnd/BankIdentification.h"
#include "ZkAudiolib/Common/FrontEnd/EngineHooks.h"
#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"
#include "ZkAudiolib/Common/Parameters/CZkRTPCMgr.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace ZkBankTest
{
using namespace ZK::SoundEngine;
using ZkSoundFixtures::Bytes;

// An object of the tests' kinds: it remembers what its reads saw.
class TestItem : public CZkIndexedObject
{
public:
    TestItem(ZkIndexTable& table, ZkUniqueID id) : CZkIndexedObject(id), m_table(table) {}
    uint32_t AddRef() override { return m_table.AddRef(this); }
    uint32_t Release() override { return m_table.Release(this); }
    void Destroy() override { ZK::ZkDelete(ZkMemID_BankObjects, this); }

    uint32_t reads = 0;
    uint32_t rereads = 0;
    std::vector<uint8_t> body;
    uint16_t actionType = 0;
    bool keepsItsData = false; // a sound whose media the game set, an action with flag 0x20
    // Buses.
    ZkUniqueID parentID = 0;
    uint32_t deviceID = IZkBankBusKind::kNoDevice;
    uint32_t resolvedDeviceID = IZkBankBusKind::kNoDevice;

private:
    ZkIndexTable& m_table;
};

// A kind of the tests: creates TestItems in its table and records the reads.
class TestKind : public IZkBankItemKind
{
public:
    explicit TestKind(ZkIndexKind table, bool readsAgain = false) : m_table(table), m_readsAgain(readsAgain) {}
    virtual ~TestKind() = default;

    ZkIndexKind Table() const override { return m_table; }
    CZkIndexedObject* Create(const uint8_t* body, uint32_t size) override
    {
        ++creates;
        if (failCreates)
            return nullptr;
        ZkIndexTable& table = g_pObjectIndex->Table(m_table);
        auto* item = ZK::ZkNew<TestItem>(ZkMemID_BankObjects, table, ZK::LoadLittleEndian<uint32_t>(body));
        if (item == nullptr)
            return nullptr;
        if (size >= 6)
            item->actionType = ZK::LoadLittleEndian<uint16_t>(body + 4);
        if (!IndexesAfterRead() && table.Insert(item) != ZK_Success)
        {
            ZK::ZkDelete(ZkMemID_BankObjects, item);
            return nullptr;
        }
        return item;
    }
    ZKRESULT Read(CZkIndexedObject* object, const uint8_t* body, uint32_t size, LoadedBank&, bool alreadyPresent) override
    {
        auto* item = static_cast<TestItem*>(object);
        item->body.assign(body, body + size);
        ++(alreadyPresent ? item->rereads : item->reads);
        return readResult;
    }
    bool ReadsAgain(CZkIndexedObject* object) override
    {
        return m_readsAgain && !static_cast<TestItem*>(object)->keepsItsData;
    }

    uint32_t creates = 0;
    ZKRESULT readResult = ZK_Success;
    bool failCreates = false;

private:
    ZkIndexKind m_table;
    bool m_readsAgain;
};

// Play actions are read again unless their flag 0x20 is set; other actions never.
class TestActionKind final : public TestKind
{
public:
    TestActionKind() : TestKind(ZkIndexKind::Actions, true) {}
    bool ReadsAgain(CZkIndexedObject* object) override
    {
        return static_cast<TestItem*>(object)->actionType == 0x0403 && TestKind::ReadsAgain(object);
    }
};

// Events go into their table only after a successful read.
class TestEventKind final : public TestKind
{
public:
    TestEventKind() : TestKind(ZkIndexKind::Events) {}
    bool IndexesAfterRead() const override { return true; }
    ZKRESULT AddToIndex(CZkIndexedObject* object) override
    {
        ++indexed;
        return g_pObjectIndex->Table(ZkIndexKind::Events).Insert(object);
    }
    uint32_t indexed = 0;
};

// Buses: parents and devices come from the test (the bus body is another part's business); a
// top-level bus enters the top-level list when read, as real buses do.
class TestBusKind final : public IZkBankBusKind
{
public:
    struct Placement
    {
        ZkUniqueID parent = 0;
        uint32_t device = kNoDevice;
    };

    ZkIndexKind Table() const override { return ZkIndexKind::Buses; }
    CZkIndexedObject* Create(const uint8_t* body, uint32_t size) override { return items.Create(body, size); }
    ZKRESULT Read(CZkIndexedObject* object, const uint8_t* body, uint32_t size, LoadedBank& bank, bool present) override
    {
        const ZKRESULT result = items.Read(object, body, size, bank, present);
        auto* bus = static_cast<TestItem*>(object);
        const Placement placement = placements[bus->ID()];
        bus->parentID = placement.parent;
        bus->deviceID = placement.device;
        if (result == ZK_Success && placement.parent == 0)
            AddTopLevelBus(bus);
        return result;
    }
    CZkIndexedObject* FirstTopLevelBus() override { return topLevel.empty() ? nullptr : topLevel.front(); }
    bool IsTopLevel(CZkIndexedObject* bus) override { return static_cast<TestItem*>(bus)->parentID == 0; }
    ZKRESULT AddTopLevelBus(CZkIndexedObject* bus) override
    {
        for (CZkIndexedObject* present : topLevel)
        {
            if (present == bus)
                return ZK_Success;
        }
        if (refuseTopLevel)
            return ZK_InsufficientMemory;
        topLevel.push_back(bus);
        return ZK_Success;
    }
    uint32_t ResolveDeviceID(CZkIndexedObject* bus) override
    {
        for (auto* item = static_cast<TestItem*>(bus); item != nullptr;)
        {
            if (item->deviceID != kNoDevice)
                return static_cast<TestItem*>(bus)->resolvedDeviceID = item->deviceID;
            CZkIndexedObject* parent = g_pObjectIndex->Table(ZkIndexKind::Buses).Table().Find(item->parentID);
            item = item->parentID != 0 ? static_cast<TestItem*>(parent) : nullptr;
        }
        return kNoDevice;
    }
    void SetDeviceID(CZkIndexedObject* bus, uint32_t device) override
    {
        static_cast<TestItem*>(bus)->deviceID = device;
        ++deviceSets;
    }
    // The buses that left the engine (released by their banks) leave the list.
    void Forget(CZkIndexedObject* bus) { std::erase(topLevel, bus); }

    TestKind items{ZkIndexKind::Buses};
    std::map<ZkUniqueID, Placement> placements;
    std::vector<CZkIndexedObject*> topLevel; // not counted: the test's banks hold the buses
    uint32_t deviceSets = 0;
    bool refuseTopLevel = false;
};

// The bank manager with its media registration recorded.
class RecordingBankManager final : public BankManager
{
public:
    struct Registration
    {
        const uint8_t* data;
        uint32_t dataSize;
        std::vector<ZkMediaEntry> entries;
    };
    ZKRESULT RegisterBankMedia(const uint8_t* data, LoadedBank& bank) override
    {
        Registration registration{data, bank.dataSize, {}};
        for (uint32_t index = 0; index < bank.entryCount; ++index)
            registration.entries.push_back(bank.Entry(index));
        registrations.push_back(registration);
        bank.registeredMedia = bank.entryCount;
        return registrationResult;
    }
    std::vector<Registration> registrations;
    ZKRESULT registrationResult = ZK_Success;
};

// An engine for the parse: object index, game-parameter manager, bank manager, the tests' kinds.
class BankParseTest : public ZkEngineTest::EngineMemoryTest
{
protected:
    void SetUp() override
    {
        EngineMemoryTest::SetUp();
        ZK::MemoryMgr::InitForThread();
        ASSERT_TRUE(m_index.InitTables());
        g_pObjectIndex = &m_index;
        ASSERT_EQ(m_rtpc.Init(), ZK_Success);
        g_pRTPCMgr = &m_rtpc;
        ASSERT_EQ(m_manager.Init(), ZK_Success);
        g_pBankManager = &m_manager;
    }
    void TearDown() override
    {
        for (LoadedBank* bank : m_banks)
        {
            bank->ReleaseItemList();
            bank->Destroy();
        }
        m_banks.clear();
        BankItemKinds::RestoreBuiltIn();
        EngineHooks::SetHierarchyItemHandler(nullptr);
        FreeBankIdentification();
        g_pBankManager = nullptr;
        m_manager.Term();
        g_pRTPCMgr = nullptr;
        m_rtpc.Term();
        g_pObjectIndex = nullptr;
        m_index.FreeTables();
        ZK::MemoryMgr::TermForThread();
        EngineMemoryTest::TearDown();
    }

    // The kinds of sounds, actions, events and buses of the tests.
    void UseTestKinds()
    {
        BankItemKinds::Set(BankItemType::Sound, &m_sounds);
        BankItemKinds::Set(BankItemType::Action, &m_actions);
        BankItemKinds::Set(BankItemType::Event, &m_events);
        BankItemKinds::Set(BankItemType::Bus, &m_buses);
        BankItemKinds::Set(5, &m_containers); // playlists
        BankItemKinds::Set(6, &m_containers); // switch containers: their children are test nodes
        BankItemKinds::Set(7, &m_containers); // groups: a real one would attach itself to a test bus
        BankItemKinds::Set(9, &m_containers); // layered containers: their children are test nodes
    }

    // Parses bank bytes from memory (a copy by default). The record is released at TearDown.
    ZKRESULT ParseMemory(const Bytes& bytes, ZkBankID bankID = 1, uint32_t sourceKind = ZkBankSourceMemoryCopy,
                         LoadedBank** parsed = nullptr)
    {
        BankRequest request;
        request.bankID = bankID;
        request.sourceKind = sourceKind;
        request.data.bank.memory = bytes.data();
        request.data.bank.memorySize = static_cast<uint32_t>(bytes.size());
        LoadedBank* bank = nullptr;
        const ZKRESULT result = m_manager.ParseBank(request, bank, ZkBankParseLoad, false, false);
        if (bank != nullptr && !bank->IsLoaded())
            ADD_FAILURE() << "a load makes a loaded record";
        if (bank != nullptr && std::find(m_banks.begin(), m_banks.end(), bank) == m_banks.end())
            m_banks.push_back(bank);
        if (parsed != nullptr)
            *parsed = bank;
        return result;
    }

    // The object of a table with this id, or null (no reference kept).
    TestItem* Find(ZkIndexKind kind, ZkUniqueID id)
    {
        return static_cast<TestItem*>(m_index.Table(kind).Table().Find(id));
    }

    ObjectIndex m_index;
    CZkRTPCMgr m_rtpc;
    RecordingBankManager m_manager;
    std::vector<LoadedBank*> m_banks;
    TestKind m_sounds{ZkIndexKind::Nodes, true};
    TestActionKind m_actions;
    TestEventKind m_events;
    TestBusKind m_buses;
    TestKind m_containers{ZkIndexKind::Nodes};
};

// A bank description: the chunks given (JSON objects), named "Test.bnk".
inline std::string Bank(const std::string& chunks, const std::string& extra = "")
{
    return R"({"name": "Test.bnk", )" + extra + R"("chunks": [)" + chunks + "]}";
}

inline Bytes WriteBank(const std::string& description)
{
    return ZkSoundFixtures::WriteBank(description);
}
} // namespace ZkBankTest
