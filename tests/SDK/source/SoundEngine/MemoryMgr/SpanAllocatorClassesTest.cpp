// The size-class table of the built-in allocator for every span size it accepts: each request up
// to the medium limit (and the first one past it) gets a block that holds it.
#include "MemoryTestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace
{
using ZK::SpanAlloc::CZkSpanAllocator;
using ZK::SpanAlloc::ZkSpanAllocatorConfig;

TEST(SpanClasses, EveryRequestUpToTheMediumLimitGetsABlockThatHoldsIt)
{
    ASSERT_FALSE(ZK::MemoryMgr::IsInitialized()) << "the test drives instance 0 itself";
    const uint64_t baseline = ZkMemoryTest::MappedBytes();
    struct Case
    {
        uint32_t configured;
        uint32_t spanSize;
        uint32_t mediumLimit;
    };
    const Case cases[] = {{4096, 4096, 1984},         {5000, 8192, 4032},        {16384, 16384, 8128},
                          {32768, 32768, 16320},      {0, 65536, 32256},         {131072, 131072, 32256},
                          {1u << 30, 262144, 32256}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.spanSize);
        CZkSpanAllocator& allocator = CZkSpanAllocator::Instance(0);
        ZkSpanAllocatorConfig config;
        config.spanSize = c.configured;
        ASSERT_EQ(allocator.Initialise(config), 0);
        ASSERT_EQ(allocator.SpanSize(), c.spanSize);
        ASSERT_EQ(allocator.MediumLimit(), c.mediumLimit);
        ZK::SpanAlloc::ZkSpanHeap* heap = allocator.ThreadHeap();
        ASSERT_NE(heap, nullptr);
        for (size_t request = 1; request <= c.mediumLimit + 1; ++request)
        {
            void* block = allocator.Allocate(heap, request);
            ASSERT_NE(block, nullptr) << request;
            ASSERT_EQ(reinterpret_cast<uintptr_t>(block) % 16, 0u) << request;
            ASSERT_GE(allocator.UsableSize(block), request) << request;
            allocator.Free(block);
        }
        for (uint32_t index = 0; index < ZK::SpanAlloc::kSizeClassCount; ++index)
            EXPECT_LE(allocator.SizeClass(index).blockSize, c.mediumLimit) << "class " << index;
        allocator.Finalise();
    }
    EXPECT_EQ(ZkMemoryTest::MappedBytes(), baseline) << "mappings left after Finalise";
}
} // namespace
