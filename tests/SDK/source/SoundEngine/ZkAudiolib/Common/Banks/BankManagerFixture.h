// Shared by the tests of the bank manager, the media index and the bank calls: an engine with its
// object index, game parameters and event manager (whose ring reaches the real message handlers),
// without an engine thread (a waiting caller runs the ticks), the tests' item kinds for the bank
// objects, and a bank manager, plain or threaded, published as the engine's. Banks are written by
// tools/bank_writer.py; completion callbacks are logged.
#pragma once

#include "BankTestSupport.h"

#include "ZkAudiolib/Common/Banks/ThreadedBankManager.h"
#include "ZkAudiolib/Common/FrontEnd/BankIdFromName.h"
#include "ZkAudiolib/Common/FrontEnd/EngineSettings.h"
#include "ZkAudiolib/Common/FrontEnd/EventManager.h"
#include "ZkAudiolib/Common/Hierarchy/ZkMediaRef.h"
#include "ZkAudiolib/Common/Hierarchy/ZkStreamRef.h"

#include <ZK/SoundEngine/Common/ZkBankCalls.h>
#include <ZK/SoundEngine/Common/ZkIdFromName.h>

#include <filesystem>
#include <iomanip>
#include <mutex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace ZkBankManagerTest
{
using namespace ZkBankTest;

// The completion callbacks received, in order, from any thread.
class CallbackLog
{
public:
    struct Call
    {
        ZkBankID id;
        const void* memory;
        ZKRESULT result;
        void* cookie;
    };

    static void Record(ZkBankID id, const void* memory, ZKRESULT result, void* cookie)
    {
        std::lock_guard guard(s_mutex);
        s_calls.push_back({id, memory, result, cookie});
    }
    static std::vector<Call> Calls()
    {
        std::lock_guard guard(s_mutex);
        return s_calls;
    }
    static void Clear()
    {
        std::lock_guard guard(s_mutex);
        s_calls.clear();
    }

private:
    static inline std::mutex s_mutex;
    static inline std::vector<Call> s_calls;
};

// Bytes of a media: size bytes counting up from seed.
inline std::string MediaHex(uint32_t size, uint8_t seed)
{
    std::ostringstream hex;
    for (uint32_t index = 0; index < size; ++index)
        hex << std::hex << std::setw(2) << std::setfill('0') << static_cast<int>(static_cast<uint8_t>(seed + index));
    return hex.str();
}

// A bank of media only ("BKHD", "DIDX", "DATA"), named name, with media {id, size in bytes}.
inline Bytes MediaBank(const std::string& name, const std::vector<std::pair<uint32_t, uint32_t>>& media,
                       uint8_t seed = 1)
{
    std::string list;
    for (const auto& [id, size] : media)
    {
        list += (list.empty() ? "" : ", ") + std::string(R"({"id": )") + std::to_string(id) + R"(, "hex": ")" +
                MediaHex(size, seed) + R"("})";
    }
    return WriteBank(R"({"name": ")" + name + R"(", "media": [)" + list +
                     R"(], "chunks": [{"tag": "BKHD"}, {"tag": "DIDX"}, {"tag": "DATA"}]})");
}

inline Bytes ShippedBank(const char* name)
{
    const std::filesystem::path path = std::filesystem::path(KP_SOURCE_DIR) / "Trindle_Ostrel" / "Banks" / name;
    EXPECT_TRUE(std::filesystem::exists(path)) << path << " is written by the build";
    return ZkSoundFixtures::ReadWholeFile(path);
}

// A source reading a media of the index while it plays, as a voice does: the media and the bank that
// holds its copy stay taken until Stop.
struct ReadingSource
{
    explicit ReadingSource(ZkUniqueID mediaID)
    {
        media.Init();
        media.SetMedia(mediaID);
        started = ZkStreamRef::Acquire(media, data, size, bank);
    }
    void Stop() { ZkStreamRef::Release(media, bank); }

    ZkMediaRef media;
    const uint8_t* data = nullptr;
    uint32_t size = 0;
    LoadedBank* bank = nullptr;
    ZKRESULT started = ZK_Fail;
};

class BankManagerTest : public ZkEngineTest::EngineMemoryTest
{
protected:
    static constexpr uint32_t kRingBytes = 64 * 1024;

    void SetUp() override
    {
        EngineMemoryTest::SetUp();
        ZK::MemoryMgr::InitForThread();
        m_savedSettings = GetEngineSettings();
        GetEngineSettings().engineThread = 0;
        ASSERT_TRUE(m_index.InitTables());
        g_pObjectIndex = &m_index;
        ASSERT_EQ(m_rtpc.Init(), ZK_Success);
        g_pRTPCMgr = &m_rtpc;
        ASSERT_EQ(m_events.Init(kRingBytes), ZK_Success);
        g_pEventMgr = &m_events;
        BankItemKinds::Set(BankItemType::Sound, &m_sounds);
        BankItemKinds::Set(BankItemType::Action, &m_actions);
        BankItemKinds::Set(BankItemType::Event, &m_eventKind);
        BankItemKinds::Set(BankItemType::Bus, &m_buses);
        // Playlists, switch containers, groups and layered containers as test items too: a real
        // container would link the test sounds.
        BankItemKinds::Set(5, &m_containers);
        BankItemKinds::Set(6, &m_containers);
        BankItemKinds::Set(7, &m_containers);
        BankItemKinds::Set(9, &m_containers);
        CallbackLog::Clear();
    }

    void TearDown() override
    {
        if (m_manager != nullptr)
            m_manager->StopThread();
        // Unloads still queued for the engine give their banks back first.
        g_pEventMgr = nullptr;
        m_events.Term();
        if (m_manager != nullptr)
            m_manager->Term();
        g_pBankManager = nullptr;
        m_manager = nullptr;
        BankItemKinds::RestoreBuiltIn();
        FreeBankIdentification();
        g_pRTPCMgr = nullptr;
        m_rtpc.Term();
        g_pObjectIndex = nullptr;
        m_index.FreeTables();
        GetEngineSettings() = m_savedSettings;
        CallbackLog::Clear();
        ZK::MemoryMgr::TermForThread();
        EngineMemoryTest::TearDown();
    }

    // The plain manager (requests run on the caller's thread) or the threaded one, as the engine's.
    void StartManager(bool threaded = false)
    {
        m_manager = threaded ? static_cast<BankManager*>(&m_threaded) : &m_plain;
        ASSERT_EQ(m_manager->Init(), ZK_Success);
        g_pBankManager = m_manager;
    }

    // Loads a copy of the bank synchronously; its id.
    ZkBankID LoadCopy(const Bytes& bank)
    {
        ZkBankID bankID = 0;
        EXPECT_EQ(LoadBankMemoryCopy(bank.data(), static_cast<uint32_t>(bank.size()), bankID), ZK_Success);
        return bankID;
    }

    // Loads a view and a copy, unloads the view synchronously, loads it again and clears the banks.
    // Without the engine thread nobody else ticks the engine: each waiting caller runs the ticks
    // that release the banks, and every call returns.
    void UnloadAndClearWithoutTheEngineThread()
    {
        ASSERT_EQ(GetEngineSettings().engineThread, 0);
        const Bytes view = MediaBank("First.bnk", {{100, 32}});
        const auto viewSize = static_cast<uint32_t>(view.size());
        ZkBankID viewID = 0;
        ASSERT_EQ(LoadBankMemoryView(view.data(), viewSize, viewID), ZK_Success);
        LoadCopy(MediaBank("Second.bnk", {{200, 32}}));
        EXPECT_EQ(UnloadBank(viewID, view.data()), ZK_Success);
        ASSERT_EQ(LoadBankMemoryView(view.data(), viewSize, viewID), ZK_Success);
        EXPECT_EQ(ClearBanks(), ZK_Success);
        EXPECT_EQ(m_manager->BankTable().Length(), 0u);
        EXPECT_EQ(m_manager->Media().Length(), 0u);
        EXPECT_TRUE(m_events.Ring().IsEmpty());
    }

    // What the game's render call and the engine's tick do with the messages queued (message 26).
    void Tick()
    {
        m_events.EndFrame(false);
        m_events.Tick(true);
    }

    // The record of a bank in the bank table, or null.
    LoadedBank* FindBank(ZkBankID bankID, const void* memory = nullptr)
    {
        ZkLockedIdKey key{bankID, static_cast<uint64_t>(reinterpret_cast<uintptr_t>(memory))};
        return static_cast<LoadedBank*>(m_manager->BankTable().Find(key));
    }

    // A media's copies in the index (the manager's media lock held).
    uint32_t CopiesOf(ZkUniqueID mediaID, uint32_t* refCount = nullptr)
    {
        ZK::Platform::ZkScopedLock guard(m_manager->MediaLock());
        const MediaIndexEntry* entry = m_manager->Media().Find(mediaID);
        if (refCount != nullptr)
            *refCount = entry != nullptr ? entry->refCount : 0;
        return entry != nullptr ? entry->copies.Length() : 0;
    }

    ObjectIndex m_index;
    CZkRTPCMgr m_rtpc;
    EventManager m_events;
    BankManager m_plain;
    ThreadedBankManager m_threaded;
    BankManager* m_manager = nullptr;
    ZkInitSettings m_savedSettings;
    TestKind m_sounds{ZkIndexKind::Nodes, true};
    TestActionKind m_actions;
    TestEventKind m_eventKind;
    TestBusKind m_buses;
    TestKind m_containers{ZkIndexKind::Nodes};
};
} // namespace ZkBankManagerTest
