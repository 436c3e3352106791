// Instance limiters: the sorted order (priority, then sequence number and tie word by the tie-break
// flag), priorities that are not finite, priority changes, removal by key, and the per-frame
// enforcement that sends the instances beyond the maximum off.
#include "HierarchyTestInstances.h"

#include "SDK/source/SoundEngine/ZkAudiolib/Common/Containers/EngineMemoryFixture.h"

#include "ZkAudiolib/Common/Hierarchy/CZkInstanceLimiter.h"

#include <cmath>
#include <limits>
#include <memory>

namespace
{
using namespace ZkHierarchyTest;

using InstanceLimiter = ZkEngineTest::EngineMemoryTest;

// The sequence numbers of the limiter's instances, highest rank first.
std::vector<uint32_t> Order(const CZkInstanceLimiter& limiter)
{
    std::vector<uint32_t> order;
    for (uint32_t index = 0; index < limiter.HeldCount(); ++index)
        order.push_back(limiter.At(index)->priority.sequence);
    return order;
}

TEST_F(InstanceLimiter, OrdersByPriorityThenByTheTieBreakFlag)
{
    constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
    constexpr float kInfinity = std::numeric_limits<float>::infinity();
    struct Case
    {
        const char* name;
        bool olderFirst;
        std::vector<std::pair<float, uint32_t>> instances; // {priority, sequence} in insertion order
        std::vector<uint32_t> expected;
    };
    const std::vector<Case> cases = {
        {"higher priority first", false, {{10, 1}, {90, 2}, {50, 3}}, {2, 3, 1}},
        {"equal priorities: newer first", false, {{50, 1}, {50, 3}, {50, 2}}, {3, 2, 1}},
        {"equal priorities with the flag: older first", true, {{50, 1}, {50, 3}, {50, 2}}, {1, 2, 3}},
        {"a priority that is not finite ranks as 50", false, {{kNaN, 1}, {60, 2}, {40, 3}, {kInfinity, 4}}, {2, 4, 1, 3}},
    };
    for (const Case& test : cases)
    {
        SCOPED_TRACE(test.name);
        CZkInstanceLimiter limiter(10, test.olderFirst, false, 0, kNodeLimitReason);
        std::vector<std::unique_ptr<TestInstance>> instances;
        for (const auto& [priority, sequence] : test.instances)
        {
            instances.push_back(std::make_unique<TestInstance>(priority, sequence));
            ASSERT_EQ(limiter.Insert(instances.back().get()), ZK_Success);
        }
        EXPECT_EQ(Order(limiter), test.expected);
        for (auto& instance : instances)
            limiter.Remove(instance.get());
        EXPECT_EQ(limiter.HeldCount(), 0u);
    }
}

TEST_F(InstanceLimiter, TheTieWordDecidesBetweenEqualSequenceNumbers)
{
    TestInstance low(50.0f, 7);
    TestInstance high(50.0f, 7);
    low.priority.tieWord = 1;
    high.priority.tieWord = 2;
    CZkInstanceLimiter limiter(0, false, false, 0, kNodeLimitReason);
    ASSERT_EQ(limiter.Insert(&low), ZK_Success);
    ASSERT_EQ(limiter.Insert(&high), ZK_Success);
    EXPECT_EQ(limiter.At(0), &high);
    limiter.SetTieBreak(true);
    EXPECT_EQ(limiter.At(0), &low) << "the flag turns the order of equal priorities over";
    limiter.Remove(&low);
    EXPECT_EQ(limiter.HeldCount(), 1u);
    EXPECT_EQ(limiter.At(0), &high) << "removal finds the instance by its key";
    limiter.Remove(&low);
    EXPECT_EQ(limiter.HeldCount(), 1u) << "an absent instance changes nothing";
    limiter.Remove(&high);
}

TEST_F(InstanceLimiter, APriorityChangeMovesTheInstanceToItsNewPlace)
{
    std::vector<std::unique_ptr<TestInstance>> instances;
    CZkInstanceLimiter limiter(0, false, false, 0, kNodeLimitReason);
    for (uint32_t sequence = 1; sequence <= 5; ++sequence)
    {
        instances.push_back(std::make_unique<TestInstance>(static_cast<float>(sequence * 10), sequence));
        ASSERT_EQ(limiter.Insert(instances.back().get()), ZK_Success);
    }
    EXPECT_EQ(Order(limiter), (std::vector<uint32_t>{5, 4, 3, 2, 1}));
    struct Move
    {
        uint32_t sequence;
        float priority;
        std::vector<uint32_t> expected;
    };
    const std::vector<Move> moves = {
        {1, 45.0f, {5, 1, 4, 3, 2}},
        {5, 0.0f, {1, 4, 3, 2, 5}},
        {3, std::nanf(""), {3, 1, 4, 2, 5}}, // 50
        {2, 30.0f, {3, 1, 4, 2, 5}},
    };
    for (const Move& move : moves)
    {
        TestInstance& instance = *instances[move.sequence - 1];
        limiter.ChangePriority(&instance, move.priority);
        instance.priority.priority = RankedPriority(move.priority); // the owner stores it afterwards
        EXPECT_EQ(Order(limiter), move.expected) << "sequence " << move.sequence << " to " << move.priority;
    }
    for (auto& instance : instances)
        limiter.Remove(instance.get());
}

TEST_F(InstanceLimiter, EnforcementSendsOffWhatLiesBeyondTheMaximum)
{
    using S = ZkLimitStanding;
    struct Case
    {
        const char* name;
        uint16_t max;
        bool virtualOnLimit;
        uint8_t reason;
        std::vector<S> standings; // highest priority first
        std::vector<bool> sentOff;
    };
    const std::vector<Case> cases = {
        {"two places for four", 2, false, kNodeLimitReason, {S::HoldsPlace, S::HoldsPlace, S::HoldsPlace, S::HoldsPlace},
         {false, false, true, true}},
        {"virtual and stopping instances hold no place", 2, true, kEngineLimitReason,
         {S::Virtual, S::HoldsPlace, S::Stopping, S::HoldsPlace, S::HoldsPlace}, {false, false, false, false, true}},
        {"a transitional instance holds no place but is sent off beyond", 1, false, kNodeLimitReason,
         {S::Transitional, S::HoldsPlace, S::Transitional, S::Virtual}, {false, false, true, false}},
        {"no maximum limits nothing", 0, false, kNodeLimitReason, {S::HoldsPlace, S::HoldsPlace}, {false, false}},
        {"within the maximum nothing happens", 3, false, kNodeLimitReason, {S::HoldsPlace, S::HoldsPlace, S::HoldsPlace},
         {false, false, false}},
    };
    for (const Case& test : cases)
    {
        SCOPED_TRACE(test.name);
        CZkInstanceLimiter limiter(test.max, false, test.virtualOnLimit, 0, test.reason);
        std::vector<std::unique_ptr<TestInstance>> instances;
        for (size_t index = 0; index < test.standings.size(); ++index)
        {
            instances.push_back(std::make_unique<TestInstance>(100.0f - static_cast<float>(index), 1));
            instances.back()->standing = test.standings[index];
            ASSERT_EQ(limiter.Insert(instances.back().get()), ZK_Success);
        }
        limiter.Enforce();
        for (size_t index = 0; index < instances.size(); ++index)
        {
            const auto& calls = instances[index]->overLimit;
            EXPECT_EQ(!calls.empty(), test.sentOff[index]) << "instance " << index;
            if (!calls.empty())
            {
                EXPECT_EQ(calls[0], std::make_pair(test.virtualOnLimit, test.reason));
            }
        }
        for (auto& instance : instances)
            limiter.Remove(instance.get());
    }
}
} // namespace
