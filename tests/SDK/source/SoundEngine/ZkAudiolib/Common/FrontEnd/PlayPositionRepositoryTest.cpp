// The play-position and stream-buffering records and the getters that read them: sources without
// a format are not listed, extrapolation never passes the duration, the smallest buffering of
// several streams is kept, and everything of a playing id goes when it ends.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Containers/EngineMemoryFixture.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Sources/SilentSource.h"

#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/FrontEnd/PlayPositionRepository.h"
#include "ZkAudiolib/Common/Hierarchy/CZkSoundNode.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingInstance.h"

#include "Platform/PlatformThread.h"

#include <gtest/gtest.h>

#include <memory>

using namespace ZK::SoundEngine;

namespace
{
// A source that plays nothing for an instance of a sound (not in any bank) and its media: the
// records are keyed by it and the ids are read from it.
class IdSource final : public ZkSourceTest::SilentSource
{
public:
    IdSource(ZkUniqueID nodeID, ZkUniqueID mediaID) : SilentSource(nullptr)
    {
        m_media.Init();
        m_media.mediaID = mediaID;
        m_sound = ZK::ZkNew<CZkSoundNode>(CZkSoundNode::kPool, nodeID);
        m_instance = CZkPlayingInstance::Create(PlayLaunchParams{}, m_sound, &m_media, ZkPriorityRecord{});
    }
    ~IdSource() override
    {
        CZkPlayingInstance::Free(m_instance);
        if (m_sound != nullptr)
            m_sound->Release();
    }
    bool Made() const { return m_sound != nullptr && m_instance != nullptr; }

private:
    ZkMediaRef m_media;
    CZkSoundNode* m_sound = nullptr;
};

class PlayPositions : public ZkEngineTest::EngineMemoryTest
{
protected:
    void SetUp() override
    {
        EngineMemoryTest::SetUp();
        g_pPlayPositionRepository = ZK::ZkNew<PlayPositionRepository>(PlayPositionRepository::kPool);
        ASSERT_EQ(g_pPlayPositionRepository->Init(), ZK_Success);
        m_sourceA = std::make_unique<IdSource>(100, 1000);
        m_sourceB = std::make_unique<IdSource>(200, 2000);
        ASSERT_TRUE(m_sourceA->Made() && m_sourceB->Made());
        sourceA = m_sourceA.get();
        sourceB = m_sourceB.get();
    }
    void TearDown() override
    {
        m_sourceA.reset();
        m_sourceB.reset();
        ZK::ZkDelete(PlayPositionRepository::kPool, g_pPlayPositionRepository);
        g_pPlayPositionRepository = nullptr;
        EngineMemoryTest::TearDown();
    }
    PlayPositionRepository& Repository() { return *g_pPlayPositionRepository; }

    std::unique_ptr<IdSource> m_sourceA;
    std::unique_ptr<IdSource> m_sourceB;
    const IdSource* sourceA = nullptr;
    const IdSource* sourceB = nullptr;
};
} // namespace

TEST_F(PlayPositions, ASourceWithoutItsFormatIsNotListed)
{
    Repository().AddSource(7, sourceA);
    int32_t position = -1;
    EXPECT_EQ(GetSourcePlayPosition(7, &position, false), ZK_Fail);
    EXPECT_EQ(position, -1);
    Repository().SetPositionInfo(7, ZkPlayPositionInfo{24000, 1.0f, 96000, 48000}, sourceA);
    EXPECT_EQ(GetSourcePlayPosition(7, &position, false), ZK_Success);
    EXPECT_EQ(position, 500);
    EXPECT_EQ(GetSourcePlayPosition(7, nullptr, false), ZK_InvalidParameter);
    EXPECT_EQ(GetSourcePlayPosition(8, &position, false), ZK_Fail) << "another playing id";
}

TEST_F(PlayPositions, SeveralSourcesAreCountedAndListedInReportOrder)
{
    Repository().SetPositionInfo(7, ZkPlayPositionInfo{4800, 1.0f, 48000, 48000}, sourceA);
    Repository().AddSource(7, sourceB);
    Repository().SetPositionInfo(7, ZkPlayPositionInfo{22050, 1.0f, 44100, 44100}, sourceB);
    Repository().SetPositionInfo(9, ZkPlayPositionInfo{1, 1.0f, 2, 48000}, sourceB);
    EXPECT_EQ(Repository().PositionRecordCount(), 3u);
    uint32_t count = 0;
    EXPECT_EQ(GetSourcePlayPositions(7, nullptr, &count, false), ZK_Success);
    EXPECT_EQ(count, 2u) << "count 0 only counts";
    ZkSourcePlayPosition positions[2] = {};
    count = 1;
    EXPECT_EQ(GetSourcePlayPositions(7, positions, &count, false), ZK_Success);
    EXPECT_EQ(count, 1u);
    count = 2;
    EXPECT_EQ(GetSourcePlayPositions(7, positions, &count, false), ZK_Success);
    EXPECT_EQ(positions[0].positionMs, 100);
    EXPECT_EQ(positions[1].positionMs, 500);
    EXPECT_EQ(positions[1].positionSamples, 22050u);
    EXPECT_EQ(positions[0].audioNodeID, 100u) << "the ids of the sound that plays";
    EXPECT_EQ(positions[0].mediaID, 1000u);
    EXPECT_EQ(positions[1].audioNodeID, 200u);
    EXPECT_EQ(positions[1].mediaID, 2000u);
    EXPECT_EQ(GetSourcePlayPositions(7, nullptr, nullptr, false), ZK_InvalidParameter);
    EXPECT_EQ(GetSourcePlayPositions(7, nullptr, &count, false), ZK_InvalidParameter) << "room without an array";

    Repository().RemoveSource(7, sourceA);
    count = 0;
    GetSourcePlayPositions(7, nullptr, &count, false);
    EXPECT_EQ(count, 1u);
    Repository().RemovePlayingID(7);
    EXPECT_EQ(Repository().PositionRecordCount(), 1u) << "playing id 9 stays";
}

TEST_F(PlayPositions, ExtrapolatedPositionsNeverPassTheDuration)
{
    Repository().SetPositionInfo(7, ZkPlayPositionInfo{47000, 1.0f, 48000, 48000}, sourceA);
    ZK::Platform::SleepMilliseconds(30); // the report ages past the duration's end
    int32_t position = 0;
    ASSERT_EQ(GetSourcePlayPosition(7, &position, true), ZK_Success);
    EXPECT_EQ(position, 1000) << "979 ms reported, more than 21 ms since: the duration caps it";
    ASSERT_EQ(GetSourcePlayPosition(7, &position, false), ZK_Success);
    EXPECT_EQ(position, 979);
    Repository().UpdatePosition(7, sourceA, 0.0f);
    ASSERT_EQ(GetSourcePlayPosition(7, &position, true), ZK_Success);
    EXPECT_EQ(position, 979) << "a paused source (rate 0) does not move";
}

TEST_F(PlayPositions, SeveralStreamsKeepTheSmallestBuffering)
{
    int32_t buffering = -1;
    bool hasData = true;
    EXPECT_EQ(GetSourceStreamBuffering(7, buffering, hasData), ZK_Fail);
    EXPECT_EQ(buffering, 0);
    EXPECT_FALSE(hasData);
    StreamBufferingRepository::Set(7, sourceA, 400, 0);
    StreamBufferingRepository::Set(7, sourceB, 250, 1);
    ASSERT_EQ(GetSourceStreamBuffering(7, buffering, hasData), ZK_Success);
    EXPECT_EQ(buffering, 250);
    EXPECT_TRUE(hasData) << "the status follows the other source while the stored one is not 1";
    StreamBufferingRepository::Set(7, sourceB, 100, PlayPositionRepository::kBufferingIgnored);
    ASSERT_EQ(GetSourceStreamBuffering(7, buffering, hasData), ZK_Success);
    EXPECT_EQ(buffering, 250) << "a source of status 2 does not lower it";
    StreamBufferingRepository::Set(7, sourceB, 500, 0);
    ASSERT_EQ(GetSourceStreamBuffering(7, buffering, hasData), ZK_Success);
    EXPECT_EQ(buffering, 250) << "a larger amount does not raise it";
    EXPECT_TRUE(hasData) << "a stored status 1 stays";
    StreamBufferingRepository::Set(7, sourceA, 800, 0);
    ASSERT_EQ(GetSourceStreamBuffering(7, buffering, hasData), ZK_Success);
    EXPECT_EQ(buffering, 800) << "the first source overwrites its own record";
    EXPECT_FALSE(hasData);
    StreamBufferingRepository::Remove(7);
    EXPECT_EQ(GetSourceStreamBuffering(7, buffering, hasData), ZK_Fail);
    StreamBufferingRepository::Set(8, sourceA, 1, 1);
    Repository().RemovePlayingID(8);
    int32_t status = 0;
    EXPECT_EQ(StreamBufferingRepository::Get(8, buffering, status), ZK_Fail) << "the playing id ended";
}
