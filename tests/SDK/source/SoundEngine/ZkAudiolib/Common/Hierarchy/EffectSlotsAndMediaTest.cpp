// The effect slot block of nodes and buses, media references, the source block of sound bodies,
// and the settings objects of Init banks.
#include "HierarchyFixture.h"

#include "ZkAudiolib/Common/Banks/SourceMediaRef.h"
#include "ZkAudiolib/Common/Hierarchy/CZkNodeParams.h"
#include "ZkAudiolib/Common/Hierarchy/ZkStreamRef.h"
#include "ZkAudiolib/Common/ObjectIndex/CZkSettingsObject.h"

#include <cwchar>

namespace
{
using namespace ZkHierarchyTest;

class RecordingOwner final : public IZkEffectSlotOwner
{
public:
    void OnEffectSlotChanged(const ZkEffectSlot& slot) override { effects.push_back(slot.effectID); }
    void OnEffectSlotIndexChanged(uint32_t slotIndex) override { slots.push_back(slotIndex); }
    std::vector<ZkUniqueID> effects;
    std::vector<uint32_t> slots;
};

using EffectSlots = HierarchyTest;

TEST_F(EffectSlots, PrioritiesRenderedSlotsAndBypassBits)
{
    RecordingOwner owner;
    CZkNodeParams chain(&owner);
    EXPECT_EQ(chain.SetSlotValue(4, 9, false, 0), ZK_InvalidParameter);
    EXPECT_EQ(chain.Block(), nullptr);
    EXPECT_EQ(chain.SetSlotValue(1, 9, false, 2), ZK_Success);
    EXPECT_EQ(chain.SetSlotValue(1, 10, false, 1), ZK_Success);
    EXPECT_EQ(chain.Block()->slots[1].effectID, 9u) << "priority 2 is not replaced by priority 1";
    EXPECT_EQ(owner.slots, std::vector<uint32_t>{1});
    EXPECT_EQ(chain.SetSlotValue(1, 9, false, 3), ZK_Success);
    EXPECT_EQ(owner.slots.size(), 1u) << "the same effect tells nobody";

    EXPECT_EQ(chain.SetSlotRendered(1, true), ZK_Success);
    EXPECT_EQ(chain.Block()->slots[1].effectID, 0u);
    EXPECT_EQ(owner.effects.back(), 0u) << "the owner hears the effect went";
    EXPECT_EQ(chain.SetSlotRendered(1, false), ZK_Success);
    EXPECT_EQ(chain.Block()->slots[1].effectID, 0u) << "not rendered again: the slot stays empty";

    EXPECT_EQ(chain.SetBypassBits(0x10, 0x10), ZK_Success);
    EXPECT_EQ(chain.BypassBits(), 0x10) << "only the bit for all slots";
    EXPECT_EQ(chain.SetBypassBits(0x03, 0x01), ZK_Success);
    EXPECT_EQ(chain.BypassBits(), 0x11);
    EXPECT_EQ(chain.GetReferencedObject(1), nullptr);

    CZkNodeParams empty(&owner);
    EXPECT_EQ(empty.SetSlotRendered(0, false), ZK_Success);
    EXPECT_EQ(empty.SetBypassBits(0, 0x1F), ZK_Success);
    EXPECT_EQ(empty.Block(), nullptr) << "nothing to store makes no block";
    {
        ZK::MemoryMgr::FaultInjection::ScopedAllocationFailure failure(CZkNodeParams::kPool, 1);
        EXPECT_EQ(empty.SetSlotRendered(0, true), ZK_InsufficientMemory);
    }
}

TEST_F(EffectSlots, EffectListsOfBusesAndEffectObjects)
{
    struct ListCase
    {
        const char* name;
        std::vector<uint8_t> bytes;
        ZKRESULT expected;
        ZkUniqueID slot2;
        uint8_t bypass;
    };
    const std::vector<ListCase> cases = {
        {"count 0 is one byte", {0}, ZK_Success, 0, 0},
        {"two entries and the bypass bits", {2, 0x05, 2, 7, 0, 0, 0, 1, 0, 1, 0, 0, 0, 0, 1, 0}, ZK_Success, 7, 5},
        {"an entry with id 0 is skipped whatever its slot", {1, 0, 9, 0, 0, 0, 0, 0, 0}, ZK_Success, 0, 0},
        {"a slot above 3", {1, 0, 4, 7, 0, 0, 0, 0, 0}, ZK_InvalidParameter, 0, 0},
        {"an entry cut short", {1, 0, 2, 7, 0, 0, 0, 0}, ZK_InvalidFile, 0, 0},
        {"no bypass byte", {1}, ZK_InvalidFile, 0, 0},
    };
    for (const ListCase& test : cases)
    {
        SCOPED_TRACE(test.name);
        CZkNodeParams chain(nullptr);
        std::vector<uint8_t> bytes = test.bytes;
        bytes.shrink_to_fit();
        ZK::ZkByteCursor cursor(bytes.data(), bytes.size());
        EXPECT_EQ(chain.ReadEffectList(cursor), test.expected);
        if (test.expected == ZK_Success)
        {
            EXPECT_EQ(cursor.Remaining(), 0u);
            EXPECT_EQ(chain.Block() != nullptr ? chain.Block()->slots[2].effectID : 0u, test.slot2);
            EXPECT_EQ(chain.BypassBits(), test.bypass);
        }
    }
    // A value the game set with a priority is not replaced by a bank's list.
    CZkNodeParams chain(nullptr);
    ASSERT_EQ(chain.SetSlotValue(2, 99, false, 1), ZK_Success);
    const uint8_t list[] = {1, 0, 2, 7, 0, 0, 0, 0, 0};
    ZK::ZkByteCursor cursor(list, sizeof(list));
    EXPECT_EQ(chain.ReadEffectList(cursor), ZK_Success);
    EXPECT_EQ(chain.Block()->slots[2].effectID, 99u);
}

using MediaReferences = HierarchyTest;

TEST_F(MediaReferences, InitSettersCloneAndFree)
{
    ZkMediaRef media;
    media.flags = 0xFFFFFFFFu;
    media.Init();
    EXPECT_EQ(media.mediaID, 0u);
    EXPECT_EQ(media.fileID, -1);
    EXPECT_EQ(media.mediaSize, 0u);
    EXPECT_EQ(media.flags, 0xFFFFF800u) << "bits 0-10 cleared";
    EXPECT_EQ(media.sourceType, -1);
    EXPECT_FALSE(media.HasMedia());

    media.Init();
    media.SetMedia(42);
    EXPECT_EQ(media.mediaID, 42u);
    EXPECT_EQ(media.Kind(), kMediaKindByID);
    EXPECT_EQ(media.data, nullptr);

    media.SetExternal(43, (5 << 16) + 1, L"voice.wem", 12, true, true);
    EXPECT_EQ(media.Kind(), kMediaKindOwned);
    EXPECT_NE(media.flags & kMediaFlagResident, 0u);
    EXPECT_NE(media.flags & kMediaFlagByName, 0u);
    EXPECT_NE(media.flags & kMediaFlagInstanceOwned, 0u);
    ASSERT_NE(media.data, nullptr);
    EXPECT_EQ(std::wcscmp(static_cast<const wchar_t*>(media.data), L"voice.wem"), 0);
    ZkMediaRef* copy = media.Clone();
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy->data, media.data) << "the name is copied";
    EXPECT_EQ(std::wcscmp(static_cast<const wchar_t*>(copy->data), L"voice.wem"), 0);
    copy->Free();
    ZK::ZkDelete(ZkMediaRef::kPool, copy);
    media.Free();
    EXPECT_EQ(media.data, nullptr);
    EXPECT_EQ(media.sourceType, (5 << 16) + 1) << "Free keeps the source type";

    uint8_t memory[16] = {};
    media.SetInMemory(-1, memory, ZkMediaInfo{7, 8, sizeof(memory), kMediaKindInMemory << kMediaKindShift});
    EXPECT_TRUE(media.IsResident());
    const uint8_t* data = nullptr;
    uint32_t size = 0;
    LoadedBank* bank = nullptr;
    EXPECT_EQ(ZkStreamRef::Acquire(media, data, size, bank), ZK_Success);
    EXPECT_EQ(data, memory);
    EXPECT_EQ(size, sizeof(memory));
    ZkStreamRef::Release(media, bank);
    media.SetMedia(9);
    EXPECT_EQ(ZkStreamRef::Acquire(media, data, size, bank), ZK_Fail) << "media 9 is not in the media index";
    EXPECT_EQ(data, nullptr);
}

TEST_F(MediaReferences, SourceBlocks)
{
    struct SourceCase
    {
        const char* name;
        std::vector<uint8_t> bytes;
        ZKRESULT expected;
        uint32_t kind;
        size_t left;
        int32_t typeWord; // the plug-in id: the codec key the voice creates its source by
    };
    // plug-in id (4), stream type, source id 0x10 (4), size 0x20 (4), flags [, parameter size, bytes]
    const std::vector<SourceCase> cases = {
        {"codec in memory", {1, 0, 1, 0, 0, 0x10, 0, 0, 0, 0x20, 0, 0, 0, 0}, ZK_Success, kMediaKindInMemory, 0, 0x10001},
        {"codec streamed", {1, 0, 1, 0, 2, 0x10, 0, 0, 0, 0x20, 0, 0, 0, 0}, ZK_Success, kMediaKindOwned, 0, 0x10001},
        {"codec stream type 3", {1, 0, 1, 0, 3, 0x10, 0, 0, 0, 0x20, 0, 0, 0, 0}, ZK_Fail, 0, 0, 0},
        {"no plug-in", {0, 0, 0, 0, 7, 0x10, 0, 0, 0, 0x20, 0, 0, 0, 0, 0xAA}, ZK_Success, 0, 1, kNoSourceType},
        {"source plug-in with its parameters", {2, 0, 0, 0, 0, 0x10, 0, 0, 0, 0x20, 0, 0, 0, 0, 2, 0, 0, 0, 5, 6, 0xAA},
         ZK_Success, 0, 1, 2},
        {"parameters running past the item", {2, 0, 0, 0, 0, 0x10, 0, 0, 0, 0x20, 0, 0, 0, 0, 9, 0, 0, 0, 5, 6}, ZK_InvalidFile, 0, 0, 0},
        {"parameter size cut short", {2, 0, 0, 0, 0, 0x10, 0, 0, 0, 0x20, 0, 0, 0, 0, 9, 0}, ZK_InvalidFile, 0, 0, 0},
        {"another plug-in type", {3, 0, 0, 0, 0, 0x10, 0, 0, 0, 0x20, 0, 0, 0, 0}, ZK_Fail, 0, 0, 0},
        {"cut in the source id", {1, 0, 1, 0, 0, 0x10, 0}, ZK_InvalidFile, 0, 0, 0},
    };
    for (const SourceCase& test : cases)
    {
        SCOPED_TRACE(test.name);
        std::vector<uint8_t> bytes = test.bytes;
        bytes.shrink_to_fit();
        ZK::ZkByteCursor cursor(bytes.data(), bytes.size());
        ZkSourceMediaRecord record;
        EXPECT_EQ(SourceMediaRef::ReadFromBank(cursor, record), test.expected);
        if (test.expected != ZK_Success)
            continue;
        EXPECT_EQ(cursor.Remaining(), test.left);
        ZkMediaRef media;
        media.Init();
        SourceMediaRef::ApplyTo(record, media);
        EXPECT_EQ(media.mediaID, 0x10u);
        EXPECT_EQ(media.fileID, 0x10);
        EXPECT_EQ(media.mediaSize, 0x20u);
        EXPECT_EQ(media.Kind(), test.kind);
        EXPECT_EQ(media.sourceType, test.typeWord);
    }
}

using SettingsObjects = HierarchyTest;

TEST_F(SettingsObjects, TheFirstBankKeepsItsValuesAndEachLoadCounts)
{
    const std::string first = R"({"name": "Init.bnk", "chunks": [{"tag": "BKHD"},
        {"tag": "STMG", "group_entries": [{"id": 8, "values": [1, 2, 3, 4, 5, 6]}]}]})";
    const std::string second = R"({"name": "Init.bnk", "chunks": [{"tag": "BKHD"},
        {"tag": "STMG", "group_entries": [{"id": 8, "values": [9, 9, 9, 9, 9, 9]}, {"id": 10, "values": [0, 0, 0, 0, 0, 1]}]}]})";
    ASSERT_EQ(Parse(ZkSoundFixtures::WriteBank(first)), ZK_Success);
    ASSERT_EQ(Parse(ZkSoundFixtures::WriteBank(second)), ZK_Success);
    ZkIndexTable& table = g_pObjectIndex->Table(ZkIndexKind::SettingsGroups);
    auto* entry = static_cast<CZkSettingsObject*>(table.Table().Find(8));
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->RefCount(), 2u);
    EXPECT_EQ(entry->Record().values[0], 1.0f) << "the first bank's values stay";
    EXPECT_EQ(table.Length(), 2u);

    const ZkGroupEntryRecord* found = g_pObjectIndex->FindGroupEntry(8);
    ASSERT_EQ(found, &entry->Record());
    EXPECT_EQ(entry->RefCount(), 3u) << "the finder holds a reference";
    EXPECT_EQ(g_pObjectIndex->FindGroupEntry(9), nullptr);
    entry->SetValue(6, 42.0f);
    entry->SetValue(5, 7.0f);
    EXPECT_EQ(entry->Record().values[5], 7.0f);
    EXPECT_EQ(entry->Record().values[4], 5.0f) << "index 6 changed nothing";
    EXPECT_EQ(entry->Release(), 2u);
    EXPECT_EQ(entry->Release(), 1u);
    EXPECT_EQ(entry->Release(), 0u);
    EXPECT_EQ(table.Table().Find(8), nullptr);

    {
        ZK::MemoryMgr::FaultInjection::ScopedAllocationFailure failure(CZkSettingsObject::kPool, 1);
        EXPECT_EQ(g_pObjectIndex->FindOrCreateGroupEntry(11, ZkGroupEntryRecord{11, {}}), ZK_Fail);
    }
    EXPECT_EQ(table.Table().Find(11), nullptr);
    // The one left (id 10) goes with the tables at termination.
}
} // namespace
