// A bus that goes quiet with a recovery time keeps its ducks until its recovery action runs (a
// pending action of type 0x1820, delayed by the recovery time), then releases them; a bus that
// plays again meanwhile keeps them; a bus gone before its recovery needs nothing.
#include "EventsFixture.h"

namespace
{
using namespace ZkEventsTest;

class DuckRecovery : public EventsTest
{
protected:
    void SetUp() override
    {
        EventsTest::SetUp();
        // 100 ms at 48,000 Hz: 4,800 samples, four frames and 704 samples.
        Load(Bus("Target"));
        Load(Bus("Voice", R"("recovery_ms": 100, "ducks": [{"target": "Target", "volume": -6.0}])"));
        m_target = FindBus("Target");
        m_voice = FindBus("Voice");
    }

    CZkBus* m_target = nullptr;
    CZkBus* m_voice = nullptr;
};

TEST_F(DuckRecovery, TheDucksStayUntilTheRecoveryRuns)
{
    ASSERT_EQ(m_voice->RecoveryFrames(), 4800u);
    Play(m_voice);
    EXPECT_EQ(m_target->DuckValue(0), -6.0f);
    Stop(m_voice);
    EXPECT_EQ(m_voice->DuckState(), ZkDuckState_Recovering);
    EXPECT_EQ(m_events.ActivePendingCount(), 1u) << "the recovery waits as a pending action";
    for (int tick = 0; tick < 3; ++tick)
    {
        Tick();
        EXPECT_EQ(m_target->DuckValue(0), -6.0f) << "tick " << tick << ": still ducked";
    }
    Tick();
    EXPECT_EQ(m_voice->DuckState(), ZkDuckState_Idle);
    EXPECT_EQ(m_target->DuckValue(0), 0.0f) << "released";
    EXPECT_EQ(m_events.ActivePendingCount(), 0u);
}

TEST_F(DuckRecovery, ABusThatPlaysAgainKeepsItsDucks)
{
    Play(m_voice);
    Stop(m_voice);
    Tick();
    Play(m_voice);
    EXPECT_EQ(m_voice->DuckState(), ZkDuckState_Ducking);
    Ticks(4);
    EXPECT_EQ(m_voice->DuckState(), ZkDuckState_Ducking) << "the old recovery found the bus playing";
    EXPECT_EQ(m_target->DuckValue(0), -6.0f);
    Stop(m_voice);
    Ticks(5);
    EXPECT_EQ(m_target->DuckValue(0), 0.0f);
}

TEST_F(DuckRecovery, ABusGoneBeforeItsRecoveryNeedsNothing)
{
    Play(m_voice);
    Stop(m_voice);
    ASSERT_EQ(m_events.ActivePendingCount(), 1u);
    LoadedBank* voiceBank = m_loaded.back();
    voiceBank->ReleaseItemList();
    voiceBank->Destroy();
    m_loaded.pop_back();
    EXPECT_EQ(FindBus("Voice"), nullptr);
    EXPECT_EQ(m_target->DuckValue(0), 0.0f) << "a bus that goes releases its ducks";
    Ticks(5);
    EXPECT_EQ(m_events.ActivePendingCount(), 0u) << "the recovery ran and found nothing";
}
} // namespace
