// Path data (the paths of a node's positioning settings): Set's checks of its items against the
// vertices (a path that would run past them is refused), the listener-relative bit every operation
// keeps, Differs, the last vertex's default duration, copies, memory failures; the voice matrix
// pair's block; held object references.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Containers/EngineMemoryFixture.h"

#include "ZkAudiolib/Common/Positioning/CZkPositionPath.h"
#include "ZkAudiolib/Common/Positioning/ZkObjectRef.h"
#include "ZkAudiolib/Common/Positioning/ZkPathData.h"
#include "ZkAudiolib/Common/Positioning/ZkVolumeMatrixPair.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
using namespace ZK::SoundEngine;

class PathData : public ZkEngineTest::EngineMemoryTest
{
protected:
    void TearDown() override
    {
        m_data.Term();
        ZkEngineTest::EngineMemoryTest::TearDown();
    }
    ZkPathData m_data;
};

TEST_F(PathData, SetChecksEveryItemAgainstTheVertices)
{
    const ZkPositionVertex vertices[3] = {{0, 0, 0, 10}, {1, 1, 1, 20}, {2, 2, 2, 30}};
    struct Row
    {
        const char* name;
        uint32_t vertexCount;
        std::vector<ZkPathItem> items;
        ZKRESULT expected;
    };
    const Row rows[] = {
        {"no vertices", 0, {{0, 1}}, ZK_InvalidParameter},
        {"no items", 3, {}, ZK_InvalidParameter},
        {"a first vertex at V", 2, {{0, 1}, {2, 1}}, ZK_Fail},
        {"a count that runs past V", 2, {{1, 5}}, ZK_Fail},
        {"a count that would wrap", 3, {{1, 0xFFFFFFFFu}}, ZK_Fail},
        {"paths within the vertices", 3, {{0, 2}, {1, 2}, {2, 1}, {2, 0}}, ZK_Success},
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.name);
        m_data.SetListenerRelative(true);
        m_data.lastVertexDurationMs = 500;
        EXPECT_EQ(m_data.Set(vertices, row.vertexCount, row.items.data(), static_cast<uint32_t>(row.items.size())),
                  row.expected);
        EXPECT_TRUE(m_data.IsListenerRelative()) << "bit 31 is kept";
        if (row.expected != ZK_Success)
        {
            EXPECT_EQ(m_data.PathCount(), 0u) << "no paths";
            continue;
        }
        ASSERT_EQ(m_data.PathCount(), 4u);
        EXPECT_EQ(m_data.paths[1].vertices, m_data.vertices + 1);
        EXPECT_NE(m_data.vertices, vertices) << "copied";
        // The last vertex of each path takes the default duration: vertices 1 and 2 here.
        EXPECT_EQ(m_data.vertices[0].durationMs, 10u);
        EXPECT_EQ(m_data.vertices[1].durationMs, 500u);
        EXPECT_EQ(m_data.vertices[2].durationMs, 500u);
        EXPECT_EQ(m_data.paths[0].rangeX, 0.0f);
    }
    m_data.Term();
    EXPECT_TRUE(m_data.IsListenerRelative());
    EXPECT_EQ(m_data.vertexCount, 0u);
}

TEST_F(PathData, OutOfMemoryGives52)
{
    const ZkPositionVertex vertices[2] = {{0, 0, 0, 10}, {1, 1, 1, 20}};
    const ZkPathItem item = {0, 2};
    for (uint32_t nth : {1u, 2u})
    {
        SCOPED_TRACE(nth);
        ZK::MemoryMgr::FaultInjection::ScopedAllocationFailure failure(ZkPathData::kNodePool, nth);
        EXPECT_EQ(m_data.Set(vertices, 2, &item, 1), ZK_InsufficientMemory);
        EXPECT_EQ(m_data.PathCount(), 0u);
    }
}

TEST_F(PathData, DiffersComparesAllButTheLastDurations)
{
    const ZkPositionVertex stored[3] = {{0, 0, 0, 10}, {1, 1, 1, 20}, {2, 2, 2, 30}};
    const ZkPathItem items[2] = {{0, 2}, {2, 1}};
    m_data.lastVertexDurationMs = 99;
    ASSERT_EQ(m_data.Set(stored, 3, items, 2), ZK_Success);
    struct Row
    {
        const char* name;
        std::vector<ZkPositionVertex> vertices;
        std::vector<ZkPathItem> items;
        bool differs;
    };
    const Row rows[] = {
        {"the same (last durations as read)", {stored[0], stored[1], stored[2]}, {items[0], items[1]}, false},
        {"another last duration", {{0, 0, 0, 10}, {1, 1, 1, 20}, {2, 2, 2, 7}}, {items[0], items[1]}, false},
        {"an inner duration", {{0, 0, 0, 11}, {1, 1, 1, 20}, {2, 2, 2, 30}}, {items[0], items[1]}, true},
        {"a coordinate", {{0, 0, 0, 10}, {1, 1, 1.5f, 20}, {2, 2, 2, 30}}, {items[0], items[1]}, true},
        {"a vertex count", {stored[0], stored[1], stored[2]}, {items[0], {1, 2}}, true},
        {"an item past the vertices", {stored[0], stored[1], stored[2]}, {items[0], {2, 2}}, true},
        {"fewer items", {stored[0], stored[1], stored[2]}, {items[0]}, true},
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(m_data.Differs(row.vertices.data(), static_cast<uint32_t>(row.vertices.size()), row.items.data(),
                                 static_cast<uint32_t>(row.items.size())),
                  row.differs);
    }
    ZkPathData none;
    none.Clear();
    EXPECT_FALSE(none.Differs(stored, 0, items, 0)) << "K = 0 with equal counts";
}

TEST_F(PathData, DefaultDurationCopiesAndPlayers)
{
    const ZkPositionVertex vertices[3] = {{0, 0, 0, 10}, {1, 1, 1, 20}, {2, 2, 2, 30}};
    const ZkPathItem items[2] = {{0, 3}, {1, 1}};
    ASSERT_EQ(m_data.Set(vertices, 3, items, 2), ZK_Success);
    m_data.SetRanges(1, 1.0f, 2.0f, 3.0f);
    m_data.SetRanges(2, 9.0f, 9.0f, 9.0f); // beyond the paths: nothing
    m_data.SetLastVertexDuration(1500);
    EXPECT_EQ(m_data.vertices[2].durationMs, 1500u);
    EXPECT_EQ(m_data.vertices[1].durationMs, 1500u) << "the last (only) vertex of path 1";
    EXPECT_EQ(m_data.vertices[0].durationMs, 10u);
    m_data.mode = ZkPathData::kModeContinuous | ZkPathData::kModeLoop | ZkPathData::kModePlayerPerInstance;
    m_data.SetListenerRelative(true);

    ZkPathData copy;
    copy.Clear();
    copy.pool = ZkPathData::kPlayPool;
    ASSERT_EQ(copy.CopyFrom(m_data), ZK_Success);
    EXPECT_NE(copy.vertices, m_data.vertices);
    EXPECT_EQ(copy.paths[1].vertices, copy.vertices + 1);
    EXPECT_EQ(copy.paths[1].rangeZ, 2.0f);
    EXPECT_EQ(copy.pathCountWord, m_data.pathCountWord);
    EXPECT_FALSE(copy.Differs(m_data.vertices, 3, items, 2));

    CZkPositionPath player;
    ASSERT_EQ(copy.StartPlayer(player, nullptr), ZK_Success);
    EXPECT_TRUE(player.IsContinuous());
    EXPECT_TRUE(player.IsListenerRelative());
    EXPECT_EQ(player.PlaylistFlags(), CZkPositionPath::kPlaylistContinuous) << "bits 2 and 3 are not playlist flags";
    player.Term();
    copy.Term();
}

TEST_F(PathData, VolumeMatrixPairBlockSizesAndTheKeptBlock)
{
    ZkVolumeMatrixPair pair;
    ASSERT_EQ(pair.Allocate(2, 6), ZK_Success);
    const float* block = pair.current;
    EXPECT_EQ(pair.MatrixFloats() * 2 * sizeof(float), 128u) << "2 x 8 x 8 bytes";
    EXPECT_EQ(reinterpret_cast<const char*>(pair.previous) - reinterpret_cast<const char*>(pair.current), 64);
    pair.current[3] = 1.0f;
    ASSERT_EQ(pair.Allocate(2, 7), ZK_Success);
    EXPECT_EQ(pair.current, block) << "the same size keeps the block";
    EXPECT_EQ(pair.current[3], 0.0f) << "cleared as a new one";
    EXPECT_EQ(pair.outputs, 7u);
    ASSERT_EQ(pair.Allocate(2, 9), ZK_Success);
    EXPECT_EQ(pair.MatrixFloats(), 24u);
    ASSERT_EQ(pair.Allocate(0, 2), ZK_Success);
    EXPECT_FALSE(pair.IsAllocated());
    pair.Free();
}

TEST(ObjectRef, ReleaseGivesTheReferenceBackOnce)
{
    struct Counted
    {
        int releases = 0;
        void Release() { ++releases; }
    } counted;
    ZkObjectRef<Counted> ref;
    ref.object = &counted;
    ref.Release();
    ref.Release();
    EXPECT_EQ(counted.releases, 1);
    EXPECT_EQ(ref.object, nullptr);
    ref.object = &counted;
    ref.Clear();
    EXPECT_EQ(counted.releases, 1) << "Clear forgets without releasing";
}
} // namespace
