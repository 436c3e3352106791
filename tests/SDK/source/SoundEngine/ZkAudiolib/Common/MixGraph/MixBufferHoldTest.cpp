// The reset state of a mixer input entry and the release of a buffer hold.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Containers/EngineMemoryFixture.h"

#include <Plugins/Effects/Common/ZkPluginMemAlloc.h>
#include <ZkAudiolib/Common/MixGraph/CZkMixerInputContext.h>

#include <gtest/gtest.h>

namespace
{
using namespace ZK::SoundEngine;

// An allocator that counts what it frees (and frees nothing it did not give).
class CountingAllocator final : public ZK::IZkPluginMemAlloc
{
public:
    void* Malloc(size_t size, const char*, uint32_t) override { return CZkPluginMemAlloc::ForInstances().Malloc(size, nullptr, 0); }
    void Free(void* block) override
    {
        ++frees;
        CZkPluginMemAlloc::ForInstances().Free(block);
    }
    void* Malign(size_t, uint32_t, const char*, uint32_t) override { return nullptr; }
    void* Realloc(void*, size_t, const char*, uint32_t) override { return nullptr; }
    void* ReallocAligned(void*, size_t, uint32_t, const char*, uint32_t) override { return nullptr; }
    uint32_t frees = 0;
};

using MixBufferHold = ZkEngineTest::EngineMemoryTest;

TEST_F(MixBufferHold, ReleaseFreesWhatIsOwnedOnceAndForgetsWhatIsBorrowed)
{
    CountingAllocator first;
    CountingAllocator second;
    float borrowed[8] = {};
    struct Case
    {
        const char* name;
        bool secondOwned;
        uint32_t secondFrees;
    } cases[] = {{"owned second buffer", true, 1}, {"borrowed second buffer", false, 0}};
    for (const Case& c : cases)
    {
        first.frees = second.frees = 0;
        ZkMixBufferHold hold;
        hold.allocator = &first;
        hold.data = first.Malloc(64, nullptr, 0);
        hold.frames = 16;
        hold.validFrames = 8;
        hold.secondAllocator = &second;
        hold.secondData = c.secondOwned ? second.Malloc(64, nullptr, 0) : borrowed;
        hold.secondOwned = c.secondOwned ? 1 : 0;
        hold.Release();
        EXPECT_EQ(first.frees, 1u) << c.name;
        EXPECT_EQ(second.frees, c.secondFrees) << c.name;
        EXPECT_EQ(hold.data, nullptr);
        EXPECT_EQ(hold.secondData, nullptr);
        EXPECT_EQ(hold.frames, 0u);
        EXPECT_EQ(hold.validFrames, 0u);
        EXPECT_EQ(hold.secondOwned, 0);
        hold.Release();
        EXPECT_EQ(first.frees, 1u) << c.name << ": the second release frees nothing";
        EXPECT_EQ(second.frees, c.secondFrees) << c.name;
    }
}

TEST_F(MixBufferHold, ResetEntryHasUnitGainsEveryChannelAndThePool6Allocator)
{
    ZkMixInputEntry entry;
    entry.key = 3;
    entry.serial = 4;
    entry.rayID = 5;
    entry.channelMask = 1;
    entry.previousGain = entry.nextGain = entry.previousFactor = entry.nextFactor = 0.0f;
    entry.lowPassGain = entry.highPassGain = entry.previousScale = entry.nextScale = 0.0f;
    entry.firstFrame = 0;
    entry.stale = 1;
    CZkMixerInputContext::ResetState(entry);
    EXPECT_EQ(entry.key, 0u);
    EXPECT_EQ(entry.serial, 0u);
    EXPECT_EQ(entry.rayID, 0u);
    EXPECT_EQ(entry.channelMask, 0xFFFFu);
    for (float value : {entry.previousGain, entry.nextGain, entry.previousFactor, entry.nextFactor, entry.lowPassGain,
                        entry.highPassGain, entry.previousScale, entry.nextScale})
        EXPECT_EQ(value, 1.0f);
    EXPECT_EQ(entry.firstFrame, 1);
    EXPECT_EQ(entry.framesMixed, 0u);
    EXPECT_EQ(entry.hold.allocator, &CZkPluginMemAlloc::ForInstances());
    EXPECT_EQ(CZkPluginMemAlloc::ForInstances().GetPoolId(), ZkMemID_ProcessingPlugins);
    EXPECT_EQ(entry.hold.data, nullptr);
    EXPECT_EQ(entry.hold.secondAllocator, nullptr);
    EXPECT_EQ(entry.rays.items, nullptr);
    EXPECT_EQ(entry.rays.count, 0u);
    EXPECT_EQ(entry.stale, 0);
    EXPECT_EQ(entry.keep, 0);
    EXPECT_FALSE(entry.filter.HasAllMemory());
}
} // namespace
