// What the fuzz entries that read media through sources share: the memory manager, a stream
// manager (sources read media in memory through its memory streams) and the plug-in registry with
// the built-in codec, made once for the whole run; extra registrations go with them.
#pragma once

#include "support/SoundMemory.h"

#include "ZkAudiolib/Common/Plugins/PluginRegistry.h"

#include <ZK/SoundEngine/Common/ZkStreamMgrModule.h>

namespace kp::fuzz
{
template <typename Register>
void StartSoundSources(Register registerMore)
{
    static bool started = false;
    if (started)
        return;
    started = true;
    StartSoundMemory();
    MakeForTheWholeRun([&] {
        ZK::StreamMgr::Create(ZkStreamMgrSettings{});
        ZK::SoundEngine::PluginRegistry::Init(nullptr);
        registerMore();
    });
}

inline void StartSoundSources()
{
    StartSoundSources([] {});
}
} // namespace kp::fuzz
