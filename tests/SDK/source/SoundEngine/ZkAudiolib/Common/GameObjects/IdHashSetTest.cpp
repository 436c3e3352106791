// ZkIdHashSet: open addressing without wrap-around, tombstones, growth and look-ups by value.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Containers/EngineMemoryFixture.h"

#include "ZkAudiolib/Common/GameObjects/ZkIdHashSet.h"

#include <gtest/gtest.h>

namespace
{
using namespace ZK::SoundEngine;
using ZkEngineTest::EngineMemoryTest;

using IdHashSetTest = EngineMemoryTest;

TEST_F(IdHashSetTest, CollidingKeysNearTheEndGrowInsteadOfWrapping)
{
    ZkIdHashSet set;
    ASSERT_EQ(set.Create(5, ZkMemID_Default), ZK_Success);
    EXPECT_EQ(set.Capacity(), 8u);
    // Three keys homed in the last slot: the second one cannot probe past the end.
    for (int32_t value = 0; value < 3; ++value)
        ASSERT_EQ(set.Insert(7 + 64 * static_cast<uint32_t>(value), value), ZK_Success);
    EXPECT_GE(set.Capacity(), 16u);
    for (int32_t value = 0; value < 3; ++value)
    {
        const uint32_t key = 7 + 64 * static_cast<uint32_t>(value);
        bool found = false;
        for (int32_t slot = set.FindFirst(key); slot >= 0; slot = set.FindNext(key, slot))
            found = found || set.At(slot).value == value;
        EXPECT_TRUE(found) << value;
    }
    EXPECT_TRUE(set.Remove(71, 1));
    EXPECT_FALSE(set.Remove(71, 1));
    EXPECT_EQ(set.LiveCount(), 2u);
    EXPECT_EQ(set.FindByValue(1), -1);
    EXPECT_GE(set.FindByValue(2), 0);
    EXPECT_EQ(set.FindFirst(71), -1);
}

TEST_F(IdHashSetTest, KeysAreThirtyBitsAndEmptySetsFindNothing)
{
    ZkIdHashSet set;
    EXPECT_EQ(set.FindFirst(3), -1);
    EXPECT_EQ(set.FindByValue(0), -1);
    ASSERT_EQ(set.Insert(0xC0000003u, 9), ZK_Success); // grows from nothing
    EXPECT_EQ(set.At(set.FindFirst(3)).value, 9);
    {
        ZK::MemoryMgr::FaultInjection::ScopedAllocationFailure failure(ZkMemID_Default, 1);
        ZkIdHashSet refused;
        EXPECT_EQ(refused.Create(4, ZkMemID_Default), ZK_InsufficientMemory);
        EXPECT_EQ(refused.Capacity(), 0u);
    }
}
} // namespace
