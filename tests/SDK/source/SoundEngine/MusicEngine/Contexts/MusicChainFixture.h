// Shared by the chain and cursor tests: the music engine with a bank-made segment (120 bpm in 4/4,
// so a bar is 96000 samples and a beat 24000 at 48 kHz; pre-entry 250 ms, a custom cue one bar after
// the entry, exit four bars after it, post-exit 500 ms) and a test chain whose items are placed by
// the test.
#pragma once

#include "SDK/source/SoundEngine/MusicEngine/MusicBankFixture.h"

#include "MusicEngine/Contexts/CZkMusicChainContext.h"
#include "MusicEngine/Contexts/CZkMusicSegmentContext.h"
#include "MusicEngine/Contexts/CZkMusicSegmentSequenceContext.h"
#include "MusicEngine/Contexts/ZkMusicCursor.h"

#include <vector>

namespace ZkMusicChainTest
{
using namespace ZK::MusicEngine;

constexpr int32_t kBar = 96000;
constexpr int32_t kBeat = 24000;
constexpr int32_t kPreEntry = 12000;
constexpr int32_t kActive = 4 * kBar;
constexpr ZkUniqueID kCustomCue = 7;

// A chain over the fixture's segment; whether it may grow is the test's choice.
class TestChain final : public CZkMusicChainContext
{
public:
    TestChain(CZkMusicNode* node, bool canContinue) : CZkMusicChainContext(nullptr), m_node(node), m_canContinue(canContinue) {}
    CZkMusicNode* GetNode() const override { return m_node; }
    bool CanContinue() const override { return m_canContinue; }
    void OnItemStarted(ZkMusicChainItem& item) override { started.push_back(&item); }
    void OnItemRemoved(ZkMusicChainItem& item) override { removed.push_back(&item); }

    std::vector<ZkMusicChainItem*> started;
    std::vector<ZkMusicChainItem*> removed;

private:
    CZkMusicNode* m_node;
    bool m_canContinue;
};

class MusicChainTest : public ZkMusicTest::MusicBankTest
{
protected:
    void SetUp() override
    {
        MusicBankTest::SetUp();
        ASSERT_EQ(Load(ZkMusicTest::Segment(100, R"("duration_ms": 8750,
            "grid": {"period_ms": 500, "offset_ms": 0, "tempo": 120, "beats_per_bar": 4, "beat_value": 4, "own": 1},
            "markers": [{"id": 1, "position_ms": 250}, {"id": 7, "position_ms": 2250}, {"id": 9, "position_ms": 8250}])")),
                  ZK_Success);
        m_segment = Find<CZkMusicSegment>(100);
        ASSERT_NE(m_segment, nullptr);
        ASSERT_EQ(m_segment->ActiveLength(), kActive);
        m_chain = NewChain(m_segment, false);
    }
    void TearDown() override
    {
        if (m_chain != nullptr)
        {
            m_chain->Stop(0);
            m_chain->Release();
        }
        MusicBankTest::TearDown();
    }

    // A chain over its own memory, as m_chain (the creator's reference is the caller's).
    static TestChain* NewChain(CZkMusicNode* node, bool canContinue)
    {
        void* memory = ZK::MemoryMgr::Malloc(CZkMusicContext::kPool, sizeof(TestChain));
        auto* chain = new (memory) TestChain(node, canContinue);
        chain->AddRef();
        return chain;
    }

    // A play of the segment by itself for the playing id (which the caller registered), started and
    // playing; the creator's reference is the caller's.
    CZkMusicSegmentSequenceContext* PlayingRoot(ZkPlayingID playingID)
    {
        void* memory = ZK::MemoryMgr::Malloc(CZkMusicContext::kPool, sizeof(CZkMusicSegmentSequenceContext));
        auto* root = new (memory) CZkMusicSegmentSequenceContext(nullptr, *m_segment);
        root->AddRef();
        EXPECT_EQ(root->Start(nullptr, ZkMusicPlayInfo{nullptr, playingID}, 0), ZK_Success);
        root->PlayWithFade(ZkMusicFadeParams{0, 4, 0});
        return root;
    }

    // An item at position: playing the segment, or empty.
    ZkMusicChainItem* Append(uint64_t position, bool withSegment)
    {
        return AppendTo(*m_chain, position, withSegment);
    }
    ZkMusicChainItem* AppendTo(TestChain& chain, uint64_t position, bool withSegment)
    {
        CZkMusicSegmentContext* context = withSegment ? CZkMusicSegmentContext::Create(&chain, *m_segment) : nullptr;
        ZkMusicChainItem* item = chain.AppendItem(position, context);
        if (context != nullptr)
            context->Release(); // the item holds it now
        return item;
    }

    CZkMusicSegment* m_segment = nullptr;
    TestChain* m_chain = nullptr;
};
} // namespace ZkMusicChainTest
