#include "ZkAudiolib/Common/Output/ZkEngineWakeEvent.h"

namespace ZK::SoundEngine::EngineWakeEvent
{
namespace
{
ZK::Platform::ZkEvent& Instance()
{
    static ZK::Platform::ZkEvent event;
    return event;
}
} // namespace

bool Create()
{
    ZK::Platform::ZkEvent& event = Instance();
    if (event.IsInitialized())
        event.Term();
    return event.Init(ZK::Platform::EventReset::Auto);
}

void Destroy()
{
    if (Instance().IsInitialized())
        Instance().Term();
}

bool IsCreated()
{
    return Instance().IsInitialized();
}

void Signal()
{
    if (Instance().IsInitialized())
        Instance().Set();
}

ZK::Platform::ZkEvent& Get()
{
    return Instance();
}
} // namespace ZK::SoundEngine::EngineWakeEvent
