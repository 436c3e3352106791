// Starts the sound engine's memory manager (built-in allocator) for one test and stops it after.
#pragma once

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

#include <gtest/gtest.h>

class MemoryMgrScope
{
public:
    MemoryMgrScope()
    {
        ZkMemSettings settings;
        ZK::MemoryMgr::GetDefaultSettings(settings);
        EXPECT_EQ(ZK::MemoryMgr::Init(&settings), ZK_Success);
        ZK::MemoryMgr::InitForThread();
    }
    ~MemoryMgrScope()
    {
        ZK::MemoryMgr::TermForThread();
        ZK::MemoryMgr::Term();
    }
    MemoryMgrScope(const MemoryMgrScope&) = delete;
    MemoryMgrScope& operator=(const MemoryMgrScope&) = delete;
};
