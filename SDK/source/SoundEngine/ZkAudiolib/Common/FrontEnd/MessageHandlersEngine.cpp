// The handlers of the engine-wide messages: the random generator's seed, plug-ins' custom data,
// custom messages, and offline rendering.
#include "ZkAudiolib/Common/Containers/ZkLcg64.h"
#include "ZkAudiolib/Common/FrontEnd/EngineMessageBodies.h"
#include "ZkAudiolib/Common/FrontEnd/EngineMessageHandlers.h"
#include "ZkAudiolib/Common/FrontEnd/EngineSettings.h"
#include "ZkAudiolib/Common/FrontEnd/EventManager.h"
#include "ZkAudiolib/Common/Plugins/CZkPluginCustomData.h"

#include <ctime>

namespace ZK::SoundEngine
{
void SeedEngineRandom(uint32_t seed)
{
    ZK::ZkLcg64::Engine().Seed(seed != 0 ? seed : static_cast<uint64_t>(std::time(nullptr)));
}

namespace MessageHandlers
{
void SetRandomSeed(EventManager&, const uint8_t* message, bool&)
{
    SeedEngineRandom(ReadMessageBody<ZkRandomSeedMessage>(message).seed);
}

void PluginCustomGameData(EventManager&, const uint8_t* message, bool&)
{
    const auto body = ReadMessageBody<ZkPluginCustomDataMessage>(message);
    // The table takes the copy, or frees it when it cannot keep it.
    CZkPluginCustomData::Post(body.busID, body.gameObject, body.pluginType, body.companyID, body.pluginID, body.data,
                              body.dataSize, true);
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
} // namespace MessageHandlers
} // namespace ZK::SoundEngine
