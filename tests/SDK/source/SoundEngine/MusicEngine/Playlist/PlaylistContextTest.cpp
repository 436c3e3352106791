// The playlist context under a parent context that keeps saved walks (as a switch keeps them for its
// children): a playlist started there continues the walk its parent keeps, and each item that
// starts hands the walk's state before it to the parent. Seeking to a playlist item restarts the
// walk there.
#include "../MusicBankFixture.h"

#include "MusicEngine/CZkMusicPlaylistContainer.h"
#include "MusicEngine/Contexts/CZkMusicPlaylistContext.h"

#include <new>
#include <vector>

namespace
{
using namespace ZkMusicTest;
using namespace ZK::MusicEngine;

constexpr ZkUniqueID kPlaylist = 10;

// A parent that keeps the last walk each playlist handed it.
class KeepingParent final : public CZkMusicChainContext
{
public:
    KeepingParent() : CZkMusicChainContext(nullptr) {}
    ~KeepingParent() override { kept.Release(); }
    CZkMusicNode* GetNode() const override { return nullptr; }
    bool CanContinue() const override { return false; }
    bool StoreChildState(ZkUniqueID id, const ZkPlaylistSavedState& state) override
    {
        if (id != kPlaylist)
            return false;
        kept.Release();
        kept = state;
        ++stored;
        return true;
    }
    const ZkPlaylistSavedState* FindChildState(ZkUniqueID id) override
    {
        return id == kPlaylist && kept.block != nullptr ? &kept : nullptr;
    }

    ZkPlaylistSavedState kept;
    int stored = 0;
};

class PlaylistContextTest : public MusicBankTest
{
protected:
    void SetUp() override
    {
        MusicBankTest::SetUp();
        std::string items;
        for (ZkUniqueID segment : {20, 21, 22})
            items += Segment(segment, R"("duration_ms": 1000, "markers": [{"id": 1, "position_ms": 0}, {"id": 2, "position_ms": 1000}])") +
                     ", ";
        // A sequence without end of leaves 101, 102 and 103 naming segments 20, 21 and 22.
        items += Playlist(kPlaylist, R"("rules": [{"source": {"sync": 7}}], "playlist": {"id": 100, "mode": 1, "repeat": 0,
            "items": [{"id": 101, "segment": 20}, {"id": 102, "segment": 21}, {"id": 103, "segment": 22}]})");
        ASSERT_EQ(Load(items), ZK_Success);
        m_playlist = Find<CZkMusicPlaylistContainer>(kPlaylist);
        ASSERT_NE(m_playlist, nullptr);
        void* memory = ZK::MemoryMgr::Malloc(CZkMusicContext::kPool, sizeof(KeepingParent));
        m_parent = new (memory) KeepingParent;
        m_parent->AddRef();
    }
    void TearDown() override
    {
        m_parent->Stop(0);
        m_parent->Release();
        MusicBankTest::TearDown();
    }

    CZkMusicPlaylistContext* Play()
    {
        return CZkMusicPlaylistContext::Create(m_parent, *m_playlist, nullptr, ZkMusicPlayInfo{}, 0);
    }
    static void Finish(CZkMusicPlaylistContext* context)
    {
        context->Stop(0);
        context->Release();
    }
    static std::vector<ZkUniqueID> Segments(const CZkMusicPlaylistContext& context)
    {
        std::vector<ZkUniqueID> segments;
        for (const ZkMusicChainItem* item = context.Head(); item != nullptr; item = item->next)
            segments.push_back(item->segmentID);
        return segments;
    }

    CZkMusicPlaylistContainer* m_playlist = nullptr;
    KeepingParent* m_parent = nullptr;
};

TEST_F(PlaylistContextTest, APlaylistUnderAParentContinuesTheWalkItKeeps)
{
    CZkMusicPlaylistContext* first = Play();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(Segments(*first), (std::vector<ZkUniqueID>{20, 21, 22})) << "three items ahead";
    // Items 20 and 21 start: the parent keeps the walk as it stood before 21 was appended.
    first->OnItemStarted(*first->Head());
    first->OnItemStarted(*first->Head()->next);
    EXPECT_EQ(m_parent->stored, 2);
    Finish(first);

    CZkMusicPlaylistContext* second = Play();
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(Segments(*second), (std::vector<ZkUniqueID>{21, 22, 20})) << "the kept walk goes on";
    Finish(second);
}

TEST_F(PlaylistContextTest, SeekingToAnItemRestartsTheWalkThere)
{
    struct Case
    {
        const char* what;
        ZkUniqueID item;
        ZKRESULT result;
        ZkUniqueID head; // the head's segment afterwards (0: no head)
        bool moreItems;
    };
    const Case cases[] = {
        {"an item of the tree", 103, ZK_Success, 22, true},
        {"item 0 keeps the chain", 0, ZK_Success, 20, true},
        {"an item the tree does not hold ends the sequence", 999, ZK_Fail, 0, false},
    };
    for (const Case& c : cases)
    {
        CZkMusicPlaylistContext* context = Play();
        ASSERT_NE(context, nullptr) << c.what;
        EXPECT_EQ(context->SeekToItem(c.item, 0, nullptr), c.result) << c.what;
        EXPECT_EQ(context->Head() != nullptr ? context->Head()->segmentID : 0u, c.head) << c.what;
        EXPECT_EQ(context->CanContinue(), c.moreItems) << c.what;
        Finish(context);
    }
}
} // namespace
