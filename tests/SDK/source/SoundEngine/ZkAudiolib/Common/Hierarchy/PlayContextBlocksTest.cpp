// The engine-wide pool of per-play records in blocks of 128: a block with a free record is used
// before a new one is made, a block whose records are all free again is given back, and a block
// that cannot be had makes no record.
#include "HierarchyFixture.h"

#include "ZkAudiolib/Common/Hierarchy/ZkPlayContextBlocks.h"

#include <vector>

namespace
{
using namespace ZkHierarchyTest;

struct Record
{
    explicit Record(uint32_t v) : value(v) {}
    uint32_t value;
    uint64_t padding[3] = {};
};
using Blocks = ZkPlayContextBlocks<Record>;

class PlayContextBlocks : public HierarchyTest
{
};

TEST_F(PlayContextBlocks, BlocksOf128AreReusedAndGivenBack)
{
    ASSERT_EQ(Blocks::BlockCount(), 0u);
    std::vector<Record*> records;
    for (uint32_t index = 0; index < 129; ++index)
    {
        records.push_back(Blocks::Take(index));
        ASSERT_NE(records.back(), nullptr);
        EXPECT_EQ(records.back()->value, index);
    }
    EXPECT_EQ(Blocks::BlockCount(), 2u) << "the 129th record opens a second block";

    // A record freed in the first block is taken again before any new block.
    Blocks::Give(records[5]);
    records[5] = Blocks::Take(500u);
    ASSERT_NE(records[5], nullptr);
    EXPECT_EQ(Blocks::BlockCount(), 2u);

    // The second block holds one record: giving it back gives the block back.
    Blocks::Give(records[128]);
    records.pop_back();
    EXPECT_EQ(Blocks::BlockCount(), 1u);
    for (Record* record : records)
        Blocks::Give(record);
    EXPECT_EQ(Blocks::BlockCount(), 0u);
}

TEST_F(PlayContextBlocks, NoBlockNoRecord)
{
    namespace Fault = ZK::MemoryMgr::FaultInjection;
    {
        Fault::ScopedAllocationFailure failure(Fault::kAnyPool, 1);
        EXPECT_EQ(Blocks::Take(1u), nullptr);
    }
    EXPECT_EQ(Blocks::BlockCount(), 0u);
}
} // namespace
