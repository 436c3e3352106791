// Shared by the tests of prepared events, game syncs and banks: the whole engine (its own Init,
// no engine thread, requests run on the caller's thread unless a test asks for the bank thread),
// with the blocking low-level I/O also over a scratch folder that the bank writer fills with banks and
// with every media's loose copy ("<media id>.oxm", on a tone of its own where the description
// says so). The engine-life fixture counts the blocks the engine holds.
//
// The standard banks: "Buses.bnk" (the top-level bus), "Sounds.bnk" (four media and a sound for
// each; the loose copies play an octave higher than the bank's) and "Events.bnk" (play actions
// naming "Sounds" through its "STID" table, and events built from them: one sound, two sounds, a
// chain, an event that plays itself, an event that plays a missing event). An action belongs to
// one event: each event has actions of its own.
#pragma once

#include "SDK/source/SoundEngine/ZkAudiolib/Common/Containers/EngineMemoryFixture.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Engine/EngineWithBanksFixture.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/SoundFixtures.h"

// The codec of the 8-bit test format, shared with the fuzz entry of DecodeBank.
#include "../../../../../../../fuzz/support/TestFormatCodec.h"

#include "ZkAudiolib/Common/Banks/BankManager.h"
#include "ZkAudiolib/Common/Bytes/ZkFourCC.h"
#include "ZkAudiolib/Common/Events/CZkEventObject.h"
#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"

#include <ZK/SoundEngine/Common/ZkBankCalls.h>
#include <ZK/SoundEngine/Common/ZkIdFromName.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace ZkPreparationTest
{
using namespace ZkEngineLifeTest;
using ZkSoundFixtures::Bytes;
using ZkTestFormat::U8TestCodec;

// Ids of the standard banks.
constexpr ZkUniqueID kMediaA = 100;
constexpr ZkUniqueID kMediaB = 101;
constexpr ZkUniqueID kMediaC = 102;
constexpr ZkUniqueID kMediaUnused = 103;
constexpr ZkUniqueID kSoundA = 200;
constexpr ZkUniqueID kSoundB = 201;
constexpr ZkUniqueID kSoundC = 202;
constexpr ZkUniqueID kSoundUnused = 203;
constexpr ZkUniqueID kPlayOne = 1000;      // sound A
constexpr ZkUniqueID kPlayTwo = 1001;      // sounds A and B
constexpr ZkUniqueID kPlayChain = 1002;    // plays kPlayTwo, then sound C
constexpr ZkUniqueID kPlaysItself = 1003;  // plays itself and sound A
constexpr ZkUniqueID kPlaysMissing = 1004; // sound C, then an event that is not loaded
constexpr ZkUniqueID kMissingEvent = 1999;

// A wave of 80 frames at 8 kHz, one tone.
inline std::string Tone(int hz, const char* extra = "")
{
    return R"({"wave": {"rate": 8000, "frames": 80, "parts": [{"tone": )" + std::to_string(hz) +
           R"(, "amp": 0.5}]})" + std::string(extra) + "}";
}

inline std::string MediaWithLooseCopy(ZkUniqueID id, int hz)
{
    const std::string bank = Tone(hz);
    return R"({"id": )" + std::to_string(id) + ", " + bank.substr(1, bank.size() - 2) + R"(, "loose": )" +
           Tone(2 * hz) + "}";
}

inline std::string StandardBanks()
{
    const std::string sounds =
        R"({"name": "Sounds.bnk", "media": [)" + MediaWithLooseCopy(kMediaA, 440) + ", " +
        MediaWithLooseCopy(kMediaB, 550) + ", " + MediaWithLooseCopy(kMediaC, 660) + ", " +
        MediaWithLooseCopy(kMediaUnused, 770) +
        R"(], "chunks": [{"tag": "BKHD"}, {"tag": "DIDX"}, {"tag": "DATA"}, {"tag": "HIRC", "items": [
            {"type": "sound", "id": 200, "media": 100, "bus": "Master"},
            {"type": "sound", "id": 201, "media": 101, "bus": "Master"},
            {"type": "sound", "id": 202, "media": 102, "bus": "Master"},
            {"type": "sound", "id": 203, "media": 103, "bus": "Master"}]}]})";
    const std::string events = R"({"name": "Events.bnk", "chunks": [{"tag": "BKHD"},
        {"tag": "STID", "groups": [{"banks": [{"name": "Sounds"}]}]},
        {"tag": "HIRC", "items": [
            {"type": "action", "id": 500, "action": "play", "target": 200, "bank": "Sounds"},
            {"type": "action", "id": 501, "action": "play", "target": 200, "bank": "Sounds"},
            {"type": "action", "id": 502, "action": "play", "target": 201, "bank": "Sounds"},
            {"type": "action", "id": 503, "action": "post_event", "target": 1001},
            {"type": "action", "id": 504, "action": "play", "target": 202, "bank": "Sounds"},
            {"type": "action", "id": 505, "action": "post_event", "target": 1003},
            {"type": "action", "id": 506, "action": "play", "target": 200, "bank": "Sounds"},
            {"type": "action", "id": 507, "action": "play", "target": 202, "bank": "Sounds"},
            {"type": "action", "id": 508, "action": "post_event", "target": 1999},
            {"type": "event", "id": 1000, "actions": [500]},
            {"type": "event", "id": 1001, "actions": [501, 502]},
            {"type": "event", "id": 1002, "actions": [503, 504]},
            {"type": "event", "id": 1003, "actions": [505, 506]},
            {"type": "event", "id": 1004, "actions": [507, 508]}]}]})";
    const std::string buses = R"({"name": "Buses.bnk", "chunks": [{"tag": "BKHD"}, {"tag": "HIRC", "items": [
            {"type": "bus", "id": "Master", "device": "System"}]}]})";
    return "[" + buses + ", " + sounds + ", " + events + "]";
}

class PreparationTest : public EngineWithBanks
{
protected:
    // The running engine's set-up, its banks read from the scratch folder; requests run on the
    // caller's thread.
    void SetUp() override
    {
        EngineWithBanks::SetUp();
        settings.bankThread = 0;
        ASSERT_EQ(m_io.AddBasePath(m_folder.Path().wstring().c_str()), ZK_Success);
    }

    // The blocks the engine and the stream manager hold once every stream is gone. A closed stream
    // is freed by its device's I/O thread some time later; ending the device waits for all of them,
    // so the count is taken with the device ended, and the device starts again afterwards.
    int64_t SettledBlocks()
    {
        m_io.Term();
        const int64_t blocks = EngineBlocks();
        EXPECT_EQ(m_io.Init(ZkStreamTest::DefaultDeviceSettings()), ZK_Success);
        const std::filesystem::path banks = std::filesystem::path(KP_SOURCE_DIR) / "Trindle_Ostrel" / "Banks";
        EXPECT_EQ(m_io.AddBasePath(banks.wstring().c_str()), ZK_Success);
        EXPECT_EQ(m_io.AddBasePath(m_folder.Path().wstring().c_str()), ZK_Success);
        return blocks;
    }

    // The bank writer's banks (and loose media) of a JSON description into the scratch folder.
    void WriteBanks(const std::string& json, bool faultVariants = false)
    {
        const auto description = m_folder.Path() / "description.json";
        {
            std::ofstream out(description);
            out << json;
        }
        const std::string command = "python3 \"" + std::string(KP_SOURCE_DIR) +
                                    "/tools/bank_writer.py\" --loose-media --layout " +
                                    (faultVariants ? "--fault-variants " : "") + "--out-dir \"" +
                                    m_folder.Path().string() + "\" \"" + description.string() + "\"";
        ASSERT_EQ(std::system(command.c_str()), 0) << json;
    }
    Bytes FileBytes(const std::string& name) const { return ZkSoundFixtures::ReadWholeFile(m_folder.Path() / name); }
    Bytes LooseMedia(ZkUniqueID id) const { return FileBytes(std::to_string(id) + ".oxm"); }
    void RemoveFile(const std::string& name) const { std::filesystem::remove(m_folder.Path() / name); }
    void WriteFile(const std::string& name, const Bytes& bytes) const
    {
        std::ofstream out(m_folder.Path() / name, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }

    // The engine with the standard banks written and the event bank (and the buses) loaded.
    void StartWithStandardBanks()
    {
        ASSERT_NO_FATAL_FAILURE(WriteBanks(StandardBanks()));
        ASSERT_EQ(Init(&settings, &platformSettings), ZK_Success);
        ZkBankID bank = 0;
        ASSERT_EQ(LoadBank("Buses.bnk", bank), ZK_Success);
        ASSERT_EQ(LoadBank("Events.bnk", bank), ZK_Success);
    }

    static BankManager& Manager() { return *g_pBankManager; }

    // Each media of a bank file, by id, as its "DIDX" entry places it in its "DATA" body.
    static std::map<ZkUniqueID, Bytes> MediaSlices(const Bytes& bank)
    {
        std::map<ZkUniqueID, Bytes> slices;
        const uint8_t* entries = nullptr;
        uint32_t entryBytes = 0;
        const uint8_t* data = nullptr;
        for (size_t offset = 0; offset + 8 <= bank.size();)
        {
            uint32_t tag = 0;
            uint32_t size = 0;
            std::memcpy(&tag, bank.data() + offset, 4);
            std::memcpy(&size, bank.data() + offset + 4, 4);
            if (tag == ZK::ZkFourCC("DIDX"))
            {
                entries = bank.data() + offset + 8;
                entryBytes = size;
            }
            if (tag == ZK::ZkFourCC("DATA"))
                data = bank.data() + offset + 8;
            offset += 8 + size;
        }
        for (uint32_t at = 0; entries != nullptr && data != nullptr && at + 12 <= entryBytes; at += 12)
        {
            uint32_t entry[3];
            std::memcpy(entry, entries + at, sizeof(entry));
            slices[entry[0]] = Bytes(data + entry[1], data + entry[1] + entry[2]);
        }
        return slices;
    }

    // The prepared copy of a media (empty when it has none).
    static Bytes Prepared(ZkUniqueID mediaID)
    {
        ZK::Platform::ZkScopedLock guard(Manager().MediaLock());
        const MediaIndexEntry* entry = Manager().Media().Find(mediaID);
        if (entry == nullptr || entry->preparedData == nullptr)
            return {};
        return Bytes(entry->preparedData, entry->preparedData + entry->preparedSize);
    }
    static uint32_t References(ZkUniqueID mediaID)
    {
        ZK::Platform::ZkScopedLock guard(Manager().MediaLock());
        const MediaIndexEntry* entry = Manager().Media().Find(mediaID);
        return entry != nullptr ? entry->refCount : 0;
    }
    static uint32_t MediaCount() { return Manager().Media().Length(); }
    // A bank's copy of a media as the index holds it (empty when none).
    static Bytes BankCopy(ZkUniqueID mediaID)
    {
        ZK::Platform::ZkScopedLock guard(Manager().MediaLock());
        const MediaIndexEntry* entry = Manager().Media().Find(mediaID);
        if (entry == nullptr || entry->copies.IsEmpty())
            return {};
        return Bytes(entry->copies[0].data, entry->copies[0].data + entry->copies[0].size);
    }

    static bool NodeLoaded(ZkUniqueID id)
    {
        CZkIndexedObject* node = g_pObjectIndex->GetNodePtrAndAddRef(id, false);
        if (node != nullptr)
            node->Release();
        return node != nullptr;
    }
    static uint32_t EventPreparations(ZkUniqueID id)
    {
        CZkIndexedObject* found = g_pObjectIndex->GetPtrAndAddRef(ZkIndexKind::Events, id);
        if (found == nullptr)
            return 0;
        const uint32_t count = static_cast<CZkEventObject*>(found)->PreparationCount();
        found->Release();
        return count;
    }
    static LoadedBank* FindBank(const char* name)
    {
        ZK::Platform::ZkScopedLock guard(CZkLockedIdTable::Lock());
        return static_cast<LoadedBank*>(Manager().BankTable().Find({GetIDFromString(name), 0}));
    }

    static ZKRESULT Prepare(ZkUniqueID event) { return PrepareEvent(Preparation_Load, &event, 1); }
    static ZKRESULT Unprepare(ZkUniqueID event) { return PrepareEvent(Preparation_Unload, &event, 1); }

    ZkSoundFixtures::ScratchFolder m_folder;
};
} // namespace ZkPreparationTest
