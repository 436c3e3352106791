// The lazily built coefficient tables under contention: threads that race to build one table all
// get the single published copy (the losers free theirs), whatever the interleaving.
#include "PanningTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace
{
using namespace PanningTest;

using ThreadedAmbisonicTables = PanningFixture;

TEST_F(ThreadedAmbisonicTables, RacingBuildersShareOnePublishedTable)
{
    constexpr int kThreads = 8;
    constexpr int kRounds = 20;
    for (int round = 0; round < kRounds; ++round)
    {
        CZkSpeakerPan::TermTables();
        std::atomic<int> ready{0};
        std::vector<const float*> seen(kThreads * 3, nullptr);
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t)
            threads.emplace_back([&, t] {
                ZK::MemoryMgr::InitForThread();
                ready.fetch_add(1);
                while (ready.load() < kThreads)
                {
                }
                const uint32_t k = static_cast<uint32_t>(round % 5);
                seen[t * 3] = CZkSpeakerPan::GetHarmonicTable3D(k);
                seen[t * 3 + 1] = CZkSpeakerPan::GetHarmonicTable2D(k);
                seen[t * 3 + 2] = CZkSpeakerPan::GetEncodingTable(k);
                ZK::MemoryMgr::TermForThread();
            });
        for (std::thread& thread : threads)
            thread.join();
        for (int t = 0; t < kThreads; ++t)
            for (int kind = 0; kind < 3; ++kind)
            {
                ASSERT_NE(seen[t * 3 + kind], nullptr);
                EXPECT_EQ(seen[t * 3 + kind], seen[kind]) << "thread " << t << " kind " << kind;
            }
    }
}
} // namespace
