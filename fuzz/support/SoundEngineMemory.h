// For the fuzz entries of the sound engine's readers: the engine's memory manager with its built-in
// allocator, started once for the fuzzing thread.
//
// Threading: one thread. Ownership: the manager lives until the process ends.
#pragma once

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

#include <cstdlib>

namespace kp::fuzz
{
inline void StartSoundEngineMemory()
{
    ZkMemSettings settings;
    ZK::MemoryMgr::GetDefaultSettings(settings);
    if (ZK::MemoryMgr::Init(&settings) != ZK_Success)
    {
        std::abort();
    }
    ZK::MemoryMgr::InitForThread();
}
} // namespace kp::fuzz
