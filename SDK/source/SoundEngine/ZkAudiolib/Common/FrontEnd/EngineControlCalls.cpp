// The engine-wide controls of the interface: the game's frame, suspension, offline rendering, the
// random seed, the background-music mute, plug-ins' custom data, the engine limits and the clock.
#include "ZkAudiolib/Common/FrontEnd/EngineLimits.h"
#include "ZkAudiolib/Common/FrontEnd/EngineMessageBodies.h"
#include "ZkAudiolib/Common/FrontEnd/EventManager.h"
#include "ZkAudiolib/Common/FrontEnd/MessagePosting.h"
#include "ZkAudiolib/Common/Hierarchy/CZkBus.h"
#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"

#include <ZK/SoundEngine/Common/ZkEngineControls.h>

namespace ZK::SoundEngine
{
using namespace MessagePosting;

namespace
{
constexpr ZkMemoryId kPluginDataPool = ZkMemID_Processing;

// Posts a suspend or wake-up request and ends the frame, so that the request is applied at the next
// tick even when the game stops rendering.
ZKRESULT PostSuspend(bool suspend, bool renderWhileSuspended)
{
    const ZKRESULT result =
        PostFixed(ZkMessage_Suspend, ZkSuspendMessage{0, static_cast<uint16_t>(suspend),
                                                      static_cast<uint16_t>(renderWhileSuspended)});
    if (result == ZK_Success)
        g_pEventMgr->EndFrame(false);
    return result;
}
} // namespace

ZKRESULT RenderAudio(bool allowSyncRender)
{
    EventManager* events = g_pEventMgr;
    return events != nullptr ? events->EndFrame(allowSyncRender) : ZK_Fail;
}

ZKRESULT Suspend(bool renderAnyway)
{
    return PostSuspend(true, renderAnyway);
}

ZKRESULT WakeupFromSuspend()
{
    return PostSuspend(false, true);
}

ZKRESULT SetOfflineRendering(bool enable)
{
    return PostFixed(ZkMessage_OfflineRendering, ZkOfflineRenderingMessage{1, static_cast<uint16_t>(enable), 0.0f});
}

ZKRESULT SetOfflineRenderingFrameTime(float frameTimeSeconds)
{
    if (!IsFinite(frameTimeSeconds))
        return ZK_NotFinite;
    return PostFixed(ZkMessage_OfflineRendering, ZkOfflineRenderingMessage{0, 0, frameTimeSeconds});
}

ZKRESULT SetRandomSeed(uint32_t seed)
{
    return PostFixed(ZkMessage_SetRandomSeed, ZkRandomSeedMessage{seed});
}

ZKRESULT MuteBackgroundMusic(bool mute)
{
    return PostFixed(ZkMessage_MuteBackgroundMusic, ZkMuteBackgroundMusicMessage{static_cast<uint16_t>(mute)});
}

bool GetBackgroundMusicMute()
{
    return CZkBus::IsBackgroundMusicMuted();
}

ZKRESULT SendPluginCustomGameData(ZkUniqueID busID, ZkGameObjectID gameObject, ZK::ZkPluginType type,
                                  uint32_t companyID, uint32_t pluginID, const void* data, uint32_t sizeInBytes)
{
    // The copy would read through a null block: refused rather than taken as a removal.
    if (data == nullptr && sizeInBytes != 0)
        return ZK_InvalidParameter;
    const ZkPluginCustomDataMessage body{busID, gameObject, static_cast<uint32_t>(type), companyID, pluginID,
                                         nullptr, sizeInBytes};
    return PostWithCopy(ZkMessage_PluginCustomGameData, body, &ZkPluginCustomDataMessage::data, data, sizeInBytes,
                        kPluginDataPool);
}

ZKRESULT SetVolumeThreshold(float thresholdDB)
{
    if (!IsFinite(thresholdDB))
        return ZK_NotFinite;
    return SetVolumeThresholdWithPriority(thresholdDB, kInterfacePriority);
}

ZKRESULT SetMaxNumVoicesLimit(uint16_t maxNumberVoices)
{
    return SetMaxNumVoicesLimitWithPriority(maxNumberVoices, kInterfacePriority);
}

uint32_t GetSampleRate()
{
    return ZkAudioSettings::SampleRate();
}

uint32_t GetBufferTick()
{
    const EventManager* events = g_pEventMgr;
    return events != nullptr ? events->FramesRendered() : 0;
}

uint64_t GetSampleTick()
{
    return uint64_t{GetBufferTick()} * ZkAudioSettings::FramesPerBuffer();
}
} // namespace ZK::SoundEngine
