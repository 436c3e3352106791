// Prepared game-sync values: the nodes linked to a prepared group prepare the media of each value
// (collected, then loaded once every value succeeded), and a failing value undoes the values
// before it. Group nodes of the test stand for the containers that follow game syncs.
#include "PreparationFixture.h"

#include "ZkAudiolib/Common/GameSyncs/CZkStateMgr.h"
#include "ZkAudiolib/Common/Hierarchy/ZkMediaRef.h"

#include <map>
#include <utility>

namespace
{
using namespace ZkPreparationTest;

constexpr ZkUniqueID kGroup = 77;
constexpr ZkUniqueID kFailingValue = 3;

// Prepares the media of each value (value v plays media 99 + v), and fails for kFailingValue.
class MediaPerValueNode final : public IZkPreparedGroupNode
{
public:
    explicit MediaPerValueNode(std::map<ZkUniqueID, uint32_t> sizes) : m_sizes(std::move(sizes)) {}

    ZKRESULT OnPreparedValue(ZkUniqueID value, bool prepare) override
    {
        calls.emplace_back(value, prepare);
        if (value == kFailingValue)
            return prepare ? ZK_InsufficientMemory : ZK_Success;
        ZkMediaRef media;
        media.Init();
        media.mediaID = 99 + value;
        media.fileID = static_cast<int32_t>(media.mediaID);
        media.mediaSize = m_sizes.at(media.mediaID);
        media.SetKind(kMediaKindInMemory);
        media.sourceType = 0x00010001; // the PCM codec: "<id>.oxm"
        if (!prepare)
        {
            media.Unprepare();
            return ZK_Success;
        }
        return media.Prepare();
    }

    std::vector<std::pair<ZkUniqueID, bool>> calls;

private:
    std::map<ZkUniqueID, uint32_t> m_sizes;
};

class GameSyncPreparation : public PreparationTest
{
protected:
    void SetUp() override
    {
        PreparationTest::SetUp();
        ASSERT_NO_FATAL_FAILURE(StartWithStandardBanks());
        ASSERT_NE(g_pStateMgr->GetPreparedGroup(kGroup, ZkGroupType_State), nullptr);
        ASSERT_EQ(g_pStateMgr->AddGroupNode(&m_node, ZkGroupType_State, kGroup), ZK_Success);
    }
    void TearDown() override
    {
        if (g_pStateMgr != nullptr)
            g_pStateMgr->RemoveGroupNode(&m_node, ZkGroupType_State, kGroup);
        PreparationTest::TearDown();
    }

    MediaPerValueNode m_node{{{kMediaA, 0}, {kMediaB, 0}}};
};

TEST_F(GameSyncPreparation, ValuesPrepareTheirNodesMediaAndAFailingThirdUndoesTheFirstTwo)
{
    m_node = MediaPerValueNode{{{kMediaA, static_cast<uint32_t>(LooseMedia(kMediaA).size())},
                                {kMediaB, static_cast<uint32_t>(LooseMedia(kMediaB).size())}}};
    const ZkUniqueID values[3] = {1, 2, kFailingValue};
    EXPECT_EQ(PrepareGameSyncs(Preparation_Load, ZkGroupType_State, kGroup, values, 3), ZK_InsufficientMemory);
    EXPECT_EQ(MediaCount(), 0u) << "nothing was loaded: the media were only collected";
    const std::vector<std::pair<ZkUniqueID, bool>> undone = {{1, true}, {2, true}, {3, true}, {1, false},
                                                             {2, false}};
    EXPECT_EQ(m_node.calls, undone);

    m_node.calls.clear();
    ASSERT_EQ(PrepareGameSyncs(Preparation_Load, ZkGroupType_State, kGroup, values, 2), ZK_Success);
    EXPECT_EQ(Prepared(kMediaA), LooseMedia(kMediaA));
    EXPECT_EQ(Prepared(kMediaB), LooseMedia(kMediaB));
    ASSERT_EQ(PrepareGameSyncs(Preparation_Unload, ZkGroupType_State, kGroup, values, 2), ZK_Success);
    EXPECT_EQ(MediaCount(), 0u);
}

TEST_F(GameSyncPreparation, MediaThatCannotBeLoadedUndoEveryValue)
{
    m_node = MediaPerValueNode{{{kMediaA, static_cast<uint32_t>(LooseMedia(kMediaA).size())},
                                {kMediaB, static_cast<uint32_t>(LooseMedia(kMediaB).size())}}};
    RemoveFile("101.oxm");
    const ZkUniqueID values[2] = {1, 2};
    EXPECT_NE(PrepareGameSyncs(Preparation_Load, ZkGroupType_State, kGroup, values, 2), ZK_Success);
    EXPECT_EQ(MediaCount(), 0u) << "the media loaded before the missing one were given back";
    const std::vector<std::pair<ZkUniqueID, bool>> calls = {{1, true}, {2, true}, {1, false}, {2, false}};
    EXPECT_EQ(m_node.calls, calls);
}
} // namespace
