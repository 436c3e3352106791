// Three-dimensional panning while the device's speaker angles change on another thread: the
// panners hold the device lock over every cache they read (point sets, layouts), so each matrix is
// wholly that of one angle table, never a mix of both or freed memory.
#include "PanningTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace
{
using namespace PanningTest;
using ZK::SoundEngine::ZkPositioningRay;

using ThreadedPanning3D = PanningFixture;

TEST_F(ThreadedPanning3D, EveryMatrixIsThatOfOneAngleTable)
{
    constexpr int kPanners = 3;
    constexpr int kRounds = 150;
    const float tables[2][3] = {{45, 90, 135}, {30, 100, 140}};
    ZkPositioningRay ray;
    ray.position = {1.0f, 0.5f, 2.0f};
    const ZkChannelConfig input = Speakers(0x607);
    const ZkChannelConfig output = Speakers(0x637);
    auto pan = [&](CZkOutputDevice& device) {
        Matrix matrix(input, output);
        matrix.ZeroRows();
        CZkSpeakerPan::ComputeSpeakerVolumes3D(ray, 0.5f, 0.6f, 0.3f, matrix.Data(), input, kZkAllInputChannels,
                                               output, &device);
        return matrix.values;
    };
    std::vector<float> expected[2];
    for (int t = 0; t < 2; ++t)
    {
        CZkOutputDevice reference;
        ASSERT_EQ(reference.SetSpeakerAngles(tables[t], 3, 54.7f), ZK_Success);
        expected[t] = pan(reference);
    }
    ASSERT_NE(expected[0], expected[1]);

    CZkOutputDevice device;
    ASSERT_EQ(device.SetSpeakerAngles(tables[0], 3, 54.7f), ZK_Success);
    std::atomic<int> ready{0};
    std::atomic<int> mismatches{0};
    std::vector<std::thread> threads;
    for (int p = 0; p < kPanners; ++p)
        threads.emplace_back([&] {
            ZK::MemoryMgr::InitForThread();
            ready.fetch_add(1);
            while (ready.load() < kPanners + 1)
            {
            }
            for (int round = 0; round < kRounds; ++round)
            {
                const std::vector<float> values = pan(device);
                if (values != expected[0] && values != expected[1])
                    mismatches.fetch_add(1);
            }
            ZK::MemoryMgr::TermForThread();
        });
    threads.emplace_back([&] {
        ZK::MemoryMgr::InitForThread();
        ready.fetch_add(1);
        while (ready.load() < kPanners + 1)
        {
        }
        for (int round = 0; round < kRounds; ++round)
            device.SetSpeakerAngles(tables[(round + 1) % 2], 3, 54.7f);
        ZK::MemoryMgr::TermForThread();
    });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(mismatches.load(), 0);
}
} // namespace
