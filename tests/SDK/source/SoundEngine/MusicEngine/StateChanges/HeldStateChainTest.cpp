// A held change in a chain of several segments: an item that does not ask for the group passes
// the search on to the next one, and an item that asks but has no point before its end hands the
// change to the next item, which takes it at its own point or, not asking, as soon as it begins.
#include "HeldStateChangeFixture.h"

#include "MusicEngine/Contexts/CZkMusicChainContext.h"
#include "MusicEngine/Contexts/CZkMusicSegmentContext.h"

namespace ZkHeldStateTest
{
namespace
{
constexpr int64_t kActive = 4 * kBar;

// A root chain of the items the test places.
class PlacedChain final : public CZkMusicChainContext
{
public:
    explicit PlacedChain(CZkMusicNode* node) : CZkMusicChainContext(nullptr), m_node(node) {}
    CZkMusicNode* GetNode() const override { return m_node; }
    bool CanContinue() const override { return true; }

private:
    CZkMusicNode* m_node;
};

class HeldStateChainTest : public HeldStateChangeTest
{
protected:
    // A playing root chain of two segments, the second entered at the first one's exit cue, and an
    // empty item at the second one's exit cue.
    PlacedChain* PlayTwo(ZkUniqueID first, ZkUniqueID second)
    {
        auto* firstSegment = Find<CZkMusicSegment>(first);
        void* memory = ZK::MemoryMgr::Malloc(CZkMusicContext::kPool, sizeof(PlacedChain));
        auto* chain = new (memory) PlacedChain(firstSegment);
        chain->AddRef();
        const ZkPlayingID playingID = NewPlayingID();
        EXPECT_EQ(chain->Attach(nullptr, ZkMusicPlayInfo{nullptr, playingID}, 0), ZK_Success);
        ZK::SoundEngine::g_pPlayingMgr->RemovePlayingIDRef(playingID);
        uint64_t position = 0;
        for (CZkMusicSegment* segment : {firstSegment, Find<CZkMusicSegment>(second)})
        {
            CZkMusicSegmentContext* context = CZkMusicSegmentContext::Create(chain, *segment);
            EXPECT_NE(chain->AppendItem(position, context), nullptr);
            context->Release(); // the item holds it
            position += static_cast<uint64_t>(segment->ActiveLength());
        }
        EXPECT_NE(chain->AppendItem(position, nullptr), nullptr);
        chain->PlayWithFade(ZkMusicFadeParams{0, 4, 0});
        return chain;
    }
};

TEST_F(HeldStateChainTest, AnItemWithoutAPointHandsTheChangeToTheNextItem)
{
    struct Case
    {
        const char* label;
        ZkUniqueID first;
        ZkUniqueID second;
        int framesBefore;
        int64_t heldUntil; // the root's clock time of the point; -1: at once
    };
    const Case cases[] = {
        {"the first does not ask: the second's bar at its entry", kNotAsking, kAtNextBar, 10, kActive},
        {"no bar left in the first: the second, not asking, as it begins", kAtNextBarShort, kNotAsking, 294, kShortExit},
        {"no bar left in the first: the second's own exit cue", kAtNextBarShort, kAtExitCue, 294, kShortExit + kActive},
        {"neither asks: at once", kNotAsking, kNotAsking, 10, -1},
    };
    ZkUniqueID newState = 860;
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.label);
        ++newState;
        PlacedChain* chain = PlayTwo(c.first, c.second);
        Render(c.framesBefore);
        const uint64_t clock = chain->playRecord->clock;
        ASSERT_EQ(ZK::SoundEngine::SetState(kGroup, newState), ZK_Success);
        const int renders = c.heldUntil < 0 ? 1 : RendersToApply(clock, c.heldUntil);
        EXPECT_EQ(RendersUntil(newState, renders), renders);
        EXPECT_EQ(Pending(), 0u);
        chain->Stop(0);
        chain->Release();
        Render(2);
    }
}
} // namespace
} // namespace ZkHeldStateTest
