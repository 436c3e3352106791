// The memory manager with its built-in allocator, started once per benchmark program and kept until
// the program ends (benchmarks run in any order and may start threads of their own).
#pragma once

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

#include <cstdlib>

inline void EnsureMemoryMgr()
{
    static const bool s_started = [] {
        ZkMemSettings settings;
        ZK::MemoryMgr::GetDefaultSettings(settings);
        return ZK::MemoryMgr::Init(&settings) == ZK_Success;
    }();
    if (!s_started)
        std::abort();
}
