// Plug-in custom data: the table's look-up with its fall-back to the all-objects entry, the owned
// blocks it frees (counted through allocation hooks on memory pool 5), message 53's bytes as the
// interface posts them, and the data reaching the table through the engine's ring, from the game
// and from a plug-in through the global plug-in context.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/FrontEnd/FrontEndFixture.h"

#include "ZkAudiolib/Common/FrontEnd/EngineMessageHandlers.h"
#include "ZkAudiolib/Common/Plugins/CZkPluginCustomData.h"

#include "MemoryMgr/ZkMemoryFaultInjection.h"

#include <ZK/SoundEngine/Common/IZkGlobalPluginContext.h>
#include <ZK/SoundEngine/Common/ZkEngineControls.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <malloc.h>

namespace
{
using namespace ZkFrontEndTest;
namespace Fault = ZK::MemoryMgr::FaultInjection;

constexpr ZkUniqueID kBus = 0xB0;
constexpr ZkGameObjectID kObject = 0x6A;
constexpr ZkGameObjectID kOther = 0x6B;
constexpr ZkGameObjectID kAll = CZkPluginCustomData::kAnyGameObject;
constexpr uint32_t kCompany = 64;
constexpr uint32_t kPlugin = 9;
constexpr uint32_t kEffect = ZK::ZkPluginTypeEffect;

// Blocks of memory pool 5 alive now, counted by allocation hooks over the system allocator.
std::atomic<int64_t> g_liveDataBlocks{0};

bool IsDataPool(ZkMemoryId memId) { return (memId & ZkMemID_CategoryMask) == CZkPluginCustomData::kDataPool; }
void* CountingMalloc(ZkMemoryId memId, size_t size)
{
    void* block = std::malloc(size);
    if (block != nullptr && IsDataPool(memId))
        ++g_liveDataBlocks;
    return block;
}
void* CountingMalign(ZkMemoryId memId, size_t size, uint32_t alignment)
{
    void* block = nullptr;
    if (posix_memalign(&block, alignment < sizeof(void*) ? sizeof(void*) : alignment, size) != 0)
        return nullptr;
    if (IsDataPool(memId))
        ++g_liveDataBlocks;
    return block;
}
void* CountingRealloc(ZkMemoryId memId, void* block, size_t size)
{
    void* moved = std::realloc(block, size);
    if (block == nullptr && moved != nullptr && IsDataPool(memId))
        ++g_liveDataBlocks;
    return moved;
}
void* CountingReallocAligned(ZkMemoryId memId, void* block, size_t size, uint32_t alignment)
{
    void* moved = CountingMalign(memId, size, alignment);
    if (moved != nullptr && block != nullptr)
    {
        std::memcpy(moved, block, std::min(size, malloc_usable_size(block)));
        std::free(block);
        if (IsDataPool(memId))
            --g_liveDataBlocks;
    }
    return moved;
}
void CountingFree(ZkMemoryId memId, void* block)
{
    if (block != nullptr && IsDataPool(memId))
        --g_liveDataBlocks;
    std::free(block);
}

// A block of pool 5 holding a float, as the interface's copies are.
void* DataBlock(float value)
{
    void* block = ZK::MemoryMgr::Malloc(CZkPluginCustomData::kDataPool, sizeof(value));
    std::memcpy(block, &value, sizeof(value));
    return block;
}

float ValueFound(ZkUniqueID object, ZkGameObjectID gameObject, uint32_t key)
{
    const void* data = nullptr;
    uint32_t size = 99;
    CZkPluginCustomData::Find(object, gameObject, key, data, size);
    if (data == nullptr)
        return size == 0 ? -1.0f : -2.0f;
    float value = 0.0f;
    std::memcpy(&value, data, sizeof(value));
    return size == sizeof(value) ? value : -3.0f;
}

class PluginCustomData : public FrontEndTest
{
protected:
    void Configure(ZkMemSettings& settings) override
    {
        settings = ZkMemoryTest::SettingsWithAllocationHooks(CountingMalloc, CountingMalign, CountingRealloc,
                                                             CountingReallocAligned, CountingFree);
    }
    void SetUp() override
    {
        g_liveDataBlocks.store(0);
        FrontEndTest::SetUp();
        m_startBlocks = g_liveDataBlocks.load();
    }
    void TearDown() override
    {
        CZkPluginCustomData::Clear();
        EXPECT_EQ(g_liveDataBlocks.load(), m_startBlocks) << "every block of pool 5 was freed";
        FrontEndTest::TearDown();
    }

    static uint32_t Key(uint32_t plugin = kPlugin) { return ZK::ZkMakePluginKey(kEffect, kCompany, plugin); }

    int64_t m_startBlocks = 0;
};

TEST_F(PluginCustomData, ABlockForAllObjectsServesThoseWithoutOneOfTheirOwn)
{
    float first = 1.0f;
    float second = 2.0f;
    float third = 3.0f;
    ASSERT_EQ(CZkPluginCustomData::Post(kBus, kObject, kEffect, kCompany, kPlugin, &first, 4, false), ZK_Success);
    ASSERT_EQ(CZkPluginCustomData::Post(kBus, kAll, kEffect, kCompany, kPlugin, &second, 4, false), ZK_Success);
    // Another plug-in of the same company and type has an entry of its own.
    ASSERT_EQ(CZkPluginCustomData::Post(kBus, kObject, kEffect, kCompany, kPlugin + 1, &third, 4, false), ZK_Success);
    EXPECT_EQ(CZkPluginCustomData::EntryCount(), 3u);
    const struct
    {
        const char* name;
        ZkUniqueID object;
        ZkGameObjectID gameObject;
        uint32_t key;
        float expected;
    } found[] = {
        {"the object's own block", kBus, kObject, Key(), 1.0f},
        {"another object falls back", kBus, kOther, Key(), 2.0f},
        {"asked for all objects", kBus, kAll, Key(), 2.0f},
        {"the other plug-in", kBus, kObject, Key(kPlugin + 1), 3.0f},
        {"the other plug-in has no all-objects block", kBus, kOther, Key(kPlugin + 1), -1.0f},
        {"another bus", kBus + 1, kObject, Key(), -1.0f},
        {"the key keeps the type's low four bits", kBus, kObject, ZK::ZkMakePluginKey(kEffect | 0x10, kCompany, kPlugin),
         1.0f},
    };
    for (const auto& c : found)
        EXPECT_EQ(ValueFound(c.object, c.gameObject, c.key), c.expected) << c.name;

    // Removing the object's block lets it see the all-objects block; the entries after it move down.
    ASSERT_EQ(CZkPluginCustomData::Post(kBus, kObject, kEffect, kCompany, kPlugin, nullptr, 0, false), ZK_Success);
    EXPECT_EQ(ValueFound(kBus, kObject, Key()), 2.0f);
    EXPECT_EQ(ValueFound(kBus, kObject, Key(kPlugin + 1)), 3.0f);
    EXPECT_EQ(CZkPluginCustomData::EntryCount(), 2u);
    // Removing what is not there changes nothing.
    ASSERT_EQ(CZkPluginCustomData::Post(kBus, kObject, kEffect, kCompany, kPlugin, nullptr, 0, false), ZK_Success);
    EXPECT_EQ(CZkPluginCustomData::EntryCount(), 2u);
}

TEST_F(PluginCustomData, OwnedBlocksAreFreedOnReplacementRemovalAndClear)
{
    ASSERT_EQ(CZkPluginCustomData::Post(kBus, kObject, kEffect, kCompany, kPlugin, DataBlock(1.0f), 4, true), ZK_Success);
    ASSERT_EQ(CZkPluginCustomData::Post(kBus, kObject, kEffect, kCompany, kPlugin, DataBlock(2.0f), 4, true), ZK_Success);
    EXPECT_EQ(g_liveDataBlocks.load() - m_startBlocks, 1) << "the replaced block was freed";
    EXPECT_EQ(ValueFound(kBus, kObject, Key()), 2.0f);
    ASSERT_EQ(CZkPluginCustomData::Post(kBus, kObject, kEffect, kCompany, kPlugin, nullptr, 0, true), ZK_Success);
    EXPECT_EQ(g_liveDataBlocks.load(), m_startBlocks) << "the removed block was freed";

    // A table that cannot grow frees the new block and answers 52.
    CZkPluginCustomData::Clear(); // no room left from the entry removed
    Fault::FailNth(CZkPluginCustomData::kTablePool, 1);
    EXPECT_EQ(CZkPluginCustomData::Post(kBus, kObject, kEffect, kCompany, kPlugin, DataBlock(3.0f), 4, true),
              ZK_InsufficientMemory);
    Fault::Disarm();
    EXPECT_EQ(g_liveDataBlocks.load(), m_startBlocks);
    EXPECT_EQ(CZkPluginCustomData::EntryCount(), 0u);

    for (uint32_t plugin = 0; plugin < 5; ++plugin)
        ASSERT_EQ(CZkPluginCustomData::Post(kBus, kAll, kEffect, kCompany, plugin, DataBlock(4.0f), 4, true), ZK_Success);
    CZkPluginCustomData::Clear();
    EXPECT_EQ(CZkPluginCustomData::EntryCount(), 0u);
    EXPECT_EQ(g_liveDataBlocks.load(), m_startBlocks) << "Clear freed every owned block";
}

TEST_F(PluginCustomData, MessageFiftyThreeCarriesACopyInItsLayout)
{
    UseRecorder();
    const float gain = 0.25f;
    ASSERT_EQ(SendPluginCustomGameData(kBus, 0x1122334455667788, ZK::ZkPluginTypeEffect, kCompany, kPlugin, &gain, 4),
              ZK_Success);
    const Bytes message = ReadOne();
    EXPECT_EQ(SizeOf(message), 40u);
    EXPECT_EQ(TypeOf(message), 53u);
    EXPECT_EQ(ReadAt<uint32_t>(message, 4), kBus);
    EXPECT_EQ(ReadAt<uint64_t>(message, 8), 0x1122334455667788u);
    EXPECT_EQ(ReadAt<uint32_t>(message, 16), kEffect);
    EXPECT_EQ(ReadAt<uint32_t>(message, 20), kCompany);
    EXPECT_EQ(ReadAt<uint32_t>(message, 24), kPlugin);
    const auto* copy = ReadAt<const float*>(message, 28);
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy, &gain) << "a copy travels";
    EXPECT_EQ(*copy, gain);
    EXPECT_EQ(ReadAt<uint32_t>(message, 36), 4u);
    ReleaseMessageHoldings(message.data());

    // Size 0 travels as null and 0 (a removal); null data with a size is refused before posting.
    ASSERT_EQ(SendPluginCustomGameData(kBus, kObject, ZK::ZkPluginTypeEffect, kCompany, kPlugin, &gain, 0), ZK_Success);
    const Bytes removal = ReadOne();
    EXPECT_EQ(ReadAt<const void*>(removal, 28), nullptr);
    EXPECT_EQ(ReadAt<uint32_t>(removal, 36), 0u);
    recorder.messages.clear();
    EXPECT_EQ(SendPluginCustomGameData(kBus, kObject, ZK::ZkPluginTypeEffect, kCompany, kPlugin, nullptr, 4),
              ZK_InvalidParameter);
    ReadMessages();
    EXPECT_TRUE(recorder.messages.empty());
    EXPECT_EQ(g_liveDataBlocks.load(), m_startBlocks);
}

TEST_F(PluginCustomData, DataFromTheGameAndFromPlugInsReachTheTableThroughTheRing)
{
    UseEngine();
    const float gain = 0.5f;
    ASSERT_EQ(SendPluginCustomGameData(kBus, kAll, ZK::ZkPluginTypeEffect, kCompany, kPlugin, &gain, 4), ZK_Success);
    // A plug-in sends through the global plug-in context (its slot 12).
    const float own = 0.125f;
    ZK::IZkGlobalPluginContext* context = GetGlobalPluginContext();
    ASSERT_NE(context, nullptr);
    ASSERT_EQ(context->SendPluginCustomGameData(kBus, kObject, ZK::ZkPluginTypeEffect, kCompany, kPlugin, &own, 4),
              ZK_Success);
    EXPECT_EQ(CZkPluginCustomData::EntryCount(), 0u) << "nothing before the engine reads the ring";
    ReadMessages();
    EXPECT_EQ(ValueFound(kBus, kObject, Key()), 0.125f);
    EXPECT_EQ(ValueFound(kBus, kOther, Key()), 0.5f);
    EXPECT_EQ(g_liveDataBlocks.load() - m_startBlocks, 2) << "the table holds the two copies";

    ASSERT_EQ(SendPluginCustomGameData(kBus, kObject, ZK::ZkPluginTypeEffect, kCompany, kPlugin, nullptr, 0), ZK_Success);
    ReadMessages();
    EXPECT_EQ(ValueFound(kBus, kObject, Key()), 0.5f) << "removed: the all-objects block again";
    EXPECT_EQ(g_liveDataBlocks.load() - m_startBlocks, 1);
}
} // namespace
