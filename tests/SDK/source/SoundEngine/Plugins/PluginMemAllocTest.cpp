#include "MemoryMgrScope.h"

#include <MemoryMgr/ZkMemoryFaultInjection.h>
#include <Plugins/Effects/Common/ZkPluginMemAlloc.h>

#include <gtest/gtest.h>

#include <cstring>

namespace
{
class PluginMemAlloc : public testing::Test
{
protected:
    MemoryMgrScope memory;
};

TEST_F(PluginMemAlloc, TheTwoInstancesUseTheirPools)
{
    EXPECT_EQ(CZkPluginMemAlloc::ForParameters().GetPoolId(), ZkMemID_BankObjects);
    EXPECT_EQ(CZkPluginMemAlloc::ForInstances().GetPoolId(), ZkMemID_ProcessingPlugins);

    using namespace ZK::MemoryMgr::FaultInjection;
    CountOnly(ZkMemID_ProcessingPlugins);
    void* block = ZK_PLUGIN_MALLOC(&CZkPluginMemAlloc::ForInstances(), 24);
    void* other = ZK_PLUGIN_MALLOC(&CZkPluginMemAlloc::ForParameters(), 24);
    EXPECT_EQ(CountedAllocations(), 1u);
    Disarm();
    CZkPluginMemAlloc::ForInstances().Free(block);
    CZkPluginMemAlloc::ForParameters().Free(other);
}

TEST_F(PluginMemAlloc, MallocAndReallocAreSixteenByteAligned)
{
    ZK::IZkPluginMemAlloc* allocator = &CZkPluginMemAlloc::ForInstances();
    for (size_t size : {1u, 3u, 17u, 100u, 4096u})
    {
        auto* block = static_cast<unsigned char*>(ZK_PLUGIN_MALLOC(allocator, size));
        ASSERT_NE(block, nullptr);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % 16, 0u) << size;
        std::memset(block, 0x5A, size);
        auto* grown = static_cast<unsigned char*>(allocator->Realloc(block, size * 3 + 5, __FILE__, __LINE__));
        ASSERT_NE(grown, nullptr);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(grown) % 16, 0u);
        for (size_t i = 0; i < size; ++i)
            ASSERT_EQ(grown[i], 0x5A);
        allocator->Free(grown);
    }
    void* wide = ZK_PLUGIN_MALIGN(allocator, 100, 64);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(wide) % 64, 0u);
    allocator->Free(wide);
}

TEST_F(PluginMemAlloc, FailedAllocationReturnsNull)
{
    ZK::MemoryMgr::FaultInjection::ScopedAllocationFailure failure(ZkMemID_ProcessingPlugins, 1);
    EXPECT_EQ(ZK_PLUGIN_MALLOC(&CZkPluginMemAlloc::ForInstances(), 64), nullptr);
}
} // namespace
