// The handlers of the engine-wide messages: the random generator's seed, custom messages, and
// offline rendering.
#include "ZkAudiolib/Common/Containers/ZkLcg64.h"
#include "ZkAudiolib/Common/FrontEnd/EngineMessageBodies.h"
#include "ZkAudiolib/Common/FrontEnd/EngineMessageHandlers.h"
#include "ZkAudiolib/Common/FrontEnd/EventManager.h"
#include "ZkAudiolib/Common/Output/Neighbours/EngineFlags.h"

#include <ctime>

namespace ZK::SoundEngine::MessageHandlers
{
void SetRandomSeed(EventManager&, const uint8_t* message, bool&)
{
    const uint32_t seed = ReadMessageBody<ZkRandomSeedMessage>(message).seed;
    ZK::ZkLcg64::Engine().Seed(seed != 0 ? seed : static_cast<uint64_t>(std::time(nullptr)));
}

void Custom(EventManager& manager, const uint8_t* message, bool&)
{
    manager.DispatchCustom(message);
}

void OfflineRendering(EventManager& manager, const uint8_t* message, bool&)
{
    const auto body = ReadMessageBody<ZkOfflineRenderingMessage>(message);
    if (body.selector != 0)
        g_offlineRendering.store(body.offline != 0 ? 1 : 0, std::memory_order_relaxed);
    else
        manager.SetOfflineFrameTimeSeconds(body.frameTimeSeconds);
}
} // namespace ZK::SoundEngine::MessageHandlers
