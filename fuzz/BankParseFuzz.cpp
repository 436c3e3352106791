// The bank parse over arbitrary bytes, read in place from memory: any input ends with a result and
// a record that is released whole; nothing is read outside the input (AddressSanitizer).
//
// The engine has the parts a bank reaches (object index, game-parameter manager, state manager,
// environment curves, a plug-in registry over a folder that does not exist) and item kinds of the
// fuzzer's own for sounds, actions, events, containers and buses (both bus types, which share the
// bus table), so that hierarchy items are created, referenced, read again and released. (The
// engine's own bus reader has an entry of its own, BusBodyFuzz.) A kind's read answers from the body's fifth byte:
// success mostly, sometimes "already complete" or a failure.
#include "support/SoundMemory.h"

#include "ZkAudiolib/Common/Banks/BankItemKinds.h"
#include "ZkAudiolib/Common/Banks/BankManager.h"
#include "ZkAudiolib/Common/Playback/CZkEnvCurves.h"
#include "ZkAudiolib/Common/GameSyncs/CZkStateMgr.h"
#include "ZkAudiolib/Common/Bytes/ZkByteCursor.h"
#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/FrontEnd/BankIdentification.h"
#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"
#include "ZkAudiolib/Common/Parameters/CZkRTPCMgr.h"
#include "ZkAudiolib/Common/GameSyncs/CZkSwitchMgr.h"
#include "ZkAudiolib/Common/Plugins/PluginRegistry.h"

#include <cstddef>
#include <cstdint>
#include <vector>

using kp::fuzz::Check;

namespace
{
using namespace ZK::SoundEngine;

constexpr uint8_t kBusType18 = 18;

class FuzzItem final : public CZkIndexedObject
{
public:
    FuzzItem(ZkIndexTable& table, ZkUniqueID id) : CZkIndexedObject(id), m_table(table) {}
    uint32_t AddRef() override { return m_table.AddRef(this); }
    uint32_t Release() override { return m_table.Release(this); }
    void Destroy() override;

    uint8_t flags = 0;
    ZkUniqueID parent = 0;
    uint32_t device = IZkBankBusKind::kNoDevice;

private:
    ZkIndexTable& m_table;
};

class FuzzKind final : public IZkBankItemKind
{
public:
    FuzzKind(ZkIndexKind table, bool readsAgain, bool indexesAfterRead)
        : m_table(table), m_readsAgain(readsAgain), m_indexesAfterRead(indexesAfterRead)
    {
    }
    ZkIndexKind Table() const override { return m_table; }
    CZkIndexedObject* Create(const uint8_t* body, uint32_t size) override
    {
        if (size >= 6 && ZK::LoadLittleEndian<uint16_t>(body + 4) == 0xFFFF)
            return nullptr; // a kind the factory does not know
        ZkIndexTable& table = g_pObjectIndex->Table(m_table);
        auto* item = ZK::ZkNew<FuzzItem>(ZkMemID_BankObjects, table, ZK::LoadLittleEndian<uint32_t>(body));
        if (item != nullptr && !m_indexesAfterRead && table.Insert(item) != ZK_Success)
        {
            ZK::ZkDelete(ZkMemID_BankObjects, item);
            return nullptr;
        }
        return item;
    }
    ZKRESULT Read(CZkIndexedObject* object, const uint8_t* body, uint32_t size, LoadedBank&, bool) override
    {
        auto* item = static_cast<FuzzItem*>(object);
        const uint8_t answer = size > 4 ? body[4] : 0;
        item->flags = answer;
        if (size >= 9)
            item->parent = ZK::LoadLittleEndian<uint32_t>(body + 5);
        if (size >= 13)
            item->device = ZK::LoadLittleEndian<uint32_t>(body + 9);
        switch (answer % 16)
        {
        case 14: return ZK_AlreadyExists;
        case 15: return ZK_InvalidFile;
        default: return ZK_Success;
        }
    }
    bool ReadsAgain(CZkIndexedObject* object) override
    {
        return m_readsAgain && (static_cast<FuzzItem*>(object)->flags & 0x20) == 0;
    }
    bool IndexesAfterRead() const override { return m_indexesAfterRead; }
    ZKRESULT AddToIndex(CZkIndexedObject* object) override { return g_pObjectIndex->Table(m_table).Insert(object); }

private:
    ZkIndexKind m_table;
    bool m_readsAgain;
    bool m_indexesAfterRead;
};

class FuzzBusKind final : public IZkBankBusKind
{
public:
    ZkIndexKind Table() const override { return ZkIndexKind::Buses; }
    CZkIndexedObject* Create(const uint8_t* body, uint32_t size) override { return m_items.Create(body, size); }
    ZKRESULT Read(CZkIndexedObject* object, const uint8_t* body, uint32_t size, LoadedBank& bank, bool present) override
    {
        const ZKRESULT result = m_items.Read(object, body, size, bank, present);
        if (result == ZK_Success && IsTopLevel(object))
            AddTopLevelBus(object);
        return result;
    }
    CZkIndexedObject* FirstTopLevelBus() override { return topLevel.empty() ? nullptr : topLevel.front(); }
    bool IsTopLevel(CZkIndexedObject* bus) override { return static_cast<FuzzItem*>(bus)->parent == 0; }
    ZKRESULT AddTopLevelBus(CZkIndexedObject* bus) override
    {
        for (CZkIndexedObject* present : topLevel)
        {
            if (present == bus)
                return ZK_Success;
        }
        topLevel.push_back(bus);
        return ZK_Success;
    }
    uint32_t ResolveDeviceID(CZkIndexedObject* bus) override { return static_cast<FuzzItem*>(bus)->device; }
    void SetDeviceID(CZkIndexedObject* bus, uint32_t device) override { static_cast<FuzzItem*>(bus)->device = device; }

    std::vector<CZkIndexedObject*> topLevel; // buses leave it when destroyed

private:
    FuzzKind m_items{ZkIndexKind::Buses, false, false};
};

struct Engine
{
    ObjectIndex index;
    CZkRTPCMgr rtpc;
    CZkStateMgr states;
    CZkSwitchMgr switches;
    CZkEnvCurves curves;
    BankManager banks;
    FuzzKind sounds{ZkIndexKind::Nodes, true, false};
    FuzzKind actions{ZkIndexKind::Actions, true, false};
    FuzzKind events{ZkIndexKind::Events, false, true};
    FuzzKind containers{ZkIndexKind::Nodes, false, false};
    FuzzBusKind buses;
    FuzzKind buses18{ZkIndexKind::Buses, false, false};
};

Engine* g_engine = nullptr;

void FuzzItem::Destroy()
{
    if (g_engine != nullptr)
        std::erase(g_engine->buses.topLevel, this);
    ZK::ZkDelete(ZkMemID_BankObjects, this);
}

// The engine lives for the whole run.
void StartEngine()
{
    if (g_engine != nullptr)
        return;
    kp::fuzz::StartSoundMemory();
    kp::fuzz::MakeForTheWholeRun([] {
        static Engine engine;
        g_engine = &engine;
        Check(engine.index.InitTables() && engine.rtpc.Init() == ZK_Success && engine.states.Init() == ZK_Success &&
              engine.switches.Init() == ZK_Success && engine.banks.Init() == ZK_Success);
        g_pObjectIndex = &engine.index;
        g_pRTPCMgr = &engine.rtpc;
        g_pStateMgr = &engine.states;
        g_pSwitchMgr = &engine.switches;
        g_pEnvCurves = &engine.curves;
        g_pBankManager = &engine.banks;
        PluginRegistry::Init(L"/nonexistent-plugin-folder");
        BankItemKinds::Set(BankItemType::Sound, &engine.sounds);
        BankItemKinds::Set(BankItemType::Action, &engine.actions);
        BankItemKinds::Set(BankItemType::Event, &engine.events);
        BankItemKinds::Set(5, &engine.containers);
        BankItemKinds::Set(7, &engine.containers); // group nodes: the same stand-in as playlists
        BankItemKinds::Set(BankItemType::Bus, &engine.buses);
        BankItemKinds::Set(kBusType18, &engine.buses18);
    });
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    StartEngine();
    // A copy of exactly the input's bytes, so that a read past it is seen.
    std::vector<uint8_t> bytes(data, data + size);
    BankRequest request;
    request.bankID = 1;
    request.sourceKind = size % 2 == 0 ? ZkBankSourceMemoryView : ZkBankSourceMemoryCopy;
    request.data.bank.memory = bytes.data() != nullptr ? bytes.data() : reinterpret_cast<const uint8_t*>("");
    request.data.bank.memorySize = static_cast<uint32_t>(size);
    LoadedBank* bank = nullptr;
    const ZKRESULT result = g_engine->banks.ParseBank(request, bank, ZkBankParseLoad, false, false);
    Check(result != ZK_Success || bank != nullptr);
    if (bank != nullptr)
    {
        Check(bank->itemCount <= bank->itemCapacity && bank->entryCount * sizeof(ZkMediaEntry) <= size);
        g_engine->banks.ReleaseBankMedia(*bank);
        bank->ReleaseItemList();
        bank->Destroy();
    }
    // Every object went with its bank; the settings records of "STMG" go as at termination.
    g_engine->index.ReleaseGroupEntries();
    for (uint32_t table = 0; table < kIndexTableCount; ++table)
        Check(g_engine->index.Table(static_cast<ZkIndexKind>(table)).Length() == 0);
    FreeBankIdentification();
    return 0;
}
