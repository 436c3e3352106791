// ZK::SoundEngine::GetGlobalPluginContext (declaration only): the engine services handed to
// plug-ins, passed to a registered node's registration callback.
//
// Threading: any thread. Ownership: the engine's.
#pragma once

#include <ZK/SoundEngine/Common/IZkPlugin.h>

namespace ZK::SoundEngine
{
// Not built yet: there is no context (null).
inline ZK::IZkGlobalPluginContext* GetGlobalPluginContext()
{
    return nullptr;
}
} // namespace ZK::SoundEngine
